// The two request windows the browser extension brings up, the question before
// a login from the browser is saved, and the sign-in that opens the records to
// the extension.
#include "ExtensionClient.h"
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/LoginWindow.h"
#include "browser/ExtensionServer.h"
#include "browser/MessageFrames.h"
#include "browserui/BrowserAccessWindow.h"
#include "browserui/BrowserConnectionWindow.h"
#include "browserui/QtExtensionAsker.h"
#include "utility/UtilityWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalSocket>
#include <QPushButton>
#include <QTimer>

namespace {

// Presses a button of the modal window the code under test is about to show.
void pressInNextModal(const QString& button, const QString& name = {}) {
    QTimer::singleShot(0, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        if (!name.isNull())
            modal->findChild<QLineEdit*>("txtName")->setText(name);
        QMetaObject::invokeMethod(modal->findChild<QPushButton*>(button), &QPushButton::animateClick);
    });
}

} // namespace

class TestBrowserWindows : public QObject {
    Q_OBJECT
private slots:
    // The connection window: its title and buttons, the name the user types,
    // and no connection without a name.
    void connectionWindowKeepsTheNameTyped() {
        ExtensionAsker::ConnectionRequest request{"client-1", "ab12 cd34 ef56 7890"};
        BrowserConnectionWindow window(request);
        window.show();
        QCOMPARE(window.windowTitle(), "Browser Connection Request");
        QCOMPARE(window.cmdAllow->text(), "Allow");
        QCOMPARE(window.cmdDeny->text(), "Deny");
        QVERIFY(window.lblRequest->text().contains("ab12 cd34 ef56 7890"));
        window.txtName->setText("  ");
        QVERIFY(!window.cmdAllow->isEnabled());
        window.txtName->setText(" Work laptop ");
        QVERIFY(window.cmdAllow->isEnabled());
        click(&window, "cmdAllow");
        QCOMPARE(window.chosenName(), std::optional<QString>("Work laptop"));

        BrowserConnectionWindow denied(request);
        denied.show();
        click(&denied, "cmdDeny");
        QCOMPARE(denied.chosenName(), std::nullopt);
    }

