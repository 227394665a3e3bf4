// I/O faults: every write path on a full disk and on a read-only file system.
// The user is told, the program goes on, and each file holds its old state whole.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "SmallDisk.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "store/DataBinder.h"
#include "store/LegacyConversion.h"
#include "store/StoreError.h"
#include "utility/DatabaseFiles.h"
#include "utility/UtilityWindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>

class FaultsTest : public QObject {
    Q_OBJECT

    // A program directory on a small disk that is then filled or made read-only.
    std::unique_ptr<SmallDisk> disk(bool readOnly) {
        auto d = std::make_unique<SmallDisk>();
        if (!d->mounted())
            return nullptr;
        d->install();
        if (readOnly)
            d->makeReadOnly();
        else
            d->fill();
        return d;
    }

private slots:
    void writesFailCleanly_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("full disk") << false;
        QTest::newRow("read-only file system") << true;
    }
    void writesFailCleanly() {
        QFETCH(bool, readOnly);
        auto d = disk(readOnly);
        if (!d)
            QSKIP("no tmpfs can be mounted here");
        const QByteArray records = fileBytes(d->file("password.mdb"));
        const QByteArray password = fileBytes(d->file("pass2.mdb"));
        FakeContext fake(d->path());

        // The sign-in password change.
        auto* login = fake.windows.show<LoginWindow>(fake.context);
        login->Text2->setText("wren");
        click(login, "cmdChange");
        login->Text1->setText("a new password");
        click(login, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.prompter.last().text.startsWith("Your new Password has not been saved."));

        // An editor's save of a large record, in the guarded and in an unguarded editor.
        auto* main = fake.windows.show<MainWindow>(fake.context);
        QVERIFY(main);
        click(main, "cmdPasswords");
        click(main, "cmdNew");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddpassword"));
        qobject_cast<QLineEdit*>(editor->box("Text1"))->setText("Too big for the disk");
        qobject_cast<QPlainTextEdit*>(editor->box("Text5"))->setPlainText((QString(79, 'r') + '\n').repeated(13000));
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.windows.find("frmAddpassword"));
        click(editor, "cmdCancel");
        click(main, "cmdNotes");
        click(main, "cmdNewnote");
        editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        qobject_cast<QPlainTextEdit*>(editor->box("Text6"))->setPlainText((QString(79, 'n') + '\n').repeated(13000));
        qobject_cast<QLineEdit*>(editor->box("Text7"))->setText("Too big as well");
        click(editor, "cmdSave");
        QVERIFY(fake.prompter.last().text.startsWith("The record has not been saved.\n"));
        click(editor, "cmdCancel");

        // A delete.
        fake.prompter.answers = {true};
        click(main, "cmdDeletenote");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QCOMPARE(main->DatNotes->RecordCount(), 3);
        QVERIFY(main->isVisible());

        // The utility: repair and restore refuse, the database stays.
        fake.prompter.answers = {true};
        main->close();
        auto* utility = fake.windows.find<UtilityWindow>();
        QVERIFY(utility);
        click(utility, "cmdDRepair");
        click(utility, "cmdRepair");
        QVERIFY(fake.prompter.last().text.startsWith("DataBase has not been repaired.\n"));
        ProgramDirectory backup;
        backup.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('from the backup')");
        fake.fileDialogs.answer = backup.recordDatabase();
        click(utility, "cmdDRestore");
        click(utility, "cmdRestore");
        QVERIFY(fake.prompter.last().text.startsWith("Database has not been restored.\n"));

        QCOMPARE(fileBytes(d->file("password.mdb")), records);
        QCOMPARE(fileBytes(d->file("pass2.mdb")), password);
        const QStringList left = QDir(d->path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : left)
            QVERIFY2(!name.startsWith(".password.mdb.") && name != "password2.mdb", qPrintable(name));
        QCOMPARE(integrityOf(d->file("password.mdb")), QStringLiteral("ok"));
    }

    void backupToAFullDiskKeepsTheOldBackup() {
        auto d = disk(false);
        if (!d)
            QSKIP("no tmpfs can be mounted here");
        QFile::remove(d->file("filler"));
        QFile old(d->file("password.mdb"));
        const QByteArray before = fileBytes(d->file("password.mdb"));
        d->fill();
        ProgramDirectory program;
        program.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('newer')");
        const DatabaseFiles::Outcome outcome = DatabaseFiles(program.path()).backup(d->file("password"));
        QVERIFY(!outcome.ok);
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(fileBytes(d->file("password.mdb")), before);
    }

    void fsyncFailuresAreReportedAndChangeNothing_data() {
        QTest::addColumn<QString>("mode");
        for (const char* mode : {"save", "password", "repair", "backup", "restore"})
            QTest::newRow(mode) << mode;
    }
    void fsyncFailuresAreReportedAndChangeNothing() {
        QFETCH(QString, mode);
        ProgramDirectory dir;
        QDir(dir.path()).mkpath("backup");
        QFile::copy(dir.recordDatabase(), dir.file("backup/password.mdb"));
        dir.exec("backup/password.mdb", "INSERT INTO Notes (Title) VALUES ('only in the backup')");
        const QByteArray records = fileBytes(dir.recordDatabase());
        const QByteArray password = fileBytes(dir.passwordStore());
        const QByteArray backup = fileBytes(dir.file("backup/password.mdb"));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", FAIL_FSYNC_LIBRARY);
        environment.insert("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0");
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"--fsync-worker", mode, dir.path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 3); // refused, and said why
        QCOMPARE(fileBytes(dir.recordDatabase()), records);
        QCOMPARE(fileBytes(dir.passwordStore()), password);
        QCOMPARE(fileBytes(dir.file("backup/password.mdb")), backup);
        QCOMPARE(QDir(dir.path()).entryList({".password.mdb.*", "password2.mdb"}, QDir::Files | QDir::Hidden),
                 QStringList());
        QCOMPARE(QDir(dir.file("backup")).entryList(QDir::Files | QDir::Hidden), QStringList{"password.mdb"});
    }

    void conversionOnAFullDiskKeepsTheOriginal() {
        auto d = disk(false);
        if (!d)
            QSKIP("no tmpfs can be mounted here");
        QFile::remove(d->file("filler"));
        QFile::remove(d->file("password.mdb"));
        QVERIFY(QFile::copy(QStringLiteral(SHARED_DIR "/fixtures/legacy/password.mdb"), d->file("password.mdb")));
        const QByteArray original = fileBytes(d->file("password.mdb"));
        d->fill();
        const LegacyConversion::Outcome outcome = LegacyConversion::convertIfNeeded(d->file("password.mdb"), true);
        QVERIFY(!outcome.converted);
        QVERIFY(outcome.error.contains(d->file("password.mdb")));
        QCOMPARE(fileBytes(d->file("password.mdb")), original);
        QVERIFY(!QFile::exists(d->file("password.mdb.converting")));
        QVERIFY(!QFile::exists(d->file("password.jet.mdb")));
    }
};

