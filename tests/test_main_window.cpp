// The main window shell: counts, section switching, dragging, the closing sequence.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "help/AboutWindow.h"
#include "help/CreditWindow.h"
#include "help/HelpWindow.h"
#include "platform/Geometry.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "sections/PersonalPanel.h"
#include "sections/RemindersPanel.h"
#include "utility/UtilityWindow.h"

#include <QCalendarWidget>
#include <QFile>
#include <QLabel>
#include <QPushButton>

class MainWindowTest : public QObject {
    Q_OBJECT

    MainWindow* open(FakeContext& fake) {
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        if (main && QTest::qWaitForWindowActive(main))
            return main;
        return main;
    }

private slots:
    void startsOnTheHomeViewWithCounts() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM Notes");
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        QVERIFY(main);
        QCOMPARE(main->windowTitle(), QStringLiteral("Quillmere Password Storage"));
        QVERIFY(main->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(main->size(), QSize(twips(9090), twips(6225)));
        for (QWidget* panel : {static_cast<QWidget*>(main->PicPassword), static_cast<QWidget*>(main->PicNotes),
                               static_cast<QWidget*>(main->Pictodo), static_cast<QWidget*>(main->PicPersonal)})
            QVERIFY(!panel->isVisible());
        QCOMPARE(main->Label29->text(), QStringLiteral("4  Passwords"));
        QCOMPARE(main->Label30->text(), QStringLiteral("0  Notes"));
        QCOMPARE(main->Label31->text(), QStringLiteral("3  Reminders"));
        QCOMPARE(main->Label32->text(), QStringLiteral("2  Credit Cards"));
        QCOMPARE(main->Pictodo->MonthView1->selectedDate(), QDate(2026, 12, 7));
        QCOMPARE(main->DatPassword->value("Account"), QStringLiteral("Webmail"));
    }

