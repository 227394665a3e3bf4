// The database utility: size display, backup, restore and repair of whole files.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "utility/DatabaseFiles.h"
#include "utility/UtilityWindow.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/file.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The files of a folder, report layouts aside: databases and any temporary left over.
QStringList files(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeIf([](const QString& name) { return name.endsWith(".rpt"); });
    return names;
}

} // namespace

class UtilityTest : public QObject {
    Q_OBJECT

    UtilityWindow* open(FakeContext& fake) { return fake.windows.show<UtilityWindow>(fake.context); }

private slots:
    void sizeText_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << qint64(200 * 1024) << "en_US"
                               << "200 KB";
        QTest::newRow("fraction") << qint64(123456) << "en_US"
                                  << "120.5625 KB";
        QTest::newRow("comma locale") << qint64(123456) << "de_DE"
                                      << "120,5625 KB";
        QTest::newRow("no thousands separator") << qint64(2048 * 1024 + 512) << "en_US"
                                                << "2048.5 KB";
        QTest::newRow("fifteen digits") << qint64(1000) << "en_US"
                                        << "0.9765625 KB";
        QTest::newRow("empty") << qint64(0) << "en_US"
                               << "0 KB";
    }
    void sizeText() {
        QFETCH(qint64, bytes);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QCOMPARE(DatabaseFiles::sizeText(bytes, QLocale(locale)), text);
    }

    void opensOnTheBackupPanel() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        QCOMPARE(utility->windowTitle(), QStringLiteral(" Database Utility"));
        QVERIFY(utility->cmdDBackup->isChecked());
        QVERIFY(utility->backupPanel->isVisible());
        QVERIFY(!utility->restorePanel->isVisible() && !utility->repairPanel->isVisible());
        QCOMPARE(utility->Label8->text(), DatabaseFiles::sizeText(QFileInfo(dir.recordDatabase()).size(), QLocale()));
        QCOMPARE(utility->Label9->text(), QStringLiteral("?"));
        click(utility, "cmdDRepair");
        QVERIFY(utility->repairPanel->isVisible() && !utility->backupPanel->isVisible());
        QVERIFY(utility->cmdDRepair->isChecked() && !utility->cmdDBackup->isChecked());
        click(utility, "cmdDRestore");
        QVERIFY(utility->restorePanel->isVisible() && !utility->repairPanel->isVisible());
    }

    void backupIgnoresTheTypedNameAndReplaces() {
        ProgramDirectory dir;
        QTemporaryDir target;
        writeFile(target.filePath("password.mdb"), "an older backup");
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        fake.fileDialogs.answer = target.filePath("mybackup");
        click(utility, "cmdBackup");
        QCOMPARE(fake.fileDialogs.requests.last().title, QStringLiteral("Save Database Backup"));
        QCOMPARE(fake.fileDialogs.requests.last().proposedName, QStringLiteral("password"));
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(fake.prompter.last().text, QStringLiteral("Backup has been saved."));
        QCOMPARE(files(target.path()), QStringList{"password.mdb"});
        QCOMPARE(dir.bytes("password.mdb"), [&] {
            QFile f(target.filePath("password.mdb"));
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }());
        QVERIFY(isOwnerOnly(target.filePath("password.mdb")));

        fake.fileDialogs.answer.reset();
        const int calls = fake.prompter.calls.size();
        click(utility, "cmdBackup");
        QCOMPARE(fake.prompter.calls.size(), calls); // a cancel says nothing
    }

    void failedBackupWarnsAndKeepsTheOldCopy() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        fake.fileDialogs.answer = dir.file("no such folder/password");
        click(utility, "cmdBackup");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QVERIFY(fake.prompter.last().text.startsWith("The backup has not been saved.\n"));

        QTemporaryDir target;
        writeFile(target.filePath("password.mdb"), "an older backup");
        DatabaseFiles failing(dir.path(), [](const QString&, const QString&) { return false; });
        QVERIFY(!failing.backup(target.filePath("x")).ok);
        QCOMPARE(files(target.path()), QStringList{"password.mdb"});
        QFile old(target.filePath("password.mdb"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("an older backup"));
    }

    void restoreTakesPasswordMdbFromTheFolder() {
        ProgramDirectory dir;
        ProgramDirectory backup;
        backup.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('only in the backup')");
        writeFile(backup.file("notes.txt"), "any file will do");
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        const QString sizeBefore = utility->Label8->text();
        fake.fileDialogs.answer = backup.file("notes.txt");
        click(utility, "cmdDRestore");
        click(utility, "cmdRestore");
        QCOMPARE(fake.fileDialogs.requests.last().title, QStringLiteral("Restore Backup Database"));
        QCOMPARE(fake.prompter.last().text,
                 QStringLiteral("Your backup copy of the database has been restored !\nThe "
                                "database it replaced is kept as password.before-restore.mdb."));
        QCOMPARE(dir.count("Notes"), 4);
        QVERIFY(isOwnerOnly(dir.recordDatabase()));
        QCOMPARE(utility->Label8->text(), sizeBefore);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.before-restore.mdb", "password.mdb"}));
    }

    void restoreRefusesWhatIsNotADatabase_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("folder without password.mdb") << "none";
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("database missing a table") << "table";
    }
    void restoreRefusesWhatIsNotADatabase() {
        QFETCH(QString, kind);
        ProgramDirectory dir;
        ProgramDirectory backup;
        if (kind == "none")
            QFile::remove(backup.recordDatabase());
        else if (kind == "garbage")
            writeFile(backup.recordDatabase(), QByteArray(8192, '\x55'));
        else if (kind == "table")
            backup.exec("password.mdb", "DROP TABLE Reminder");
        const QByteArray before = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        if (kind != "cancel")
            fake.fileDialogs.answer = backup.file("pass2.mdb");
        click(utility, "cmdDRestore");
        click(utility, "cmdRestore");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        // A cancel says no more; a refusal says why on a second line.
        const QStringList lines = fake.prompter.last().text.split('\n');
        QCOMPARE(lines.value(0), QStringLiteral("Database has not been restored."));
        QCOMPARE(lines.size(), kind == "cancel" ? 1 : 2);
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.mdb"}));
    }

    void missingDatabaseIsSaidAndRestoreBringsItBack() {
        ProgramDirectory dir;
        ProgramDirectory backup;
        QFile::remove(dir.recordDatabase());
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        QCOMPARE(utility->Label8->text(), QStringLiteral("not found"));
        fake.fileDialogs.answer = backup.recordDatabase();
        click(utility, "cmdDRestore");
        click(utility, "cmdRestore");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(dir.count("account"), 4);
    }

    void repairCompactsAndSwaps() {
        ProgramDirectory dir;
        for (int i = 0; i < 200; ++i)
            dir.exec(
                "password.mdb",
                QString("INSERT INTO Notes (Title, Note) VALUES ('n%1', '%2')").arg(i).arg(QString(2000, QChar('x'))));
        dir.exec("password.mdb", "DELETE FROM Notes WHERE Title LIKE 'n%'");
        const qint64 before = QFileInfo(dir.recordDatabase()).size();
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        click(utility, "cmdDRepair");
        click(utility, "cmdRepair");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("DataBase has been repaired !"));
        const qint64 after = QFileInfo(dir.recordDatabase()).size();
        QVERIFY(after < before);
        QCOMPARE(utility->Label9->text(), DatabaseFiles::sizeText(after, QLocale()));
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.mdb"}));
        QCOMPARE(dir.count("Notes"), 3);
        QCOMPARE(dir.count("account"), 4);
        QVERIFY(isOwnerOnly(dir.recordDatabase()));
    }

    void repairFailuresChangeNothing_data() {
        QTest::addColumn<bool>("stale");
        QTest::newRow("stale password2.mdb") << true;
        QTest::newRow("rename fails") << false;
    }
    void repairFailuresChangeNothing() {
        QFETCH(bool, stale);
        ProgramDirectory dir;
        if (stale)
            writeFile(dir.file("password2.mdb"), "left by a crash");
        const QByteArray before = dir.bytes("password.mdb");
        if (stale) {
            FakeContext fake(dir.path());
            UtilityWindow* utility = open(fake);
            click(utility, "cmdDRepair");
            click(utility, "cmdRepair");
            QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
            QCOMPARE(fake.prompter.last().text,
                     QStringLiteral("DataBase has not been repaired.\n%1 is left from an earlier repair; move it away "
                                    "to repair again.")
                         .arg(dir.file("password2.mdb")));
            QCOMPARE(utility->Label9->text(), QStringLiteral("?"));
            QCOMPARE(dir.bytes("password2.mdb"), QByteArray("left by a crash"));
        } else {
            DatabaseFiles failing(dir.path(), [](const QString&, const QString&) { return false; });
            QVERIFY(!failing.repair().ok);
            QVERIFY(!QFile::exists(dir.file("password2.mdb")));
        }
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    // The repair shows how far it has come with a Cancel, and a cancelled
    // repair, sound or damaged file, leaves everything as it was.
    void repairShowsProgressAndCancels_data() {
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("cancel"); // "at once", "while copying" (once a share is shown) or "never"
        QTest::newRow("sound file, cancelled") << false << "at once";
        QTest::newRow("damaged file, cancelled") << true << "at once";
        QTest::newRow("damaged file, cancelled while copying") << true << "while copying";
        QTest::newRow("damaged file, to the end") << true << "never";
    }
    void repairShowsProgressAndCancels() {
        QFETCH(bool, damaged);
        QFETCH(QString, cancel);
        ProgramDirectory dir;
        dir.exec("password.mdb",
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                 "INSERT INTO account (Account, Notes) SELECT 'site ' || i, printf('%.300c', 'n') FROM n");
        if (damaged) {
            QFile f(dir.recordDatabase());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(f.size() / 2 / 4096 * 4096));
            f.write(QByteArray(4096, '\xEE'));
        }
        const QByteArray before = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        click(utility, "cmdDRepair");
        bool shown = false;
        int largestShare = -1;
        // Runs while the repair does: the repair turns the event loop.
        QTimer watcher;
        watcher.setInterval(0);
        connect(&watcher, &QTimer::timeout, utility, [&] {
            auto* progress = utility->findChild<QProgressDialog*>("repairProgress");
            if (!progress)
                return;
            shown = shown || progress->isVisible();
            largestShare = std::max(largestShare, progress->maximum() > 0 ? progress->value() : -1);
            if (cancel == "at once" || (cancel == "while copying" && progress->maximum() > 0)) {
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
                watcher.stop();
            }
        });
        watcher.start();
        click(utility, "cmdRepair");
        watcher.stop();
        QVERIFY(shown);
        QVERIFY(!utility->findChild<QProgressDialog*>("repairProgress"));
        if (cancel == "while copying")
            QVERIFY(largestShare >= 0 && largestShare < 1000);
        if (cancel == "never") {
            QVERIFY(largestShare > 0);
            QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
            QVERIFY(fake.prompter.last().text.startsWith("DataBase has been repaired !\nThe database was damaged."));
            return;
        }
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QCOMPARE(fake.prompter.last().text, QStringLiteral("DataBase has not been repaired.\nThe repair was cancelled; "
                                                           "the database has not been changed."));
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.mdb"}));
        QCOMPARE(utility->Label9->text(), QStringLiteral("?"));
    }

    // A file left by a repair that was killed is the repair's own: the next one
    // clears it. The file of a repair that runs now, and any other file of that
    // name, are left alone and the repair refused.
    void leftoversOfAKilledRepairAreCleared_data() {
        QTest::addColumn<QString>("left");
        QTest::newRow("password2.mdb one file with its second name") << "killed";
        QTest::newRow("the same, its repair still running") << "running";
        QTest::newRow("password2.mdb another file than its second name") << "foreign";
    }
    void leftoversOfAKilledRepairAreCleared() {
        QFETCH(QString, left);
        ProgramDirectory dir;
        const QString second = dir.file(".password2.mdb.repair");
        writeFile(second, "half a repair");
        if (left == "foreign")
            writeFile(dir.file("password2.mdb"), "half a repair");
        else
            QCOMPARE(::link(qPrintable(second), qPrintable(dir.file("password2.mdb"))), 0);
        QFile running(second);
        if (left == "running") {
            QVERIFY(running.open(QIODevice::ReadOnly));
            QCOMPARE(::flock(running.handle(), LOCK_EX | LOCK_NB), 0);
        }
        const QByteArray before = dir.bytes("password.mdb");
        const DatabaseFiles::Outcome outcome = DatabaseFiles(dir.path()).repair();
        QCOMPARE(outcome.ok, left == "killed");
        if (left == "killed") {
            QCOMPARE(files(dir.path()), (QStringList{"pass2.mdb", "password.mdb"}));
            return;
        }
        QVERIFY2(
            outcome.error.contains(left == "running" ? "in use by another program" : "left from an earlier repair"),
            qPrintable(outcome.error));
        QCOMPARE(outcome.notFound, left == "running");
        QCOMPARE(dir.bytes("password2.mdb"), QByteArray("half a repair"));
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    void exitClosesEverything() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        UtilityWindow* utility = open(fake);
        click(utility, "cmdExit");
        QVERIFY(fake.windows.openWindows().isEmpty());
    }
};

QTEST_MAIN(UtilityTest)
#include "test_utility.moc"
