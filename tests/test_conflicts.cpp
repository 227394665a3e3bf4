// What a start finds beside the record database when a sync tool keeps it in
// step with other computers: conflict copies, merged and moved away (damaged
// ones set aside, never merged), also by the running program; and journals, a
// crash's own rolled back, one carried in from another copy set aside.
#include "CrashWorker.h"
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/Startup.h"
#include "store/Schema.h"
#include "sync/ConflictCopies.h"
#include "sync/ConflictWatcher.h"
#include "sync/JournalCheck.h"
#include "utility/UtilityWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>

namespace {

QString value(const QString& path, const QString& sql) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    return QString::fromStdString(db.execAndGet(sql.toStdString()).getString());
}

// A conflict copy of the directory's database with one password more, under the given name.
QString conflictCopy(const ProgramDirectory& dir, const QString& name, const QString& account) {
    const QString path = dir.file(name);
    QFile::copy(dir.recordDatabase(), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    SQLite::Statement add(db, "INSERT INTO account (Account) VALUES (?)");
    add.bind(1, account.toStdString());
    add.exec();
    return path;
}

void damage(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(file.size() / 2 / 4096 * 4096));
    file.write(QByteArray(4096, '\xEE'));
}

// A copy of the directory's database with many long notes, for the crash worker.
void fillNotes(const QString& path, int count) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("DELETE FROM Notes; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            std::to_string(count) +
            ") INSERT INTO Notes (Title, Note) SELECT 'n' || i, '0000000000-' || "
            "hex(randomblob(600)) FROM n");
}

// One large transaction, then nothing: a crash during it leaves a journal of the
// file's first write since it was copied.
int crashOnceWorker(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=20");
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    db.exec("UPDATE Notes SET Note = '1111111111-' || substr(Note, 12)");
    for (;;)
        QThread::sleep(1);
}

} // namespace

class ConflictsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void namesOfConflictCopies_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("copy");
        QTest::newRow("Syncthing") << "password.sync-conflict-20261207-101500-ABCDEF1.mdb" << true;
        QTest::newRow("Nextcloud") << "password (conflicted copy 2026-12-07 101500).mdb" << true;
        QTest::newRow("Dropbox") << "password (Robin's conflicted copy 2026-12-07).mdb" << true;
        QTest::newRow("the database itself") << "password.mdb" << false;
        QTest::newRow("the password store's copy") << "pass2.sync-conflict-20261207-101500-ABCDEF1.mdb" << false;
        QTest::newRow("a backup") << "password.before-restore.mdb" << false;
        QTest::newRow("Syncthing's temporary file") << ".syncthing.password.mdb.tmp" << false;
    }
    void namesOfConflictCopies() {
        QFETCH(QString, name);
        QFETCH(bool, copy);
        QCOMPARE(ConflictCopies::isConflictCopy(name), copy);
    }

    // At start every conflict copy is merged, moved into conflicts/merged, and the
    // user told what it brought; a damaged one goes to conflicts/damaged unmerged.
    void startMergesConflictCopies() {
        ProgramDirectory dir;
        const QString syncthing =
            conflictCopy(dir, "password.sync-conflict-20261207-101500-ABCDEF1.mdb", "from the laptop");
        const QString nextcloud =
            conflictCopy(dir, "password (conflicted copy 2026-12-07 101500).mdb", "from the desk");
        const QString damaged = conflictCopy(dir, "password (Robin's conflicted copy 2026-12-07).mdb", "lost");
        damage(damaged);
        const QByteArray damagedBytes = fileBytes(damaged);
        const qint64 before = dir.count("account");
        FakeContext fake(dir.path());
        mergeChangesFromElsewhere(fake.context);

        QCOMPARE(dir.count("account"), before + 2);
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM account WHERE Account = 'lost'"), QString("0"));
        QCOMPARE(QDir(dir.file("conflicts/merged")).entryList(QDir::Files).size(), 2);
        QCOMPARE(fileBytes(dir.file("conflicts/damaged/" + QFileInfo(damaged).fileName())), damagedBytes);
        QVERIFY(!QFile::exists(syncthing) && !QFile::exists(nextcloud) && !QFile::exists(damaged));
        QCOMPARE(QFile::permissions(dir.file("conflicts")) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The notices: what was merged, and the damaged copy as a warning.
        QCOMPARE(fake.prompter.calls.size(), 2);
        QCOMPARE(fake.prompter.calls[0].kind, QString("info"));
        QVERIFY2(fake.prompter.calls[0].text.contains("Passwords: 1 added") &&
                     fake.prompter.calls[0].text.contains(QDir::toNativeSeparators(dir.file("conflicts/merged"))),
                 qPrintable(fake.prompter.calls[0].text));
        QCOMPARE(fake.prompter.calls[1].kind, QString("warn"));
        QVERIFY2(fake.prompter.calls[1].text.contains("damaged"), qPrintable(fake.prompter.calls[1].text));
        // The next start finds nothing to do and says nothing.
        FakeContext again(dir.path());
        mergeChangesFromElsewhere(again.context);
        QCOMPARE(again.prompter.calls.size(), 0);
    }

    // The running program merges a copy within seconds of it appearing.
    void runningProgramMergesNewCopies() {
        ProgramDirectory dir;
        ConflictWatcher watcher(dir.recordDatabase());
        QSignalSpy merged(&watcher, &ConflictWatcher::merged);
        const qint64 before = dir.count("account");
        // Made elsewhere and renamed into place, as a sync tool does.
        const QString made = conflictCopy(dir, "incoming.tmp", "arrived");
        QVERIFY(QFile::rename(made, dir.file("password.sync-conflict-20261207-101500-XYZ.mdb")));
        QTRY_COMPARE_WITH_TIMEOUT(merged.size(), 1, 8000);
        QCOMPARE(merged[0][1].toBool(), false);
        QVERIFY(merged[0][0].toString().contains("Passwords: 1 added"));
        QCOMPARE(dir.count("account"), before + 1);
    }

    // The Database Utility's Import / Export topic merges a copy the user picks.
    void utilityMergesACopy_data() {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("a copy from another computer") << false;
        QTest::newRow("a damaged copy") << true;
    }
    void utilityMergesACopy() {
        QFETCH(bool, damaged);
        ProgramDirectory dir;
        QTemporaryDir stick;
        const QString copy = stick.filePath("password.mdb");
        QVERIFY(QFile::copy(conflictCopy(dir, "carried.mdb", "from the stick"), copy));
        if (damaged)
            damage(copy);
        const QByteArray before = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        UtilityWindow* window = fake.windows.show<UtilityWindow>(fake.context);
        QVERIFY(window);
        click(window, "cmdDExchange");
        fake.fileDialogs.answer = copy;
        click(window, "cmdMerge");
        QCOMPARE(fake.prompter.calls.size(), 1);
        if (damaged) {
            QCOMPARE(fake.prompter.last().kind, QString("warn"));
            QVERIFY(fake.prompter.last().text.startsWith("Nothing has been merged."));
            QCOMPARE(dir.bytes("password.mdb"), before);
        } else {
            QCOMPARE(fake.prompter.last().kind, QString("info"));
            QVERIFY2(fake.prompter.last().text.contains("Passwords: 1 added"), qPrintable(fake.prompter.last().text));
            QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM account WHERE Account = 'from the stick'"),
                     QString("1"));
        }
        QVERIFY(QFile::exists(copy));
    }

    // A journal left by a crash of this very file is rolled back, as SQLite would:
    // every transaction is whole afterwards.
    void ownJournalIsRolledBack() {
        ProgramDirectory dir;
        fillNotes(dir.recordDatabase(), 300);
        int crashes = 0;
        for (int round = 0; round < 4; ++round) {
            QVERIFY(crashLeavingJournal(dir.recordDatabase()));
            ++crashes;
            QCOMPARE(JournalCheck::judge(dir.recordDatabase()), JournalCheck::Verdict::Own);
            const JournalCheck::Outcome outcome = JournalCheck::settle(dir.recordDatabase());
            QCOMPARE(outcome.verdict, JournalCheck::Verdict::Own);
            QVERIFY(outcome.notice.isEmpty());
            QVERIFY(!QFile::exists(dir.recordDatabase() + "-journal"));
            QCOMPARE(integrityOf(dir.recordDatabase()), QString("ok"));
            // One token in every note: no transaction half done.
            QCOMPARE(value(dir.recordDatabase(), "SELECT count(DISTINCT substr(Note, 1, 11)) FROM Notes"),
                     QString("1"));
        }
        QVERIFY(!QDir(dir.file("conflicts")).exists());
        qInfo("%d crashes left journals of their own, all rolled back", crashes);
    }

    // A journal carried in from another computer's copy is never rolled back into
    // this file: it is set aside and the file stays as it is.
    void foreignJournalIsSetAside_data() {
        QTest::addColumn<int>("writesHere");
        // Its page 1 tells: the counters are further apart than one write.
        QTest::newRow("this copy wrote more since they parted") << 3;
        // Its page 1 is as this file's was one write ago, but the journal is newer than the file.
        QTest::newRow("this copy wrote once since") << 0;
    }
    void foreignJournalIsSetAside() {
        QFETCH(int, writesHere);
        ProgramDirectory dir;
        fillNotes(dir.recordDatabase(), 300);
        QTemporaryDir elsewhere;
        const QString other = elsewhere.filePath("password.mdb");
        const QString parted = elsewhere.filePath("parted.mdb");
        QVERIFY(QFile::copy(dir.recordDatabase(), parted));
        for (int n = 0; n < writesHere; ++n)
            dir.exec("password.mdb", QStringLiteral("INSERT INTO account (Account) VALUES ('here %1')").arg(n));
        // This copy's notes are its own, so a rollback of the other's pages would show.
        dir.exec("password.mdb", "UPDATE Notes SET Title = Title || ' here'");
        QVERIFY(crashLeavingJournal(other, parted));
        QVERIFY(QFile::copy(other + "-journal", dir.recordDatabase() + "-journal"));
        const QByteArray before = dir.bytes("password.mdb");

        QCOMPARE(JournalCheck::judge(dir.recordDatabase()), JournalCheck::Verdict::Foreign);
        FakeContext fake(dir.path());
        QVERIFY(settleRecordJournal(fake.context));
        QCOMPARE(dir.bytes("password.mdb"), before);
        QVERIFY(!QFile::exists(dir.recordDatabase() + "-journal"));
        const QStringList setAside = QDir(dir.file("conflicts/journals")).entryList(QDir::Files);
        QCOMPARE(setAside.size(), 1);
        QCOMPARE(fileBytes(dir.file("conflicts/journals/" + setAside.first())), fileBytes(other + "-journal"));
        QCOMPARE(fake.prompter.calls.size(), 1);
        QVERIFY2(fake.prompter.last().text.contains("was not applied"), qPrintable(fake.prompter.last().text));
        QCOMPARE(integrityOf(dir.recordDatabase()), QString("ok"));
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM Notes WHERE Title NOT LIKE '% here'"), QString("0"));
        // The other computer's own start rolls its journal back as its own.
        QCOMPARE(JournalCheck::judge(other), JournalCheck::Verdict::Own);
    }

    // A journal whose header was never completed is SQLite's to ignore; one that
    // another program is writing right now is left alone.
    void journalsLeftToSQLite() {
        ProgramDirectory dir;
        QFile journal(dir.recordDatabase() + "-journal");
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray(4096, '\0'));
        journal.close();
        QCOMPARE(JournalCheck::judge(dir.recordDatabase()), JournalCheck::Verdict::NotHot);
        QFile::remove(journal.fileName());
        // A writer in another process: its journal is its own business while it writes.
        fillNotes(dir.recordDatabase(), 300);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--crash-worker", dir.recordDatabase()});
        QVERIFY(child.waitForStarted());
        int seen = 0, judgedOtherwise = 0;
        for (int look = 0; look < 400 && seen < 20; ++look) {
            if (QFile::exists(journal.fileName())) {
                ++seen;
                if (JournalCheck::judge(dir.recordDatabase()) != JournalCheck::Verdict::None)
                    ++judgedOtherwise;
            }
            QThread::msleep(2);
        }
        child.kill();
        child.waitForFinished();
        QVERIFY(seen > 0);
        QCOMPARE(judgedOtherwise, 0);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--crash-worker") {
        QCoreApplication app(argc, argv);
        return crashWorker(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && QByteArray(argv[1]) == "--crash-once") {
        QCoreApplication app(argc, argv);
        return crashOnceWorker(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    ConflictsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_conflicts.moc"
