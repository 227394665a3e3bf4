#include "MachineStamp.h"

#include "Schema.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

namespace {

QString literal(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

QString triggersOf(const Schema::Table& table, const QString& machine) {
    const QString name = Schema::quoted(table.name);
    QStringList fields, changed;
    for (const QString& field : table.fields) {
        const QString quoted = Schema::quoted(field);
        fields << quoted;
        changed << QStringLiteral("new.%1 IS NOT old.%1").arg(quoted);
    }
    const QString stamp = literal(machine);
    // The deletion's time is the one the file's own trigger gives (the same
    // moment within a statement), so either trigger may run first.
    return QStringLiteral(
               "CREATE TEMP TRIGGER %1 AFTER INSERT ON main.%2 WHEN new.\"_machine\" IS NULL BEGIN "
               "UPDATE %2 SET \"_machine\" = %3 WHERE \"_key\" = new.\"_key\"; END;"
               "CREATE TEMP TRIGGER %4 AFTER UPDATE OF %5 ON main.%2 WHEN %6 BEGIN "
               "UPDATE %2 SET \"_machine\" = %3 WHERE \"_key\" = new.\"_key\"; END;"
               "CREATE TEMP TRIGGER %7 AFTER DELETE ON main.%2 WHEN old.\"_id\" IS NOT NULL BEGIN "
               "INSERT INTO \"_tombstones\" (\"identity\", \"tableName\", \"deleted\", \"machine\") "
               "VALUES (old.\"_id\", %8, max(%9, coalesce(old.\"_modified\", 0) + 1), %3) "
               "ON CONFLICT (\"identity\") DO UPDATE SET \"deleted\" = max(\"deleted\", excluded.\"deleted\"), "
               "\"machine\" = excluded.\"machine\"; END;")
        .arg(Schema::quoted(table.name + QStringLiteral(" machine added")), name, stamp,
             Schema::quoted(table.name + QStringLiteral(" machine changed")), fields.join(QStringLiteral(", ")),
             changed.join(QStringLiteral(" OR ")), Schema::quoted(table.name + QStringLiteral(" machine deleted")),
             literal(table.name), nowInMilliseconds());
}

} // namespace

NewRecordStamp newRecordStamp(int fileVersion, const QString& machine) {
    if (fileVersion < 2)
        return {};
    // A version 4 UUID, as the file's trigger gives one.
    const QString identity = QStringLiteral(
        "lower(hex(randomblob(4)) || '-' || hex(randomblob(2)) || '-4' || substr(hex(randomblob(2)), 2) || '-' || "
        "substr('89AB', 1 + abs(random() % 4), 1) || substr(hex(randomblob(2)), 2) || '-' || hex(randomblob(6)))");
    return {QStringLiteral(", \"_id\", \"_modified\", \"_machine\""),
            QStringLiteral(", %1, %2, %3").arg(identity, nowInMilliseconds(), literal(machine))};
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
    QString sql;
    for (const Schema::Table* table : Schema::recordTables())
        if ((!onlyTable || *onlyTable == table->name) && has(table->name, "_machine") && has(table->name, "_id"))
            sql += triggersOf(*table, machine);
    if (!sql.isEmpty())
        db.exec(sql.toStdString());
}
