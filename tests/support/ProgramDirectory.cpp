#include "ProgramDirectory.h"

#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <SQLiteCpp/Database.h>

ProgramDirectory::ProgramDirectory() {
    const QDir delivered(QStringLiteral(DELIVERED_DIR));
    for (const QString& name : delivered.entryList({"*.mdb", "*.rpt"}, QDir::Files)) {
        QFile::copy(delivered.filePath(name), file(name));
        QFile::setPermissions(file(name), QFile::ReadOwner | QFile::WriteOwner);
    }
}

void ProgramDirectory::exec(const QString& fileName, const QString& sql) const {
    SQLite::Database db(file(fileName).toStdString(), SQLite::OPEN_READWRITE);
    db.exec(sql.toStdString());
}

QString ProgramDirectory::query(const QString& fileName, const QString& sql) const {
    SQLite::Database db(file(fileName).toStdString(), SQLite::OPEN_READONLY);
    return QString::fromStdString(db.execAndGet(sql.toStdString()).getString());
}

qint64 ProgramDirectory::count(const QString& table) const {
    return query(QStringLiteral("password.mdb"), QStringLiteral("SELECT count(*) FROM ") + Schema::quoted(table))
        .toLongLong();
}

QByteArray ProgramDirectory::bytes(const QString& fileName) const {
    QFile f(file(fileName));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
