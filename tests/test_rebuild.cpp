// Restore and repair build a new database from the program's layout: a backup
// that cannot be read completely is refused with the database unchanged, a
// foreign file's tables, triggers and column types never reach the database,
// and a damaged database gives back every record that can still be read, in
// bounded time whatever page is damaged, and never text that was not written.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "search/SearchQuery.h"
#include "store/DataBinder.h"
#include "store/RecordDatabaseCheck.h"
#include "utility/DatabaseFiles.h"
#include "utility/UtilityWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <future>
#include <sys/stat.h>
#include <thread>

namespace {

const QString Legacy = QStringLiteral(SHARED_DIR "/fixtures/legacy/");

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList files(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeIf([](const QString& name) { return name.endsWith(".rpt"); });
    return names;
}

// Every record of a table as text, in key order, one line per record: its fields
// (a source made without identities gets derived ones; test_identity checks them).
QStringList records(const QString& path, const QString& table) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement all(db, QString("SELECT * FROM \"%1\" ORDER BY _key").arg(table).toStdString());
    QStringList rows;
    while (all.executeStep()) {
        QStringList fields;
        for (int c = 1; c < all.getColumnCount(); ++c)
            if (!QString::fromUtf8(all.getColumnName(c)).startsWith('_'))
                fields << (all.getColumn(c).isNull() ? "NULL" : QString::fromStdString(all.getColumn(c).getString()));
        rows << fields.join('|');
    }
    return rows;
}

// Overwrites one page of a database file, as a failing disk would.
void damagePage(const QString& path, qint64 page, char with = '\xEE') {
    SQLite::Database probe(path.toStdString(), SQLite::OPEN_READONLY);
    const qint64 size = probe.execAndGet("PRAGMA page_size").getInt64();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek((page - 1) * size + (page == 1 ? 0 : 0)));
    f.write(QByteArray(int(size), with));
}

qint64 rootPage(const QString& path, const QString& name) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement q(db, "SELECT rootpage FROM sqlite_master WHERE name = ?");
    q.bind(1, name.toStdString());
    return q.executeStep() ? q.getColumn(0).getInt64() : -1;
}

// A leaf page of a table in the middle of its b-tree.
qint64 middleLeaf(const QString& path, const QString& table) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement q(db, "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = 'leaf' ORDER BY path");
    q.bind(1, table.toStdString());
    QList<qint64> leaves;
    while (q.executeStep())
        leaves << q.getColumn(0).getInt64();
    return leaves.isEmpty() ? -1 : leaves.at(leaves.size() / 2);
}

void fillAccounts(const ProgramDirectory& dir, int count, int noteLength = 300) {
    dir.exec("password.mdb", QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                     "INSERT INTO account (Account, Password, Notes) SELECT 'site ' || i, 'pw' || i, "
                                     "printf('%.%2c', 'n') FROM n")
                                 .arg(count)
                                 .arg(noteLength));
}

// The pages of one b-tree of a kind ("internal", "leaf", "overflow"), in the b-tree's order.
QList<qint64> pagesOf(const QString& path, const QString& name, const QString& kind) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement q(db, "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = ? ORDER BY path");
    q.bind(1, name.toStdString());
    q.bind(2, kind.toStdString());
    QList<qint64> pages;
    while (q.executeStep())
        pages << q.getColumn(0).getInt64();
    return pages;
}

// Overwrites bytes inside one page, its structure left as it was.
void damageBytes(const QString& path, qint64 page, int from, const QByteArray& with) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek((page - 1) * 4096 + from));
    f.write(with);
}

QByteArray randomBytes(int count) {
    QByteArray bytes(count, '\0');
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// Overwrites the first place a text is stored in the file with bytes that are not UTF-8.
void garbleText(const QString& path, const QByteArray& text) {
    QByteArray bytes = fileBytes(path);
    const qsizetype at = bytes.indexOf(text);
    QVERIFY(at >= 0);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(at));
    f.write(QByteArray(text.size(), '\xFF'));
}

bool isUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Every text of a table that is not UTF-8, as "key field" (an identity's bytes are no text).
QStringList notUtf8(const QString& path, const QString& table) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement all(db, QString("SELECT * FROM \"%1\"").arg(table).toStdString());
    QStringList bad;
    while (all.executeStep()) {
        for (int c = 1; c < all.getColumnCount(); ++c) {
            const SQLite::Column value = all.getColumn(c);
            if (!value.isBlob() && !isUtf8(QByteArray(static_cast<const char*>(value.getBlob()), value.getBytes())))
                bad << QString("%1 %2").arg(all.getColumn(0).getInt64()).arg(value.getName());
        }
    }
    return bad;
}

