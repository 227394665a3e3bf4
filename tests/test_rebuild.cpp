// Restore and repair build a new database from the program's layout: a backup
// that cannot be read completely is refused with the database unchanged, a
// foreign file's tables, triggers and column types never reach the database,
// and a damaged database gives back every record that can still be read.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "store/DataBinder.h"
#include "store/RecordDatabaseCheck.h"
#include "utility/DatabaseFiles.h"
#include "utility/UtilityWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sys/stat.h>

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

// Every record of a table as text, in key order, one line per record.
QStringList records(const QString& path, const QString& table) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement all(db, QString("SELECT * FROM \"%1\" ORDER BY _key").arg(table).toStdString());
    QStringList rows;
    while (all.executeStep()) {
        QStringList fields;
        for (int c = 1; c < all.getColumnCount(); ++c)
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

void fillAccounts(const ProgramDirectory& dir, int count) {
    dir.exec("password.mdb", QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                     "INSERT INTO account (Account, Password, Notes) SELECT 'site ' || i, 'pw' || i, "
                                     "printf('%.300c', 'n') FROM n")
                                 .arg(count));
}

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
        QTest::newRow("overflow page of one record") << "overflow";
    }
    void repairSalvagesWhatCanBeRead() {
        QFETCH(QString, damage);
        ProgramDirectory dir;
        fillAccounts(dir, 400);
        dir.exec("password.mdb", "UPDATE account SET Notes = printf('%.9000c', 'o') WHERE Account = 'site 200'");
        const QStringList before = records(dir.recordDatabase(), "account");
        const QStringList notes = records(dir.recordDatabase(), "Notes");
        if (damage == "index") {
            damagePage(dir.recordDatabase(), rootPage(dir.recordDatabase(), "account keys"));
        } else if (damage == "data") {
            damagePage(dir.recordDatabase(), middleLeaf(dir.recordDatabase(), "account"));
        } else {
            SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READONLY);
            const qint64 page =
                db.execAndGet("SELECT pageno FROM dbstat WHERE name = 'account' AND pagetype = 'overflow' LIMIT 1")
                    .getInt64();
            damagePage(dir.recordDatabase(), page, '\0');
        }
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
        else if (damage == "data")
            QVERIFY2(lost > 0 && lost < 40, qPrintable(QString::number(lost)));
        else
            QVERIFY(!after.join('\n').contains("site 200|") && lost == 1);
        QCOMPARE(dir.query("password.mdb", "SELECT rows FROM _counts WHERE tableName = 'account'").toLongLong(),
                 after.size());
        QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
    }

    void repairRefusesWhatItCannotRebuild_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("notFound");
        QTest::addColumn<QString>("reason");
        QTest::newRow("damaged first page") << "first" << false << "cannot be repaired";
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
