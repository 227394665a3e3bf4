// The five record editors, driven from the main window's New and Edit buttons.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "platform/Geometry.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <SQLiteCpp/Database.h>

namespace {

void setText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else if (auto* lines = qobject_cast<QPlainTextEdit*>(box))
        lines->setPlainText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(box))
        combo->setEditText(text);
}

struct Case {
    Section section;
    QString panelButton;
    QString newButton; // empty: the calendar adds reminders
    QString editButton;
};

const Case Cases[] = {
    {Section::Passwords, "cmdPasswords", "cmdNew", "cmdEdit"},
    {Section::CreditCards, "cmdPersonal", "cmdNewCCard", "cmdEditCCard"},
    {Section::Personal, "cmdPersonal", "cmdNewPerson", "cmdEditPerson"},
    {Section::Notes, "cmdNotes", "cmdNewnote", "cmdEditnote"},
    {Section::Reminders, "cmdTodo", "", "cmdEditreminder"},
};

} // namespace

class EditorsTest : public QObject {
    Q_OBJECT

    MainWindow* openMain(FakeContext& fake) {
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        (void)QTest::qWaitForWindowExposed(main);
        return main;
    }

    RecordEditor* openNew(FakeContext& fake, MainWindow* main, const Case& c) {
        clickButton(main, c.panelButton);
        if (c.newButton.isEmpty())
            emitDayClick(main, QDate(2026, 12, 24));
        else
            clickButton(main, c.newButton);
        return static_cast<RecordEditor*>(fake.windows.find(editorDescription(c.section).windowName));
    }

    static void emitDayClick(MainWindow* main, const QDate& day);

    // One row per editor, named after its window.
    static void addEditorRows() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 5; ++i)
            QTest::newRow(qPrintable(editorDescription(Cases[i].section).windowName)) << i;
    }

