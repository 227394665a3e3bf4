#include "BenchDatabase.h"

#include "store/Migration.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <SQLiteCpp/Database.h>

namespace {

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

namespace {

// The texts every data set of that size starts from, at the first layout
// version, without the search index: a file as older versions made them.
void makeOldRecords(const QString& path, qint64 records) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    db.exec(Migration::schemaOfVersion(0).toStdString());
    const QString rows =
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ").arg(records);
    const QString inserts[] = {
        QStringLiteral("INSERT INTO account (Account, Website, User, Password, Notes) SELECT %1, %2, %3, %4, %5 "
                       "FROM n")
            .arg(shortText("Account"), shortText("https://site.example.com/"), shortText("user"), shortText("pw"),
                 longText()),
        QStringLiteral("INSERT INTO \"Credit Card\" (\"Type Card\", \"Card Number\", \"Security Code\", Month, Year, "
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

// Thins a file by ordinary deletes, which its triggers record as the program's own would.
void deleteShare(const QString& path, int deletedPercent) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    for (const char* table : {"account", "Credit Card", "Personal", "Notes", "Reminder"})
        db.exec(QStringLiteral("DELETE FROM \"%1\" WHERE _key > 1 AND abs(random() %% 100) < %2")
                    .arg(QString::fromLatin1(table))
                    .arg(deletedPercent)
                    .replace(QStringLiteral("%%"), QStringLiteral("%"))
                    .toStdString());
    db.exec("PRAGMA journal_mode=DELETE");
}

QString cacheDirectory(const QString& cacheRoot, const QString& name) {
    // The layout version in the name: a data set made for an older layout is never reused.
    return QDir(cacheRoot).filePath(QStringLiteral("%1-v%2").arg(name).arg(Migration::newestVersion()));
}

void markComplete(const QString& dir) {
    QFile f(QDir(dir).filePath(QStringLiteral("complete")));
    f.open(QIODevice::WriteOnly);
}

} // namespace

QString benchOldDatabase(const QString& cacheRoot, qint64 records) {
    const QString dir = QDir(cacheRoot).filePath(QStringLiteral("%1-version0").arg(records));
    const QString path = QDir(dir).filePath(QStringLiteral("password.mdb"));
    if (QFile::exists(QDir(dir).filePath(QStringLiteral("complete"))))
        return path;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    makeOldRecords(path, records);
    markComplete(dir);
    return path;
}

QString benchProgramDirectory(const QString& cacheRoot, qint64 records, int deletedPercent) {
    const QString dir =
        cacheDirectory(cacheRoot, deletedPercent > 0 ? QStringLiteral("%1-del%2").arg(records).arg(deletedPercent)
                                                     : QString::number(records));
    if (QFile::exists(QDir(dir).filePath(QStringLiteral("complete"))))
        return dir;
    const QString old = benchOldDatabase(cacheRoot, records);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    const QString path = QDir(dir).filePath(QStringLiteral("password.mdb"));
    QFile::copy(old, path);
    // Deleted at the old version, then migrated as the program does at start: the
    // same records as deletes on the newest version leave, made in a fraction of the time.
    if (deletedPercent > 0)
        deleteShare(path, deletedPercent);
    QElapsedTimer timer;
    timer.start();
    const Migration::Outcome outcome = Migration::migrate(path);
    if (!outcome.error.isEmpty())
        qFatal("%s", qPrintable(outcome.error));
    QFile timing(QDir(dir).filePath(QStringLiteral("migration-ms")));
    if (timing.open(QIODevice::WriteOnly))
        timing.write(QByteArray::number(timer.nsecsElapsed() / 1e6));
    QFile::copy(QStringLiteral(DELIVERED_DIR "/pass2.mdb"), QDir(dir).filePath(QStringLiteral("pass2.mdb")));
    for (const QString& layout : QDir(QStringLiteral(DELIVERED_DIR)).entryList({"*.rpt"}))
        QFile::copy(QStringLiteral(DELIVERED_DIR "/") + layout, QDir(dir).filePath(layout));
    markComplete(dir);
    return dir;
}

double benchRecordedMigrationMs(const QString& cacheRoot, qint64 records) {
    QFile timing(QDir(cacheDirectory(cacheRoot, QString::number(records))).filePath(QStringLiteral("migration-ms")));
    return timing.open(QIODevice::ReadOnly) ? timing.readAll().toDouble() : -1;
}
