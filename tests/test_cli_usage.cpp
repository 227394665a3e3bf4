// The command-line program as a person and a script meet it: the password
// prompt on a terminal, generated passwords, and the help and manual page.
#include "CliRun.h"
#include "store/Section.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

namespace {

// The program at the password prompt on a pseudo-terminal of its own, as a
// user's shell starts it.
class PromptOnTerminal {
public:
    explicit PromptOnTerminal(const ProgramDirectory& dir) {
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            return;
        const QByteArray program = Cli.toLocal8Bit();
        const QByteArray folder = dir.path().toLocal8Bit();
        m_child = ::fork();
        if (m_child == 0) {
            ::close(m_master);
            ::login_tty(m_slave); // a session of its own, the terminal its controlling one
            ::execl(program.constData(), program.constData(), "ls", "notes", "--folder", folder.constData(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~PromptOnTerminal() {
        if (m_child > 0 && ::waitpid(m_child, nullptr, WNOHANG) == 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        ::close(m_master);
        ::close(m_slave);
    }
    pid_t child() const { return m_child; }
    // Reads what the program writes until the text is seen.
    bool waitFor(const QByteArray& text) {
        QElapsedTimer timer;
        timer.start();
        while (!m_output.contains(text) && timer.elapsed() < 30000)
            readSome(100);
        return m_output.contains(text);
    }
    bool type(const QByteArray& keys) {
        return ::write(m_master, keys.constData(), size_t(keys.size())) == keys.size();
    }
    bool echoOn() const {
        termios modes{};
        return ::tcgetattr(m_slave, &modes) == 0 && (modes.c_lflag & ECHO);
    }
    // The child's status once it has ended, -1 when it does not end in time.
    int finished() {
        for (int i = 0; i < 3000; ++i) {
            int status = 0;
            if (::waitpid(m_child, &status, WNOHANG) == m_child) {
                m_child = -1;
                return status;
            }
            readSome(10); // so that the program never blocks on a full terminal
        }
        return -1;
    }
    QByteArray output() const { return m_output; }

private:
    void readSome(int waitMs) {
        pollfd ready{m_master, POLLIN, 0};
        char buffer[256];
        if (::poll(&ready, 1, waitMs) > 0) {
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got > 0)
                m_output.append(buffer, got);
        }
    }

    int m_master = -1;
    int m_slave = -1;
    pid_t m_child = -1;
    QByteArray m_output;
};

} // namespace

class CliUsageTest : public QObject {
    Q_OBJECT

private slots:
    // The terminal's echo is off while the password is typed and back on
    // whatever ends the prompt; a signal then ends the program as it would.
    void echoRestoredWhateverEndsThePrompt_data() {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<int>("signal"); // sent to the program when no keys are typed
        QTest::addColumn<int>("endingSignal");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("Ctrl+C") << QByteArray("\x03") << 0 << SIGINT << -1;
        QTest::newRow("Ctrl+\\") << QByteArray("\x1c") << 0 << SIGQUIT << -1;
        QTest::newRow("end of input") << QByteArray("\x04") << 0 << 0 << 2;
        QTest::newRow("kill") << QByteArray() << SIGTERM << SIGTERM << -1;
        QTest::newRow("hang-up") << QByteArray() << SIGHUP << SIGHUP << -1;
        QTest::newRow("wrong password") << QByteArray("wrong\n") << 0 << 0 << 3;
        QTest::newRow("password") << QByteArray("wren\n") << 0 << 0 << 0;
    }
    void echoRestoredWhateverEndsThePrompt() {
        QFETCH(QByteArray, keys);
        QFETCH(int, signal);
        QFETCH(int, endingSignal);
        QFETCH(int, exitCode);
        ProgramDirectory dir;
        PromptOnTerminal terminal(dir);
        QVERIFY(terminal.child() > 0);
        QVERIFY(terminal.echoOn());
        QVERIFY2(terminal.waitFor("Password: "), terminal.output().constData());
        QVERIFY(!terminal.echoOn());
        if (signal)
            QCOMPARE(::kill(terminal.child(), signal), 0);
        else
            QVERIFY(terminal.type(keys));
        const int status = terminal.finished();
        QVERIFY(status != -1);
        if (endingSignal) {
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == endingSignal, qPrintable(QString::number(status)));
        } else {
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), exitCode);
        }
        QVERIFY(terminal.echoOn());
        QVERIFY(!terminal.output().contains("wren")); // never echoed
    }

