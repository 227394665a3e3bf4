// Two computers kept in step by two real Syncthing instances on this machine's
// loopback: each "computer" is a data folder that one instance shares with the
// other, a configuration folder of its own (so each names itself in what it
// changes) and quillmere-cli (or, in one case, the program's main window).
// Offline is an instance stopped. In every case both computers end with the same
// records and nothing is lost. Skipped where Syncthing is not installed.
#include "CliRun.h"
#include "CrashWorker.h"
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "StampText.h"
#include "app/MainWindow.h"
#include "sections/PasswordPanel.h"
#include "store/Schema.h"
#include "sync/ConflictCopies.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>
#include <map>

namespace {

constexpr int SyncTimeoutMs = 120000;

// One computer: its Syncthing, its data folder, its configuration folder.
struct Computer {
    QString name;
    QString home;   // Syncthing's configuration
    QString folder; // the data folder Syncthing shares
    QString config; // XDG_CONFIG_HOME: the computer's own id
    QString deviceId;
    int listenPort = 0;
    int guiPort = 0;
    std::unique_ptr<QProcess> syncthing;

    void start() {
        syncthing = std::make_unique<QProcess>();
        syncthing->setProcessChannelMode(QProcess::MergedChannels);
        syncthing->setStandardOutputFile(QDir(home).filePath("log.txt"), QIODevice::Append);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("STNODEFAULTFOLDER", "1");
        environment.insert("HOME", home);
        syncthing->setProcessEnvironment(environment);
        syncthing->start("syncthing", {"serve", "--home=" + home, "--no-browser", "--no-restart", "--no-upgrade"});
        syncthing->waitForStarted();
    }
    void stop() {
        if (!syncthing)
            return;
        syncthing->terminate();
        if (!syncthing->waitForFinished(10000)) {
            syncthing->kill();
            syncthing->waitForFinished();
        }
        syncthing.reset();
    }
    QString database() const { return QDir(folder).filePath(Schema::RecordDatabaseFile); }
};

int freePort() {
    return 20000 + QRandomGenerator::global()->bounded(30000);
}

void writeConfig(const Computer& self, const Computer& other) {
    QFile file(QDir(self.home).filePath("config.xml"));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    const QString xml = QStringLiteral(
        "<configuration version=\"36\">\n"
        "  <folder id=\"quillmere\" label=\"quillmere\" path=\"%1\" type=\"sendreceive\" rescanIntervalS=\"2\" "
        "fsWatcherEnabled=\"true\" fsWatcherDelayS=\"1\">\n"
        "    <device id=\"%2\"></device>\n    <device id=\"%3\"></device>\n"
        "    <maxConflicts>50</maxConflicts>\n  </folder>\n"
        "  <device id=\"%2\" name=\"%4\"><address>dynamic</address></device>\n"
        "  <device id=\"%3\" name=\"%5\"><address>tcp://127.0.0.1:%6</address></device>\n"
        "  <gui enabled=\"true\" tls=\"false\"><address>127.0.0.1:%7</address><apikey>quillmere-test</apikey></gui>\n"
        "  <options><listenAddress>tcp://127.0.0.1:%8</listenAddress><globalAnnounceEnabled>false"
        "</globalAnnounceEnabled><localAnnounceEnabled>false</localAnnounceEnabled><relaysEnabled>false"
        "</relaysEnabled><natEnabled>false</natEnabled><urAccepted>-1</urAccepted><startBrowser>false"
        "</startBrowser><crashReportingEnabled>false</crashReportingEnabled><autoUpgradeIntervalH>0"
        "</autoUpgradeIntervalH><reconnectionIntervalS>1</reconnectionIntervalS></options>\n"
        "</configuration>\n");
    file.write(xml.arg(self.folder, self.deviceId, other.deviceId, self.name, other.name)
                   .arg(other.listenPort)
                   .arg(self.guiPort)
                   .arg(self.listenPort)
                   .toUtf8());
}

Run cli(const Computer& computer, QStringList arguments) {
    arguments << "--folder" << computer.folder << "--password-stdin";
    return runProgram(arguments, "wren\n", computer.config);
}

// The records of a computer by identity (keys differ between computers); empty
// when the file cannot be read just now (a sync tool replacing it).
std::map<QString, QString> recordsOf(const Computer& computer) {
    std::map<QString, QString> records;
    try {
        SQLite::Database db(computer.database().toStdString(), SQLite::OPEN_READONLY, 2000);
        for (const Schema::Table* table : Schema::recordTables()) {
            QStringList fields;
            for (const QString& f : table->fields)
                fields << QStringLiteral("quote(%1)").arg(Schema::quoted(f));
            SQLite::Statement all(db, QStringLiteral("SELECT %3, %1 FROM %2")
                                          .arg(fields.join(" || '|' || "), Schema::quoted(table->name), identityText())
                                          .toStdString());
            while (all.executeStep())
                records[QString::fromStdString(all.getColumn(0).getString())] =
                    table->name + '|' + QString::fromStdString(all.getColumn(1).getString());
        }
    } catch (const std::exception&) {
        return {};
    }
    return records;
}

QStringList accounts(const Computer& computer) {
    QStringList names;
    for (const auto& [id, record] : recordsOf(computer))
        if (record.startsWith("account|"))
            names << record.section('|', 1, 1).remove('\'');
    names.sort();
    return names;
}

// Nothing waiting beside the database: no conflict copy, no journal, no tool's temporary file.
bool quiet(const Computer& computer) {
    for (const QString& name : QDir(computer.folder).entryList(QDir::Files | QDir::Hidden))
        // Syncthing's own partial downloads (.syncthing.*.tmp) are not looked at: it
        // keeps an abandoned one for a day, to resume from, after a newer version
        // made the transfer moot. Records that agree three times running say enough.
        if (ConflictCopies::isConflictCopy(name) || name.endsWith("-journal"))
            return false;
    return true;
}

} // namespace

class SyncthingTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    Computer m_a, m_b;
    int m_round = 0; // each test's computers get folders of their own

    // Both computers start (as a program start does, with quillmere-cli) until
    // Syncthing has nothing left to carry and both hold the same records.
    bool settle(bool startPrograms = true) {
        QElapsedTimer timer;
        timer.start();
        int agreeing = 0;
        while (timer.elapsed() < SyncTimeoutMs) {
            if (startPrograms) {
                cli(m_a, {"ls", "notes"});
                cli(m_b, {"ls", "notes"});
            }
            QTest::qWait(1500);
            const auto a = recordsOf(m_a);
            // Agreeing three times in a row: Syncthing is not midway through carrying a change.
            if (!a.empty() && a == recordsOf(m_b) && quiet(m_a) && quiet(m_b))
                ++agreeing;
            else
                agreeing = 0;
            if (agreeing == 3)
                return true;
        }
        // Say what was left unsettled, for the failure's message.
        for (const Computer* c : {&m_a, &m_b})
            qWarning().noquote() << c->name << recordsOf(*c).size() << "records, files:"
                                 << QDir(c->folder).entryList(QDir::Files | QDir::Hidden).join(", ");
        return false;
    }

    void offline() {
        m_a.stop();
        m_b.stop();
    }
    void online() {
        m_a.start();
        m_b.start();
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("syncthing").isEmpty())
            QSKIP("Syncthing is not installed (apt-get install syncthing)");
        QStandardPaths::setTestModeEnabled(true);
    }

    void init() {
        for (Computer* c : {&m_a, &m_b}) {
            c->name = c == &m_a ? "laptop" : "desk";
            const QString base = m_root.filePath(QStringLiteral("%1-%2").arg(c->name).arg(m_round));
            c->home = base + "/syncthing";
            c->folder = base + "/data";
            c->config = base + "/config";
            for (const QString& dir : {c->home, c->folder, c->config})
                QDir().mkpath(dir);
            QDir().mkpath(c->folder + "/.stfolder");
            QProcess generate;
            generate.start("syncthing", {"generate", "--home=" + c->home, "--no-default-folder"});
            generate.waitForFinished(60000);
            const QString said = QString::fromUtf8(generate.readAllStandardOutput() + generate.readAllStandardError());
            c->deviceId = QRegularExpression("Device ID: ([A-Z0-9-]+)").match(said).captured(1);
            QVERIFY2(!c->deviceId.isEmpty(), qPrintable(said));
            c->listenPort = freePort();
            c->guiPort = freePort();
        }
        ++m_round;
        writeConfig(m_a, m_b);
        writeConfig(m_b, m_a);
        // Both computers start from the delivered files, as the program makes them.
        ProgramDirectory delivered;
        for (const Computer* c : {&m_a, &m_b})
            for (const QString& name : {QStringLiteral("password.mdb"), QStringLiteral("pass2.mdb")}) {
                QFile::copy(delivered.file(name), QDir(c->folder).filePath(name));
                QFile::setPermissions(QDir(c->folder).filePath(name), QFile::ReadOwner | QFile::WriteOwner);
            }
        online();
        QVERIFY(settle());
    }

    void cleanup() {
        m_a.stop();
        m_b.stop();
    }

    void offlineChangesOnBothComputers_data() {
        QTest::addColumn<QStringList>("onLaptop");
        QTest::addColumn<QStringList>("onDesk");
        QTest::addColumn<QStringList>("expected"); // the passwords' accounts on both, in the end
        const QStringList delivered{"Example Savings Bank", "Online Bookshop", "Photo Club Forum", "Webmail"};
        QTest::newRow("offline adds on both")
            << QStringList{"add passwords Account=Added on the laptop"}
            << QStringList{"add passwords Account=Added at the desk"}
            << QStringList{"Added at the desk", "Added on the laptop", "Example Savings Bank",
                           "Online Bookshop",   "Photo Club Forum",    "Webmail"};
        QTest::newRow("the same record edited on both: the later edit wins")
            << QStringList{"edit passwords Webmail Account=Webmail (laptop)"}
            << QStringList{"edit passwords Webmail Account=Webmail (desk, later)"}
            << QStringList{"Example Savings Bank", "Online Bookshop", "Photo Club Forum", "Webmail (desk, later)"};
        QTest::newRow("a deletion against a later edit: the edit wins")
            << QStringList{"rm passwords Webmail"} << QStringList{"edit passwords Webmail User=still here"}
            << delivered;
        QTest::newRow("an edit against a later deletion: the deletion wins")
            << QStringList{"edit passwords Webmail User=changed first"} << QStringList{"rm passwords Webmail"}
            << QStringList{"Example Savings Bank", "Online Bookshop", "Photo Club Forum"};
    }
    void offlineChangesOnBothComputers() {
        QFETCH(QStringList, onLaptop);
        QFETCH(QStringList, onDesk);
        QFETCH(QStringList, expected);
        offline();
        const auto run = [](const Computer& c, const QString& command) {
            QStringList words = command.split(' ');
            // Field=value runs to the end of the command, blanks and all.
            const qsizetype assignment = command.indexOf('=');
            if (assignment > 0) {
                const QString head = command.left(command.lastIndexOf(' ', assignment));
                words = head.split(' ') << command.mid(head.size() + 1);
            }
            const Run done = cli(c, words);
            QVERIFY2(done.exitCode == 0, qPrintable(command + ": " + done.err));
        };
        for (const QString& command : onLaptop)
            run(m_a, command);
        QThread::msleep(20); // the desk's changes are the later ones
        for (const QString& command : onDesk)
            run(m_b, command);
        online();
        QVERIFY(settle());
        QCOMPARE(accounts(m_a), expected);
        QCOMPARE(accounts(m_b), expected);
        if (QString(QTest::currentDataTag()).startsWith("the same record"))
            QVERIFY(
                cli(m_a, {"show", "passwords", "Webmail (desk, later)", "--history"}).out.contains("Webmail (laptop)"));
    }

    // The laptop crashes while it writes, offline; its journal and its half-written
    // file reach the desk, which changed the file too. Nothing acknowledged is lost.
    void crashWhileOffline() {
        offline();
        QVERIFY(cli(m_b, {"add", "passwords", "Account=Desk while the laptop was away"}).exitCode == 0);
        QVERIFY(cli(m_a, {"add", "passwords", "Account=Laptop before its crash"}).exitCode == 0);
        QVERIFY(crashLeavingJournal(m_a.database()));
        // Syncthing carries the laptop's files as they lie before any program starts there.
        online();
        QVERIFY(settle());
        for (const Computer* c : {&m_a, &m_b}) {
            QVERIFY(accounts(*c).contains("Desk while the laptop was away"));
            QVERIFY(accounts(*c).contains("Laptop before its crash"));
            QCOMPARE(integrityOf(c->database()), QString("ok"));
        }
    }

    // The laptop's main window stays open while the desk writes: it shows the
    // desk's records, and its own Delete reaches the desk.
    void runningWindowWhileTheOtherWrites() {
        FakeContext fake(m_a.folder);
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        QVERIFY(main);
        click(main, "cmdPasswords");
        QVERIFY(cli(m_b, {"add", "passwords", "Account=Aardvark from the desk"}).exitCode == 0);
        QVERIFY(cli(m_b, {"edit", "passwords", "Webmail", "Account=Webmail (desk)"}).exitCode == 0);
        QTRY_VERIFY_WITH_TIMEOUT(main->DatPassword->RecordCount() == 5, SyncTimeoutMs);
        main->DatPassword->MoveFirst();
        QTRY_COMPARE_WITH_TIMEOUT(main->PicPassword->Text1->text(), QStringLiteral("Webmail (desk)"), SyncTimeoutMs);
        fake.prompter.answers << true;
        click(main, "cmdDelete");
        QVERIFY(settle(false));
        QCOMPARE(accounts(m_b), (QStringList{"Aardvark from the desk", "Example Savings Bank", "Online Bookshop",
                                             "Photo Club Forum"}));
        QCOMPARE(accounts(m_a), accounts(m_b));
        main->close();
    }
};

// Transaction after transaction, each adding to every note, for a crash to
// interrupt: the few notes of a fresh file are made long enough to span many pages.
int growingCrashWorker(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=5");
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    for (qint64 n = 0;; ++n)
        db.exec(QStringLiteral("UPDATE Notes SET Note = coalesce(Note, '') || ' %1' || hex(randomblob(2000))")
                    .arg(n)
                    .toStdString());
}

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--crash-worker") {
        QCoreApplication app(argc, argv);
        return growingCrashWorker(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    SyncthingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_syncthing.moc"
