// The keyboard through real windows: Tab leaves the grids, Return presses the
// focused button, focus order follows the screen, option groups keep their convention.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "generator/GeneratorWindow.h"
#include "help/AboutWindow.h"
#include "help/HelpWindow.h"
#include "sections/PasswordPanel.h"
#include "sections/RemindersPanel.h"
#include "utility/UtilityWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>

namespace {

QString focusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

// A window of each kind, opened as the program opens it.
AppWindow* openWindow(FakeContext& fake, const QString& name) {
    if (name == LoginWindow::Name)
        return fake.windows.show<LoginWindow>(fake.context);
    if (name == MainWindow::Name)
        return fake.windows.show<MainWindow>(fake.context);
    if (name == HelpWindow::Name)
        return fake.windows.show<HelpWindow>(fake.context);
    if (name == AboutWindow::Name)
        return fake.windows.show<AboutWindow>(fake.context);
    if (name == GeneratorWindow::Name)
        return fake.windows.show<GeneratorWindow>(fake.context, nullptr);
    if (name == UtilityWindow::Name)
        return fake.windows.show<UtilityWindow>(fake.context);
    const EditorDescription& notes = editorDescription(Section::Notes);
    return fake.windows.show(notes.windowName, [&] { return new RecordEditor(fake.context, notes, nullptr); });
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

    MainWindow* openMain(FakeContext& fake, const QString& section) {
        auto* main = static_cast<MainWindow*>(openWindow(fake, MainWindow::Name));
        if (main && QTest::qWaitForWindowActive(main))
            clickButton(main, section);
        return main;
    }

private slots:
    void tabLeavesTheGrids_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<bool>("backwards");
        QTest::newRow("passwords, Tab") << "cmdPasswords"
                                        << "DBGrid1" << false;
        QTest::newRow("passwords, Shift+Tab") << "cmdPasswords"
                                              << "DBGrid1" << true;
        QTest::newRow("reminders, Tab") << "cmdTodo"
                                        << "DBGrid2" << false;
        QTest::newRow("reminders, Shift+Tab") << "cmdTodo"
                                              << "DBGrid2" << true;
    }
    void tabLeavesTheGrids() {
        QFETCH(QString, section);
        QFETCH(QString, grid);
        QFETCH(bool, backwards);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, section);
        QVERIFY(main);
        auto* view = main->findChild<QTableView*>(grid);
        view->setFocus();
        QCOMPARE(focusName(), grid);
        DataBinder& binder = *(grid == "DBGrid1" ? main->DatPassword : main->DatReminders);
        const qint64 before = binder.AbsolutePosition();
        QTest::keyClick(view, backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY2(!view->hasFocus(), qPrintable("focus stayed in " + grid));
        QCOMPARE(binder.AbsolutePosition(), before);
    }

