// The Find window through its real controls: opening it from the main window,
// results as the user types, the keys, picking a record into the main window,
// the counts, paging, and the secrets that never show.
#include "Fakes.h"
#include "Helpers.h"
#include "OpenMainWindow.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "find/FindWindow.h"
#include "find/ResultDelegate.h"
#include "find/SearchResultModel.h"
#include "platform/Geometry.h"
#include "search/RecordSearch.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "sections/PersonalPanel.h"
#include "sections/RemindersPanel.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>

namespace {

QString focusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

// The search waits for the typing to be handled: let it run.
void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QAbstractItemModel* results(FindWindow* find) {
    return find->lstResults->model();
}

// A row of the list as the user reads it: section | record | found in | text.
QString rowText(FindWindow* find, int row) {
    QStringList cells;
    for (int c = 0; c < results(find)->columnCount(); ++c)
        cells << results(find)->index(row, c).data().toString();
    return cells.join('|');
}

QString currentText(FindWindow* find) {
    const QModelIndex current = find->lstResults->currentIndex();
    return current.isValid() ? rowText(find, current.row()) : QStringLiteral("(no current row)");
}

// Every row the list holds, as the user reads them.
QStringList shownRows(FindWindow* find) {
    QStringList rows;
    for (int row = 0; row < results(find)->rowCount(); ++row)
        rows << rowText(find, row);
    return rows;
}

// The rows a list that had shown nothing before shows for the query.
QStringList freshRows(const QString& databasePath, const QString& query, int pageSize) {
    RecordSearch search(databasePath);
    SearchResultModel fresh;
    fresh.show(&search, SearchQuery::parse(query), pageSize);
    QStringList rows;
    for (int row = 0; row < fresh.rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < fresh.columnCount(); ++c)
            cells << fresh.index(row, c).data().toString();
        rows << cells.join('|');
    }
    return rows;
}

void typeQuery(FindWindow* find, const QString& text) {
    find->txtFind->setFocus();
    find->txtFind->selectAll();
    QTest::keyClicks(find->txtFind, text);
    settle();
}

