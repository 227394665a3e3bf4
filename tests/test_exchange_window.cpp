// The database utility's Import / Export topic, driven through its controls.
#include "ExchangeHelpers.h"
#include "Fakes.h"
#include "Helpers.h"
#include "utility/ColumnMappingDialog.h"
#include "utility/UtilityWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
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

    void badFileImportsNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad line") << "line"
                                  << "Line 3";
        QTest::newRow("link to /dev/zero") << "zero"
                                           << "(a link to /dev/zero) is not a file but a device";
        QTest::newRow("JSON in UTF-16") << "utf-16"
                                        << "JSON in UTF-16";
    }
    void badFileImportsNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        ProgramDirectory dir;
        const qint64 before = dir.count("account");
        QTemporaryDir files;
        if (kind == "line")
            writeBytes(files.filePath("bad.csv"), "name,url,username,password\na,b,c,d\ne,f\n");
        else if (kind == "zero")
            QVERIFY(QFile::link("/dev/zero", files.filePath("bad.csv")));
        else
            writeBytes(files.filePath("bad.csv"), QByteArray("\xFF\xFE{\0}\0", 6));
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("bad.csv");
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        QCOMPARE(fake.prompter.calls.size(), 1);
        // A line of the wrong number of values is a question: the user may leave it out.
        QCOMPARE(fake.prompter.last().kind, kind == "line" ? QStringLiteral("ask") : QStringLiteral("warn"));
        QVERIFY2(fake.prompter.last().text.contains(message), qPrintable(fake.prompter.last().text));
        QCOMPARE(dir.count("account"), before);
    }

    // Told of a line of the wrong number of values, the user imports the others
    // and the preview names the lines left out.
    void badLinesLeftOutWhenAsked() {
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("bad.csv"), "name,url,username,password\na,b,c,d\ne,f\ng,h,i,j\nk,l,m,n,o\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("bad.csv");
        fake.prompter.answers = {true, true};
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        QCOMPARE(fake.prompter.calls.size(), 3);
        QVERIFY2(fake.prompter.calls.at(0).text.startsWith("Line 3: the line has 2 values where the header has 4."),
                 qPrintable(fake.prompter.calls.at(0).text));
        QVERIFY2(fake.prompter.calls.at(1).text.contains("Left out: 2 lines of the wrong number of values (line 3, 5)"),
                 qPrintable(fake.prompter.calls.at(1).text));
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords),
                 (QList<QStringList>{{"a", "b", "c", "d", ""}, {"g", "h", "i", "j", ""}}));
    }

    // A file of a known format may have its columns chosen too; a column the
    // user unticks is left out, and the preview says so.
    void knownFormatMapped() {
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("lastpass.csv"),
                   "url,username,password,extra,name,grouping,fav\nhttps://m,me,pw,note,Mail,Work,1\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("lastpass.csv");
        fake.prompter.answers = {true};
        UtilityWindow* window = open(fake);
        window->exchange->chkChooseColumns->setChecked(true);
        click(window, "cmdImport");
        ColumnMappingDialog* dialog = mappingDialog();
        QVERIFY(dialog);
        dialog->fieldColumns.at(0)->setCurrentText("name");
        dialog->fieldColumns.at(3)->setCurrentText("password");
        // The columns filling a field are no lines; the others are ticked.
        QCOMPARE(dialog->lstLineColumns->item(4)->checkState(), Qt::Unchecked);
        QCOMPARE(dialog->lstLineColumns->item(5)->checkState(), Qt::Checked);
        dialog->lstLineColumns->item(6)->setCheckState(Qt::Unchecked);
        click(dialog, "cmdMapOk");
        QVERIFY2(fake.prompter.calls.first().text.contains("Columns left out, as chosen: \"fav\"."),
                 qPrintable(fake.prompter.calls.first().text));
        QCOMPARE(
            recordsOf(dir.recordDatabase(), Section::Passwords),
            (QList<QStringList>{{"Mail", "", "", "pw", "url: https://m\nusername: me\nextra: note\ngrouping: Work"}}));
    }

    // A file that is not valid UTF-8 is read as the program guesses only once
    // the user agrees, told the line of the first stray byte.
    void encodingGuessAsked_data() {
        QTest::addColumn<bool>("agreed");
        QTest::newRow("read as UTF-8") << true;
        QTest::newRow("import nothing") << false;
    }
    void encodingGuessAsked() {
        QFETCH(bool, agreed);
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("logins.csv"),
                   "name,url,username,password\nJos\xC3\xA9,https://j,jo,pw\nAnn,,ann,p\x96w\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("logins.csv");
        fake.prompter.answers = {agreed, true};
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        const QString question = fake.prompter.calls.value(0).text;
        QCOMPARE(fake.prompter.calls.value(0).kind, QStringLiteral("ask"));
        QVERIFY2(question.contains("line 3 holds 0x96 (byte 11 of the line)") && question.contains("as UTF-8"),
                 qPrintable(question));
        if (!agreed) {
            QCOMPARE(fake.prompter.calls.size(), 1);
            QCOMPARE(dir.count("account"), 0);
            return;
        }
        QVERIFY2(fake.prompter.calls.value(1).text.contains("Chrome CSV export, read as UTF-8, and holds"),
                 qPrintable(fake.prompter.calls.value(1).text));
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords),
                 (QList<QStringList>{{"José", "https://j", "jo", "pw", ""}, {"Ann", "", "ann", "p\uFFFDw", ""}}));
    }

    // A file without a header line is mapped by its format's columns, its
    // first line shown and imported as a record.
    void headerlessFileMapped() {
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("dashlane.csv"), "\"Mail\",\"https://m\",\"me\",\"pw\",\"\"\n"
                                                   "\"Bank\",\"https://b\",\"you\",\"pw2\",\"call\"\n");
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("dashlane.csv");
        fake.prompter.answers = {true};
        UtilityWindow* window = open(fake);
        window->exchange->chkChooseColumns->setChecked(true);
        click(window, "cmdImport");
        ColumnMappingDialog* dialog = mappingDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->tblPreview->rowCount(), 2);
        QCOMPARE(dialog->tblPreview->item(0, 0)->text(), QStringLiteral("Mail"));
        dialog->fieldColumns.at(0)->setCurrentText("title");
        dialog->fieldColumns.at(1)->setCurrentText("url");
        dialog->fieldColumns.at(2)->setCurrentText("login");
        click(dialog, "cmdMapOk");
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords),
                 (QList<QStringList>{{"Mail", "https://m", "me", "pw", ""},
                                     {"Bank", "https://b", "you", "pw2", "note: call"}}));
    }

    // A file of a million columns: the window offers the first few hundred, says so, and stays quick.
    void manyColumnsOfferedInPart() {
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        const int columns = 1000000;
        QByteArray header, row;
        for (int i = 0; i < columns; ++i) {
            header += "c" + QByteArray::number(i) + (i + 1 < columns ? "," : "\n");
            row += "v" + QByteArray::number(i) + (i + 1 < columns ? "," : "\n");
        }
        writeBytes(files.filePath("wide.csv"), header + row);
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = files.filePath("wide.csv");
        fake.prompter.answers = {true};
        UtilityWindow* window = open(fake);
        click(window, "cmdImport");
        ColumnMappingDialog* dialog = mappingDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->tblPreview->columnCount(), ColumnMappingDialog::MaxShownColumns);
        QCOMPARE(dialog->tblPreview->item(0, 7)->text(), QStringLiteral("v7"));
        QVERIFY(dialog->lblColumnsShown->isVisible());
        QVERIFY2(dialog->lblColumnsShown->text().contains("1000000 columns: only the first 200"),
                 qPrintable(dialog->lblColumnsShown->text()));
        dialog->cboSection->setCurrentIndex(int(Section::Notes));
        QCOMPARE(dialog->fieldColumns.at(0)->count(), ColumnMappingDialog::MaxShownColumns + 1);
        dialog->fieldColumns.at(0)->setCurrentText("c5");
        dialog->fieldColumns.at(1)->setCurrentText("c199");
        click(dialog, "cmdMapOk");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        // The other columns offered are kept as lines; those past them are left out, and the user is told.
        QString remarks = QStringLiteral("v199");
        for (int i = 0; i < ColumnMappingDialog::MaxShownColumns - 1; ++i) {
            if (i != 5)
                remarks += QStringLiteral("\nc%1: v%1").arg(i);
        }
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Notes), (QList<QStringList>{{"v5", remarks}}));
        QVERIFY2(fake.prompter.calls.first().text.contains("\"c219\" and 999780 more."),
                 qPrintable(fake.prompter.calls.first().text.right(300)));
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
        QVERIFY(!dialog->cmdMapOk->isEnabled());           // no column fills a field yet: nothing but empty records
        dialog->fieldColumns.at(0)->setCurrentText("subject");
        QVERIFY(dialog->cmdMapOk->isEnabled());
        dialog->fieldColumns.at(1)->setCurrentText("body");
        click(dialog, "cmdMapOk");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("info"));
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Notes),
                 (QList<QStringList>{{"first", "one\nwhen: 1"}, {"second", "two\nlines\nwhen: 2"}}));
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

    void exportOverDatabaseRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("the database") << "password.mdb";
        QTest::newRow("the database's journal") << "password.mdb-journal";
        QTest::newRow("the password store's WAL") << "pass2.mdb-wal";
    }
    void exportOverDatabaseRefused() {
        QFETCH(QString, name);
        ProgramDirectory dir;
        const QByteArray before = dir.bytes("password.mdb");
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        FakeContext fake(dir.path());
        fake.fileDialogs.answer = dir.file(name);
        UtilityWindow* window = open(fake);
        click(window, "cmdExportJson");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QVERIFY2(fake.prompter.last().text.contains("the program's own files"), qPrintable(fake.prompter.last().text));
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
    }
};

QTEST_MAIN(ExchangeWindowTest)
#include "test_exchange_window.moc"
