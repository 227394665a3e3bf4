// quillmere-browser-host as the browser starts it, and the running program's
// socket: the relay both ways, the answer when the program is not there or not
// signed in, bad input on the pipe, and a socket no other user can reach.
#include "ExtensionClient.h"
#include "HostProcess.h"
#include "ProgramDirectory.h"
#include "ScriptedAsker.h"
#include "browser/ExtensionServer.h"
#include "browser/SocketPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <sys/stat.h>

namespace {

QJsonObject objectOf(const QByteArray& text) {
    return QJsonDocument::fromJson(text).object();
}

QByteArray keyExchange() {
    return QJsonDocument(QJsonObject{{"action", "change-public-keys"},
                                     {"publicKey", ExtensionClient::b64(QByteArray(32, 'k'))},
                                     {"nonce", ExtensionClient::b64(QByteArray(24, 'n'))},
                                     {"clientID", "c"}})
        .toJson(QJsonDocument::Compact);
}

int folderMode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class TestBrowserHost : public QObject {
    Q_OBJECT
private slots:
    // Without a running program every request is answered at once with the
    // protocol's error, under Firefox's and Chromium's calling conventions;
    // the host ends when the browser closes its input and tells nothing on stderr.
    void withoutTheProgramRequestsAreAnsweredAtOnce_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("Firefox") << QStringList{"/home/u/.mozilla/native-messaging-hosts/x.json",
                                                "keepassxc-browser@keepassxc.org"};
        QTest::newRow("Chromium") << QStringList{"chrome-extension://oboonakemofpalcgghocfoadofidjkkk/",
                                                 "--parent-window=0"};
    }
    void withoutTheProgramRequestsAreAnsweredAtOnce() {
        QFETCH(QStringList, arguments);
        QTemporaryDir runtime;
        HostProcess host(runtime.path(), arguments);
        QElapsedTimer timer;
        timer.start();
        const QJsonObject reply = objectOf(host.send(keyExchange(), 3000));
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(reply.value("action").toString(), "change-public-keys");
        QCOMPARE(reply.value("errorCode").toInt(), 5);
        QCOMPARE(objectOf(host.send(R"({"action":"get-logins","nonce":"AAAA"})")).value("errorCode").toInt(), 5);
        QVERIFY(host.closeAndWait(3000));
        QCOMPARE(host.process.exitCode(), 0);
        QCOMPARE(host.process.readAllStandardError(), QByteArray());
    }