// FTS5's own check of every search index, against the records too; empty when all pass.
QString searchIndexCheck(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    for (const char* table : {"account", "Credit Card", "Personal", "Notes", "Reminder"}) {
        try {
            db.exec(QString("INSERT INTO \"%1 search\" (\"%1 search\", rank) VALUES ('integrity-check', 1)")
                        .arg(table)
                        .toStdString());
        } catch (const std::exception& e) {
            return QString("%1: %2").arg(table, e.what());
        }
    }
    return searchIndexProblem(path);
}

// The keys of the records the search index finds for a text.
QList<qint64> searchHits(const QString& path, const QString& text) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement q(db, "SELECT rowid FROM \"account search\" WHERE \"account search\" MATCH ? ORDER BY rowid");
    // The index keeps which records hold each three-letter piece, not where.
    q.bind(1, SearchQuery::piecesOf(text).join(' ').toStdString());
    QList<qint64> keys;
    while (q.executeStep())
        keys << q.getColumn(0).getInt64();
    return keys;
}

// The repair, on a thread of its own: one that does not end in time ends the
// test program at once, rather than hold the suite.
DatabaseFiles::Outcome repairWithin(const QString& directory, int seconds) {
    auto outcome = std::make_shared<std::promise<DatabaseFiles::Outcome>>();
    std::future<DatabaseFiles::Outcome> done = outcome->get_future();
    std::thread([directory, outcome] { outcome->set_value(DatabaseFiles(directory).repair()); }).detach();
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready)
        qFatal("the repair did not end within %d s", seconds);
    return done.get();
}

// The line of the repair's report on one section.
QString sectionLine(const QStringList& lines, const QString& section) {
    for (const QString& line : lines)
        if (line.startsWith(section + ": "))
            return line;
    return {};
}

// One page of a b-tree as SQLite's dbstat sees it.
struct TreePage {
    qint64 number;
    QString path; // "/" for the root, its parent's path and more for the others
    QString kind;
    qint64 cells;
};

QList<TreePage> treeOf(const QString& path, const QString& name) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement q(db, "SELECT pageno, path, pagetype, ncell FROM dbstat WHERE name = ? ORDER BY path");
    q.bind(1, name.toStdString());
    QList<TreePage> pages;
    while (q.executeStep())
        pages << TreePage{q.getColumn(0).getInt64(), QString::fromStdString(q.getColumn(1).getString()),
                          QString::fromStdString(q.getColumn(2).getString()), q.getColumn(3).getInt64()};
    return pages;
}

// Damages pages of one b-tree: its root, an interior page below the root, its
// first or last leaf, two leaves with a sound one between, or every page.
// Returns how many records the damaged pages hold, below them included.
qint64 damageTree(const QString& path, const QString& name, const QString& which) {
    const QList<TreePage> pages = treeOf(path, name);
    QList<TreePage> leaves;
    for (const TreePage& page : pages)
        if (page.kind == "leaf")
            leaves << page;
    QList<TreePage> hit;
    if (which == "root") {
        hit << pages.first();
    } else if (which == "interior") {
        for (const TreePage& page : pages)
            if (page.kind == "internal" && page.path != "/" && hit.isEmpty())
                hit << page;
    } else if (which == "first leaf") {
        hit << leaves.first();
    } else if (which == "last leaf") {
        hit << leaves.last();
    } else if (which == "two leaves") {
        hit << leaves.at(leaves.size() / 3) << leaves.at(leaves.size() / 3 + 2);
    } else {
        hit = pages;
    }
    if (hit.isEmpty())
        qFatal("no page of %s to damage as %s", qPrintable(name), qPrintable(which));
    qint64 records = 0;
    for (const TreePage& leaf : leaves) {
        if (std::any_of(hit.begin(), hit.end(), [&](const TreePage& page) { return leaf.path.startsWith(page.path); }))
            records += leaf.cells;
    }
    for (const TreePage& page : hit)
        damagePage(path, page.number);
    return records;
}

QString recoveredLine(const QString& section, qint64 recovered, qint64 lost, qint64 inPart = 0) {
    return QString("%1: %2 recovered%3, %4")
        .arg(section)
        .arg(recovered)
        .arg(inPart ? QString(" (%1 of them in part: text that could not be read is left out)").arg(inPart) : "")
        .arg(lost ? QString("%1 lost").arg(lost) : "none lost");
}