    // Printable ASCII only, of the kinds asked for, each kind in every password.
    void generatedPasswords_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("kinds");
        const QString upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", lower = "abcdefghijklmnopqrstuvwxyz", digits = "0123456789",
                      symbols = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
        QTest::newRow("default") << QStringList{} << 20 << QStringList{upper, lower, digits};
        QTest::newRow("symbols") << QStringList{"--symbols"} << 20 << QStringList{upper, lower, digits, symbols};
        QTest::newRow("all") << QStringList{"--characters", "all", "--length", "8"} << 8
                             << QStringList{upper, lower, digits, symbols};
        QTest::newRow("upper and digits")
            << QStringList{"--characters", "upper,digits", "--length", "12"} << 12 << QStringList{upper, digits};
        QTest::newRow("lower and symbols")
            << QStringList{"--characters", "lower", "--symbols", "--length", "3"} << 3 << QStringList{lower, symbols};
        QTest::newRow("digits") << QStringList{"--characters", "digits", "--length", "6"} << 6 << QStringList{digits};
        QTest::newRow("symbols only") << QStringList{"--characters", "symbols"} << 20 << QStringList{symbols};
        QTest::newRow("one character of four kinds") << QStringList{"--characters", "all", "--length", "1"} << 1
                                                     << QStringList{upper + lower + digits + symbols};
    }
    void generatedPasswords() {
        QFETCH(QStringList, options);
        QFETCH(int, length);
        QFETCH(QStringList, kinds);
        ProgramDirectory dir;
        const int count = 10000;
        const Run run = runCli(dir, QStringList{"generate", "--count", QString::number(count)} + options, {});
        QCOMPARE(run.exitCode, 0);
        const QStringList passwords = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(passwords.size(), count);
        const QString allowed = kinds.join(QString());
        QSet<QChar> seen;
        for (const QString& password : passwords) {
            QCOMPARE(password.size(), length);
            for (const QChar c : password) {
                QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f, qPrintable(password)); // no control, no blank
                QVERIFY2(allowed.contains(c), qPrintable(password));
                seen.insert(c);
            }
            for (const QString& kind : kinds)
                QVERIFY2(std::any_of(password.begin(), password.end(), [&](QChar c) { return kind.contains(c); }),
                         qPrintable(password));
        }
        QCOMPARE(seen.size(), allowed.size()); // every character of the set is drawn
        const QJsonObject json =
            QJsonDocument::fromJson(runCli(dir, QStringList{"generate", "--json"} + options, {}).out.toUtf8()).object();
        QCOMPARE(json.value("password").toString().size(), length);
    }

    // Every command's help, short and long, and the manual page tell the same
    // usage, options and example, and the page every field --map takes.
    void helpAndManualOfEveryCommand() {
        ProgramDirectory dir;
        const Run overview = runCli(dir, {"--help"}, {});
        QCOMPARE(overview.exitCode, 0);
        const QString commands = overview.out.section("Commands:\n", 1).section("\n\n", 0, 0);
        const QStringList usages = commands.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(usages.size(), 16);
        QString manual = QString::fromUtf8(fileBytes(MANUAL_PAGE));
        manual.replace("\\-", "-").replace("\\e", "\\");
        QVERIFY(manual.startsWith(".TH QUILLMERE"));
        for (QString usage : usages) {
            usage = usage.trimmed();
            const QString name = usage.section(' ', 0, 0);
            const Run help = runCli(dir, {name, "--help"}, {});
            QCOMPARE(help.exitCode, 0);
            QCOMPARE(runCli(dir, {name, "-h"}, {}).out, help.out);
            QCOMPARE(runCli(dir, {"help", name}, {}).out, help.out);
            QVERIFY2(help.out.simplified().startsWith("Usage: quillmere-cli " + usage), qPrintable(help.out));
            const QString example = help.out.section("Example:\n  ", 1).trimmed();
            QVERIFY2(example.startsWith("quillmere-cli " + name), qPrintable(help.out));
            QVERIFY2(manual.contains(".SS \"" + usage + "\""), qPrintable(usage));
            QVERIFY2(manual.contains(example), qPrintable(example));
            static const QRegularExpression option("--[a-z-]+");
            for (const QRegularExpressionMatch& m : option.globalMatch(usage))
                QVERIFY2(help.out.contains("  " + m.captured()) && manual.contains(".B " + m.captured()),
                         qPrintable(m.captured()));
        }
        for (const QString option : {"--json", "--password-stdin", "--folder DIR", "-h, --help", "--version"})
            QVERIFY2(manual.contains(".B " + option), qPrintable(option));
        const QString mapHelp = runCli(dir, {"import", "--help"}, {}).out.simplified();
        for (Section section : AllSections) {
            const QString fields = sectionWord(section) + ": " + tableOf(section).fields.join(", ");
            QVERIFY2(mapHelp.contains(fields), qPrintable(fields));
            QVERIFY2(manual.contains("Fields: " + tableOf(section).fields.join(", ")), qPrintable(fields));
        }
        for (const char* status : {".B 0\n", ".B 1\n", ".B 2\n", ".B 3\n"})
            QVERIFY(manual.section(".SH EXIT STATUS", 1).contains(status));
    }
};

QTEST_GUILESS_MAIN(CliUsageTest)
#include "test_cli_usage.moc"