// The Return key or a double click on the current row.
void pickCurrent(FindWindow* find, bool doubleClick) {
    if (!doubleClick) {
        QTest::keyClick(find->txtFind, Qt::Key_Return);
        return;
    }
    const QRect cell = find->lstResults->visualRect(find->lstResults->currentIndex());
    // A double click begins with a click, as the system sends it.
    QTest::mouseClick(find->lstResults->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(find->lstResults->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

class FindTest : public QObject {
    Q_OBJECT

    // The model tester reads further pages itself: a test of paging goes without it.
    FindWindow* openFind(MainWindow* main, FakeContext& fake, bool testModel = true) {
        clickButton(main, QStringLiteral("cmdFind"));
        auto* find = fake.windows.find<FindWindow>();
        if (find) {
            (void)QTest::qWaitForWindowActive(find);
            if (testModel)
                new QAbstractItemModelTester(results(find), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                             find);
        }
        return find;
    }

private slots:
    void buttonAndKeyOpenOneWindow_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("button") << false;
        QTest::newRow("Ctrl+F") << true;
    }
    void buttonAndKeyOpenOneWindow() {
        QFETCH(bool, byKey);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        click(main, "cmdPasswords");
        main->PicPassword->DBGrid1->setFocus();
        const auto open = [&] {
            if (byKey)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
            else
                clickButton(main, QStringLiteral("cmdFind"));
        };
        open();
        auto* find = fake.windows.find<FindWindow>();
        QVERIFY(find);
        QVERIFY(QTest::qWaitForWindowActive(find));
        QVERIFY(!find->parentWidget());
        QVERIFY(!find->isModal());
        QCOMPARE(focusName(), QStringLiteral("txtFind"));

        typeQuery(find, "bank");
        QVERIFY(results(find)->rowCount() > 0);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        // Opened again from the main window: the same window, with what was typed
        // selected so that new typing replaces it.
        main->PicPassword->DBGrid1->setFocus();
        open();
        QVERIFY(QTest::qWaitForWindowActive(find));
        QCOMPARE(fake.windows.find<FindWindow>(), find);
        int finds = 0;
        for (AppWindow* window : fake.windows.openWindows())
            finds += qobject_cast<FindWindow*>(window) != nullptr;
        QCOMPARE(finds, 1);
        QCOMPARE(find->txtFind->selectedText(), QStringLiteral("bank"));
        QCOMPARE(focusName(), QStringLiteral("txtFind"));
    }

    void findButtonSitsInTheFreeStrip() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        QToolButton* button = main->cmdFind;
        QCOMPARE(button->objectName(), QStringLiteral("cmdFind"));
        QCOMPARE(button->toolTip(), QStringLiteral(" Find "));
        QVERIFY(!button->icon().isNull());
        QVERIFY(button->isVisible());
        QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), QStringLiteral("Find"));
        QVERIFY(button->x() > main->cmdPersonal->geometry().right());
        QVERIFY(button->geometry().right() < main->cmdMinimize->x());
        // The controls the window had keep their places.
        QCOMPARE(main->cmdPersonal->geometry(), QRect(twips(5760), twips(525), twips(1275), twips(495)));
        QCOMPARE(main->cmdMinimize->geometry(), QRect(twips(7800), twips(390), twips(495), twips(435)));
        for (QWidget* other : main->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != button && other->isVisible())
                QVERIFY2(!other->geometry().intersects(button->geometry()), qPrintable(other->objectName()));
        }
    }

    void pickingShowsTheRecord_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("bankShown");
        QTest::newRow("password") << "bookshop" << int(Section::Passwords) << "cmdPasswords"
                                  << "Text1"
                                  << "Online Bookshop" << false;
        QTest::newRow("card, bank details hidden") << "credit union" << int(Section::CreditCards) << "cmdPersonal"
                                                   << "Text17"
                                                   << "MasterCard" << false;
        QTest::newRow("card, bank details shown") << "riverton" << int(Section::CreditCards) << "cmdPersonal"
                                                  << "Text21"
                                                  << "Sample Credit Union" << true;
        QTest::newRow("person") << "birch" << int(Section::Personal) << "cmdPersonal"
                                << "Text10"
                                << "Sam Marsh" << false;
        QTest::newRow("note") << "kettle" << int(Section::Notes) << "cmdNotes"
                              << "Text7"
                              << "Wi-Fi at home" << false;
        QTest::newRow("reminder") << "dentist" << int(Section::Reminders) << "cmdTodo"
                                  << "Text8"
                                  << "2/3/2027" << false;
        QTest::newRow("record newer than the main window's")
            << "late arrival" << int(Section::Passwords) << "cmdPasswords"
            << "Text1"
            << "Late Arrival" << false;
    }
    void pickingShowsTheRecord() {
        QFETCH(QString, query);
        QFETCH(int, section);
        QFETCH(QString, button);
        QFETCH(QString, box);
        QFETCH(QString, shown);
        QFETCH(bool, bankShown);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        // Written by another program after the main window took its records.
        dir.exec("password.mdb", "INSERT INTO account (Account, User) VALUES ('Late Arrival', 'someone')");
        // The user left the bank details as they like them, on another section.
        if (bankShown) {
            click(main, "cmdPersonal");
            click(main, "cmdBank");
        }
        click(main, "cmdTodo");
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, query);
        QCOMPARE(find->lstResults->currentIndex().row(), 0);
        const SearchHit hit = static_cast<SearchResultModel*>(results(find))->hit(0);

        pickCurrent(find, false);
        QVERIFY(fake.prompter.calls.isEmpty());
        auto* sectionButton = main->findChild<QPushButton*>(button);
        QVERIFY(sectionButton->isChecked());
        const QList<QWidget*> panels = {main->PicPassword, main->PicNotes, main->Pictodo, main->PicPersonal};
        for (QWidget* panel : panels) {
            const bool expected = (button == "cmdPasswords" && panel == main->PicPassword) ||
                                  (button == "cmdNotes" && panel == main->PicNotes) ||
                                  (button == "cmdTodo" && panel == main->Pictodo) ||
                                  (button == "cmdPersonal" && panel == main->PicPersonal);
            QCOMPARE(panel->isVisible(), expected);
        }
        for (QPushButton* other : {main->cmdPasswords, main->cmdNotes, main->cmdTodo, main->cmdPersonal})
            QCOMPARE(other->isChecked(), other == sectionButton);
        DataBinder& binder = main->binder(Section(section));
        QCOMPARE(binder.Bookmark(), hit.key);
        auto* boxWidget = main->findChild<QLineEdit*>(box);
        QVERIFY(boxWidget);
        QCOMPARE(boxWidget->text(), shown);
        QVERIFY(boxWidget->isVisible());
        QCOMPARE(main->PicPersonal->PicBank->isVisible(), bankShown && button == "cmdPersonal");
        QCOMPARE(main->PicPersonal->PicBank->isHidden(), !bankShown);
        // The lists and grids select it too.
        if (Section(section) == Section::Notes) {
            QListView* list = main->PicNotes->DBList1;
            QCOMPARE(list->selectionModel()->selectedIndexes().size(), 1);
            QCOMPARE(list->selectionModel()->selectedIndexes().first().data().toString(), shown);
        }
        if (Section(section) == Section::Reminders || Section(section) == Section::Passwords) {
            QTableView* grid =
                Section(section) == Section::Reminders ? main->Pictodo->DBGrid2 : main->PicPassword->DBGrid1;
            QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
            QCOMPARE(grid->selectionModel()->selectedRows().first().data().toString(), shown);
        }
        // The main window shows it; the Find window stays for another pick.
        QVERIFY(QTest::qWaitForWindowActive(main));
        QCOMPARE(fake.windows.find<FindWindow>(), find);
        QVERIFY(find->isVisible());
    }

    void arrowsMoveAndEitherWayPicks_data() {
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("Return") << false;
        QTest::newRow("double click") << true;
    }
    void arrowsMoveAndEitherWayPicks() {
        QFETCH(bool, doubleClick);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        // The accounts' addresses and the cards' websites.
        typeQuery(find, "example.");
        QVERIFY(results(find)->rowCount() >= 6);
        QCOMPARE(find->lstResults->currentIndex().row(), 0);
        QCOMPARE(find->lstResults->selectionModel()->selectedRows().size(), 1);
        QTest::keyClick(find->txtFind, Qt::Key_Up);
        QCOMPARE(find->lstResults->currentIndex().row(), 0);
        for (int row = 1; row <= 5; ++row) {
            QTest::keyClick(find->txtFind, Qt::Key_Down);
            QCOMPARE(find->lstResults->currentIndex().row(), row);
        }
        QTest::keyClick(find->txtFind, Qt::Key_Up);
        QCOMPARE(find->lstResults->currentIndex().row(), 4);
        QCOMPARE(focusName(), QStringLiteral("txtFind"));
        QCOMPARE(find->txtFind->text(), QStringLiteral("example."));
        // Row 4 is the first card: the accounts come first, four of them.
        QVERIFY2(currentText(find).startsWith("Credit Cards|Visa, Example Savings Bank|"),
                 qPrintable(currentText(find)));
        pickCurrent(find, doubleClick);
        QVERIFY(main->PicPersonal->isVisible());
        QCOMPARE(main->DatCCard->value("Type Card"), QStringLiteral("Visa"));

        // Back in the Find window the user picks another.
        find->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(find));
        QTest::keyClick(find->txtFind, Qt::Key_Down);
        pickCurrent(find, doubleClick);
        QCOMPARE(main->DatCCard->value("Type Card"), QStringLiteral("MasterCard"));
        QVERIFY(fake.prompter.calls.isEmpty());
    }

    void escapeClearsThenCloses_data() {
        QTest::addColumn<bool>("fromList");
        QTest::newRow("in the box") << false;
        QTest::newRow("in the list") << true;
    }
    void escapeClearsThenCloses() {
        QFETCH(bool, fromList);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "web");
        QVERIFY(results(find)->rowCount() > 0);
        QVERIFY(!find->lblCounts->text().isEmpty());
        QWidget* keys = find->txtFind;
        if (fromList) {
            find->lstResults->setFocus();
            keys = find->lstResults;
        }
        QTest::keyClick(keys, Qt::Key_Escape);
        settle();
        QCOMPARE(find->txtFind->text(), QString());
        QCOMPARE(results(find)->rowCount(), 0);
        QCOMPARE(find->lblCounts->text(), QString());
        QVERIFY(find->isVisible());
        QCOMPARE(focusName(), QStringLiteral("txtFind"));
        QTest::keyClick(find->txtFind, Qt::Key_Escape);
        QVERIFY(!fake.windows.find<FindWindow>());
        QVERIFY(main->isVisible());
    }

    void emptyBoxShowsNothing_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("typed and taken back") << "we\b\b";
        QTest::newRow("blanks") << "   ";
    }
    void emptyBoxShowsNothing() {
        QFETCH(QString, typed);
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        for (const QChar c : typed) {
            if (c == '\b')
                QTest::keyClick(find->txtFind, Qt::Key_Backspace);
            else
                QTest::keyClicks(find->txtFind, QString(c));
            settle();
        }
        QCOMPARE(results(find)->rowCount(), 0);
        QCOMPARE(find->lblCounts->text(), QString());
        QTest::keyClick(find->txtFind, Qt::Key_Return);
        QVERIFY(!main->PicPassword->isVisible());
    }

    void countsPerSection_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("counts");
        QTest::newRow("several sections")
            << "example"
            << "Passwords: 4    Credit Cards: 2    Personal: 2    Notes: 0    Reminders: 0";
        QTest::newRow("one or two letters: anywhere, counted in later turns")
            << "sa"
            << "Passwords: 1    Credit Cards: 2    Personal: 1    Notes: 2    Reminders: 0";
        QTest::newRow("more than the count goes to")
            << "many"
            << "Passwords: 1000+    Credit Cards: 0    Personal: 0    Notes: 1    Reminders: 0";
        QTest::newRow("no hit") << "xylophone"
                                << "No record matches.";
    }
    void countsPerSection() {
        QFETCH(QString, query);
        QFETCH(QString, counts);
        ProgramDirectory dir;
        dir.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
                                 "INSERT INTO account (Account) SELECT 'Many ' || i FROM n;"
                                 "INSERT INTO Notes (Title, Note) VALUES ('How many', 'one')");
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, query);
        QTRY_COMPARE(find->lblCounts->text(), counts);
        // The whole line shows.
        QVERIFY(find->lblCounts->sizeHint().width() <= find->lblCounts->width());
    }

    void secretsAreNeverShown_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<int>("rows");
        QTest::newRow("a password beside the same word in the remarks") << "kestrel"
                                                                        << "kestrel-in-the-wind" << 1;
        QTest::newRow("a password alone") << "heron#"
                                          << "Heron#2006" << 0;
        QTest::newRow("a card number") << "4111"
                                       << "4111 1111 1111 1111" << 0;
        QTest::newRow("a security code of a card found by its bank") << "example savings"
                                                                     << "987" << 2;
        QTest::newRow("one letter, anywhere but in a secret") << "e"
                                                              << "Gr33n-Meadow!" << 15;
    }
    void secretsAreNeverShown() {
        QFETCH(QString, query);
        QFETCH(QString, secret);
        QFETCH(int, rows);
        ProgramDirectory dir;
        dir.exec("password.mdb", "INSERT INTO account (Account, Password, Notes) VALUES ('Birding', "
                                 "'kestrel-in-the-wind', 'Hint: the kestrel');"
                                 "UPDATE \"Credit Card\" SET \"Security Code\" = '987' WHERE \"Type Card\" = 'Visa'");
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, query);
        QCOMPARE(results(find)->rowCount(), rows);
        for (int row = 0; row < results(find)->rowCount(); ++row) {
            for (int column = 0; column < results(find)->columnCount(); ++column) {
                for (int role = 0; role < Qt::UserRole + 8; ++role) {
                    const QString value = results(find)->index(row, column).data(role).toString();
                    QVERIFY2(!value.contains(secret, Qt::CaseInsensitive), qPrintable(rowText(find, row)));
                }
            }
        }
    }

    void resultsAreReadPageByPage() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                 "INSERT INTO account (Account, User) SELECT 'Paged ' || i, 'user' || i FROM n");
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake, false);
        QVERIFY(find);
        typeQuery(find, "paged");
        QTest::qWait(20);
        const int page = find->pageSize();
        QVERIFY(page < 100);
        QCOMPARE(results(find)->rowCount(), page);
        const int shownRows =
            find->lstResults->viewport()->height() / find->lstResults->verticalHeader()->defaultSectionSize();
        QVERIFY2(page >= shownRows, qPrintable(QStringLiteral("%1 rows show, %2 read").arg(shownRows).arg(page)));
        // Scrolled to its end, the list reads one more page, in order, without repeats.
        find->lstResults->scrollToBottom();
        settle();
        QTRY_COMPARE(results(find)->rowCount(), 2 * page);
        // Moving down from the box goes on past the first page.
        for (int i = 0; i < 2 * page + 3; ++i)
            QTest::keyClick(find->txtFind, Qt::Key_Down);
        QTRY_VERIFY(results(find)->rowCount() >= 3 * page);
        QCOMPARE(find->lstResults->currentIndex().row(), 2 * page + 3);
        auto* model = static_cast<SearchResultModel*>(results(find));
        for (int row = 1; row < model->rowCount(); ++row)
            QVERIFY(model->hit(row).key > model->hit(row - 1).key);
        QCOMPARE(rowText(find, 2 * page + 3),
                 QStringLiteral("Passwords|Paged %1|Account Name|Paged %1").arg(2 * page + 4));
    }

    // Letters too few for the index are looked for in each record the long word
    // finds: the list fills in turns of the event loop and the count says "at least".
    void aRareShortWordFillsTheListInTurns() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2990) "
                                 "INSERT INTO account (Account, User) SELECT 'Paged ' || i, CASE WHEN i IN (500, 1500, "
                                 "2990) THEN 'zq' ELSE 'someone' END FROM n");
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "paged zq");
        // The first turn looks at fewer records than lie before the first hit.
        QVERIFY(results(find)->rowCount() < 3);
        QTRY_COMPARE(results(find)->rowCount(), 3);
        QCOMPARE(rowText(find, 0), QStringLiteral("Passwords|Paged 500|Account Name|Paged 500"));
        QCOMPARE(rowText(find, 2), QStringLiteral("Passwords|Paged 2990|Account Name|Paged 2990"));
        QCOMPARE(find->lstResults->currentIndex().row(), 0);
        // Once the list holds every hit, the counts are exact (the last turn found the last hit).
        QTRY_COMPARE(find->lblCounts->text(),
                     QStringLiteral("Passwords: 3    Credit Cards: 0    Personal: 0    Notes: 0    Reminders: 0"));
        // A rare short word no record holds: no record matches, once every one was looked at.
        typeQuery(find, "paged qz");
        QCOMPARE(find->lblCounts->text(),
                 QStringLiteral("Passwords: ?    Credit Cards: 0    Personal: 0    Notes: 0    Reminders: 0"));
        QVERIFY(!find->lblCounts->toolTip().isEmpty());
        QTRY_COMPARE(find->lblCounts->text(), QStringLiteral("No record matches."));
    }

    // A short word many records hold: the first screenful shows at once, and the
    // counts, "at least" at first, are finished in later turns though the list
    // wants no more rows.
    void aCommonShortWordIsCountedInTurns() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2990) "
                                 "INSERT INTO account (Account, User) SELECT 'Paged ' || i, CASE WHEN i % 4 = 0 "
                                 "THEN 'has zq' ELSE 'someone' END FROM n");
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "ZQ");
        QVERIFY(find->lblCounts->text().startsWith(QStringLiteral("Passwords: ")));
        QVERIFY2(find->lblCounts->text().contains('+'), qPrintable(find->lblCounts->text()));
        QVERIFY(!find->lblCounts->toolTip().isEmpty());
        QTRY_VERIFY(results(find)->rowCount() >= find->pageSize());
        QCOMPARE(rowText(find, 0), QStringLiteral("Passwords|Paged 4|User Name|has zq"));
        QTRY_COMPARE(find->lblCounts->text(),
                     QStringLiteral("Passwords: 747    Credit Cards: 0    Personal: 0    Notes: 0    Reminders: 0"));
        QCOMPARE(find->lblCounts->toolTip(), QString());
        QVERIFY(results(find)->rowCount() < 747);
    }

    // Typing on keeps the rows of the records still found: only the cells shown
    // differently change (and are repainted), and the list always ends as a
    // list that had shown nothing before would show the query.
    void typingOnChangesOnlyWhatItShowsDifferently() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "exampl");
        QVERIFY(results(find)->rowCount() > 1);
        QSignalSpy reset(results(find), &QAbstractItemModel::modelReset);
        QSignalSpy removed(results(find), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(results(find), &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(results(find), &QAbstractItemModel::dataChanged);
        QTest::keyClick(find->txtFind, 'e');
        settle();
        QCOMPARE(shownRows(find), freshRows(dir.recordDatabase(), "example", find->pageSize()));
        QCOMPARE(reset.count() + removed.count() + inserted.count(), 0);
        // The same records: only the match, one letter longer, is shown differently.
        QVERIFY(!changed.isEmpty());
        for (const QList<QVariant>& signal : changed) {
            QCOMPARE(signal.at(0).toModelIndex().column(), int(SearchResultModel::TextColumn));
            QCOMPARE(signal.at(1).toModelIndex(), signal.at(0).toModelIndex());
        }
        // Fewer records, none, and back: rows go and come, the rest stays right.
        for (const QString text : {"example.c", "example.cz", "example.c", "e", "example"}) {
            find->txtFind->setText(text);
            settle();
            QCOMPARE(shownRows(find), freshRows(dir.recordDatabase(), text, find->pageSize()));
            QCOMPARE(find->lstResults->currentIndex().row(), results(find)->rowCount() > 0 ? 0 : -1);
        }
        QCOMPARE(reset.count(), 0);
    }

    // The rows begin at the list's edge: no row numbers or corner button beside them.
    void rowsBeginAtTheListsEdge() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "example");
        QVERIFY(results(find)->rowCount() > 0);
        QCOMPARE(find->lstResults->viewport()->geometry().left(), find->lstResults->frameWidth());
        QCOMPARE(find->lstResults->visualRect(results(find)->index(0, 0)).left(), 0);
    }

    // The list's scroll bar keeps the looks it drew: each must be what the style
    // itself draws, empty, filled, scrolled and in a window no longer active.
    void scrollBarLooksAsTheStyleDrawsIt() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                                 "INSERT INTO account (Account) SELECT 'Many ' || i FROM n;");
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake, false);
        QVERIFY(find);
        QScrollBar* bar = find->lstResults->verticalScrollBar();
        QStyle* kept = bar->style();
        QVERIFY(kept != QApplication::style());
        const auto drawnAlike = [&] {
            const QImage fromKept = bar->grab().toImage();
            bar->setStyle(QApplication::style());
            const QImage fromStyle = bar->grab().toImage();
            bar->setStyle(kept);
            return fromKept == fromStyle;
        };
        QVERIFY(drawnAlike());
        typeQuery(find, "many");
        QVERIFY(bar->maximum() > 0);
        QVERIFY(drawnAlike());
        // Drawn once more from what was kept.
        QVERIFY(drawnAlike());
        bar->setValue(bar->maximum() / 2);
        QVERIFY(drawnAlike());
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QVERIFY(drawnAlike());
    }

    // Keystrokes that arrive before the program could answer share one search.
    void keystrokesThatArriveTogetherShareOneSearch() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        auto* model = static_cast<SearchResultModel*>(results(find));
        QSignalSpy searches(model, &SearchResultModel::shown);
        QTest::keyClicks(find->txtFind, "bookshop");
        QCOMPARE(searches.count(), 0);
        settle();
        QCOMPARE(searches.count(), 1);
        QCOMPARE(shownRows(find), freshRows(dir.recordDatabase(), "bookshop", find->pageSize()));
    }

    // The list keeps the lines it laid out for earlier keystrokes: they must draw
    // as lines laid out afresh do, the match marked where it is now.
    void keptLinesDrawAsFreshOnes() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "exa");
        find->lstResults->viewport()->repaint();
        QTest::keyClick(find->txtFind, 'm');
        settle();
        const QImage kept = find->lstResults->viewport()->grab().toImage();
        find->lstResults->setItemDelegate(new ResultDelegate(find->lstResults));
        QCOMPARE(find->lstResults->viewport()->grab().toImage(), kept);
    }

    void aRecordGoneIsNotShown() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "bookshop");
        QCOMPARE(results(find)->rowCount(), 1);
        dir.exec("password.mdb", "DELETE FROM account WHERE Account = 'Online Bookshop'");
        QTest::keyClick(find->txtFind, Qt::Key_Return);
        QCOMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QCOMPARE(results(find)->rowCount(), 0);
        QCOMPARE(find->lblCounts->text(), QStringLiteral("No record matches."));
        QVERIFY(!main->PicPassword->isVisible());
    }

    void listFollowsChangesMadeElsewhere() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "kettle");
        QCOMPARE(results(find)->rowCount(), 1);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        dir.exec("password.mdb", "INSERT INTO Notes (Title, Note) VALUES ('Copper kettle', 'a gift')");
        find->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(find));
        QCOMPARE(results(find)->rowCount(), 2);
        QCOMPARE(rowText(find, 1), QStringLiteral("Notes|Copper kettle|Subject|Copper kettle"));
    }

    void tabMovesBetweenBoxAndList() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "example");
        const QStringList forward = {"lstResults", "txtFind", "lstResults"};
        for (const QString& name : forward) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), name);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focusName(), QStringLiteral("txtFind"));
        // In the list the arrow keys move and Return picks, as in the box.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(find->lstResults, Qt::Key_Down);
        QCOMPARE(find->lstResults->currentIndex().row(), 1);
        QTest::keyClick(find->lstResults, Qt::Key_Return);
        QVERIFY(main->PicPassword->isVisible());
        QCOMPARE(main->DatPassword->AbsolutePosition(), 1);
    }

    void matchStaysInViewInALongLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("match");
        QTest::addColumn<bool>("cutBefore");
        QTest::addColumn<bool>("cutAfter");
        const QString hex = QStringLiteral("0123456789ABCDEF").repeated(8);
        QTest::newRow("short line") << "Straße Ørsted"
                                    << "Ørsted" << false << false;
        QTest::newRow("match at the start") << "needle " + hex << "needle" << false << true;
        QTest::newRow("match at the end") << hex + " needle"
                                          << "needle" << true << false;
        QTest::newRow("match in the middle") << hex + " needle " + hex << "needle" << true << true;
        QTest::newRow("characters outside the basic plane") << QStringLiteral("😀").repeated(40) + " needle"
                                                            << "needle" << true << false;
    }
    void matchStaysInViewInALongLine() {
        QFETCH(QString, text);
        QFETCH(QString, match);
        QFETCH(bool, cutBefore);
        QFETCH(bool, cutAfter);
        const QFontMetrics metrics(QApplication::font());
        // Widths a pixel or two apart cut the line at every possible place.
        const int narrowest = metrics.horizontalAdvance(QStringLiteral("0123456789ABCDEF0123456789"));
        for (int width = narrowest; width < narrowest + 40; width += 3) {
            int start = int(text.indexOf(match));
            const QString shown = fitMatchText(text, start, int(match.size()), metrics, width);
            QCOMPARE(shown.mid(start, match.size()), match);
            QCOMPARE(shown.startsWith(QStringLiteral("…")), cutBefore);
            QCOMPARE(shown.endsWith(QStringLiteral("…")), cutAfter);
            QVERIFY2(metrics.horizontalAdvance(shown) <= width, qPrintable(shown));
            // No half of a character is left at the cut.
            QVERIFY2(!shown.at(1).isLowSurrogate(), qPrintable(QString::number(width)));
        }
    }

    void boxIsNamedByItsLabel() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        QCOMPARE(find->lblFind->buddy(), find->txtFind);
        QCOMPARE(QAccessible::queryAccessibleInterface(find->txtFind)->text(QAccessible::Name),
                 QStringLiteral("Find:"));
        QVERIFY(!QAccessible::queryAccessibleInterface(find->lstResults)->text(QAccessible::Name).isEmpty());
    }

    // A screen reader hears a hit whole, on whichever cell of its row the focus is.
    void aHitIsReadAsAWhole() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = openMainWindow(fake);
        QVERIFY(main);
        FindWindow* find = openFind(main, fake);
        QVERIFY(find);
        typeQuery(find, "bank");
        QVERIFY(results(find)->rowCount() > 0);
        QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(find->lstResults)->tableInterface();
        QVERIFY(table);
        QAbstractItemModel* model = results(find);
        const QString whole = QStringLiteral("%1, %2, %3: %4")
                                  .arg(model->index(0, 0).data().toString(), model->index(0, 1).data().toString(),
                                       model->index(0, 2).data().toString(), model->index(0, 3).data().toString());
        for (int column = 0; column < model->columnCount(); ++column)
            QCOMPARE(table->cellAt(0, column)->text(QAccessible::Name), whole);
    }
};

QTEST_MAIN(FindTest)
#include "test_find.moc"
