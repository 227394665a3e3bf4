#include "BenchDatabase.h"

#include "store/Migration.h"

#include <QDir>
#include <QFile>
#include <SQLiteCpp/Database.h>

namespace {

// A data set is complete, and of the program's newest file layout: one made
// before the search index would time writes without their index.
QString completeMark() {
    return QStringLiteral("complete-v%1").arg(Migration::newestVersion());
}

QString readFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// SQL for a name: mostly short, now and then long, a quarter in other scripts.
QString shortText(const QString& prefix) {
    return QStringLiteral("substr(CASE abs(random() %% 4) WHEN 0 THEN 'Café Ünïcode ' WHEN 1 THEN "
                          "'日本語のアカウント ' WHEN 2 THEN 'Straße Ørsted ' ELSE '%1 ' END || i || ' ' || "
                          "hex(randomblob(40)), 1, CASE WHEN abs(random() %% 10) = 0 THEN 40 + abs(random() %% 60) "
                          "ELSE 3 + abs(random() %% 20) END)")
        .arg(prefix)
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// SQL for a note: from one line to a few dozen, some of them in other scripts.
QString longText() {
    return QStringLiteral("'Record ' || i || char(10) || 'Ελληνικά, русский, 中文' || char(10) || "
                          "replace(hex(randomblob(10 + abs(random() % 600))), '0', char(10))");
}

} // namespace

QString benchProgramDirectory(const QString& cacheRoot, qint64 records, int deletedPercent) {
    if (deletedPercent > 0) {
        // A copy of the full data set, thinned by deletes that the file's triggers record.
        const QString full = benchProgramDirectory(cacheRoot, records, 0);
        const QString dir = QDir(cacheRoot).filePath(QStringLiteral("%1-del%2").arg(records).arg(deletedPercent));
        const QString done = QDir(dir).filePath(completeMark());
        if (QFile::exists(done))
            return dir;
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        for (const QString& name : QDir(full).entryList(QDir::Files))
            if (!name.startsWith(QLatin1String("complete")))
                QFile::copy(QDir(full).filePath(name), QDir(dir).filePath(name));
        {
            SQLite::Database db(QDir(dir).filePath(QStringLiteral("password.mdb")).toStdString(),
                                SQLite::OPEN_READWRITE);
            db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
            for (const char* table : {"account", "Credit Card", "Personal", "Notes", "Reminder"})
                db.exec(QStringLiteral("DELETE FROM \"%1\" WHERE _key > 1 AND abs(random() %% 100) < %2")
                            .arg(QString::fromLatin1(table))
                            .arg(deletedPercent)
                            .replace(QStringLiteral("%%"), QStringLiteral("%"))
                            .toStdString());
            db.exec("PRAGMA journal_mode=DELETE");
        }
        QFile f(done);
        f.open(QIODevice::WriteOnly);
        return dir;
    }
    const QString dir = QDir(cacheRoot).filePath(QString::number(records));
    const QString done = QDir(dir).filePath(completeMark());
    if (QFile::exists(done))
        return dir;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QString path = QDir(dir).filePath(QStringLiteral("password.mdb"));
    {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
        db.exec(readFile(QStringLiteral(SCHEMA_DIR "/password.sql")).toStdString());
        const QString rows =
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ")
                .arg(records);
        const QString inserts[] = {
            QStringLiteral("INSERT INTO account (Account, Website, User, Password, Notes) SELECT %1, %2, %3, %4, %5 "
                           "FROM n")
                .arg(shortText("Account"), shortText("https://site.example.com/"), shortText("user"), shortText("pw"),
                     longText()),
            QStringLiteral(
                "INSERT INTO \"Credit Card\" (\"Type Card\", \"Card Number\", \"Security Code\", Month, Year, "
                "\"Bank Name\", Address, \"Bank City\", \"Bank State\", \"Zip Code\", Phone, Website) "
                "SELECT 'Visa', %1, '123', '04', '2012', %2, %3, 'Springfield', 'OR', '97000', "
                "'(555) 010-2000', 'https://bank.example.com' FROM n")
                .arg(shortText("4111"), shortText("Bank"), shortText("Street")),
            QStringLiteral("INSERT INTO Personal (\"Full Name\", Address, Address1, City, State, Zip, Email) "
                           "SELECT %1, %2, '', 'Springfield', 'OR', '97000', %3 FROM n")
                .arg(shortText("Person"), shortText("Street"), shortText("mail")),
            QStringLiteral("INSERT INTO Notes (Title, Note) SELECT %1, %2 FROM n").arg(shortText("Note"), longText()),
            QStringLiteral("INSERT INTO Reminder (Date, Reminder) SELECT '1/15/2027', %1 FROM n").arg(longText()),
        };
        for (const QString& insert : inserts)
            db.exec((rows + insert).toStdString());
        db.exec("PRAGMA journal_mode=DELETE");
    }
    QFile::copy(QStringLiteral(DELIVERED_DIR "/pass2.mdb"), QDir(dir).filePath(QStringLiteral("pass2.mdb")));
    for (const QString& layout : QDir(QStringLiteral(DELIVERED_DIR)).entryList({"*.rpt"}))
        QFile::copy(QStringLiteral(DELIVERED_DIR "/") + layout, QDir(dir).filePath(layout));
    QFile f(done);
    f.open(QIODevice::WriteOnly);
    return dir;
}
