#include "MachineStamp.h"

#include "MachineNumbers.h"
#include "Schema.h"
#include "StoredIdentity.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

namespace {

QString literal(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// The SQL that names this computer in a record: its id in a file that keeps
// ids, its number in one that numbers computers. The number is looked up
// where the computer is known already, and given by the trigger otherwise.
QString machineValue(const QString& machine, bool numbered) {
    if (!numbered)
        return literal(machine);
    return QStringLiteral("(SELECT \"number\" FROM \"_machines\" WHERE \"machine\" = %1)").arg(literal(machine));
}

QString triggersOf(const Schema::Table& table, const QString& machine, bool numbered) {
    const QString name = Schema::quoted(table.name);
    QStringList fields, changed;
    for (const QString& field : table.fields) {
        const QString quoted = Schema::quoted(field);
        fields << quoted;
        changed << QStringLiteral("new.%1 IS NOT old.%1").arg(quoted);
    }
    // A numbered computer is added to the file's list first, where it is new.
    const QString setMachine =
        (numbered
             ? QStringLiteral("INSERT OR IGNORE INTO \"_machines\" (\"machine\") VALUES (%1); ").arg(literal(machine))
             : QString()) +
        QStringLiteral("UPDATE %1 SET \"_machine\" = %2 WHERE \"_key\" = new.\"_key\";")
            .arg(name, machineValue(machine, numbered));
    // The deletion's time is the one the file's own trigger gives (the same
    // moment within a statement), so either trigger may run first. A deletion
    // names its computer by id in every version.
    const QString recordDeletion =
        QStringLiteral("INSERT INTO \"_tombstones\" (\"identity\", \"tableName\", \"deleted\", \"machine\") "
                       "VALUES (old.\"_id\", %1, max(%2, coalesce(old.\"_modified\", 0) + 1), %3) "
                       "ON CONFLICT (\"identity\") DO UPDATE SET \"deleted\" = max(\"deleted\", excluded.\"deleted\"), "
                       "\"machine\" = excluded.\"machine\";")
            .arg(literal(table.name), nowInMilliseconds(), literal(machine));
    return QStringLiteral("CREATE TEMP TRIGGER %1 AFTER INSERT ON main.%2 WHEN new.\"_machine\" IS NULL BEGIN %3 END;"
                          "CREATE TEMP TRIGGER %4 AFTER UPDATE OF %5 ON main.%2 WHEN %6 BEGIN %3 END;"
                          "CREATE TEMP TRIGGER %7 AFTER DELETE ON main.%2 WHEN old.\"_id\" IS NOT NULL BEGIN %8 END;")
        .arg(Schema::quoted(table.name + QStringLiteral(" machine added")), name, setMachine,
             Schema::quoted(table.name + QStringLiteral(" machine changed")), fields.join(QStringLiteral(", ")),
             changed.join(QStringLiteral(" OR ")), Schema::quoted(table.name + QStringLiteral(" machine deleted")),
             recordDeletion);
}

} // namespace

NewRecordStamp newRecordStamp(SQLite::Database& db, int fileVersion, const QString& machine) {
    if (fileVersion < 2)
        return {};
    // A version 4 UUID, as the file's trigger gives one: text, or its bytes.
    const bool compact = fileVersion >= StoredIdentity::CompactVersion;
    const QString identity =
        compact ? QStringLiteral("CAST(randomblob(6) || substr(x'404142434445464748494a4b4c4d4e4f', 1 + abs(random() % "
                                 "16), 1) || randomblob(1) || substr(x'8090a0b0', 1 + abs(random() % 4), 1) || "
                                 "randomblob(7) AS BLOB)")
                : QStringLiteral("lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' || "
                                 "substr(hex(randomblob(2)), 2) || '-' || substr('89AB', 1 + abs(random() % 4), 1) || "
                                 "substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))");
    // The computer's number, given here when the file does not know it yet, so
    // that no trigger has to update each new record.
    QString stamp = literal(machine);
    if (compact) {
        const qint64 number = MachineNumbers(db).numberOf(machine);
        stamp = number ? QString::number(number) : QStringLiteral("NULL");
    }
    return {QStringLiteral(", \"_id\", \"_modified\", \"_machine\""),
            QStringLiteral(", %1, %2, %3").arg(identity, nowInMilliseconds(), stamp)};
}

QString nowInMilliseconds() {
    return QStringLiteral("CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER)");
}

void stampChangesWith(SQLite::Database& db, const QString& machine, const std::optional<QString>& onlyTable) {
    // A file that lacks a table or a column is reported by whoever needs it; it gets no stamp there.
    const auto has = [&](const QString& table, const char* column) {
        return sqlite3_table_column_metadata(db.getHandle(), "main", table.toUtf8().constData(), column, nullptr,
                                             nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    if (!has(QStringLiteral("_tombstones"), "machine"))
        return;
    const bool numbered = has(QStringLiteral("_machines"), "machine");
    QString sql;
    for (const Schema::Table* table : Schema::recordTables())
        if ((!onlyTable || *onlyTable == table->name) && has(table->name, "_machine") && has(table->name, "_id"))
            sql += triggersOf(*table, machine, numbered);
    if (!sql.isEmpty())
        db.exec(sql.toStdString());
}
