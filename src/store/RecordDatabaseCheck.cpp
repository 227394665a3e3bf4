#include "RecordDatabaseCheck.h"

#include "Isolated.h"
#include "JetReader.h"
#include "Schema.h"
#include "StoreError.h"

#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

QString checkTables(const QString& path, const std::vector<const Schema::Table*>& tables) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
        const std::string verdict = db.execAndGet("PRAGMA integrity_check").getString();
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
    // A backup in the old Jet format counts when its five tables can be read; the
    // next start converts it.
    if (JetReader::isJetFile(path)) {
        // Read in a child process: a damaged old file must not take the program down.
        const IsolatedResult result = runIsolated(
            [&](int) {
                JetReader jet(path);
                for (const Schema::Table* table : Schema::recordTables())
                    jet.columns(table->name);
                return 0;
            },
            60);
        return result.succeeded() ? QString() : QStringLiteral("%1 is not a readable old database file.").arg(path);
    }
    return checkTables(path, Schema::recordTables());
}

QString checkPasswordStore(const QString& path) {
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1 does not exist.").arg(path);
    return checkTables(path, {&Schema::pass()});
}
