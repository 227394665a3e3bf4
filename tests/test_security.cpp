// What is stored stays the user's: files owner-only whatever the umask, no value
// ever printed, and any text round-trips exactly or is refused with a message.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/CoreDumps.h"
#include "editors/RecordEditor.h"
#include "sections/PasswordPanel.h"
#include "store/Isolated.h"
#include "store/OwnerOnly.h"
#include "utility/DatabaseFiles.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Legacy = QStringLiteral(SHARED_DIR "/fixtures/legacy/");

// Sends this process's standard output and error to a file while alive.
class CapturedOutput {
public:
    CapturedOutput() {
        m_file.open();
        std::fflush(stdout);
        std::fflush(stderr);
        m_out = ::dup(1);
        m_err = ::dup(2);
        ::dup2(m_file.handle(), 1);
        ::dup2(m_file.handle(), 2);
    }
    QByteArray finish() {
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(m_out, 1);
        ::dup2(m_err, 2);
        ::close(m_out);
        ::close(m_err);
        QFile read(m_file.fileName());
        read.open(QIODevice::ReadOnly);
        return read.readAll();
    }

private:
    QTemporaryFile m_file;
    int m_out = -1;
    int m_err = -1;
};

} // namespace

class SecurityTest : public QObject {
    Q_OBJECT
    mode_t m_umask = 0;

private slots:
    void initTestCase() { m_umask = ::umask(0); } // the loosest umask there is
    void cleanupTestCase() { ::umask(m_umask); }

