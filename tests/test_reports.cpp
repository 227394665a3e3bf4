// Section reports: layouts, wrapping, counting pages, and what each page holds.
#include "ProgramDirectory.h"
#include "ReportHelpers.h"
#include "reports/ReportEngine.h"
#include "reports/ReportLayout.h"
#include "reports/ReportSource.h"
#include "reports/TextLines.h"

#include <QFile>
#include <QFontMetricsF>

namespace {

void write(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

std::unique_ptr<Report> counted(const ProgramDirectory& dir, const QString& layout) {
    return ReportEngine::build(ReportLayout::load(dir.file(layout)));
}

// A stored value as the pages must show it, blanks and line ends aside: a line may break at a blank.
QString inked(QString text) {
    return reportText(text).remove(u' ').remove(u'\n');
}

QString fillTable(const ProgramDirectory& dir, const QString& table, int records, const QString& valueSql) {
    dir.exec("password.mdb", QStringLiteral("DELETE FROM \"%1\"").arg(table));
    dir.exec("password.mdb",
             QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "INSERT INTO Notes (Title, Note) SELECT 'Subject ' || i, %2 FROM n")
                 .arg(records)
                 .arg(valueSql));
    return table;
}

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT
private slots:
    void wrappingKeepsEveryCharacter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("widthInChars"); // of "n"
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << "" << 10 << QStringList{""};
        QTest::newRow("fits") << "abc def" << 10 << QStringList{"abc def"};
        QTest::newRow("line ends") << "one\n\nthree" << 10 << QStringList{"one", "", "three"};
        QTest::newRow("windows line ends") << "one\r\ntwo" << 10 << QStringList{"one", "two"};
        QTest::newRow("breaks after the blank") << "nnnn nnnn nnnn" << 10 << QStringList{"nnnn nnnn ", "nnnn"};
        QTest::newRow("drops the blank it breaks at") << "nnnnnnnnnn nnnn" << 10 << QStringList{"nnnnnnnnnn", "nnnn"};
        QTest::newRow("breaks after a hyphen") << "nnnn-nnnnnnnn" << 10 << QStringList{"nnnn-", "nnnnnnnn"};
        QTest::newRow("long word between characters")
            << "nnnnnnnnnnnnnnnnnnnnnnnnn" << 10 << QStringList{"nnnnnnnnnn", "nnnnnnnnnn", "nnnnn"};
        QTest::newRow("tab as blanks") << "a\tb" << 10 << QStringList{"a    b"};
    }
    void wrappingKeepsEveryCharacter() {
        QFETCH(QString, text);
        QFETCH(int, widthInChars);
        QFETCH(QStringList, lines);
        QFont font;
        font.setPixelSize(150);
        font.setKerning(false);
        CharWidths widths(font);
        const double width = widths.of(u'n') * widthInChars + 1;
        const QString shown = reportText(text);
        QStringList got;
        for (const TextLine& line : wrapLines(shown, width, widths))
            got << shown.mid(line.start, line.length);
        QCOMPARE(got, lines);
        QCOMPARE(countLines(shown, width, widths), int(lines.size()));
        for (const QString& line : got)
            QVERIFY(widths.of(line) <= width || line.size() == 1);
    }

    void surrogatePairsAreNeverSplit() {
        QFont font;
        font.setPixelSize(150);
        CharWidths widths(font);
        const QString text = QString::fromUcs4(U"n\U0001F600\U0001F600nn\U00010348\U00010348\U00010348n");
        for (int chars = 1; chars < 12; ++chars) {
            const std::vector<TextLine> lines = wrapLines(text, widths.of(u'n') * chars, widths);
            QString joined;
            for (const TextLine& line : lines) {
                QVERIFY(!text[line.start].isLowSurrogate());
                QVERIFY(!text[line.start + line.length - 1].isHighSurrogate());
                joined += text.mid(line.start, line.length);
            }
            QCOMPARE(joined, text);
        }
    }

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
        auto report = counted(dir, layout);
        QCOMPARE(report->layout().table, table);
        QCOMPARE(report->layout().columns.size(), fields);
        const auto records = recordsOf(allPages(*report));
        QCOMPARE(qint64(records.size()), dir.count(table));
        for (std::size_t r = 0; r < records.size(); ++r) {
            const auto& [key, cells] = records[r];
            QCOMPARE(key,
                     dir.query("password.mdb",
                               QString("SELECT _key FROM \"%1\" ORDER BY _key LIMIT 1 OFFSET %2").arg(table).arg(r))
                         .toLongLong());
            for (int c = 0; c < fields; ++c)
                QCOMPARE(
                    inked(cells[c].join(u'\n')),
                    inked(dir.query("password.mdb", QString("SELECT ifnull(\"%1\", '') FROM \"%2\" WHERE _key = %3")
                                                        .arg(report->layout().columns[c].field, table)
                                                        .arg(key))));
        }
    }

    void multiLineFieldsKeepTheirBreaks() {
        ProgramDirectory dir;
        auto report = counted(dir, "reminders.rpt");
        const PageContent page = report->page(0);
        QCOMPARE(page.rows.at(1).cells.at(1), (QStringList{"Dentist at 10:30", "Bring the insurance card"}));
    }

    void emptyTablePrintsHeadingsAndNoRecordsLine() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM Notes");
        auto report = counted(dir, "notes.rpt");
        QCOMPARE(report->knownPages(), 1);
        const PageContent page = report->page(0);
        QVERIFY(page.noRecords);
        QStringList drawn;
        for (const TextRecorder::Text& t : drawnTexts(*report, page))
            drawn << t.text;
        QVERIFY2(drawn.contains("Note") && drawn.contains("There are no records.") && drawn.contains("Page 1 of 1"),
                 qPrintable(drawn.join('|')));
    }

    // Counting only line numbers must give the pages that drawing gives: every line
    // of every record exactly once and in order, no page over full, and no record
    // moved to a next page that had room on the one before.
    void pagesHoldEveryLineOnceAndNoMore_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("note"); // SQL over i
        QTest::newRow("one line each") << 700 << "'Note ' || i";
        QTest::newRow("mixed lengths") << 400 << "substr(replace(hex(zeroblob(300)), '00', 'ab '), 1, (i * 37) % 900)";
        QTest::newRow("line ends") << 300 << "'a' || replace(hex(zeroblob(i % 40)), '00', char(10) || 'b')";
        QTest::newRow("some longer than a page")
            << 30 << "CASE WHEN i % 7 = 3 THEN replace(hex(zeroblob(2000)), '00', 'line' || char(10)) ELSE 'short' END";
    }
    void pagesHoldEveryLineOnceAndNoMore() {
        QFETCH(int, records);
        QFETCH(QString, note);
        ProgramDirectory dir;
        fillTable(dir, "Notes", records, note);
        auto report = counted(dir, "notes.rpt");
        const PageFormat& f = report->format();
        const std::vector<PageContent> pages = allPages(*report);
        QVERIFY(pages.size() > 1);

        // Every record whole, in order.
        const auto joined = recordsOf(pages);
        QCOMPARE(int(joined.size()), records);
        auto full = ReportSource(report->layout()).after(std::numeric_limits<qint64>::min(), records);
        CharWidths widths(f.bodyFont);
        for (int r = 0; r < records; ++r) {
            QCOMPARE(joined[r].first, full[r].key);
            const QString text = reportText(full[r].values[1]);
            QStringList lines;
            for (const TextLine& line : wrapLines(text, f.columns[1].textWidth, widths))
                lines << text.mid(line.start, line.length);
            QCOMPARE(joined[r].second[1], lines);
        }
        // No page over full; a record that begins a page did not fit on the one before.
        for (std::size_t p = 0; p < pages.size(); ++p) {
            int used = 0;
            for (const PageRow& row : pages[p].rows)
                used += f.rowHeight(row.lines);
            QVERIFY2(used <= f.bodyCapacity, qPrintable(QString("page %1").arg(p + 1)));
            if (p + 1 < pages.size()) {
                const PageRow& next = pages[p + 1].rows.front();
                // What the page would have needed to take more: one more line of a record carried
                // over, the first line of a record longer than a page, or a whole shorter record.
                const int needed = next.continued   ? f.lineHeight
                                   : next.continues ? f.rowHeight(1)
                                                    : f.rowHeight(next.lines);
                QVERIFY2(used + needed > f.bodyCapacity, qPrintable(QString("room left on page %1").arg(p + 1)));
            }
            QCOMPARE(pages[p].count, int(pages.size()));
        }
    }

    // Each page draws the title, the heading row above its records and its number.
    void everyPageHasHeadingAndNumber() {
        ProgramDirectory dir;
        fillTable(dir, "Notes", 500, "'Note ' || i");
        auto report = counted(dir, "notes.rpt");
        const int count = report->knownPages();
        QVERIFY(count > 3);
        for (int p = 0; p < count; ++p) {
            const PageContent page = report->page(p);
            const QList<TextRecorder::Text> drawn = drawnTexts(*report, page);
            auto find = [&](const QString& text) {
                for (const TextRecorder::Text& t : drawn)
                    if (t.text == text)
                        return t.at.y();
                return -1.0;
            };
            QVERIFY(find("Notes") >= 0);
            const double heading = find("Subject");
            QVERIFY(heading > find("Notes"));
            QCOMPARE(find("Note"), heading);
            const double first = find(page.rows.front().cells[0].front());
            QVERIFY2(first > heading, qPrintable(QString("page %1").arg(p + 1)));
            QVERIFY(find(page.rows.back().cells[0].front()) < find(QString("Page %1 of %2").arg(p + 1).arg(count)));
        }
    }

    void oneHugeRecordRunsOverManyPages() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM account");
        const QString big = "substr(replace(hex(zeroblob(60000)), '00', 'word'), 1, 100000)";
        dir.exec("password.mdb", QString("INSERT INTO account (Account, Website, User, Password, Notes) "
                                         "VALUES (%1, %1, %1, %1, %1)")
                                     .arg(big));
        auto report = counted(dir, "password.rpt");
        const std::vector<PageContent> pages = allPages(*report);
        QVERIFY(pages.size() > 20);
        const auto joined = recordsOf(pages);
        QCOMPARE(int(joined.size()), 1);
        for (const QStringList& cell : joined[0].second)
            QCOMPARE(cell.join(QString()).size(), 100000);
        for (std::size_t p = 1; p < pages.size(); ++p)
            QVERIFY(pages[p].rows.front().continued);
    }

    // A card number and a telephone number never break over two lines.
    void cardNumbersStayOnOneLine_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("phone");
        QTest::newRow("dashes") << "5500-0000-0000-0004"
                                << "(555) 010-2000";
        QTest::newRow("blanks") << "5500 0000 0000 0004"
                                << "+1 555 010 2000";
        QTest::newRow("wide digits") << "8888-8888-8888-8888"
                                     << "(888) 888-8888";
    }
    void cardNumbersStayOnOneLine() {
        QFETCH(QString, number);
        QFETCH(QString, phone);
        ProgramDirectory dir;
        dir.exec("password.mdb",
                 QString("UPDATE \"Credit Card\" SET \"Card Number\" = '%1', Phone = '%2'").arg(number, phone));
        auto report = counted(dir, "creditcard.rpt");
        const int numberColumn = 1, phoneColumn = 10;
        QCOMPARE(report->layout().columns[numberColumn].field, QStringLiteral("Card Number"));
        QCOMPARE(report->layout().columns[phoneColumn].field, QStringLiteral("Phone"));
        for (const PageRow& row : report->page(0).rows) {
            QCOMPARE(row.cells[numberColumn], QStringList{number});
            QCOMPARE(row.cells[phoneColumn], QStringList{phone});
        }
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
        QTest::newRow("print larger than the page")
            << QByteArray(R"({"title":"T","database":"password.mdb","table":"Notes","fontSize":72,)"
                          R"("columns":[{"field":"Title"},{"field":"Note"},{"field":"Title"},{"field":"Note"},)"
                          R"({"field":"Title"},{"field":"Note"},{"field":"Title"},{"field":"Note"}]})")
            << "too narrow";
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
};

QTEST_MAIN(ReportsTest)
#include "test_reports.moc"