    void countsFollowWritesOnActivation() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        dir.exec("password.mdb", "INSERT INTO account (Account) VALUES ('Added elsewhere')");
        dir.exec("password.mdb", "DELETE FROM Reminder WHERE _key = 1");
        // Another window takes the focus and gives it back.
        HelpWindow* help = fake.windows.show<HelpWindow>(fake.context);
        QVERIFY(QTest::qWaitForWindowActive(help));
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QCOMPARE(main->Label29->text(), QStringLiteral("5  Passwords"));
        QCOMPARE(main->Label31->text(), QStringLiteral("2  Reminders"));
    }

    void sectionButtonsShowOnePanel() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        const std::pair<QString, QWidget*> buttons[] = {{"cmdNotes", main->PicNotes},
                                                        {"cmdTodo", main->Pictodo},
                                                        {"cmdPersonal", main->PicPersonal},
                                                        {"cmdPasswords", main->PicPassword},
                                                        {"cmdPasswords", main->PicPassword}};
        for (const auto& [name, shown] : buttons) {
            click(main, name);
            for (QWidget* panel : {static_cast<QWidget*>(main->PicPassword), static_cast<QWidget*>(main->PicNotes),
                                   static_cast<QWidget*>(main->Pictodo), static_cast<QWidget*>(main->PicPersonal)})
                QCOMPARE(panel->isVisible(), panel == shown);
            QVERIFY(main->findChild<QPushButton*>(name)->isChecked());
        }
        QVERIFY(!main->cmdNotes->isChecked());
        QVERIFY(!main->cmdTodo->isChecked());
        QVERIFY(!main->cmdPersonal->isChecked());
    }

    void bankPanelToggles() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        click(main, "cmdPersonal");
        QVERIFY(!main->PicPersonal->PicBank->isVisible());
        click(main, "cmdBank");
        QVERIFY(main->PicPersonal->PicBank->isVisible());
        click(main, "cmdPasswords");
        click(main, "cmdPersonal");
        QVERIFY(main->PicPersonal->PicBank->isVisible());
        click(main, "cmdBank");
        QVERIFY(!main->PicPersonal->PicBank->isVisible());
    }

    void dragsWithTheLeftButtonAlone() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        const QPoint start = main->pos();
        const auto drag = [main](Qt::MouseButtons held, QPoint by) {
            const QPoint press(20, 300);
            QMouseEvent pressEvent(QEvent::MouseButtonPress, press, main->mapToGlobal(press), Qt::LeftButton, held,
                                   Qt::NoModifier);
            QApplication::sendEvent(main, &pressEvent);
            const QPoint to = press + by;
            QMouseEvent moveEvent(QEvent::MouseMove, to, main->mapToGlobal(to), Qt::NoButton, held, Qt::NoModifier);
            QApplication::sendEvent(main, &moveEvent);
        };
        drag(Qt::RightButton, {30, 40});
        QCOMPARE(main->pos(), start);
        drag(Qt::LeftButton | Qt::RightButton, {30, 40});
        QCOMPARE(main->pos(), start);
        drag(Qt::NoButton, {30, 40});
        QCOMPARE(main->pos(), start);
        drag(Qt::LeftButton, {30, 40});
        QCOMPARE(main->pos(), start + QPoint(30, 40));
    }

    void minimiseButton() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        click(main, "cmdMinimize");
        QVERIFY(main->isMinimized());
    }

    void helpAboutCreditsOpenOnce() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        click(main, "cmdHelp");
        click(main, "cmdHelp");
        click(main, "cmdAbout");
        QTest::mouseClick(main->Image1, Qt::LeftButton);
        QTest::mouseClick(main->Image1, Qt::LeftButton);
        QCOMPARE(fake.windows.openWindows().size(), 4);
        QVERIFY(fake.windows.find<HelpWindow>());
        QVERIFY(fake.windows.find<AboutWindow>());
        QVERIFY(fake.windows.find<CreditWindow>());
        QCOMPARE(main->Image1->toolTip(), QStringLiteral(" Click to show Picture Credit "));
    }

    void closingWithNoEndsEverything() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        click(main, "cmdHelp");
        fake.prompter.answers = {false};
        click(main, "cmdClose");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("ask"));
        QCOMPARE(fake.prompter.last().text, QStringLiteral("Do you want to backup the Database ?"));
        QCOMPARE(fake.prompter.last().title, QStringLiteral("Close Program"));
        QVERIFY(fake.windows.openWindows().isEmpty());
    }

    void closingWithYesLeavesTheUtilityAlone() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        click(main, "cmdAbout");
        fake.prompter.answers = {true};
        main->close();
        const QList<AppWindow*> open = fake.windows.openWindows();
        QCOMPARE(open.size(), 1);
        QCOMPARE(open.first()->objectName(), QStringLiteral("frmBackup"));
        QCOMPARE(fake.prompter.unexpectedQuestions, 0);
    }

    // A record database that cannot be opened: the reason, and the offer of the
    // utility to restore a backup or repair; No ends the program.
    void unopenableDatabaseOffersTheUtility_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing, yes") << "missing" << true << "is missing";
        QTest::newRow("missing, no") << "missing" << false << "is missing";
        QTest::newRow("not a database, yes") << "garbage" << true << "not a database";
        QTest::newRow("missing a table, no") << "table" << false << "no table \"Reminder\"";
    }
    void unopenableDatabaseOffersTheUtility() {
        QFETCH(QString, kind);
        QFETCH(bool, yes);
        QFETCH(QString, reason);
        ProgramDirectory dir;
        if (kind == "missing") {
            QFile::remove(dir.recordDatabase());
        } else if (kind == "garbage") {
            QFile f(dir.recordDatabase());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(8192, 'g'));
        } else {
            dir.exec("password.mdb", "DROP TABLE Reminder");
        }
        FakeContext fake(dir.path());
        fake.prompter.answers = {yes};
        QVERIFY(!fake.windows.show<MainWindow>(fake.context));
        QCOMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("ask"));
        const QStringList lines = fake.prompter.last().text.split('\n');
        QVERIFY2(lines.first().contains(reason), qPrintable(lines.first()));
        QCOMPARE(lines.last(), MainWindow::OfferUtility);
        const QList<AppWindow*> open = fake.windows.openWindows();
        QCOMPARE(open.size(), yes ? 1 : 0);
        if (yes)
            QCOMPARE(open.first()->objectName(), QStringLiteral("frmBackup"));
    }

    void countsShowWholeUpToNineDigits_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("label");
        QTest::addColumn<qint64>("count");
        QTest::newRow("a million passwords") << "account"
                                             << "Label29" << qint64(1000000);
        QTest::newRow("eight-digit notes") << "Notes"
                                           << "Label30" << qint64(12345678);
        QTest::newRow("nine-digit reminders") << "Reminder"
                                              << "Label31" << qint64(999999999);
        QTest::newRow("nine-digit credit cards") << "Credit Card"
                                                 << "Label32" << qint64(888888888);
    }
    void countsShowWholeUpToNineDigits() {
        QFETCH(QString, table);
        QFETCH(QString, label);
        QFETCH(qint64, count);
        ProgramDirectory dir;
        // The count comes from the file's record of counts; the keys are read apart from it.
        dir.exec("password.mdb", QString("UPDATE _counts SET rows = %1 WHERE tableName = '%2'").arg(count).arg(table));
        FakeContext fake(dir.path());
        MainWindow* main = open(fake);
        QVERIFY(main);
        auto* shown = main->findChild<QLabel*>(label);
        QVERIFY(shown->text().startsWith(QString::number(count) + "  "));
        QCOMPARE(shown->x(), twips(6540));
        QVERIFY2(shown->width() >= shown->sizeHint().width(), qPrintable(shown->text()));
        QVERIFY(shown->geometry().right() < main->width());
        QCOMPARE(shown->font().bold(), true);
        QCOMPARE(shown->font().pointSizeF(), 8.25);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