// In a child process whose fsync always fails: one write path, reporting how it ended.
int fsyncWorker(const QString& mode, const QString& dir) {
    if (mode == "save" || mode == "password") {
        const bool records = mode == "save";
        DataBinder binder;
        binder.setDatabaseName(QDir(dir).filePath(records ? "password.mdb" : "pass2.mdb"));
        binder.setRecordSource(records ? "Notes" : "Pass");
        QString text = QStringLiteral("never made durable");
        binder.bind(
            records ? "Title" : "Password", &binder, [&] { return text; }, [](const QString&) {});
        try {
            binder.open();
            records ? binder.AddNew() : binder.Edit();
            binder.Update();
        } catch (const StoreError& e) {
            return e.message().contains(QStringLiteral("I/O")) ? 3 : 4;
        }
        return 0;
    }
    const DatabaseFiles files(dir);
    DatabaseFiles::Outcome outcome;
    if (mode == "repair")
        outcome = files.repair();
    else if (mode == "backup")
        outcome = files.backup(QDir(dir).filePath("backup/password"));
    else if (mode == "restore")
        outcome = files.restore(QDir(dir).filePath("backup/password.mdb"));
    return outcome.ok ? 0 : 3;
}

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--fsync-worker") {
        QCoreApplication app(argc, argv);
        return fsyncWorker(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QApplication app(argc, argv);
    FaultsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_faults.moc"