    void everyFileWrittenIsOwnerOnly() {
        ProgramDirectory dir;
        QFile::setPermissions(dir.recordDatabase(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QFile::setPermissions(dir.passwordStore(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        FakeContext fake(dir.path());
        auto* login = fake.windows.show<LoginWindow>(fake.context);
        login->Text2->setText("wren");
        click(login, "cmdChange");
        click(login, "cmdSave");
        QVERIFY(isOwnerOnly(dir.passwordStore()));

        QVERIFY(DatabaseFiles(dir.path()).repair().ok);
        QVERIFY(isOwnerOnly(dir.recordDatabase()));
        QTemporaryDir backup;
        QVERIFY(DatabaseFiles(dir.path()).backup(backup.filePath("x")).ok);
        QVERIFY(isOwnerOnly(backup.filePath("password.mdb")));
        QFile::setPermissions(backup.filePath("password.mdb"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QVERIFY(DatabaseFiles(dir.path()).restore(backup.filePath("password.mdb")).ok);
        QVERIFY(isOwnerOnly(dir.recordDatabase()));

        QTemporaryDir old;
        QFile::copy(Legacy + "password.mdb", old.filePath("password.mdb"));
        QFile::copy(Legacy + "pass2.mdb", old.filePath("pass2.mdb"));
        FakeContext converting(old.path());
        QVERIFY(convertLegacyFiles(converting.context));
        QVERIFY(isOwnerOnly(old.filePath("password.mdb")));
        QVERIFY(isOwnerOnly(old.filePath("pass2.mdb")));

        const QString made = dir.file("made");
        QVERIFY(createOwnerOnlyFile(made));
        QVERIFY(isOwnerOnly(made));
        QVERIFY(!createOwnerOnlyFile(made)); // never over an existing file
        // The delivered files of the build folder too.
        QVERIFY(isOwnerOnly(QStringLiteral(DELIVERED_DIR "/password.mdb")));
        QVERIFY(isOwnerOnly(QStringLiteral(DELIVERED_DIR "/pass2.mdb")));
    }

    // The command-line program keeps to the same rules as the desktop: a file of
    // a newer program is never written, a damaged index is told with the way to
    // repair it, and a folder of records open to others is made private first.
    void commandLineGuardsTheFiles_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told"); // in the error output
        QTest::addColumn<bool>("unchanged");
        const QStringList import{"import", "@/import.csv"};
        QTest::newRow("newer file: import refused") << "newer" << import << 1 << "newer version" << true;
        QTest::newRow("newer file: repair refused") << "newer" << QStringList{"repair"} << 1 << "newer version" << true;
        QTest::newRow("newer file: search reads it") << "newer" << QStringList{"search", "bank"} << 0 << "" << true;
        QTest::newRow("damaged index: search tells of the repair")
            << "garbled" << QStringList{"search", "bank"} << 1 << "run quillmere-cli repair" << true;
        QTest::newRow("folder open to everyone: made private")
            << "loose" << QStringList{"ls", "passwords"} << 0 << "" << false;
    }
    void commandLineGuardsTheFiles() {
        QFETCH(QString, setup);
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        QFETCH(bool, unchanged);
        ProgramDirectory dir;
        QFile csv(dir.file("import.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\n"
                  "\"Root\",\"Imported\",\"me\",\"pw\",\"https://example.org\",\"\"\n");
        csv.close();
        if (setup == "newer")
            dir.exec("password.mdb", "PRAGMA user_version = 99");
        if (setup == "garbled")
            dir.exec("password.mdb",
                     "UPDATE \"account search_data\" SET block = CAST(substr(block, 1, 1200) "
                     "|| replace(hex(zeroblob(length(block) - 1200)), '00', 'EE') AS BLOB) WHERE id > 10");
        if (setup == "loose") {
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
            QCOMPARE(::chmod(QFile::encodeName(dir.recordDatabase()).constData(), 0644), 0);
            QCOMPARE(::chmod(QFile::encodeName(dir.passwordStore()).constData(), 0666), 0);
        }
        const QByteArray before = dir.bytes("password.mdb");
        QProcess cli;
        cli.start(QStringLiteral(DELIVERED_DIR "/quillmere-cli"),
                  command.replaceInStrings("@", dir.path()) + QStringList{"--password-stdin", "--folder", dir.path()});
        cli.write("wren\n");
        cli.closeWriteChannel();
        QVERIFY(cli.waitForFinished(60000));
        const QString error = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(cli.exitCode() == exitCode, qPrintable(error));
        QVERIFY2(error.contains(told) && !error.contains("malformed"), qPrintable(error));
        if (unchanged)
            QCOMPARE(dir.bytes("password.mdb"), before);
        if (setup == "loose") {
            QVERIFY(isOwnerOnly(dir.recordDatabase()));
            QVERIFY(isOwnerOnly(dir.passwordStore()));
            struct stat folder {};
            QCOMPARE(::stat(QFile::encodeName(dir.path()).constData(), &folder), 0);
            QCOMPARE(folder.st_mode & 0777, mode_t(0755));
        }
    }

    void noValueIsEverPrinted() {
        const QString secrets[] = {"Secret-Account-7731", "Secret-Password-9147", "Secret-Sign-In-5523"};
        ProgramDirectory dir;
        dir.exec(
            "password.mdb",
            QString("UPDATE account SET Account = '%1', Password = '%2' WHERE _key = 1").arg(secrets[0], secrets[1]));
        CapturedOutput output;
        {
            FakeContext fake(dir.path());
            auto* login = fake.windows.show<LoginWindow>(fake.context);
            login->Text2->setText("wrong guess " + secrets[2]);
            click(login, "cmdLogin");
            login->Text2->setText("wren");
            click(login, "cmdChange");
            login->Text1->setText(secrets[2]);
            click(login, "cmdSave");
            login->Text2->setText(secrets[2]);
            click(login, "cmdLogin");
            auto* main = fake.windows.find<MainWindow>();
            click(main, "cmdPasswords");
            click(main, "cmdPasswrd");
            click(main, "cmdEdit");
            auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddpassword"));
            dir.refuseWrites("password.mdb", "account"); // a failure path too
            qobject_cast<QPlainTextEdit*>(editor->box("Text5"))->setPlainText("changed, to be written");
            click(editor, "cmdSave");
            click(editor, "cmdCancel");
            click(main, "cmdPrint");
            fake.prompter.answers = {true};
            main->close();
        }
        const QByteArray printed = output.finish();
        for (const QString& secret : secrets)
            QVERIFY2(!printed.contains(secret.toUtf8()), qPrintable("printed: " + secret));
    }

    void unusualTextRoundTripsExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("a megabyte") << (QString(1023, 'm') + '\n').repeated(1024);
        QTest::newRow("NUL characters") << QString::fromUtf16(u"before\u0000after\u0000");
        QTest::newRow("right to left") << QString::fromUtf8("كلمة السر ‏שלום‎ mixed");
        QTest::newRow("emoji") << QString::fromUtf8("🔑 key 👨‍👩‍👧 family 🇳🇴");
        QTest::newRow("control characters") << QString::fromUtf16(u"tab\tbell\u0007esc\u001bdel\u007f\r\n");
    }
    void unusualTextRoundTripsExactly() {
        QFETCH(QString, text);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        click(main, "cmdPasswords");
        click(main, "cmdNew");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddpassword"));
        qobject_cast<QLineEdit*>(editor->box("Text1"))->setText("Unusual");
        qobject_cast<QLineEdit*>(editor->box("Text4"))->setText(text);
        qobject_cast<QPlainTextEdit*>(editor->box("Text5"))->setPlainText(text);
        const QString remarks = qobject_cast<QPlainTextEdit*>(editor->box("Text5"))->toPlainText();
        click(editor, "cmdSave");
        QCOMPARE(main->DatPassword->value("Password"), text);
        QCOMPARE(main->DatPassword->value("Notes"), remarks);
        QCOMPARE(main->PicPassword->Text4->text(), text);
        click(main, "cmdPasswrd");
        QCOMPARE(fake.clipboard.text, text);
        // A second binder reads back exactly what the file holds.
        DataBinder again;
        again.setDatabaseName(dir.recordDatabase());
        again.setRecordSource("account");
        again.open();
        again.MoveLast();
        QCOMPARE(again.value("Password"), text);
    }

    // A multi-line box stores what it shows: no-break spaces and line separators
    // stay, and a stored text saved again untouched keeps every character.
    void multiLineBoxesKeepTheirText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typedStoredAs"); // a typed paragraph break is a line break
        QTest::newRow("no-break space") << QString::fromUtf16(u"card\u00A0number\u00A0") << QString();
        QTest::newRow("line separator") << QString::fromUtf16(u"first\u2028second") << QString();
        QTest::newRow("paragraph separator")
            << QString::fromUtf16(u"first\u2029second") << QString::fromUtf16(u"first\nsecond");
        QTest::newRow("carriage return") << QString::fromUtf16(u"first\rsecond\r\nthird")
                                         << QString::fromUtf16(u"first\nsecond\nthird");
        QTest::newRow("all at once") << QString::fromUtf16(u"\u00A0a\u2028b\u2029c\n\u00A0")
                                     << QString::fromUtf16(u"\u00A0a\u2028b\nc\n\u00A0");
    }
    void multiLineBoxesKeepTheirText() {
        QFETCH(QString, text);
        QFETCH(QString, typedStoredAs);
        ProgramDirectory dir;
        dir.exec("password.mdb", "INSERT INTO Notes (Title, Note) VALUES ('stored', '" + text + "')");
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        click(main, "cmdNotes");
        main->DatNotes->MoveLast();
        click(main, "cmdEditnote");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        QVERIFY(editor);
        click(editor, "cmdSave");
        QCOMPARE(dir.query("password.mdb", "SELECT Note FROM Notes WHERE Title = 'stored'"), text);

        click(main, "cmdNewnote");
        editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        qobject_cast<QLineEdit*>(editor->box("Text7"))->setText("typed");
        qobject_cast<QPlainTextEdit*>(editor->box("Text6"))->setPlainText(text);
        click(editor, "cmdSave");
        QCOMPARE(dir.query("password.mdb", "SELECT Note FROM Notes WHERE Title = 'typed'"),
                 typedStoredAs.isNull() ? text : typedStoredAs);
    }

    void coreDumpsAreOff() {
        const IsolatedResult turnedOff = runIsolated(
            [](int) {
                rlimit limit{};
                const bool off = disableCoreDumps() && ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 &&
                                 ::getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 && limit.rlim_max == 0;
                return off ? 0 : 3;
            },
            10);
        QVERIFY(turnedOff.succeeded());

        // The program does it itself, whatever limit it was started with.
        QProcess program;
        program.setChildProcessModifier([] {
            const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_CORE, &unlimited);
        });
        program.start(QStringLiteral(QUILLMERE_PROGRAM), {});
        QVERIFY(program.waitForStarted());
        QByteArray coreLine;
        // Wait for both limits: a sanitizer runtime lowers the soft one before main runs.
        const QByteArray expected("Max core file size 0 0 bytes ");
        for (int i = 0; i < 200 && coreLine != expected; ++i) {
            QTest::qWait(25);
            for (const QByteArray& line : fileBytes(QString("/proc/%1/limits").arg(program.processId())).split('\n'))
                if (line.startsWith("Max core file size"))
                    coreLine = line.simplified() + ' ';
        }
        program.kill();
        program.waitForFinished();
        QCOMPARE(coreLine, expected);
    }

    void loneSurrogatesAreRefusedNotChanged() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        click(main, "cmdNotes");
        click(main, "cmdNewnote");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        const QString broken = QStringLiteral("half a pair: ") + QChar(0xD83D);
        qobject_cast<QLineEdit*>(editor->box("Text7"))->setText(broken);
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.prompter.last().text.contains("cannot be stored"));
        QCOMPARE(dir.count("Notes"), 3);
        QCOMPARE(editor->boxText("Text7"), broken);
    }
};

QTEST_MAIN(SecurityTest)
#include "test_security.moc"