    // What cannot be a message closes the pipe at once; the host never waits
    // for the gigabytes a length promises.
    void badInputClosesThePipe_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("a length of 2 GB") << QByteArray::fromHex("00000080") + QByteArray(1000, 'x');
        QTest::newRow("10 MB of garbage") << QByteArray(10 << 20, char(0xa5));
        QTest::newRow("a length of 4 GB") << QByteArray::fromHex("ffffffff");
    }
    void badInputClosesThePipe() {
        QFETCH(QByteArray, input);
        QTemporaryDir runtime;
        HostProcess host(runtime.path());
        host.write(input);
        QVERIFY(host.waitForEnd(3000));
        QCOMPARE(host.process.exitCode(), 1);
        QCOMPARE(host.process.readAllStandardError(), QByteArray());
    }

    // The program listens on a socket file in a folder only the user may
    // enter, made private even where it existed with looser permissions.
    void theSocketIsInAPrivateFolder() {
        QTemporaryDir runtime;
        QDir(runtime.path()).mkdir("quillmere");
        QFile::setPermissions(runtime.filePath("quillmere"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                 QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                                 QFileDevice::ExeOther | QFileDevice::WriteGroup);
        ScriptedAsker asker;
        const QString socketFile = runtime.filePath("quillmere/browser");
        ExtensionServer server(asker, socketFile);
        QVERIFY2(server.listen(), qPrintable(server.error()));
        QCOMPARE(folderMode(runtime.filePath("quillmere")), 0700);
        QVERIFY(QFileInfo(socketFile).exists());
        QVERIFY(SocketPath::inPrivateFolder(socketFile));
        // A second program does not take the socket from the first.
        ExtensionServer second(asker, socketFile);
        QVERIFY(!second.listen());
    }

    // A host does not hand the browser's requests to a socket in a folder other users may enter.
    void theHostRefusesASocketOthersCouldReach() {
        QTemporaryDir runtime;
        ScriptedAsker asker;
        ExtensionServer server(asker, runtime.filePath("quillmere/browser"));
        QVERIFY(server.listen());
        QFile::setPermissions(runtime.filePath("quillmere"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                 QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                                 QFileDevice::WriteGroup);
        HostProcess host(runtime.path());
        QCOMPARE(objectOf(host.send(keyExchange())).value("errorCode").toInt(), 5);
        QCOMPARE(server.sessionCount(), 0);
    }

    // Through the host: before sign-in the answer is "not signed in" within two
    // seconds; at sign-in the host passes the notice on; then one pairing fills
    // a page, with nothing readable on the pipe.
    void throughTheHostOnePairingFillsAPage() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM account");
        dir.exec("password.mdb", "INSERT INTO account (Account, Website, User, Password) VALUES "
                                 "('Books', 'https://books.example.org', 'reader', 's3cret-books')");
        QTemporaryDir runtime;
        ScriptedAsker asker;
        ExtensionServer server(asker, runtime.filePath("quillmere/browser"));
        QVERIFY(server.listen());
        HostProcess host(runtime.path());
        ExtensionClient client([&](const QByteArray& m) { return host.send(m); });
        QCOMPARE(client.changeKeys().value("success").toString(), "true");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client.request({{"action", "get-databasehash"}}).value("errorCode").toInt(), 1);
        QVERIFY(timer.elapsed() < 2000);

        QVERIFY(server.signIn(dir.recordDatabase()));
        QCOMPARE(objectOf(host.next()).value("action").toString(), "database-unlocked");
        QCOMPARE(client.associate().value("id").toString(), "Firefox");
        const QJsonObject logins = client.logins("https://books.example.org/login");
        QCOMPARE(logins.value("entries").toArray().first().toObject().value("password").toString(), "s3cret-books");
        QVERIFY(!client.lastReplyText.contains("s3cret"));

        // The program goes away: the next request is answered, not left waiting.
        server.signOut();
        QCOMPARE(objectOf(host.next()).value("action").toString(), "database-locked");
        QCOMPARE(client.logins("https://books.example.org/").value("errorCode").toInt(), 1);
        QVERIFY(host.closeAndWait(3000));
        QCOMPARE(host.process.readAllStandardError(), QByteArray());
        QTRY_COMPARE(server.sessionCount(), 0);
    }

    // A program that ends while the host waits for its reply: the browser is
    // answered with the error instead of waiting for ever.
    void aProgramThatEndsLeavesNoRequestUnanswered() {
        QTemporaryDir runtime;
        QVERIFY(SocketPath::preparePrivateFolder(runtime.filePath("quillmere/browser")).isEmpty());
        // A program that takes the request and never answers, then ends.
        auto program = std::make_unique<QLocalServer>();
        QVERIFY(program->listen(runtime.filePath("quillmere/browser")));
        HostProcess host(runtime.path());
        host.write(MessageFrames::framed(keyExchange()));
        QVERIFY(program->waitForNewConnection(3000));
        QLocalSocket* accepted = program->nextPendingConnection();
        QTRY_VERIFY(accepted->bytesAvailable() > 0 || accepted->waitForReadyRead(10));
        program.reset();
        const QJsonObject reply = objectOf(host.next(2000));
        QCOMPARE(reply.value("action").toString(), "change-public-keys");
        QCOMPARE(reply.value("errorCode").toInt(), 5);
    }
};

QTEST_GUILESS_MAIN(TestBrowserHost)
#include "test_browser_host.moc"
