// The four panels of the main window and the New, Edit and Delete commands.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "platform/QtSeams.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "sections/PersonalPanel.h"
#include "sections/RecordCommands.h"
#include "sections/RemindersPanel.h"

#include <QCalendarWidget>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

class SectionsTest : public QObject {
    Q_OBJECT

    MainWindow* openMain(FakeContext& fake, const QString& section) {
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        (void)QTest::qWaitForWindowExposed(main);
        clickButton(main, section);
        return main;
    }
    static QString text(QWidget* main, const QString& box) {
        if (auto* line = main->findChild<QLineEdit*>(box))
            return line->text();
        return main->findChild<QPlainTextEdit*>(box)->toPlainText();
    }

private slots:
    void gridPicksTheAccount() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPasswords");
        QTableView* grid = main->PicPassword->DBGrid1;
        QCOMPARE(grid->model()->rowCount(), 4);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Account"));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("User Name"));
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Password"));
        QCOMPARE(text(main, "Text1"), QStringLiteral("Webmail"));
        const QRect cell = grid->visualRect(grid->model()->index(2, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(text(main, "Text1"), QStringLiteral("Photo Club Forum"));
        QCOMPARE(text(main, "Text2"), QStringLiteral("forum.example.net"));
        QCOMPARE(text(main, "Text3"), QStringLiteral("wren_watcher"));
        QCOMPARE(text(main, "Text4"), QStringLiteral("Lens Cap 35"));
        QVERIFY(main->PicPassword->Text4->isReadOnly());
        QVERIFY(!(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable));
    }

    void copyButtonsCopyExactlyAndMinimise() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "UPDATE account SET User = '', Password = ' Mixed Case  pw ' WHERE _key = 1");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPasswords");
        click(main, "cmdUser");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QCOMPARE(fake.prompter.last().text, QStringLiteral("There is no Text to copy."));
        QCOMPARE(fake.clipboard.sets, 0);
        QVERIFY(!main->isMinimized());
        click(main, "cmdPasswrd");
        QCOMPARE(fake.clipboard.text, QStringLiteral(" Mixed Case  pw "));
        QVERIFY(main->isMinimized());
        main->showNormal();
        main->DatPassword->setBookmark(2);
        click(main, "cmdRemarks");
        QCOMPARE(fake.clipboard.text, QStringLiteral("Customer no. 10482\nWish list: gardening, birds"));
        click(main, "cmdAccount");
        QCOMPARE(fake.clipboard.text, QStringLiteral("Online Bookshop"));
        QCOMPARE(fake.prompter.calls.size(), 1);
    }

    void desktopClipboardMarksCopiesAsSecret() {
        QtClipboard clipboard;
        clipboard.setText(QStringLiteral(" Mixed Case\npw "));
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), QStringLiteral(" Mixed Case\npw "));
        QCOMPARE(data->data("x-kde-passwordManagerHint"), QByteArray("secret"));
    }

    void websiteIsHandedOverUnchanged() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "UPDATE account SET Website = '' WHERE _key = 2");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPasswords");
        main->DatPassword->setBookmark(3);
        click(main, "cmdWebsite");
        QCOMPARE(fake.browser.opened, QStringList{"forum.example.net"});
        QVERIFY(!main->isMinimized());
        main->DatPassword->setBookmark(2);
        click(main, "cmdWebsite");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("There is no Website listed."));
        QCOMPARE(fake.browser.opened.size(), 1);
    }

    void stepsStopAtBothEnds() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPersonal");
        QCOMPARE(text(main, "Text10"), QStringLiteral("Robin Hale"));
        click(main, "cmdBack");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("This is the first Person."));
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(text(main, "Text10"), QStringLiteral("Robin Hale"));
        click(main, "cmdNext");
        QCOMPARE(text(main, "Text10"), QStringLiteral("Sam Marsh"));
        click(main, "cmdNext");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("This is the last Person."));
        QCOMPARE(text(main, "Text10"), QStringLiteral("Sam Marsh"));
        click(main, "cmdBack");
        QCOMPARE(text(main, "Text10"), QStringLiteral("Robin Hale"));
        QCOMPARE(fake.prompter.calls.size(), 2);
        // The cards step on their own, and the bank boxes follow them.
        QCOMPARE(text(main, "Text17"), QStringLiteral("Visa"));
        click(main, "cmdBank");
        click(main, "cmdNextcc");
        QCOMPARE(text(main, "Text17"), QStringLiteral("MasterCard"));
        QCOMPARE(text(main, "Text21"), QStringLiteral("Sample Credit Union"));
        click(main, "cmdNextcc");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("This is the last Credit Card."));
        click(main, "CmdBackcc");
        click(main, "CmdBackcc");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("This is the first Credit Card."));
        QCOMPARE(text(main, "Text21"), QStringLiteral("Example Savings Bank"));
        QCOMPARE(text(main, "Text10"), QStringLiteral("Robin Hale"));
    }

    void oneRecordAndEmptyTables() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM Personal WHERE _key > 1; DELETE FROM \"Credit Card\"");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPersonal");
        click(main, "cmdNext");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("This is the last Person."));
        click(main, "cmdBack");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("This is the first Person."));
        QCOMPARE(text(main, "Text10"), QStringLiteral("Robin Hale"));
        click(main, "cmdDeletePerson");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QCOMPARE(fake.prompter.last().text,
                 QStringLiteral("This Person can not be deleted.\nYou can edit this "
                                "Person.\nAt least one record has to be present at all times."));
        QCOMPARE(dir.count("Personal"), 1);
        // With no card at all, stepping, editing and deleting do nothing.
        const int calls = fake.prompter.calls.size();
        for (const char* name : {"cmdNextcc", "CmdBackcc", "cmdEditCCard", "cmdDeleteCCard"})
            click(main, name);
        QCOMPARE(fake.prompter.calls.size(), calls);
        QVERIFY(!fake.windows.find("frmAddCCard"));
        click(main, "PowerButton9");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("There is no Text to copy."));
        click(main, "cmdNewCCard");
        QVERIFY(fake.windows.find("frmAddCCard"));
    }

    void deleteAsksAndPositions_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("nameBox");
        QTest::addColumn<qint64>("removed");   // the key deleted
        QTest::addColumn<QString>("shownBox"); // what the panel shows after
        QTest::addColumn<QString>("shown");
        QTest::newRow("password, last after") << "cmdPasswords"
                                              << "cmdDelete"
                                              << "account"
                                              << "Text1" << qint64(1) << "Text1"
                                              << "Example Savings Bank";
        QTest::newRow("card, first after") << "cmdPersonal"
                                           << "cmdDeleteCCard"
                                           << "Credit Card"
                                           << "Text17" << qint64(1) << "Text17"
                                           << "MasterCard";
        QTest::newRow("person, the only one") << "cmdPersonal"
                                              << "cmdDeletePerson"
                                              << "Personal"
                                              << "Text10" << qint64(1) << "Text10"
                                              << "Sam Marsh";
        QTest::newRow("note, first after") << "cmdNotes"
                                           << "cmdDeletenote"
                                           << "Notes"
                                           << "Text7" << qint64(1) << "Text7"
                                           << "Wi-Fi at home";
        QTest::newRow("reminder, last after") << "cmdTodo"
                                              << "cmdDeletereminder"
                                              << "Reminder"
                                              << "Text8" << qint64(1) << "Text8"
                                              << "3/21/2027";
    }
    void deleteAsksAndPositions() {
        QFETCH(QString, section);
        QFETCH(QString, button);
        QFETCH(QString, table);
        QFETCH(QString, nameBox);
        QFETCH(qint64, removed);
        QFETCH(QString, shownBox);
        QFETCH(QString, shown);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, section);
        const qint64 before = dir.count(table);
        const QString name = text(main, nameBox);
        fake.prompter.answers = {false};
        click(main, button);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("ask"));
        QCOMPARE(fake.prompter.last().text, "Are you sure you want to delete " + name + " ?");
        QCOMPARE(fake.prompter.last().title, QStringLiteral("Delete Information"));
        QCOMPARE(dir.count(table), before);
        QCOMPARE(text(main, nameBox), name);
        fake.prompter.answers = {true};
        click(main, button);
        QCOMPARE(dir.count(table), before - 1);
        QCOMPARE(
            dir.query("password.mdb", QString("SELECT count(*) FROM \"%1\" WHERE _key = %2").arg(table).arg(removed)),
            QStringLiteral("0"));
        QCOMPARE(text(main, shownBox), shown);
        QCOMPARE(fake.prompter.unexpectedQuestions, 0);
    }

    void deleteSecondPersonOfThree() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "INSERT INTO Personal (\"Full Name\") VALUES ('Third Person')");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPersonal");
        click(main, "cmdNext");
        fake.prompter.answers = {true};
        click(main, "cmdDeletePerson");
        QCOMPARE(text(main, "Text10"), QStringLiteral("Third Person")); // the second of those left
    }

    void questionWithAnEmptyNameBox() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "UPDATE Notes SET Title = NULL WHERE _key = 1");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdNotes");
        fake.prompter.answers = {false};
        click(main, "cmdDeletenote");
        QCOMPARE(fake.prompter.last().text, QStringLiteral("Are you sure you want to delete  ?"));
    }

    void questionQuotesAVeryLongNameShortened() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "UPDATE account SET Account = 'Start' || replace(hex(zeroblob(50000)), '0', 'n') || "
                                 "'Finish' WHERE _key = 1");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPasswords");
        QCOMPARE(text(main, "Text1").size(), 100011);
        fake.prompter.answers = {false};
        click(main, "cmdDelete");
        const QString question = fake.prompter.last().text;
        QVERIFY2(question.size() < 400, qPrintable(QString::number(question.size())));
        QVERIFY2(question.startsWith(QStringLiteral("Are you sure you want to delete Startnnn")),
                 qPrintable(question.left(60)));
        QVERIFY(question.endsWith(QStringLiteral("nnnFinish ?")));
        QVERIFY(question.contains(QStringLiteral("\u2026")));
    }

    void notesListPicksByPlace() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "INSERT INTO Notes (Title, Note) VALUES ('Welcome', 'the second welcome')");
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdNotes");
        QListView* list = main->PicNotes->DBList1;
        QCOMPARE(list->model()->rowCount(), 4);
        const QRect last = list->visualRect(list->model()->index(3, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.center());
        QCOMPARE(text(main, "Text6"), QStringLiteral("the second welcome"));
        QVERIFY(main->PicNotes->Text6->isReadOnly());
        // A note saved in the editor shows in the list at once.
        click(main, "cmdNewnote");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        qobject_cast<QLineEdit*>(editor->box("Text7"))->setText("Fifth");
        click(editor, "cmdSave");
        QCOMPARE(list->model()->rowCount(), 5);
        QCOMPARE(list->model()->index(4, 0).data().toString(), QStringLiteral("Fifth"));
        QCOMPARE(list->currentIndex().row(), 4);
    }

    void calendarDayStartsAReminder() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdTodo");
        QCalendarWidget* calendar = main->Pictodo->MonthView1;
        calendar->setCurrentPage(2027, 2); // the user moved to another month: no reminder yet
        QVERIFY(!fake.windows.find("frmAddReminder"));
        for (int round = 0; round < 2; ++round) {
            emit calendar->clicked(QDate(2027, 2, 14));
            auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddReminder"));
            QVERIFY(editor);
            QCOMPARE(editor->findChild<QLabel*>("Label1")->text(), QStringLiteral("Adding new Reminder"));
            QCOMPARE(editor->boxText("Text8"), RecordCommands::shortDate(QDate(2027, 2, 14)));
            QCOMPARE(editor->boxText("Text9"), QString());
            QCOMPARE(editor->focusWidget(), editor->box("Text9"));
            qobject_cast<QPlainTextEdit*>(editor->box("Text9"))->setPlainText("Valentine's card");
            click(editor, "cmdSave");
        }
        QCOMPARE(dir.query("password.mdb", "SELECT count(*) FROM Reminder WHERE Reminder = 'Valentine''s card'"),
                 QStringLiteral("2"));
        QCOMPARE(main->DatReminders->AbsolutePosition(), 4);
        QCOMPARE(main->Pictodo->DBGrid2->currentIndex().row(), 4);
    }

    void shortDateFollowsTheLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("text");
        const QDate day(2026, 12, 6);
        QTest::newRow("United States") << QLocale(QLocale::English, QLocale::UnitedStates) << day << "12/6/2026";
        QTest::newRow("United Kingdom") << QLocale(QLocale::English, QLocale::UnitedKingdom) << day << "06/12/2026";
        QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany) << day << "06.12.2026";
        // A locale without conventions of its own writes the form of the delivered records.
        QTest::newRow("C") << QLocale::c() << day << "12/6/2026";
        QTest::newRow("C, as delivered") << QLocale::c() << QDate(2027, 1, 15) << "1/15/2027";
        QTest::newRow("POSIX") << QLocale(QStringLiteral("POSIX")) << QDate(2027, 1, 15) << "1/15/2027";
    }
    void shortDateFollowsTheLocale() {
        QFETCH(QLocale, locale);
        QFETCH(QDate, day);
        QFETCH(QString, text);
        QLocale::setDefault(locale);
        const QString written = RecordCommands::shortDate(day);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(written, text);
    }

    void newReusesTheOpenEditor() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, "cmdPasswords");
        click(main, "cmdEdit");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddpassword"));
        QCOMPARE(editor->boxText("Text1"), QStringLiteral("Webmail"));
        qobject_cast<QLineEdit*>(editor->box("Text1"))->setText("Unsaved change");
        click(main, "cmdNew");
        QCOMPARE(fake.windows.find("frmAddpassword"), editor);
        for (const char* box : {"Text1", "Text2", "Text3", "Text4", "Text5"})
            QCOMPARE(editor->boxText(box), QString());
        QCOMPARE(editor->focusWidget(), editor->box("Text1"));
        QCOMPARE(dir.query("password.mdb", "SELECT Account FROM account WHERE _key = 1"), QStringLiteral("Webmail"));
        int editors = 0;
        for (AppWindow* w : fake.windows.openWindows())
            editors += w->objectName() == "frmAddpassword";
        QCOMPARE(editors, 1);
    }

    void editCaptionsAndFocus_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("focus"); // empty: the first tab stop of a fresh editor
        QTest::newRow("card") << "cmdPersonal"
                              << "cmdEditCCard"
                              << "frmAddCCard"
                              << "Editing this Credit Card"
                              << "";
        QTest::newRow("reminder") << "cmdTodo"
                                  << "cmdEditreminder"
                                  << "frmAddReminder"
                                  << "Editing this Reminder"
                                  << "Text9";
        QTest::newRow("note") << "cmdNotes"
                              << "cmdEditnote"
                              << "frmAddnote"
                              << "Editing this Note"
                              << "";
    }
    void editCaptionsAndFocus() {
        QFETCH(QString, section);
        QFETCH(QString, button);
        QFETCH(QString, window);
        QFETCH(QString, caption);
        QFETCH(QString, focus);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMain(fake, section);
        click(main, button);
        auto* editor = static_cast<RecordEditor*>(fake.windows.find(window));
        QCOMPARE(editor->header->text(), caption);
        QVERIFY(editor->Data1->isPending() && !editor->Data1->isAdding());
        if (!focus.isEmpty())
            QCOMPARE(editor->focusWidget(), editor->box(focus));
    }
};

QTEST_MAIN(SectionsTest)
#include "test_sections.moc"
