// The database utility's Import / Export topic, driven through its controls.
#include "ExchangeHelpers.h"
#include "Fakes.h"
#include "Helpers.h"
#include "utility/ColumnMappingDialog.h"
#include "utility/UtilityWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

ColumnMappingDialog* mappingDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<ColumnMappingDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

class ExchangeWindowTest : public QObject {
    Q_OBJECT

    UtilityWindow* open(FakeContext& fake) {
        UtilityWindow* window = fake.windows.show<UtilityWindow>(fake.context);
        clickButton(window, "cmdDExchange");
        return window;
    }

private slots:
    // The new topic shows its panel alone and leaves the design's controls where they are.
    void topic() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        UtilityWindow* window = fake.windows.show<UtilityWindow>(fake.context);
        const QRect backup = window->cmdDBackup->geometry();
        const QRect repair = window->cmdDRepair->geometry();
        QVERIFY(window->backupPanel->isVisible());
        QVERIFY(!window->exchangePanel->isVisible());
        click(window, "cmdDExchange");
        QVERIFY(window->exchangePanel->isVisible());
        QVERIFY(window->cmdDExchange->isChecked() && !window->cmdDBackup->isChecked());
        for (QGroupBox* other : {window->backupPanel, window->restorePanel, window->repairPanel})
            QVERIFY(!other->isVisible());
        QCOMPARE(window->exchangePanel->geometry(), window->backupPanel->geometry());
        click(window, "cmdDRepair");
        QVERIFY(window->repairPanel->isVisible() && !window->exchangePanel->isVisible());
        QCOMPARE(window->cmdDBackup->geometry(), backup);
        QCOMPARE(window->cmdDRepair->geometry(), repair);
    }

    // The user sees what comes before anything is saved, and may say no.
    void importAfterPreview_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void importAfterPreview() {
        QFETCH(bool, confirmed);
        ProgramDirectory dir;
        const qint64 before = dir.count("account");
        QTemporaryDir files;
        writeBytes(files.filePath("chrome.csv"), "name,url,username,password\nmail,https://m,me,pw1\nbank,,you,pw2\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("chrome.csv");
        fake.prompter.answers = {confirmed};
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        QCOMPARE(fake.prompter.calls.first().kind, QStringLiteral("ask"));
        const QString preview = fake.prompter.calls.first().text;
        QVERIFY2(preview.contains("Chrome CSV") && preview.contains("Passwords: 2") && preview.contains("mail") &&
                     !preview.contains("pw1"),
                 qPrintable(preview));
        if (!confirmed) {
            QCOMPARE(fake.prompter.calls.size(), 1);
            QCOMPARE(dir.count("account"), before);
            return;
        }
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QVERIFY(fake.prompter.last().text.contains("Passwords: 2 imported, 0 skipped"));
        QVERIFY(fake.prompter.last().text.contains("plain text"));
        QCOMPARE(dir.count("account"), before + 2);
    }

    void badFileImportsNothing() {
        ProgramDirectory dir;
        const qint64 before = dir.count("account");
        QTemporaryDir files;
        writeBytes(files.filePath("bad.csv"), "name,url,username,password\na,b,c,d\ne,f\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("bad.csv");
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        QCOMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QVERIFY2(fake.prompter.last().text.contains("Line 3"), qPrintable(fake.prompter.last().text));
        QCOMPARE(dir.count("account"), before);
    }

    // A CSV of no known kind: the user maps its columns, seeing its first rows.
    void columnMapping() {
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("mine.csv"), "when,subject,body\n1,first,one\n2,second,\"two\nlines\"\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("mine.csv");
        fake.prompter.answers = {true};
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        ColumnMappingDialog* dialog = mappingDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->tblPreview->rowCount(), 2);
        QCOMPARE(dialog->tblPreview->item(1, 2)->text(), QStringLiteral("two\nlines"));
        dialog->cboSection->setCurrentIndex(int(Section::Notes));
        QVERIFY(!dialog->fieldColumns.at(2)->isVisible()); // notes have two fields
        dialog->fieldColumns.at(0)->setCurrentText("subject");
        dialog->fieldColumns.at(1)->setCurrentText("body");
        click(dialog, "cmdMapOk");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Notes),
                 (QList<QStringList>{{"first", "one"}, {"second", "two\nlines"}}));
    }

    void mappingCancelled() {
        ProgramDirectory dir;
        const qint64 before = dir.count("Notes");
        QTemporaryDir files;
        writeBytes(files.filePath("mine.csv"), "subject,body\nfirst,one\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("mine.csv");
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        QVERIFY(mappingDialog());
        click(mappingDialog(), "cmdMapCancel");
        QVERIFY(fake.prompter.calls.isEmpty());
        QCOMPARE(dir.count("Notes"), before);
    }

    void exportFiles_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("json") << "cmdExportJson" << QStringList{"vault.json"};
        QTest::newRow("csv") << "cmdExportCsv"
                             << QStringList{"cards.csv", "notes.csv", "passwords.csv", "personal.csv", "reminders.csv"};
    }
    void exportFiles() {
        QFETCH(QString, button);
        QFETCH(QStringList, files);
        ProgramDirectory dir;
        QTemporaryDir out;
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = out.filePath("vault.json");
        UtilityWindow* window = open(fake);
        click(window, button);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QVERIFY(fake.prompter.last().text.contains("plain text"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);
        for (const QString& file : files)
            QVERIFY(isOwnerOnly(out.filePath(file)));
    }

    void exportOverDatabaseRefused() {
        ProgramDirectory dir;
        const QByteArray before = dir.bytes("password.mdb");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = dir.recordDatabase();
        UtilityWindow* window = open(fake);
        click(window, "cmdExportJson");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QCOMPARE(dir.bytes("password.mdb"), before);
    }
};

QTEST_MAIN(ExchangeWindowTest)
#include "test_exchange_window.moc"
