// Section reports: layouts, the engine over the database, and the print buttons.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "core/DataLocation.h"
#include "editors/RecordEditor.h"
#include "reports/ReportEngine.h"
#include "reports/ReportLayout.h"

#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>

namespace {

QTextTable* tableOf(QTextDocument* document) {
    for (QTextFrame* frame : document->rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame))
            return table;
    }
    return nullptr;
}

QString cell(QTextTable* table, int row, int column) {
    QTextTableCell c = table->cellAt(row, column);
    QTextCursor cursor = c.firstCursorPosition();
    cursor.setPosition(c.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selection().toPlainText();
}

void write(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT
private slots:
    void deliveredLayoutsShowEveryRecordInOrder_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("fields");
        QTest::newRow("passwords") << "password.rpt"
                                   << "account" << 5;
        QTest::newRow("cards") << "creditcard.rpt"
                               << "Credit Card" << 12;
        QTest::newRow("persons") << "personal.rpt"
                                 << "Personal" << 7;
        QTest::newRow("notes") << "notes.rpt"
                               << "Notes" << 2;
        QTest::newRow("reminders") << "reminders.rpt"
                                   << "Reminder" << 2;
    }
    void deliveredLayoutsShowEveryRecordInOrder() {
        QFETCH(QString, layout);
        QFETCH(QString, table);
        QFETCH(int, fields);
        ProgramDirectory dir;
        const ReportLayout l = ReportLayout::load(dir.file(layout));
        QCOMPARE(l.table, table);
        QCOMPARE(l.columns.size(), fields);
        auto document = ReportEngine::build(l);
        QTextTable* t = tableOf(document.get());
        QVERIFY(t);
        QCOMPARE(t->format().headerRowCount(), 1);
        QCOMPARE(t->rows(), int(dir.count(table)) + 1);
        QCOMPARE(cell(t, 0, 0), l.columns[0].heading);
        for (int row = 1; row < t->rows(); ++row)
            for (int c = 0; c < fields; ++c)
                QCOMPARE(cell(t, row, c), dir.query("password.mdb", QString("SELECT ifnull(\"%1\", '') FROM \"%2\" "
                                                                            "ORDER BY _key LIMIT 1 OFFSET %3")
                                                                        .arg(l.columns[c].field, table)
                                                                        .arg(row - 1)));
    }

    void multiLineFieldsKeepTheirBreaks() {
        ProgramDirectory dir;
        auto document = ReportEngine::build(ReportLayout::load(dir.file("reminders.rpt")));
        QCOMPARE(cell(tableOf(document.get()), 2, 1), QStringLiteral("Dentist at 10:30\nBring the insurance card"));
    }

    void emptyTablePrintsHeadingsAndNoRecordsLine() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM Notes");
        auto document = ReportEngine::build(ReportLayout::load(dir.file("notes.rpt")));
        QTextTable* t = tableOf(document.get());
        QCOMPARE(cell(t, 0, 1), QStringLiteral("Note"));
        QCOMPARE(cell(t, 1, 0), QStringLiteral("There are no records."));
    }

    void thousandsOfRecordsPaginate() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                 "INSERT INTO Reminder (Date, Reminder) SELECT '1/1/2027', 'Reminder ' || i FROM n");
        auto document = ReportEngine::build(ReportLayout::load(dir.file("reminders.rpt")));
        QCOMPARE(tableOf(document.get())->rows(), 3004);
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.file("reminders.pdf"));
        document->print(&printer);
        QVERIFY(QFileInfo(dir.file("reminders.pdf")).size() > 10000);
        document->setPageSize(printer.pageRect(QPrinter::Point).size());
        QVERIFY(document->pageCount() > 20);
    }

    void brokenLayoutsSayWhatIsWrong_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("fragment");
        QTest::newRow("missing") << QByteArray() << "is missing";
        QTest::newRow("not json") << QByteArray("table: Notes") << "is not valid";
        QTest::newRow("no columns") << QByteArray(R"({"title":"T","database":"password.mdb","table":"Notes"})")
                                    << "has no columns";
        QTest::newRow("missing table")
            << QByteArray(R"({"title":"T","database":"password.mdb","table":"Memos","columns":[{"field":"Title"}]})")
            << "table \"Memos\"";
        QTest::newRow("missing field")
            << QByteArray(R"({"title":"T","database":"password.mdb","table":"Notes","columns":[{"field":"Body"}]})")
            << "field \"Body\"";
        QTest::newRow("missing database")
            << QByteArray(R"({"title":"T","database":"old.mdb","table":"Notes","columns":[{"field":"Title"}]})")
            << "does not exist";
    }
    void brokenLayoutsSayWhatIsWrong() {
        QFETCH(QByteArray, content);
        QFETCH(QString, fragment);
        ProgramDirectory dir;
        QFile::remove(dir.file("notes.rpt"));
        if (!content.isEmpty())
            write(dir.file("notes.rpt"), content);
        ReportEngine engine;
        engine.setReportFileName(dir.file("notes.rpt"));
        try {
            engine.run();
            QFAIL("a broken layout ran");
        } catch (const ReportError& e) {
            QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
            QVERIFY(e.message().contains(dir.file("notes.rpt")));
        }
    }

    void eachButtonPrintsItsOwnLayout() {
        ProgramDirectory dir;
        // Each layout gets a title of its own file name, so the report tells which one ran.
        const QStringList files{"password.rpt", "creditcard.rpt", "personal.rpt", "notes.rpt", "reminders.rpt"};
        for (const QString& file : files) {
            QFile f(dir.file(file));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QByteArray text = f.readAll();
            f.close();
            text.replace(QByteArray("\"title\": \""), QByteArray("\"title\": \"") + file.toUtf8() + " ");
            write(dir.file(file), text);
        }
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        const std::pair<QString, QStringList> presses[] = {
            {"password.rpt", {"cmdPasswords", "cmdPrint"}},      {"creditcard.rpt", {"cmdPersonal", "cmdPrintCCard"}},
            {"personal.rpt", {"cmdPersonal", "cmdPrintPerson"}}, {"notes.rpt", {"cmdNotes", "cmdPrintnote"}},
            {"reminders.rpt", {"cmdTodo", "cmdPrintreminder"}},
        };
        for (const auto& [file, buttons] : presses) {
            for (const QString& b : buttons)
                click(main, b);
            QCOMPARE(fake.reportViewer.lastTitle, QStringLiteral("Print Preview"));
            QVERIFY2(fake.reportViewer.lastReport->metaInformation(QTextDocument::DocumentTitle).startsWith(file),
                     qPrintable(file));
        }
        QCOMPARE(fake.reportViewer.shown, 5);
        QCOMPARE(main->findChild<QPushButton*>("cmdPrintnote")->text(), QStringLiteral("Print Preview"));
        QCOMPARE(main->findChild<QPushButton*>("cmdPrintnote")->toolTip(), QStringLiteral(" Print Preview  "));
    }

    void savedRecordShowsInTheNextReportAndFailuresKeepRunning() {
        ProgramDirectory dir;
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        click(main, "cmdNotes");
        click(main, "cmdNewnote");
        auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddnote"));
        qobject_cast<QLineEdit*>(editor->box("Text7"))->setText("Printed at once");
        click(editor, "cmdSave");
        click(main, "cmdPrintnote");
        QTextTable* t = tableOf(fake.reportViewer.lastReport.get());
        QCOMPARE(cell(t, t->rows() - 1, 0), QStringLiteral("Printed at once"));

        QFile::remove(dir.file("notes.rpt"));
        click(main, "cmdPrintnote");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.prompter.last().text.contains("notes.rpt"));
        QCOMPARE(fake.reportViewer.shown, 1);
        QVERIFY(main->isVisible());
    }

    // An installed program reads the delivered layouts from its templates folder
    // unless the user keeps one of their own; the records are always the user's.
    void installedLayoutsReportTheUsersRecords_data() {
        QTest::addColumn<bool>("ownLayout");
        QTest::newRow("delivered layout from the templates") << false;
        QTest::newRow("the user's own layout") << true;
    }
    void installedLayoutsReportTheUsersRecords() {
        QFETCH(bool, ownLayout);
        ProgramDirectory data;
        ProgramDirectory templates;
        for (const QString& layout : DataLocation::layoutFiles())
            QFile::remove(data.file(layout));
        if (ownLayout)
            write(data.file("notes.rpt"),
                  R"({"title":"Mine","database":"password.mdb","table":"Notes","columns":[{"field":"Title"}]})");
        data.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('Kept by the user')");
        FakeContext fake(data.path());
        fake.context.templateDirectory = templates.path();
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        click(main, "cmdNotes");
        click(main, "cmdPrintnote");
        QCOMPARE(fake.prompter.calls.size(), 0);
        QTextTable* t = tableOf(fake.reportViewer.lastReport.get());
        QVERIFY(t);
        QCOMPARE(t->columns(), ownLayout ? 1 : 2);
        QCOMPARE(t->rows(), int(data.count("Notes")) + 1);
        QCOMPARE(cell(t, t->rows() - 1, 0), QStringLiteral("Kept by the user"));
    }
};

QTEST_MAIN(ReportsTest)
#include "test_reports.moc"
