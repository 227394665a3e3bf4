#include "ProgramDirectory.h"

#include "store/Migration.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sys/stat.h>

ProgramDirectory::ProgramDirectory() {
    // The files as delivered, from the sources: a build folder's own copies are the
    // user's and are not made again when the sources change.
    copyFiles(QStringLiteral(TEMPLATE_DIR), QStringLiteral("*.mdb"));
    copyFiles(QStringLiteral(LAYOUT_DIR), QStringLiteral("*.rpt"));
    // As the program's start does: a build folder made before the newest layout
    // holds delivered files of an older version.
    Migration::migrate(recordDatabase());
}

void ProgramDirectory::copyFiles(const QString& directory, const QString& pattern) const {
    const QDir from(directory);
    for (const QString& name : from.entryList({pattern}, QDir::Files)) {
        QFile::copy(from.filePath(name), file(name));
        QFile::setPermissions(file(name), QFile::ReadOwner | QFile::WriteOwner);
    }
}

void ProgramDirectory::exec(const QString& fileName, const QString& sql) const {
    SQLite::Database db(file(fileName).toStdString(), SQLite::OPEN_READWRITE);
    db.exec(sql.toStdString());
}

QString ProgramDirectory::query(const QString& fileName, const QString& sql) const {
    SQLite::Database db(file(fileName).toStdString(), SQLite::OPEN_READWRITE);
    return QString::fromStdString(db.execAndGet(sql.toStdString()).getString());
}

qint64 ProgramDirectory::count(const QString& table) const {
    return query(QStringLiteral("password.mdb"), QStringLiteral("SELECT count(*) FROM ") + Schema::quoted(table))
        .toLongLong();
}

QByteArray ProgramDirectory::bytes(const QString& fileName) const {
    return fileBytes(file(fileName));
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString integrityOf(const QString& path) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
        return QString::fromStdString(db.execAndGet("PRAGMA integrity_check").getString());
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

void ProgramDirectory::refuseWrites(const QString& fileName, const QString& table) const {
    const QString t = Schema::quoted(table);
    exec(fileName,
         QStringLiteral("CREATE TRIGGER refuse_insert BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, 'disk I/O "
                        "error'); END; CREATE TRIGGER refuse_update BEFORE UPDATE ON %1 BEGIN SELECT "
                        "RAISE(ABORT, 'disk I/O error'); END;")
             .arg(t));
}

bool isOwnerOnly(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return (info.st_mode & 0777) == 0600;
}

void addAccount(const QString& database, const QString& account) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE);
    SQLite::Statement insert(db, "INSERT INTO account (Account) VALUES (?)");
    insert.bind(1, account.toStdString());
    insert.exec();
}

qint64 accountsNamed(const QString& database, const QString& account) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement query(db, "SELECT count(*) FROM account WHERE Account = ?");
    query.bind(1, account.toStdString());
    query.executeStep();
    return query.getColumn(0).getInt64();
}
