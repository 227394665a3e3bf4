#include "BenchDatabase.h"

#include <QDir>
#include <QFile>
#include <SQLiteCpp/Database.h>

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// SQL for a text of 5 to 40 characters that differs from row to row.
QString shortText(const QString& prefix) {
    return QStringLiteral("substr('%1 ' || i || ' ' || hex(randomblob(20)), 1, 5 + abs(random() % 36))").arg(prefix);
}

// SQL for a text of a few hundred characters over several lines.
QString longText() {
    return QStringLiteral("'Line one of record ' || i || char(10) || hex(randomblob(60)) || char(10) || "
                          "hex(randomblob(40)) || char(10) || 'The end.'");
}

} // namespace

QString benchProgramDirectory(const QString& cacheRoot, qint64 records) {
    const QString dir = QDir(cacheRoot).filePath(QString::number(records));
    const QString done = QDir(dir).filePath(QStringLiteral("complete"));
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
