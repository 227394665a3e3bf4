#pragma once

// An empty record database of the newest layout for an import to fill: the
// delivered file with its sample records deleted and the file compacted.
#include "store/Schema.h"

#include <QFile>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>

inline QString emptyDeliveredDatabase(const QTemporaryDir& dir) {
    const QString path = dir.filePath("empty.mdb");
    QFile::copy(QStringLiteral(DELIVERED_DIR "/password.mdb"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    for (const Schema::Table* table : Schema::recordTables())
        db.exec(("DELETE FROM " + Schema::quoted(table->name)).toStdString());
    db.exec("VACUUM");
    return path;
}