private slots:
    void eachEditorLooksAsDescribed_data() { addEditorRows(); }
    void eachEditorLooksAsDescribed() {
        QFETCH(int, index);
        const Case& c = Cases[index];
        const EditorDescription& d = editorDescription(c.section);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        RecordEditor* editor = openNew(fake, main, c);
        QVERIFY(editor);
        QCOMPARE(editor->windowTitle(), d.windowCaption);
        QCOMPARE(editor->size(), QSize(twips(d.clientWidth), twips(d.clientHeight)));
        QCOMPARE(editor->findChild<QLabel*>(d.headerControl)->text(), d.addingCaption);
        QCOMPARE(editor->frame->title(), d.frameCaption);
        QCOMPARE(editor->cmdSave->text(), QStringLiteral("Save"));
        QCOMPARE(editor->cmdSave->toolTip(), QStringLiteral(" Save Information  "));
        QCOMPARE(editor->cmdCancel->toolTip(), QStringLiteral(" Do not Save  "));
        // Tab runs through the boxes in order, then Cancel and Save.
        QWidget* w = editor->box(d.boxes.front().name);
        for (size_t i = 1; i < d.boxes.size(); ++i) {
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus || !w->isVisible() || w->parent() == nullptr ||
                   (qobject_cast<QLineEdit*>(w) && w->parent()->inherits("QComboBox")))
                w = w->nextInFocusChain();
            if (w->objectName() == "cmdGenerate")
                w = w->nextInFocusChain();
            QCOMPARE(w->objectName(), d.boxes[i].name);
        }
        // Every frame child fits inside the window.
        for (QWidget* child : editor->findChildren<QWidget*>()) {
            if (!child->isVisible() || child->isWindow())
                continue;
            const QRect r(child->mapTo(editor, QPoint(0, 0)), child->size());
            QVERIFY2(editor->rect().contains(r),
                     qPrintable(QStringLiteral("%1 '%2' sticks out at %3,%4 %5x%6")
                                    .arg(child->metaObject()->className(), child->objectName())
                                    .arg(r.x())
                                    .arg(r.y())
                                    .arg(r.width())
                                    .arg(r.height())));
        }
    }

    void requiredFieldsRefuseThenSaveOnce_data() { addEditorRows(); }
    void requiredFieldsRefuseThenSaveOnce() {
        QFETCH(int, index);
        const Case& c = Cases[index];
        const EditorDescription& d = editorDescription(c.section);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        const qint64 before = dir.count(d.table);
        RecordEditor* editor = openNew(fake, main, c);
        for (const RequiredBox& required : d.required) {
            click(editor, "cmdSave");
            QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
            QCOMPARE(fake.prompter.last().text, required.message);
            QCOMPARE(fake.prompter.last().title, QStringLiteral("Quillmere Password Storage"));
            QCOMPARE(editor->focusWidget(), editor->box(required.box));
            QCOMPARE(dir.count(d.table), before);
            setText(editor->box(required.box), " "); // blanks count as filled
        }
        const int messages = fake.prompter.calls.size();
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.calls.size(), messages);
        QCOMPARE(dir.count(d.table), before + 1);
        QVERIFY(!fake.windows.find(d.windowName));
        DataBinder& binder = main->binder(c.section);
        QCOMPARE(binder.AbsolutePosition(), before); // the saved record is current, last
        for (const EditorBox& box : d.boxes) {
            if (box.name == d.required.front().box)
                QCOMPARE(binder.value(box.field), QStringLiteral(" "));
        }
    }

    void savedRecordShowsInTheMainWindow() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        RecordEditor* editor = openNew(fake, main, Cases[0]);
        QCOMPARE(editor->focusWidget(), editor->box("Text1"));
        setText(editor->box("Text1"), "Garden Centre");
        setText(editor->box("Text2"), "garden.example.org");
        setText(editor->box("Text3"), "robin");
        setText(editor->box("Text4"), "Seed Tray 44");
        setText(editor->box("Text5"), "Line one\nLine two");
        click(editor, "cmdSave");
        QCOMPARE(main->findChild<QLineEdit*>("Text1")->text(), QStringLiteral("Garden Centre"));
        QCOMPARE(main->findChild<QPlainTextEdit*>("Text5")->toPlainText(), QStringLiteral("Line one\nLine two"));
        QCOMPARE(dir.query("password.mdb", "SELECT Website || '|' || Notes FROM account ORDER BY _key DESC LIMIT 1"),
                 QStringLiteral("garden.example.org|Line one\nLine two"));
    }

    void creditCardChecksTypeFirstAndKeepsTypedText() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        RecordEditor* editor = openNew(fake, main, Cases[1]);
        auto* type = editor->findChild<QComboBox*>("Combo1");
        QCOMPARE(type->count(), 4);
        QCOMPARE(type->itemText(3), QStringLiteral("Discover Card"));
        QCOMPARE(editor->findChild<QComboBox*>("Combo2")->itemText(0), QStringLiteral("2006"));
        QCOMPARE(editor->findChild<QComboBox*>("Combo3")->count(), 12);
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().text, QStringLiteral("Please select type of Card or click Cancel."));
        type->setEditText("Store Card");
        editor->findChild<QComboBox*>("Combo3")->setEditText("13");
        setText(editor->box("Text18"), "0000 1111 2222 3333");
        click(editor, "cmdSave");
        QCOMPARE(dir.query("password.mdb",
                           "SELECT \"Type Card\" || '|' || Month FROM \"Credit Card\" ORDER BY _key DESC LIMIT 1"),
                 QStringLiteral("Store Card|13"));
    }

    void cancelLeavesTheTableAndPosition() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        click(main, "cmdNotes");
        main->DatNotes->MoveNext();
        const QByteArray before = dir.bytes("password.mdb");
        click(main, "cmdNewnote");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        setText(editor->box("Text7"), "Dropped");
        click(editor, "cmdCancel");
        QVERIFY(!fake.windows.find("frmAddnote"));
        click(main, "cmdEditnote");
        editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        QCOMPARE(editor->findChild<QLabel*>("Label1")->text(), QStringLiteral("Editing this Note"));
        QCOMPARE(editor->boxText("Text7"), QStringLiteral("Wi-Fi at home"));
        setText(editor->box("Text7"), "Changed but dropped");
        click(editor, "cmdCancel");
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(main->DatNotes->AbsolutePosition(), 1);
        // Reopened for an add the editor shows its adding caption again.
        click(main, "cmdNewnote");
        editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        QCOMPARE(editor->findChild<QLabel*>("Label1")->text(), QStringLiteral("Adding New Note"));
        // Closed by its frame it drops the pending record too.
        setText(editor->box("Text7"), "Closed by the frame");
        editor->close();
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    void editSavesInPlace() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        click(main, "cmdPersonal");
        click(main, "cmdNext");
        click(main, "cmdEditPerson");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddPersonal"));
        QCOMPARE(editor->findChild<QLabel*>("Label1")->text(), QStringLiteral("Editing this Person"));
        QCOMPARE(editor->focusWidget(), editor->box("Text10"));
        setText(editor->box("Text16"), "sam@example.net");
        click(editor, "cmdSave");
        QCOMPARE(main->DatPersonal->AbsolutePosition(), 1);
        QCOMPARE(main->findChild<QLineEdit*>("Text16")->text(), QStringLiteral("sam@example.net"));
        QCOMPARE(dir.count("Personal"), 2);
    }

    void refusedSavesKeepTheEditorOpen_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        QTest::newRow("password editor") << 0
                                         << "There is a Problem with the Data that you have entered.\n"
                                            "It could be that the website address is too long.";
        QTest::newRow("note editor") << 3 << "The record has not been saved.\n";
    }
    void refusedSavesKeepTheEditorOpen() {
        QFETCH(int, index);
        QFETCH(QString, message);
        const Case& c = Cases[index];
        const EditorDescription& d = editorDescription(c.section);
        ProgramDirectory dir;
        dir.refuseWrites("password.mdb", d.table);
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        RecordEditor* editor = openNew(fake, main, c);
        setText(editor->box(d.required.front().box), "Kept as typed");
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY2(fake.prompter.last().text.startsWith(message), qPrintable(fake.prompter.last().text));
        QCOMPARE(fake.windows.find(d.windowName), editor);
        QCOMPARE(editor->boxText(d.required.front().box), QStringLiteral("Kept as typed"));
        QVERIFY(editor->Data1->isPending());
        click(editor, "cmdCancel");
        QVERIFY(!fake.windows.find(d.windowName));
    }

    void saveOfARecordDeletedMeanwhileIsRefused_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("deleteButton");
        QTest::newRow("note editor") << 3 << "cmdDeletenote";
        // The password editor's guard message is about a refused value, not this.
        QTest::newRow("password editor") << 0 << "cmdDelete";
    }
    void saveOfARecordDeletedMeanwhileIsRefused() {
        QFETCH(int, index);
        QFETCH(QString, deleteButton);
        const Case& c = Cases[index];
        const EditorDescription& d = editorDescription(c.section);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        const qint64 before = dir.count(d.table);
        click(main, c.panelButton);
        click(main, c.editButton);
        auto* editor = static_cast<RecordEditor*>(fake.windows.find(d.windowName));
        fake.prompter.answers = {true};
        click(main, deleteButton);
        setText(editor->box(d.required.front().box), "Recreated?");
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY2(fake.prompter.last().text.contains("no longer in the table"), qPrintable(fake.prompter.last().text));
        QVERIFY(!fake.prompter.last().text.contains("website address"));
        QCOMPARE(dir.count(d.table), before - 1);
        QCOMPARE(fake.windows.find(d.windowName), editor);
    }

    // Another program saved the record the editor has open: the user decides whose version stays.
    void saveOverAChangeFromElsewhereAsks_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("stored"); // the records' texts of the field afterwards
        QTest::addColumn<bool>("editorOpen");
        QTest::newRow("keep mine") << 0 << QStringList{"Mine"} << false;
        QTest::newRow("keep theirs") << 1 << QStringList{"Theirs"} << false;
        QTest::newRow("keep both") << 2 << QStringList{"Mine", "Theirs"} << false;
        QTest::newRow("cancel") << 3 << QStringList{"Theirs"} << true;
    }
    void saveOverAChangeFromElsewhereAsks() {
        QFETCH(int, choice);
        QFETCH(QStringList, stored);
        QFETCH(bool, editorOpen);
        const Case& c = Cases[3];
        const EditorDescription& d = editorDescription(c.section);
        const EditorBox& edited = d.boxes.front();
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        const qint64 before = dir.count(d.table);
        click(main, c.panelButton);
        click(main, c.editButton);
        auto* editor = static_cast<RecordEditor*>(fake.windows.find(d.windowName));
        const RecordKey key = editor->Data1->Bookmark();
        const QString field = "\"" + edited.field + "\"";
        {
            SQLite::Database other(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
            other.exec(QStringLiteral("UPDATE %1 SET %2 = 'Theirs' WHERE rowid = %3")
                           .arg(d.table, field)
                           .arg(key)
                           .toStdString());
        }
        setText(editor->box(edited.name), "Mine");
        fake.prompter.choices = {choice};
        click(editor, "cmdSave");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("choose"));
        QVERIFY(fake.prompter.last().text.contains("Another program changed this record"));
        QCOMPARE(fake.windows.find(d.windowName) != nullptr, editorOpen);
        QCOMPARE(dir.count(d.table), before + stored.size() - 1);
        QStringList found;
        for (const QString text : {"Mine", "Theirs"}) {
            const QString n = dir.query(
                "password.mdb", QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = '%3'").arg(d.table, field, text));
            for (int i = 0; i < n.toInt(); ++i)
                found << text;
        }
        QCOMPARE(found, stored);
        if (editorOpen) {
            QCOMPARE(editor->boxText(edited.name), QStringLiteral("Mine"));
            QVERIFY(editor->Data1->isPending());
        }
    }

    void saveWhileAnotherProgramHoldsTheFileSaysSo() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake);
        RecordEditor* editor = openNew(fake, main, Cases[0]);
        setText(editor->box("Text1"), "Waits for the lock");
        // Another program keeps the file locked for longer than the store waits.
        SQLite::Database other(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
        other.exec("BEGIN EXCLUSIVE");
        click(editor, "cmdSave");
        other.exec("ROLLBACK");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY2(fake.prompter.last().text.contains("locked"), qPrintable(fake.prompter.last().text));
        QVERIFY(!fake.prompter.last().text.contains("website address"));
        QVERIFY(editor->Data1->isPending());
        click(editor, "cmdSave");
        QCOMPARE(dir.query("password.mdb", "SELECT count(*) FROM account WHERE Account = 'Waits for the lock'"),
                 QStringLiteral("1"));
    }
};

#include "sections/RemindersPanel.h"
void EditorsTest::emitDayClick(MainWindow* main, const QDate& day) {
    emit main->Pictodo->dayClicked(day);
}

QTEST_MAIN(EditorsTest)
#include "test_editors.moc"
