// What assistive technology is told: each box's name comes from its own label,
// toggle buttons are buttons, and captions that the screen shows exist for readers too.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "generator/GeneratorWindow.h"
#include "sections/RemindersPanel.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace {

// The text of the first label the box names as its label, or why there is none.
QString labelOf(QWidget* box) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(box);
    if (!face)
        return QStringLiteral("(no interface)");
    const auto relations = face->relations(QAccessible::Label);
    if (relations.isEmpty())
        return QStringLiteral("(no label)");
    return relations.first().first->text(QAccessible::Name);
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    MainWindow* openMain(FakeContext& fake) {
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        if (main)
            (void)QTest::qWaitForWindowExposed(main);
        return main;
    }

private slots:
    void editorBoxesAreNamedByTheirLabels_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("label");
        const auto row = [](Section s, const char* box, const char* label) {
            QTest::addRow("%s %s", qPrintable(editorDescription(s).windowName), box) << int(s) << box << label;
        };
        row(Section::Passwords, "Text1", "Account Name:");
        row(Section::Passwords, "Text4", "Password:");
        row(Section::Passwords, "Text5", "Remarks:");
        row(Section::CreditCards, "Combo1", "Card Type:");
        row(Section::CreditCards, "Text18", "Account #");
        row(Section::CreditCards, "Combo2", "Year:");
        row(Section::CreditCards, "Text25", "Zip Code:");
        row(Section::Personal, "Text13", "City:");
        row(Section::Personal, "Text15", "Zip Code:");
        row(Section::Notes, "Text7", "Subject:");
        row(Section::Reminders, "Text8", "Date:");
    }
    void editorBoxesAreNamedByTheirLabels() {
        QFETCH(int, section);
        QFETCH(QString, box);
        QFETCH(QString, label);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        const EditorDescription& description = editorDescription(Section(section));
        auto* editor = static_cast<RecordEditor*>(fake.windows.show(
            description.windowName, [&] { return new RecordEditor(fake.context, description, nullptr); }));
        QVERIFY(editor);
        QWidget* widget = editor->box(box);
        QVERIFY(widget);
        QCOMPARE(labelOf(widget), label);
        // A combo box reads out its text as its name; every other box its label.
        if (!widget->inherits("QComboBox"))
            QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), label);
    }

    void panelBoxesAreNamedByTheirLabels_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("label");
        QTest::newRow("password panel") << "Text1"
                                        << "Account Name:";
        QTest::newRow("password panel, multi-line") << "Text5"
                                                    << "Remarks:";
        QTest::newRow("personal frame") << "Text16"
                                        << "Email:";
        QTest::newRow("card frame") << "Text18"
                                    << "Account #";
        QTest::newRow("bank details") << "Text26"
                                      << "Telephone:";
        QTest::newRow("notes panel") << "Text7"
                                     << "Subject:";
        QTest::newRow("reminders panel") << "Text8"
                                         << "Date:";
    }
    void panelBoxesAreNamedByTheirLabels() {
        QFETCH(QString, box);
        QFETCH(QString, label);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        QVERIFY(main);
        const QList<QWidget*> boxes = main->findChildren<QWidget*>(box);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(labelOf(boxes.first()), label);
        QCOMPARE(QAccessible::queryAccessibleInterface(boxes.first())->text(QAccessible::Name), label);
    }

    // Controls that share a caption or tooltip are told apart by what a screen reader says; what shows stays.
    void sharedCaptionsAreToldApart_data() {
        QTest::addColumn<QString>("where"); // "panel" or the editor's section
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown"); // the label or tooltip that stays as it was
        QTest::newRow("panel address") << "panel"
                                       << "Text11"
                                       << "Address"
                                       << "Address:";
        QTest::newRow("panel second address line") << "panel"
                                                   << "Text12"
                                                   << "Address, second line"
                                                   << "Address:";
        QTest::newRow("editor address") << "editor"
                                        << "Text11"
                                        << "Address"
                                        << "Address:";
        QTest::newRow("editor second address line") << "editor"
                                                    << "Text12"
                                                    << "Address, second line"
                                                    << "Address:";
        QTest::newRow("copy account") << "panel"
                                      << "cmdAccount"
                                      << "Copy Account Name to Clipboard"
                                      << " Copy to Clipboard ";
        QTest::newRow("copy user") << "panel"
                                   << "cmdUser"
                                   << "Copy User Name to Clipboard"
                                   << " Copy to Clipboard ";
        QTest::newRow("copy password") << "panel"
                                       << "cmdPasswrd"
                                       << "Copy Password to Clipboard"
                                       << " Copy to Clipboard ";
        QTest::newRow("copy second address line") << "panel"
                                                  << "PowerButton4"
                                                  << "Copy Address, second line to Clipboard"
                                                  << " Copy to Clipboard ";
        QTest::newRow("copy card number") << "panel"
                                          << "PowerButton9"
                                          << "Copy Account # to Clipboard"
                                          << " Copy to Clipboard ";
        QTest::newRow("password grid") << "panel"
                                       << "DBGrid1"
                                       << "Passwords"
                                       << "";
        QTest::newRow("notes list") << "panel"
                                    << "DBList1"
                                    << "Notes"
                                    << "";
    }
    void sharedCaptionsAreToldApart() {
        QFETCH(QString, where);
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        QWidget* widget = nullptr;
        if (where == "editor") {
            const EditorDescription& description = editorDescription(Section::Personal);
            auto* editor = static_cast<RecordEditor*>(fake.windows.show(
                description.windowName, [&] { return new RecordEditor(fake.context, description, nullptr); }));
            widget = editor->box(control);
        } else {
            MainWindow* main = openMain(fake);
            widget = main->findChild<QWidget*>(control);
        }
        QVERIFY(widget);
        QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), name);
        if (widget->inherits("QLineEdit"))
            QCOMPARE(labelOf(widget), shown);
        else if (widget->inherits("QToolButton"))
            QCOMPARE(widget->toolTip(), shown);
    }

    void generatorLengthIsNamedByItsLabel() {
        FakeContext fake(QDir::tempPath());
        auto* generator = fake.windows.show<GeneratorWindow>(fake.context, nullptr);
        QCOMPARE(labelOf(generator->Lenn), QStringLiteral("Set the Number of Characters:"));
    }

    void sectionButtonsAreToggleButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("passwords") << "cmdPasswords"
                                   << "Passwords";
        QTest::newRow("notes") << "cmdNotes"
                               << "Notes";
        QTest::newRow("to do") << "cmdTodo"
                               << "To Do";
        QTest::newRow("personal") << "cmdPersonal"
                                  << "Personal";
    }
    void sectionButtonsAreToggleButtons() {
        QFETCH(QString, button);
        QFETCH(QString, name);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        QVERIFY(main);
        auto* target = main->findChild<QPushButton*>(button);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(target);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::Button);
        QVERIFY(face->state().checkable);
        QVERIFY(!face->state().checked);
        QCOMPARE(face->text(QAccessible::Name).trimmed(), name);
        click(main, button);
        QVERIFY(face->state().checked);
        QVERIFY(face->state().pressed);
        // Pressing another section releases this one.
        click(main, button == "cmdNotes" ? QStringLiteral("cmdTodo") : QStringLiteral("cmdNotes"));
        QVERIFY(!face->state().checked);
        QVERIFY(!face->state().pressed);
        // Assistive technology can press it as a user would.
        QAccessibleActionInterface* actions = face->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(target->isChecked());
    }

    void plainButtonsStayPlainButtons() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        QVERIFY(main);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(main->findChild<QPushButton*>("cmdNew"));
        QCOMPARE(face->role(), QAccessible::Button);
        QVERIFY(!face->state().checkable);
    }

    void remindersGridShowsItsCaption() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        QVERIFY(main);
        click(main, "cmdTodo");
        QTableView* grid = main->Pictodo->DBGrid2;
        QLabel* caption = nullptr;
        for (QLabel* label : main->Pictodo->findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("To Do List"))
                caption = label;
        }
        QVERIFY2(caption, "no visible caption");
        QVERIFY(caption->isVisible());
        // Above the grid's rows, within the grid's place, wide as the grid and never covered by it.
        const QRect gridPlace = grid->geometry().united(caption->geometry());
        QVERIFY(caption->geometry().bottom() < grid->geometry().top());
        QCOMPARE(caption->x(), grid->x());
        QVERIFY(caption->width() >= grid->width());
        QVERIFY(gridPlace.top() >= 0);
        QVERIFY(caption->height() >= caption->sizeHint().height());
        QCOMPARE(QAccessible::queryAccessibleInterface(grid)->text(QAccessible::Name), QStringLiteral("To Do List"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
