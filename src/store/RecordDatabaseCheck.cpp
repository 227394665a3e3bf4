#include "RecordDatabaseCheck.h"

#include "NewDatabase.h"
#include "Schema.h"
#include "StoreError.h"

#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

QString checkTables(const QString& path, const std::vector<const Schema::Table*>& tables,
                    const char* check = "PRAGMA integrity_check", bool mapPages = false) {
    try {
        // Read as it lies: a file being checked is never written, whatever it claims.
        const std::unique_ptr<SQLite::Database> opened = openUntouched(path);
        SQLite::Database& db = *opened;
        // A check reads every page once: mapped, without a system call each, where
        // the caller knows the file cannot vanish under it alone (see the header).
        if (mapPages)
            db.exec("PRAGMA mmap_size = 268435456");
        const std::string verdict = db.execAndGet(check).getString();
        if (verdict != "ok")
            return QStringLiteral("%1 is damaged: %2").arg(path, QString::fromStdString(verdict));
        for (const Schema::Table* table : tables) {
            SQLite::Statement columns(db, "SELECT name FROM pragma_table_info(?)");
            columns.bind(1, table->name.toStdString());
            QStringList names;
            while (columns.executeStep())
                names << QString::fromStdString(columns.getColumn(0).getString());
            if (names.isEmpty())
                return QStringLiteral("%1 has no table \"%2\".").arg(path, table->name);
            for (const QString& field : table->fields + QStringList{Schema::KeyColumn}) {
                if (!names.contains(field))
                    return QStringLiteral("%1 has no field \"%2\" in table \"%3\".").arg(path, field, table->name);
            }
        }
    } catch (const std::exception& e) {
        return QStringLiteral("%1 is not a record database: %2").arg(path, QString::fromUtf8(e.what()));
    }
    return {};
}

} // namespace

QString checkRecordDatabase(const QString& path) {
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1 does not exist.").arg(path);
    return checkTables(path, Schema::recordTables());
}

QString checkRecordsReadable(const QString& path, bool mapPages) {
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1 does not exist.").arg(path);
    return checkTables(path, Schema::recordTables(), "PRAGMA quick_check", mapPages);
}

QString checkPasswordStore(const QString& path) {
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1 does not exist.").arg(path);
    return checkTables(path, {&Schema::pass()});
}