    // The access window lists the matching records; Allow and Deny, each with
    // or without "Remember this decision".
    void accessWindowTellsTheDecision_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("remember");
        QTest::newRow("allow once") << "cmdAllow" << false;
        QTest::newRow("allow, remembered") << "cmdAllow" << true;
        QTest::newRow("deny, remembered") << "cmdDeny" << true;
    }
    void accessWindowTellsTheDecision() {
        QFETCH(QString, button);
        QFETCH(bool, remember);
        BrowserAccessWindow window({"Firefox",
                                    "https://books.example.org",
                                    "https://books.example.org/login",
                                    {{3, "Books", "reader"}, {9, "Books (work)", "clerk"}}});
        window.show();
        QCOMPARE(window.windowTitle(), "Browser Access Request");
        QCOMPARE(window.chkRemember->text(), "Remember this decision");
        QCOMPARE(window.lstRecords->count(), 2);
        QCOMPARE(window.lstRecords->item(1)->text(), "Books (work) (clerk)");
        QVERIFY(window.lblRequest->text().contains("https://books.example.org"));
        window.chkRemember->setChecked(remember);
        clickButton(&window, button);
        QCOMPARE(window.answer().allowed, button == "cmdAllow");
        QCOMPARE(window.answer().remember, remember);
    }

    // The desktop's asker shows the windows and a message box for a new login.
    void desktopAskerAsksInItsWindows() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        QtExtensionAsker asker(fake.context);
        pressInNextModal("cmdAllow", "Firefox at home");
        QCOMPARE(asker.confirmConnection({"c", "0000"}), std::optional<QString>("Firefox at home"));
        pressInNextModal("cmdDeny");
        QCOMPARE(asker.confirmConnection({"c", "0000"}), std::nullopt);
        pressInNextModal("cmdAllow");
        QVERIFY(asker.confirmAccess({"Firefox", "https://a.test", "https://a.test/", {{1, "A", "u"}}}).allowed);

        fake.prompter.answers = {true, false};
        QVERIFY(asker.confirmNewLogin({"Firefox", "https://shop.example.net", "buyer"}));
        QVERIFY(!asker.confirmNewLogin({"Firefox", "https://shop.example.net", "buyer"}));
        QCOMPARE(fake.prompter.calls.size(), 2);
        QVERIFY(fake.prompter.last().text.contains("buyer") &&
                fake.prompter.last().text.contains("https://shop.example.net"));
    }

    // Signing in opens the records to the extension; before it the socket
    // answers "not signed in".
    void signInOpensTheRecordsToTheExtension() {
        ProgramDirectory dir;
        QTemporaryDir runtime;
        FakeContext fake(dir.path());
        QtExtensionAsker asker(fake.context);
        ExtensionServer server(asker, runtime.filePath("quillmere/browser"));
        QVERIFY(server.listen());
        fake.context.extensionServer = &server;

        QLocalSocket socket;
        socket.connectToServer(runtime.filePath("quillmere/browser"));
        QVERIFY(socket.waitForConnected(2000));
        MessageFrames frames;
        const auto next = [&]() -> QJsonObject {
            for (int i = 0; i < 300 && !frames.hasNext(); ++i) {
                QTest::qWait(10);
                frames.append(socket.readAll());
            }
            return frames.hasNext() ? QJsonDocument::fromJson(frames.next()).object() : QJsonObject();
        };
        ExtensionClient client([&](const QByteArray& message) {
            socket.write(MessageFrames::framed(message));
            return QJsonDocument(next()).toJson();
        });
        client.changeKeys();
        QCOMPARE(client.request({{"action", "get-databasehash"}}).value("errorCode").toInt(), 1);

        auto* login = fake.windows.show<LoginWindow>(fake.context);
        QVERIFY(login);
        login->Text2->setText("wren");
        click(login, "cmdLogin");
        QCOMPARE(next().value("action").toString(), "database-unlocked");
        QCOMPARE(client.request({{"action", "get-databasehash"}}).value("hash").toString().size(), 64);
    }

    // The utility's Browser action writes the manifests, and replaces another
    // program's only when the user agrees.
    void utilityBrowserActionAsksBeforeReplacing_data() {
        QTest::addColumn<bool>("agreed");
        QTest::newRow("replaced") << true;
        QTest::newRow("kept") << false;
    }
    void utilityBrowserActionAsksBeforeReplacing() {
        QFETCH(bool, agreed);
        QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        const QString firefox = home.filePath(".mozilla/native-messaging-hosts/org.keepassxc.keepassxc_browser.json");
        QDir().mkpath(QFileInfo(firefox).path());
        QFile other(firefox);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(R"({"path":"/usr/bin/keepassxc-proxy"})");
        other.close();

        ProgramDirectory dir;
        FakeContext fake(dir.path());
        fake.prompter.answers = {agreed};
        UtilityWindow* window = fake.windows.show<UtilityWindow>(fake.context);
        click(window, "cmdDExchange");
        click(window, "cmdBrowser");
        QCOMPARE(fake.prompter.calls.size(), 2);
        QVERIFY(fake.prompter.calls.first().text.contains("/usr/bin/keepassxc-proxy"));
        QCOMPARE(fake.prompter.last().kind, "info");
        QCOMPARE(fake.prompter.last().text.contains("Firefox"), agreed);
        QCOMPARE(fileBytes(firefox).contains("quillmere-browser-host"), agreed);
        QVERIFY(fileBytes(home.filePath(".config/chromium/NativeMessagingHosts/org.keepassxc.keepassxc_browser.json"))
                    .contains("quillmere-browser-host"));
    }
};

QTEST_MAIN(TestBrowserWindows)
#include "test_browser_windows.moc"
