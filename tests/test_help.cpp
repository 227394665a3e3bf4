// Help, about and credits.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "help/AboutWindow.h"
#include "help/CreditWindow.h"
#include "help/HelpWindow.h"
#include "platform/Geometry.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class HelpTest : public QObject {
    Q_OBJECT

    static QStringList visiblePanels(HelpWindow* help) {
        QStringList names;
        for (QPlainTextEdit* p : help->panels) {
            if (p->isVisible())
                names << p->objectName();
        }
        return names;
    }

private slots:
    void topicsShowOnePanelAndWelcomeComesBack() {
        FakeContext fake(QDir::tempPath());
        HelpWindow* help = fake.windows.show<HelpWindow>(fake.context);
        QCOMPARE(help->windowTitle(), QStringLiteral("Quillmere Password Storage Help"));
        QCOMPARE(help->size(), QSize(twips(8460), twips(5295)));
        QCOMPARE(visiblePanels(help), QStringList{"TextWelcome"});
        const std::pair<QString, QString> topics[] = {
            {"cmdNotes", "TextNotes"},     {"cmdTodo", "TextTodo"},           {"cmdPersonal", "TextPersonal"},
            {"cmdDatabase", "TextBackup"}, {"cmdPasswords", "TextPasswords"}, {"cmdPasswords", "TextPasswords"}};
        for (const auto& [button, panel] : topics) {
            click(help, button);
            QCOMPARE(visiblePanels(help), QStringList{panel});
        }
        QVERIFY(!help->cmdWebsite->isVisible());
        click(help, "cmdClose");
        help = fake.windows.show<HelpWindow>(fake.context);
        QCOMPARE(visiblePanels(help), QStringList{"TextWelcome"});
    }

    void textsHaveTheirHeadingsAndEndWithALineBreak_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<int>("stars");
        QTest::newRow("welcome") << "TextWelcome"
                                 << "Welcome !" << 13;
        QTest::newRow("passwords") << "TextPasswords"
                                   << "Passwords" << 13;
        QTest::newRow("notes") << "TextNotes"
                               << "Notes" << 8;
        QTest::newRow("personal") << "TextPersonal"
                                  << "Personal Information" << 25;
        QTest::newRow("todo") << "TextTodo"
                              << "ToDo List" << 12;
        QTest::newRow("backup") << "TextBackup"
                                << "BACKUP AND DATABASE UTILITY" << 44;
    }
    void textsHaveTheirHeadingsAndEndWithALineBreak() {
        QFETCH(QString, panel);
        QFETCH(QString, heading);
        QFETCH(int, stars);
        FakeContext fake(QDir::tempPath());
        HelpWindow* help = fake.windows.show<HelpWindow>(fake.context);
        auto* box = help->findChild<QPlainTextEdit*>(panel);
        QVERIFY(box->isReadOnly());
        const QStringList lines = box->toPlainText().split('\n');
        QCOMPARE(lines.value(0), heading);
        QCOMPARE(lines.value(1), QString(stars, '*'));
        QCOMPARE(lines.last(), QString()); // the text ends with a line break
    }

    void aboutSwapsToTheLicenceUntilReopened() {
        FakeContext fake(QDir::tempPath());
        AboutWindow* about = fake.windows.show<AboutWindow>(fake.context);
        QCOMPARE(about->windowTitle(), QStringLiteral("About"));
        QVERIFY(about->findChild<QLabel*>("Label2")->text() == QStringLiteral("Version:  1.0"));
        QVERIFY(about->Picture2->isVisible() && !about->Text1->isVisible());
        click(about, "cmdLicense");
        QVERIFY(!about->Picture2->isVisible() && about->Text1->isVisible());
        QVERIFY(about->Text1->isReadOnly());
        QCOMPARE(about->cmdLicense->text(), QStringLiteral("    License"));
        click(about, "cmdClose");
        about = fake.windows.show<AboutWindow>(fake.context);
        QVERIFY(about->Picture2->isVisible() && !about->Text1->isVisible());
        click(about, "cmdCredit");
        click(about, "cmdCredit");
        QCOMPARE(fake.windows.openWindows().size(), 2);
        QCOMPARE(fake.windows.find<CreditWindow>()->windowTitle(), QStringLiteral("Picture Credit"));
        QVERIFY(about->isVisible());
    }
};

QTEST_MAIN(HelpTest)
#include "test_help.moc"