    void arrowsMoveWithinTheGrids_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("grid");
        QTest::newRow("passwords") << "cmdPasswords"
                                   << "DBGrid1";
        QTest::newRow("reminders") << "cmdTodo"
                                   << "DBGrid2";
    }
    void arrowsMoveWithinTheGrids() {
        QFETCH(QString, section);
        QFETCH(QString, grid);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, section);
        QVERIFY(main);
        auto* view = main->findChild<QTableView*>(grid);
        view->setFocus();
        DataBinder& binder = *(grid == "DBGrid1" ? main->DatPassword : main->DatReminders);
        QCOMPARE(binder.AbsolutePosition(), 0);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(binder.AbsolutePosition(), 1);
        QVERIFY(view->hasFocus());
        QTest::keyClick(view, Qt::Key_Up);
        QCOMPARE(binder.AbsolutePosition(), 0);
    }

    void returnPressesTheFocusedButton_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::newRow("sign-in, picture button") << LoginWindow::Name << "cmdHelp" << int(Qt::Key_Return);
        QTest::newRow("sign-in, keypad Enter") << LoginWindow::Name << "cmdHide" << int(Qt::Key_Enter);
        QTest::newRow("main window, section button") << MainWindow::Name << "cmdNotes" << int(Qt::Key_Return);
        QTest::newRow("main window, picture button") << MainWindow::Name << "cmdHelp" << int(Qt::Key_Return);
        QTest::newRow("help") << HelpWindow::Name << "cmdTodo" << int(Qt::Key_Return);
        QTest::newRow("about") << AboutWindow::Name << "cmdLicense" << int(Qt::Key_Return);
        QTest::newRow("generator") << GeneratorWindow::Name << "Command1" << int(Qt::Key_Return);
        QTest::newRow("utility") << UtilityWindow::Name << "cmdDRepair" << int(Qt::Key_Return);
        QTest::newRow("editor") << "frmAddnote"
                                << "cmdCancel" << int(Qt::Key_Return);
    }
    void returnPressesTheFocusedButton() {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(int, key);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        AppWindow* shown = openWindow(fake, window);
        QVERIFY(shown);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        auto* target = shown->findChild<QAbstractButton*>(button);
        QVERIFY(target);
        target->show(); // the sign-in window's Hide button lies below its visible area
        target->setFocus();
        QSignalSpy clicked(target, &QAbstractButton::clicked);
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(clicked.count(), 1);
    }

    void returnInABoxPressesNothing() {
        // The sign-in window has no default button: Return in the password box signs nobody in.
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        auto* login = static_cast<LoginWindow*>(openWindow(fake, LoginWindow::Name));
        QVERIFY(QTest::qWaitForWindowActive(login));
        login->Text2->setText(QStringLiteral("wren"));
        login->Text2->setFocus();
        QSignalSpy clicked(login->cmdLogin, &QAbstractButton::clicked);
        QTest::keyClick(login->Text2, Qt::Key_Return);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!fake.windows.find<MainWindow>());
    }

    void helpTabOrderFollowsTheScreen() {
        FakeContext fake(QDir::tempPath());
        AppWindow* help = openWindow(fake, HelpWindow::Name);
        QVERIFY(QTest::qWaitForWindowActive(help));
        help->findChild<QPushButton*>("cmdPasswords")->setFocus();
        QStringList order{focusName()};
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << focusName();
        }
        QCOMPARE(order, (QStringList{"cmdPasswords", "cmdNotes", "cmdTodo", "cmdPersonal", "cmdDatabase"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focusName(), QStringLiteral("cmdPersonal"));
    }

    void generatorOptionGroup_data() {
        QTest::addColumn<QList<int>>("keys"); // pressed on whatever has the focus
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("caseCode");
        const int up = Qt::Key_Up, down = Qt::Key_Down, tab = Qt::Key_Tab, backtab = Qt::Key_Backtab;
        QTest::newRow("opens on the selected option") << QList<int>{} << "bc"
                                                      << "bc" << 3;
        QTest::newRow("up selects Lowercase") << QList<int>{up} << "lc"
                                              << "lc" << 0;
        QTest::newRow("up twice selects Uppercase") << QList<int>{up, up} << "uc"
                                                    << "uc" << 1;
        QTest::newRow("and down comes back") << QList<int>{up, up, down} << "lc"
                                             << "lc" << 0;
        QTest::newRow("Tab leaves the group") << QList<int>{tab} << "ic(1)"
                                              << "bc" << 3;
        QTest::newRow("Shift+Tab enters at the selected option") << QList<int>{up, up, tab, backtab} << "uc"
                                                                 << "uc" << 1;
        QTest::newRow("Shift+Tab from the group leaves the window's start")
            << QList<int>{up, tab, backtab, backtab} << "cmdSave"
            << "lc" << 0;
    }
    void generatorOptionGroup() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, focus);
        QFETCH(QString, selected);
        QFETCH(int, caseCode);
        FakeContext fake(QDir::tempPath());
        auto* generator = static_cast<GeneratorWindow*>(openWindow(fake, GeneratorWindow::Name));
        QVERIFY(QTest::qWaitForWindowActive(generator));
        for (int key : keys) {
            QWidget* target = QApplication::focusWidget();
            QVERIFY(target);
            QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        }
        QCOMPARE(focusName(), focus);
        QVERIFY(generator->findChild<QRadioButton*>(selected)->isChecked());
        QCOMPARE(generator->caseCode(), caseCode);
    }
};

QTEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"
