#include "StoredIdentity.h"

#include <QUuid>
#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace {

constexpr int UuidBytes = 16;
constexpr int UuidTextLength = 36;

void storedIdentityFunction(sqlite3_context* call, int, sqlite3_value** values) {
    if (sqlite3_value_type(values[0]) != SQLITE_TEXT) {
        sqlite3_result_value(call, values[0]);
        return;
    }
    const std::string text(reinterpret_cast<const char*>(sqlite3_value_text(values[0])),
                           size_t(sqlite3_value_bytes(values[0])));
    // bytesOf() changes only a UUID's text, into its 16 bytes.
    const std::string stored = StoredIdentity::bytesOf(text);
    if (stored != text)
        sqlite3_result_blob(call, stored.data(), int(stored.size()), SQLITE_TRANSIENT);
    else
        sqlite3_result_value(call, values[0]);
}

} // namespace

namespace StoredIdentity {

std::string bytesOf(const std::string& identity) {
    if (identity.size() != UuidTextLength)
        return identity;
    const QUuid uuid = QUuid::fromString(QLatin1StringView(identity.data(), qsizetype(identity.size())));
    // Only the program's own lower-case form: another spelling is another identity.
    if (uuid.isNull() || uuid.toString(QUuid::WithoutBraces).toStdString() != identity)
        return identity;
    const QByteArray bytes = uuid.toRfc4122();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QString textOf(const std::string& stored) {
    if (stored.size() == UuidBytes)
        return QUuid::fromRfc4122(QByteArrayView(stored.data(), UuidBytes)).toString(QUuid::WithoutBraces);
    return QString::fromUtf8(stored.data(), qsizetype(stored.size()));
}

QString textOf(const SQLite::Column& column) {
    return column.isNull() ? QString() : textOf(column.getString());
}

std::string inForm(const std::string& identity, bool compact) {
    return compact ? bytesOf(identity) : textOf(identity).toStdString();
}

std::string forFile(const QString& text, int fileVersion) {
    return inForm(text.toStdString(), fileVersion >= CompactVersion);
}

void bind(SQLite::Statement& statement, int index, const std::string& stored) {
    if (stored.size() == UuidBytes)
        statement.bind(index, stored.data(), UuidBytes);
    else
        statement.bind(index, stored);
}

void addFunction(sqlite3* db) {
    sqlite3_create_function_v2(db, "stored_identity", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               &storedIdentityFunction, nullptr, nullptr, nullptr);
}

} // namespace StoredIdentity