const QString Cli = QStringLiteral(DELIVERED_DIR "/quillmere-cli");

} // namespace

class RebuildTest : public QObject {
    Q_OBJECT

    UtilityWindow* open(FakeContext& fake) { return fake.windows.show<UtilityWindow>(fake.context); }

    // Runs the utility's restore on a backup folder and returns what the user was told.
    FakePrompter::Call restoreThrough(FakeContext& fake, const QString& chosen) {
        UtilityWindow* utility = open(fake);
        fake.fileDialogs.answer = chosen;
        clickButton(utility, "cmdDRestore");
        clickButton(utility, "cmdRestore");
        return fake.prompter.last();
    }

    FakePrompter::Call repairThrough(FakeContext& fake) {
        UtilityWindow* utility = open(fake);
        clickButton(utility, "cmdDRepair");
        clickButton(utility, "cmdRepair");
        return fake.prompter.last();
    }

private slots:
    void unreadableBackupsAreRefusedWithNothingChanged_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("old-format file cut short") << "jet cut"
                                                   << "cannot be read completely";
        QTest::newRow("damaged data page") << "page"
                                           << "damaged";
        QTest::newRow("damaged first page") << "first"
                                            << "";
        QTest::newRow("foreign file in WAL mode") << "wal"
                                                  << "no table";
        QTest::newRow("named pipe") << "fifo"
                                    << "is not a file";
        QTest::newRow("no backup in the folder") << "none"
                                                 << "There is no password.mdb";
    }
    void unreadableBackupsAreRefusedWithNothingChanged() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        ProgramDirectory dir;
        ProgramDirectory backup;
        const QString source = backup.recordDatabase();
        if (kind == "jet cut") {
            writeFile(source, fileBytes(Legacy + "password.mdb").left(38912));
        } else if (kind == "page") {
            fillAccounts(backup, 400);
            damagePage(source, middleLeaf(source, "account"));
        } else if (kind == "first") {
            damagePage(source, 1);
        } else if (kind == "wal") {
            QFile::remove(source);
            SQLite::Database foreign(source.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            foreign.exec("PRAGMA journal_mode=WAL; CREATE TABLE other (x); INSERT INTO other VALUES (1)");
        } else if (kind == "fifo") {
            QFile::remove(source);
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        } else {
            QFile::remove(source);
        }
        const QByteArray live = dir.bytes("password.mdb");
        const QByteArray backupBytes = kind == "fifo" ? QByteArray() : fileBytes(source);
        const QStringList backupFiles = files(backup.path());
        FakeContext fake(dir.path());
        const FakePrompter::Call told = restoreThrough(fake, backup.file("pass2.mdb"));
        QCOMPARE(told.kind, QStringLiteral("warn"));
        const QStringList lines = told.text.split('\n');
        QCOMPARE(lines.value(0), QStringLiteral("Database has not been restored."));
        QVERIFY2(lines.size() == 2 && lines[1].contains(reason), qPrintable(told.text));
        QCOMPARE(dir.bytes("password.mdb"), live);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.mdb"}));
        if (kind != "fifo")
            QCOMPARE(fileBytes(source), backupBytes);
        QCOMPARE(files(backup.path()), backupFiles);
    }

    // What a foreign backup adds beside the records never reaches the database.
    void restoreTakesOnlyTheRecords_data() {
        QTest::addColumn<QString>("foreign");
        QTest::newRow("trigger that deletes the other records")
            << "CREATE TRIGGER wipe AFTER INSERT ON account BEGIN DELETE FROM account WHERE _key <> new._key; END";
        QTest::newRow("password column typed INTEGER")
            << "ALTER TABLE account RENAME TO old; CREATE TABLE account (_key INTEGER PRIMARY KEY, Account TEXT, "
               "Website TEXT, User TEXT, Password INTEGER, Notes TEXT); INSERT INTO account SELECT _key, Account, "
               "Website, User, Password, Notes FROM old; DROP TABLE old; UPDATE account SET Password = 7 WHERE _key = "
               "(SELECT min(_key) FROM account)";
        QTest::newRow("extra table and view") << "CREATE TABLE spy (x); CREATE VIEW peek AS SELECT * FROM account";
        QTest::newRow("unusual text") << QString::fromUtf16(u"UPDATE Notes SET Note = 'nbsp\u00A0ls\u2028ps\u2029cr\r"
                                                            u"' || char(0) || 'after NUL'");
    }
    void restoreTakesOnlyTheRecords() {
        QFETCH(QString, foreign);
        ProgramDirectory dir;
        ProgramDirectory backup;
        backup.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('only in the backup')");
        backup.exec("password.mdb", foreign);
        const QByteArray before = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        const FakePrompter::Call told = restoreThrough(fake, backup.recordDatabase());
        QCOMPARE(told.kind, QStringLiteral("info"));
        QCOMPARE(told.text, QStringLiteral("Your backup copy of the database has been restored !\nThe database it "
                                           "replaced is kept as password.before-restore.mdb."));
        QCOMPARE(checkRecordDatabase(dir.recordDatabase()), QString());
        for (const char* table : {"account", "Credit Card", "Personal", "Notes", "Reminder"})
            QCOMPARE(records(dir.recordDatabase(), table), records(backup.recordDatabase(), table));
        QCOMPARE(dir.query("password.mdb", "SELECT count(*) FROM sqlite_master WHERE name IN ('wipe', 'spy', 'peek')"),
                 QStringLiteral("0"));
        QCOMPARE(dir.query("password.mdb", "SELECT type FROM pragma_table_info('account') WHERE name = 'Password'"),
                 QStringLiteral("TEXT"));
        QCOMPARE(fileBytes(dir.file("password.before-restore.mdb")), before);
        QVERIFY(isOwnerOnly(dir.recordDatabase()));
        QVERIFY(isOwnerOnly(dir.file("password.before-restore.mdb")));

        // An ordinary save afterwards keeps every record and the typed text.
        DataBinder binder;
        binder.setDatabaseName(dir.recordDatabase());
        binder.setRecordSource("account");
        binder.open();
        QString typed = "007";
        binder.bind(
            "Password", this, [&] { return typed; }, [](const QString&) {});
        binder.AddNew();
        binder.Update();
        QCOMPARE(dir.count("account"), 5);
        QCOMPARE(dir.query("password.mdb", "SELECT Password FROM account ORDER BY _key DESC LIMIT 1"),
                 QStringLiteral("007"));
    }

    // A backup taken from a file in WAL mode: its last writes may lie only in its
    // log. They are read with it, on a private copy, and the backup is left as it was.
    void backupInWalModeIsRestoredWithItsLog_data() {
        QTest::addColumn<bool>("logBeside");
        QTest::newRow("log beside, not yet written back") << true;
        QTest::newRow("log written back, file still in WAL mode") << false;
    }
    void backupInWalModeIsRestoredWithItsLog() {
        QFETCH(bool, logBeside);
        ProgramDirectory dir;
        ProgramDirectory source;
        QTemporaryDir backup;
        const QString copy = backup.filePath("password.mdb");
        {
            SQLite::Database writer(source.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
            writer.exec("PRAGMA journal_mode=WAL");
            writer.exec("PRAGMA wal_autocheckpoint=0");
            writer.exec("INSERT INTO Notes (Title, Note) VALUES ('only in the log', 'written last')");
            writer.exec("DELETE FROM account WHERE _key = (SELECT min(_key) FROM account)");
            // Copied while the writer holds its log, as a plain-file backup would be.
            if (logBeside) {
                QVERIFY(QFile::copy(source.recordDatabase(), copy));
                QVERIFY(QFile::copy(source.recordDatabase() + "-wal", copy + "-wal"));
            }
        }
        if (!logBeside)
            QVERIFY(QFile::copy(source.recordDatabase(), copy));
        QCOMPARE(fileBytes(copy).mid(18, 2), QByteArray("\x02\x02", 2));
        const QStringList backupFiles = files(backup.path());
        const QByteArray backupBytes = fileBytes(copy);
        const QByteArray logBytes = fileBytes(copy + "-wal");

        FakeContext fake(dir.path());
        const FakePrompter::Call told = restoreThrough(fake, copy);
        QCOMPARE(told.kind, QStringLiteral("info"));
        QVERIFY2(told.text.startsWith("Your backup copy of the database has been restored !"), qPrintable(told.text));
        for (const char* table : {"account", "Credit Card", "Personal", "Notes", "Reminder"})
            QCOMPARE(records(dir.recordDatabase(), table), records(source.recordDatabase(), table));
        QCOMPARE(dir.query("password.mdb", "SELECT count(*) FROM Notes WHERE Title = 'only in the log'"),
                 QStringLiteral("1"));
        QCOMPARE(checkRecordDatabase(dir.recordDatabase()), QString());
        // The backup is only read; the private copy is gone.
        QCOMPARE(files(backup.path()), backupFiles);
        QCOMPARE(fileBytes(copy), backupBytes);
        QCOMPARE(fileBytes(copy + "-wal"), logBytes);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.before-restore.mdb", "password.mdb"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // A backup of a newer program may keep what this one does not know of: it is refused.
    void backupOfANewerProgramIsRefused() {
        ProgramDirectory dir;
        ProgramDirectory backup;
        backup.exec("password.mdb", "PRAGMA user_version = 99");
        const QByteArray live = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        const FakePrompter::Call told = restoreThrough(fake, backup.recordDatabase());
        QCOMPARE(told.kind, QStringLiteral("warn"));
        QVERIFY2(told.text.contains("newer version"), qPrintable(told.text));
        QCOMPARE(dir.bytes("password.mdb"), live);
    }

    void oldFormatBackupIsConvertedAsItIsRestored() {
        ProgramDirectory dir;
        QTemporaryDir backup;
        QVERIFY(QFile::copy(Legacy + "password.mdb", backup.filePath("password.mdb")));
        FakeContext fake(dir.path());
        const FakePrompter::Call told = restoreThrough(fake, backup.filePath("password.mdb"));
        QCOMPARE(told.kind, QStringLiteral("info"));
        QCOMPARE(checkRecordDatabase(dir.recordDatabase()), QString());
        QCOMPARE(dir.count("account"), 6);
        QCOMPARE(dir.count("Notes"), 6);
        QCOMPARE(dir.query("password.mdb", "SELECT Account FROM account ORDER BY _key LIMIT 1"),
                 QStringLiteral("Webmail"));
        QCOMPARE(fileBytes(backup.filePath("password.mdb")), fileBytes(Legacy + "password.mdb"));
    }

    void onlyTheLastReplacedDatabaseIsKept() {
        ProgramDirectory dir;
        ProgramDirectory first;
        ProgramDirectory second;
        first.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('first')");
        second.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('second')");
        QVERIFY(DatabaseFiles(dir.path()).restore(first.recordDatabase()).ok);
        const QByteArray afterFirst = dir.bytes("password.mdb");
        QVERIFY(DatabaseFiles(dir.path()).restore(second.recordDatabase()).ok);
        QCOMPARE(fileBytes(dir.file("password.before-restore.mdb")), afterFirst);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.before-restore.mdb", "password.mdb"}));
    }

    void repairSalvagesWhatCanBeRead_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("index page") << "index";
        QTest::newRow("data page") << "data";
    }
    void repairSalvagesWhatCanBeRead() {
        QFETCH(QString, damage);
        ProgramDirectory dir;
        fillAccounts(dir, 400);
        dir.exec("password.mdb", "UPDATE account SET Notes = printf('%.9000c', 'o') WHERE Account = 'site 200'");
        const QStringList before = records(dir.recordDatabase(), "account");
        const QStringList notes = records(dir.recordDatabase(), "Notes");
        if (damage == "index")
            damagePage(dir.recordDatabase(), rootPage(dir.recordDatabase(), "account identities"));
        else
            damagePage(dir.recordDatabase(), middleLeaf(dir.recordDatabase(), "account"));
        QVERIFY(integrityOf(dir.recordDatabase()) != "ok");
        const QByteArray damaged = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        const FakePrompter::Call told = repairThrough(fake);
        QCOMPARE(told.kind, QStringLiteral("info"));
        const QStringList lines = told.text.split('\n');
        QCOMPARE(lines.value(0), QStringLiteral("DataBase has been repaired !"));
        QCOMPARE(lines.last(), QStringLiteral("The damaged database is kept as password.damaged.mdb."));
        QCOMPARE(fileBytes(dir.file("password.damaged.mdb")), damaged);
        QVERIFY(isOwnerOnly(dir.file("password.damaged.mdb")));
        QVERIFY(isOwnerOnly(dir.recordDatabase()));
        QCOMPARE(checkRecordDatabase(dir.recordDatabase()), QString());
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.damaged.mdb", "password.mdb"}));

        // Every record recovered is one of the originals, whole; the report adds up.
        const QStringList after = records(dir.recordDatabase(), "account");
        for (const QString& record : after)
            QVERIFY2(before.contains(record), qPrintable(record.left(80)));
        const qint64 lost = before.size() - after.size();
        QVERIFY(lines.contains(QString("Passwords: %1 recovered, %2")
                                   .arg(after.size())
                                   .arg(lost ? QString("%1 lost").arg(lost) : "none lost")));
        QVERIFY(lines.contains("Notes: 3 recovered, none lost"));
        QCOMPARE(records(dir.recordDatabase(), "Notes"), notes);
        if (damage == "index")
            QCOMPARE(lost, 0);
        else
            QVERIFY2(lost > 0 && lost < 40, qPrintable(QString::number(lost)));
        QCOMPARE(dir.query("password.mdb", "SELECT rows FROM _counts WHERE tableName = 'account'").toLongLong(),
                 after.size());
        QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
    }

    // Whatever page is damaged, the repair ends, and it recovers every record a
    // sound page still holds: the records of the damaged pages are counted lost.
    void repairEndsWhateverIsDamaged_data() {
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QString>("which");
        QTest::addColumn<int>("accounts");
        QTest::addColumn<int>("noteLength");
        QTest::newRow("root page of the passwords") << "account"
                                                    << "root" << 400 << 300;
        // One password to a page: three levels, and an interior page holds half of them.
        QTest::newRow("interior page of the passwords") << "account"
                                                        << "interior" << 700 << 3000;
        QTest::newRow("first leaf of the passwords") << "account"
                                                     << "first leaf" << 400 << 300;
        QTest::newRow("last leaf of the passwords") << "account"
                                                    << "last leaf" << 400 << 300;
        QTest::newRow("two leaves with a sound one between") << "account"
                                                             << "two leaves" << 400 << 300;
        QTest::newRow("every page of the passwords") << "account"
                                                     << "all" << 400 << 300;
        QTest::newRow("every page of the passwords' identity index") << "account identities"
                                                                     << "all" << 400 << 300;
        QTest::newRow("root page of the notes") << "Notes"
                                                << "root" << 400 << 300;
        QTest::newRow("a page of the search index") << "account search_data"
                                                    << "first leaf" << 400 << 300;
        QTest::newRow("the kept counts") << "_counts"
                                         << "root" << 400 << 300;
    }
    void repairEndsWhateverIsDamaged() {
        QFETCH(QString, tree);
        QFETCH(QString, which);
        QFETCH(int, accounts);
        QFETCH(int, noteLength);
        ProgramDirectory dir;
        fillAccounts(dir, accounts, noteLength);
        const QString database = dir.recordDatabase();
        const QStringList passwords = records(database, "account");
        const QStringList notes = records(database, "Notes");
        const qint64 held = damageTree(database, tree, which);
        QVERIFY(integrityOf(database) != "ok");
        const QByteArray damaged = dir.bytes("password.mdb");

        const DatabaseFiles::Outcome outcome = repairWithin(dir.path(), 120);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        const QStringList lines = outcome.report.split('\n');
        const qint64 lostPasswords = tree == "account" ? held : 0;
        const qint64 lostNotes = tree == "Notes" ? held : 0;
        QCOMPARE(sectionLine(lines, "Passwords"),
                 recoveredLine("Passwords", passwords.size() - lostPasswords, lostPasswords));
        QCOMPARE(sectionLine(lines, "Notes"), recoveredLine("Notes", notes.size() - lostNotes, lostNotes));
        QCOMPARE(lines.last(), QStringLiteral("The damaged database is kept as password.damaged.mdb."));
        QCOMPARE(fileBytes(dir.file("password.damaged.mdb")), damaged);
        QCOMPARE(checkRecordDatabase(database), QString());
        QCOMPARE(searchIndexCheck(database), QString());
        for (const QString& record : records(database, "account"))
            QVERIFY2(passwords.contains(record), qPrintable(record.left(80)));
        QCOMPARE(records(database, "account").size(), passwords.size() - lostPasswords);
        QCOMPARE(dir.query("password.mdb", "SELECT rows FROM _counts WHERE tableName = 'account'").toLongLong(),
                 passwords.size() - lostPasswords);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.damaged.mdb", "password.mdb"}));
    }

    // Text SQLite reads without complaint but that is not what was written is
    // left out: a field keeps what lies before the damaged page, a record that
    // keeps nothing is lost, and the report says which.
    void damagedTextIsLeftOut_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("fewestKept"); // of the long note's 9,000 characters; -1: the record is lost
        QTest::addColumn<int>("mostKept");
        QTest::newRow("random bytes on an overflow page") << "random" << 1 << 4061;
        QTest::newRow("zeros on the last overflow page") << "zeros" << 4093 << 8153;
        QTest::newRow("an overflow page cut from its chain") << "cut" << 1 << 4061;
        QTest::newRow("text on a leaf that is not UTF-8") << "leaf" << -1 << -1;
    }
    void damagedTextIsLeftOut() {
        QFETCH(QString, damage);
        QFETCH(int, fewestKept);
        QFETCH(int, mostKept);
        ProgramDirectory dir;
        fillAccounts(dir, 400);
        dir.exec("password.mdb", "UPDATE account SET Notes = printf('%.9000c', 'o') WHERE Account = 'site 200'");
        const QString database = dir.recordDatabase();
        const QStringList before = records(database, "account");
        const QList<qint64> overflow = pagesOf(database, "account", "overflow");
        QCOMPARE(overflow.size(), 2);
        if (damage == "random")
            damageBytes(database, overflow.first(), 4, randomBytes(4092));
        else if (damage == "zeros")
            damageBytes(database, overflow.last(), 4, QByteArray(4092, '\0'));
        else if (damage == "cut")
            damagePage(database, overflow.first(), '\0');
        else
            garbleText(database, "site 123pw123");

        const DatabaseFiles::Outcome outcome = repairWithin(dir.path(), 120);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        const QStringList lines = outcome.report.split('\n');
        const QStringList after = records(database, "account");
        QCOMPARE(notUtf8(database, "account"), QStringList());
        QCOMPARE(searchIndexCheck(database), QString());
        QCOMPARE(lines.last(), QStringLiteral("The damaged database is kept as password.damaged.mdb."));
        if (fewestKept < 0) {
            QCOMPARE(sectionLine(lines, "Passwords"), recoveredLine("Passwords", before.size() - 1, 1));
            QCOMPARE(after.size(), before.size() - 1);
            QVERIFY(!after.join('\n').contains("pw123|"));
            for (const QString& record : after)
                QVERIFY(before.contains(record));
            return;
        }
        QCOMPARE(sectionLine(lines, "Passwords"), recoveredLine("Passwords", before.size(), 0, 1));
        QCOMPARE(after.size(), before.size());
        // All the others whole; the long one with its other fields and the start of its note.
        const QString kept = dir.query("password.mdb", "SELECT Notes FROM account WHERE Account = 'site 200'");
        QVERIFY2(kept.size() >= fewestKept && kept.size() <= mostKept, qPrintable(QString::number(kept.size())));
        QCOMPARE(kept, QString(kept.size(), 'o'));
        QCOMPARE(dir.query("password.mdb", "SELECT Password FROM account WHERE Account = 'site 200'"),
                 QStringLiteral("pw200"));
        int whole = 0;
        for (const QString& record : after)
            whole += before.contains(record) ? 1 : 0;
        QCOMPARE(whole, before.size() - 1);
    }

    // The search index is rebuilt by every repair and checked by FTS5's own
    // check: SQLite's integrity_check does not look inside it.
    void repairRebuildsTheSearchIndex_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("told"); // the line the report adds; empty when none
        QTest::newRow("index rows overwritten")
            << "UPDATE \"account search_data\" SET block = randomblob(length(block)) WHERE id > 10"
            << "The search index was damaged; it has been rebuilt.";
        QTest::newRow("a record left out of the index")
            << "INSERT INTO \"account search\" (\"account search\", rowid, Account, Website, User, Notes) SELECT "
               "'delete', _key, Account, Website, User, Notes FROM account WHERE Account = 'site 123'"
            << "The search index was damaged; it has been rebuilt.";
        // FTS5's check in this SQLite misses this one: the rebuild mends it all the same.
        QTest::newRow("index rows deleted") << "DELETE FROM \"account search_idx\""
                                            << "";
        // An index that cannot even be opened is built anew with the whole file.
        QTest::newRow("index settings damaged") << "UPDATE \"account search_config\" SET v = 99 WHERE k = 'version'"
                                                << "The damaged database is kept as password.damaged.mdb.";
        QTest::newRow("damaged page of the index") << "page"
                                                   << "The damaged database is kept as password.damaged.mdb.";
    }
    void repairRebuildsTheSearchIndex() {
        QFETCH(QString, damage);
        QFETCH(QString, told);
        ProgramDirectory dir;
        fillAccounts(dir, 400);
        const QString database = dir.recordDatabase();
        const QList<qint64> found = searchHits(database, "site 123");
        QCOMPARE(found.size(), 1);
        const QStringList before = records(database, "account");
        if (damage == "page")
            damagePage(database, pagesOf(database, "account search_data", "leaf").first());
        else
            dir.exec("password.mdb", damage);
        QVERIFY(searchIndexCheck(database) != QString() || searchHits(database, "site 123").isEmpty());

        FakeContext fake(dir.path());
        const FakePrompter::Call call = repairThrough(fake);
        QCOMPARE(call.kind, QStringLiteral("info"));
        const QStringList lines = call.text.split('\n');
        QCOMPARE(lines.first(), QStringLiteral("DataBase has been repaired !"));
        if (told.isEmpty())
            QCOMPARE(lines.size(), 1);
        else
            QCOMPARE(lines.last(), told);
        QCOMPARE(searchIndexCheck(database), QString());
        QCOMPARE(searchHits(database, "site 123").size(), 1);
        QCOMPARE(records(database, "account"), before);
    }

    // The command line tells what the window tells after a repair.
    void commandLineTellsWhatTheWindowTells() {
        ProgramDirectory window;
        fillAccounts(window, 400);
        damagePage(window.recordDatabase(), middleLeaf(window.recordDatabase(), "account"));
        ProgramDirectory command;
        QFile::remove(command.recordDatabase());
        QVERIFY(QFile::copy(window.recordDatabase(), command.recordDatabase()));
        FakeContext fake(window.path());
        const FakePrompter::Call shown = repairThrough(fake);
        QCOMPARE(shown.kind, QStringLiteral("info"));

        QProcess cli;
        cli.start(Cli, {"repair", "--password-stdin", "--folder", command.path()});
        cli.write("wren\n");
        cli.closeWriteChannel();
        QVERIFY2(cli.waitForFinished(60000), "the repair did not end");
        QCOMPARE(cli.exitCode(), 0);
        QStringList printed = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(printed.value(0).startsWith("DataBase has been repaired ! Its size is now "),
                 qPrintable(printed.value(0)));
        printed[0] = QStringLiteral("DataBase has been repaired !");
        QCOMPARE(printed, shown.text.split('\n'));
        QVERIFY(shown.text.contains("Passwords: ") && shown.text.contains(" lost\n"));
        QCOMPARE(files(command.path()), (QStringList{"pass2.mdb", "password.damaged.mdb", "password.mdb"}));
    }

    void repairRefusesWhatItCannotRebuild_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("notFound");
        QTest::addColumn<QString>("reason");
        QTest::newRow("damaged first page") << "first" << false << "cannot be repaired";
        QTest::newRow("damaged page of the layout") << "layout" << false << "cannot be repaired";
        QTest::newRow("left from an earlier repair") << "stale" << false << "earlier repair";
        QTest::newRow("missing") << "missing" << true << "";
        QTest::newRow("held by another program") << "held" << true << "";
    }
    void repairRefusesWhatItCannotRebuild() {
        QFETCH(QString, kind);
        QFETCH(bool, notFound);
        QFETCH(QString, reason);
        ProgramDirectory dir;
        std::unique_ptr<SQLite::Database> holder;
        if (kind == "first")
            damagePage(dir.recordDatabase(), 1);
        else if (kind == "layout")
            damagePage(dir.recordDatabase(), pagesOf(dir.recordDatabase(), "sqlite_schema", "leaf").first());
        else if (kind == "stale")
            writeFile(dir.file("password2.mdb"), "left by a crash");
        else if (kind == "missing")
            QFile::remove(dir.recordDatabase());
        else {
            holder = std::make_unique<SQLite::Database>(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
            holder->exec("BEGIN IMMEDIATE");
        }
        const QByteArray before = dir.bytes("password.mdb");
        const QStringList present = files(dir.path());
        FakeContext fake(dir.path());
        const FakePrompter::Call told = repairThrough(fake);
        QCOMPARE(told.kind, QStringLiteral("warn"));
        if (notFound) {
            QCOMPARE(told.title, QStringLiteral("Database not found"));
            QCOMPARE(told.text, QStringLiteral("Can't find database.\nPlease make sure that Quillmere Password "
                                               "Storage is not running."));
        } else {
            QCOMPARE(told.title, QStringLiteral("Quillmere Password Storage"));
            const QStringList lines = told.text.split('\n');
            QCOMPARE(lines.value(0), QStringLiteral("DataBase has not been repaired."));
            QVERIFY2(lines.value(1).contains(reason), qPrintable(told.text));
        }
        holder.reset();
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(files(dir.path()), present);
        QCOMPARE(open(fake)->Label9->text(), QStringLiteral("?"));
    }
};

QTEST_MAIN(RebuildTest)
#include "test_rebuild.moc"
