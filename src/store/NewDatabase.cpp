#include "NewDatabase.h"

#include "StoreError.h"

#include <QFile>
#include <QFileInfo>

QString schemaSql(bool recordDatabase) {
    QFile file(recordDatabase ? QStringLiteral(":/schema/password.sql") : QStringLiteral(":/schema/pass2.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("The program's own database layout is missing from the program."));
    return QString::fromUtf8(file.readAll());
}

std::unique_ptr<SQLite::Database> createFromSchema(const QString& path, bool recordDatabase) {
    const QString sql = schemaSql(recordDatabase);
    try {
        auto db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        // A file being built is flushed to disk once, whole, by whoever puts it in
        // place; until then it is a temporary that a failure simply removes.
        db->exec("PRAGMA journal_mode=MEMORY");
        db->exec("PRAGMA synchronous=OFF");
        db->exec("BEGIN");
        db->exec(sql.toStdString());
        db->exec("COMMIT");
        return db;
    } catch (const std::exception& e) {
        throw StoreError(QStringLiteral("the new file %1 cannot be made: %2").arg(path, QString::fromUtf8(e.what())));
    }
}

std::unique_ptr<SQLite::Database> openUntouched(const QString& path) {
    // immutable=1: SQLite neither locks, nor looks for a journal or a WAL file,
    // nor writes; the file is read as it lies.
    QByteArray uri = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    uri = "file://" + uri.toPercentEncoding("/") + "?immutable=1";
    return std::make_unique<SQLite::Database>(uri.toStdString(), SQLite::OPEN_READONLY | SQLite::OPEN_URI);
}
