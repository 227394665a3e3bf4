#include "RecordIdentity.h"

#include "Schema.h"
#include "StoreError.h"
#include "StoredIdentity.h"

#include <QUuid>
#include <sqlite3.h>

namespace {

// The namespace of the program's derived identities: any fixed UUID will do, as
// long as it never changes.
const QUuid DerivedNamespace(QStringLiteral("cef6285e-c01e-49cb-a7cb-26e28db3843e"));

// derived_identity(table, key, field, ...): the identity of an older record.
void derivedIdentityFunction(sqlite3_context* call, int count, sqlite3_value** values) {
    const auto text = [](sqlite3_value* value) {
        return QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
    };
    std::vector<RecordIdentity::FieldText> fields;
    for (int i = 2; i < count; ++i)
        fields.push_back(sqlite3_value_type(values[i]) == SQLITE_NULL ? std::nullopt
                                                                      : RecordIdentity::FieldText(text(values[i])));
    const QByteArray identity =
        RecordIdentity::derived(QString::fromUtf8(text(values[0])), sqlite3_value_int64(values[1]), fields).toUtf8();
    sqlite3_result_text(call, identity.constData(), int(identity.size()), SQLITE_TRANSIENT);
}

void run(sqlite3* db, const QString& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        throw StoreError(QStringLiteral("the records cannot be given their identities: %1").arg(reason));
    }
}

} // namespace

namespace RecordIdentity {

QString derived(const QString& table, qint64 key, const std::vector<FieldText>& fields) {
    // Each part is marked, so that no two different records give the same bytes:
    // a NULL field is 0x00, a text is 0x01, its length and its bytes.
    QByteArray name = table.toUtf8();
    name += '\0';
    name += QByteArray::number(key);
    for (const FieldText& field : fields) {
        if (!field) {
            name += '\0';
            continue;
        }
        name += '\1';
        name += QByteArray::number(field->size());
        name += ':';
        name += *field;
    }
    return QUuid::createUuidV5(DerivedNamespace, name).toString(QUuid::WithoutBraces);
}

void deriveIdentities(sqlite3* db, bool everyRecord) {
    if (sqlite3_create_function_v2(db, "derived_identity", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                   nullptr, &derivedIdentityFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw StoreError(QStringLiteral("the records cannot be given their identities: %1")
                             .arg(QString::fromUtf8(sqlite3_errmsg(db))));
    // A file that keeps identities as bytes gets them so, and no computer is NULL there.
    sqlite3_stmt* version = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr);
    const bool compact = version && sqlite3_step(version) == SQLITE_ROW &&
                         sqlite3_column_int(version, 0) >= StoredIdentity::CompactVersion;
    sqlite3_finalize(version);
    if (compact)
        StoredIdentity::addFunction(db);
    for (const Schema::Table* table : Schema::recordTables()) {
        QStringList fields;
        for (const QString& field : table->fields)
            fields << Schema::quoted(field);
        const QString name = QString(table->name).replace(QLatin1Char('\''), QStringLiteral("''"));
        const QString identity = QStringLiteral("derived_identity('%1', \"_key\", %2)").arg(name, fields.join(", "));
        run(db, QStringLiteral("UPDATE %1 SET \"_id\" = %2, \"_modified\" = 0, \"_machine\" = %3%4")
                    .arg(Schema::quoted(table->name),
                         compact ? QStringLiteral("stored_identity(%1)").arg(identity) : identity,
                         compact ? QStringLiteral("NULL") : QStringLiteral("''"),
                         everyRecord ? QString() : QStringLiteral(" WHERE \"_id\" IS NULL")));
    }
    sqlite3_create_function_v2(db, "derived_identity", -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace RecordIdentity
