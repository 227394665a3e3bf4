// Import / Export from the main window, by keyboard, with password-protected
// files both ways, while the program goes on running.
#include "ExchangeHelpers.h"
#include "Fakes.h"
#include "Helpers.h"
#include "OpenMainWindow.h"
#include "app/MainWindow.h"
#include "exchange/ProtectedExport.h"
#include "help/HelpWindow.h"
#include "utility/ExchangePanel.h"
#include "utility/ExchangeWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

QString encryptedExport() {
    return QDir(importFixtures() + QStringLiteral("-peers")).filePath("keepassxc/bitwarden_encrypted_export.json");
}

// Presses the focused control from the keyboard, as the user does.
void pressFocused() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
}

} // namespace

class ExchangeReachTest : public QObject {
    Q_OBJECT

    // Tabs through the main window until the button has the focus, then presses it.
    ExchangeWindow* openByKeyboard(MainWindow* main, FakeContext& fake) {
        main->cmdPasswords->setFocus();
        for (int i = 0; i < 40 && QApplication::focusWidget() != main->cmdExchange; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() != main->cmdExchange)
            return nullptr;
        pressFocused();
        auto* window = fake.windows.find<ExchangeWindow>();
        if (window)
            (void)QTest::qWaitForWindowActive(window);
        return window;
    }

private slots:
    void initTestCase() {
        if (!QFile::exists(encryptedExport()))
            QSKIP("the export files of other projects are not here");
    }

    // The picture button beside the magnifier, found and pressed with the keyboard.
    void buttonBesideTheMagnifier() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        QToolButton* button = main->cmdExchange;
        QCOMPARE(button->toolTip(), QStringLiteral(" Import / Export "));
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->y(), main->cmdFind->y());
        QVERIFY(button->x() > main->cmdFind->geometry().right());
        QVERIFY(button->x() - main->cmdFind->geometry().right() < 10);
        QVERIFY(button->geometry().right() < main->cmdMinimize->x());
        ExchangeWindow* window = openByKeyboard(main, fake);
        QVERIFY(window);
        QVERIFY(window->isVisible() && window != static_cast<QWidget*>(main));
        QVERIFY(main->isVisible()); // the program goes on running
        // Pressing it again brings the one window forward, never a second.
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QVERIFY(openByKeyboard(main, fake) == window);
        QCOMPARE(fake.prompter.unexpectedQuestions, 0);
    }

    // A protected export imported from that window: its records show in the main window at once.
    void protectedImportShowsAtOnce_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("added");
        QTest::addColumn<QString>("told");
        QTest::newRow("right password") << "a" << 1 << "The import is complete.";
        QTest::newRow("wrong password") << "b" << 0 << ProtectedExport::wrongPassword();
    }
    void protectedImportShowsAtOnce() {
        QFETCH(QString, password);
        QFETCH(int, added);
        QFETCH(QString, told);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        const int before = main->DatPassword->RecordCount();
        const QString countBefore = main->Label29->text();
        ExchangeWindow* window = openByKeyboard(main, fake);
        QVERIFY(window);
        fake.fileDialogs.answer = encryptedExport();
        fake.prompter.passwords = {password};
        fake.prompter.answers = {true}; // the preview's question
        window->exchange->cmdImport->setFocus();
        pressFocused();
        QCOMPARE(fake.prompter.calls.first().kind, QStringLiteral("password"));
        QVERIFY2(fake.prompter.last().text.contains(told), qPrintable(fake.prompter.last().text));
        QCOMPARE(main->DatPassword->RecordCount(), before + added);
        QCOMPARE(dir.count("account"), qint64(before + added));
        if (added)
            QCOMPARE(main->Label29->text(), QString::number(before + added) + "  Passwords");
        else
            QCOMPARE(main->Label29->text(), countBefore);
        QVERIFY(window->isVisible() && main->isVisible());
        QCOMPARE(fake.prompter.unexpectedQuestions, 0);
    }

    // Export Protected asks the password twice; the file is read back with it.
    void protectedExport_data() {
        QTest::addColumn<QStringList>("passwords");
        QTest::addColumn<bool>("written");
        QTest::newRow("the same twice") << QStringList{"s3cret", "s3cret"} << true;
        QTest::newRow("two different") << QStringList{"s3cret", "secret"} << false;
        QTest::newRow("empty") << QStringList{""} << false;
    }
    void protectedExport() {
        QFETCH(QStringList, passwords);
        QFETCH(bool, written);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        ExchangeWindow* window = fake.windows.show<ExchangeWindow>(fake.context);
        QVERIFY(window && QTest::qWaitForWindowActive(window));
        QTemporaryDir out;
        const QString path = out.filePath("vault.json");
        fake.fileDialogs.answer = path;
        fake.prompter.passwords = passwords;
        window->exchange->cmdExportProtected->setFocus();
        pressFocused();
        QCOMPARE(QFile::exists(path), written);
        QCOMPARE(fake.prompter.last().kind, written ? QStringLiteral("info") : QStringLiteral("warn"));
        if (written) {
            QVERIFY(fake.prompter.last().text.contains("encrypted with the password"));
            QVERIFY(!ProtectedExport::unlock(path, passwords.first()).isEmpty());
        }
        QCOMPARE(fake.prompter.unexpectedQuestions, 0);
    }

    // The Help window tells where Find, Import / Export and the command line are.
    void helpTellsTheWays_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("line");
        QTest::newRow("find") << "TextWelcome"
                              << "Click the magnifier on the main window's top bar, or press Ctrl+F";
        QTest::newRow("import / export") << "TextWelcome"
                                         << "Click the button beside the magnifier to open Import";
        QTest::newRow("command line") << "TextWelcome"
                                      << "quillmere-cli reads and writes the same records";
        QTest::newRow("protected files") << "TextBackup"
                                         << "A password-protected Bitwarden export asks for its password.";
        QTest::newRow("exports") << "TextBackup"
                                 << "or to a CSV file for KeePassXC.";
    }
    void helpTellsTheWays() {
        QFETCH(QString, panel);
        QFETCH(QString, line);
        FakeContext fake(QDir::tempPath());
        HelpWindow* help = fake.windows.show<HelpWindow>(fake.context);
        const QString text = help->findChild<QPlainTextEdit*>(panel)->toPlainText();
        QVERIFY2(text.contains(line), qPrintable(text));
    }
};

QTEST_MAIN(ExchangeReachTest)
#include "test_exchange_reach.moc"
