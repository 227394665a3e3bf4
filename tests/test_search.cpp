// The search core: what a query finds, how hits are shown, paging and counts,
// and the index staying right through every way the program writes a file.
#include "Fakes.h"
#include "PlainEditor.h"
#include "ProgramDirectory.h"
#include "app/Startup.h"
#include "find/FindWindow.h"
#include "search/MatchText.h"
#include "search/RecordSearch.h"
#include "store/DataBinder.h"
#include "store/LegacyConversion.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "utility/DatabaseFiles.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

const QString Legacy = QStringLiteral(SHARED_DIR "/fixtures/legacy/");

// Records beside the delivered samples, in scripts and cases the samples lack.
void addRecords(ProgramDirectory& dir) {
    dir.exec("password.mdb",
             "INSERT INTO Personal (\"Full Name\", Address, City, Zip, Email) VALUES ('Jürgen Müller', "
             "'Lindenstraße 7', 'Köln', '50667', 'jm@example.de');"
             "INSERT INTO Notes (Title, Note) VALUES ('Ξενοδοχείο', 'Κωδικός πόρτας 4711');"
             "INSERT INTO account (Account, Website, User, Password, Notes) VALUES ('ÉCOLE Normale', "
             "'ecole.example.fr', 'élève', 'Zebra-Quartz', 'Line one' || char(10) || 'Second line with the "
             "Schlüssel in it' || char(10) || 'Last line');");
}

// One hit as the results list shows it: section, name, field, and the text with the match in [ ].
QString shown(const SearchHit& hit) {
    QString text = hit.text;
    if (hit.matchLength > 0)
        text.insert(hit.matchStart + hit.matchLength, ']').insert(hit.matchStart, '[');
    return QStringList{searchedTables()[size_t(hit.tableIndex)].section, hit.name, hit.fieldLabel, text}.join('|');
}

QStringList allShown(RecordSearch& search, const QString& text) {
    QStringList lines;
    for (const SearchHit& hit : search.hits(SearchQuery::parse(text), 100))
        lines << shown(hit);
    return lines;
}

// Every hit of a query, page by page.
QList<SearchHit> walk(RecordSearch& search, const QString& text, int pageSize) {
    const SearchQuery query = SearchQuery::parse(text);
    QList<SearchHit> all;
    for (;;) {
        const QList<SearchHit> page = search.hits(query, pageSize, all.isEmpty() ? nullptr : &all.last());
        if (page.size() > pageSize)
            return {};
        all += page;
        if (page.size() < pageSize)
            return all;
    }
}

qint64 keyOf(const QString& path, const QString& table, const QString& field, const QString& value) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement find(db, QStringLiteral("SELECT _key FROM %1 WHERE %2 = ?")
                                   .arg(Schema::quoted(table), Schema::quoted(field))
                                   .toStdString());
    find.bind(1, value.toStdString());
    return find.executeStep() ? find.getColumn(0).getInt64() : 0;
}

// The keys of each searched table whose searched fields hold every word in any
// letter case, read record by record: what a search must find.
QList<QList<qint64>> plainScan(const QString& path, const QString& text) {
    const QStringList words = text.split(' ', Qt::SkipEmptyParts);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    QList<QList<qint64>> found;
    for (const SearchedTable& table : searchedTables()) {
        QStringList columns;
        for (const SearchedField& field : table.fields)
            columns << Schema::quoted(field.name);
        SQLite::Statement rows(db, QStringLiteral("SELECT _key, %1 FROM %2 ORDER BY _key")
                                       .arg(columns.join(", "), Schema::quoted(table.table))
                                       .toStdString());
        QList<qint64> keys;
        while (rows.executeStep()) {
            QStringList values;
            for (int c = 1; c < rows.getColumnCount(); ++c)
                values << QString::fromUtf8(rows.getColumn(c).getText());
            const bool all = std::all_of(words.begin(), words.end(), [&](const QString& word) {
                return std::any_of(values.begin(), values.end(),
                                   [&](const QString& v) { return v.contains(word, Qt::CaseInsensitive); });
            });
            if (all)
                keys << rows.getColumn(0).getInt64();
        }
        found << keys;
    }
    return found;
}

// Records in the scripts short words matter most in, with secrets that hold the
// same letters, and enough of them that a bounded count takes many steps.
void addShortWordRecords(ProgramDirectory& dir) {
    dir.exec("password.mdb",
             "INSERT INTO Personal (\"Full Name\", City) VALUES ('山田 太郎', '東京都'), ('王 小明', '北京'),"
             "  ('Jürgen Müller Werkstatt', 'München'), ('Иван Петров', 'Москва'), ('محمد علي', 'القاهرة');"
             "INSERT INTO account (Account, User, Password, Notes) VALUES ('Sparkasse', 'yamada', '王12', "
             "  '東京の支店'), ('ВТБ', 'иван', 'mü', 'код 12'), ('بنك مصر', 'علي', 'كلمة', 'حساب 12');"
             "INSERT INTO \"Credit Card\" (\"Type Card\", \"Bank Name\", \"Card Number\", \"Security Code\") "
             "  VALUES ('Visa', '東京銀行', '4111 1212', '王');"
             "INSERT INTO Notes (Title, Note) VALUES ('Wi-Fi', 'Kennwort im Büro, 12. Stock');"
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 700) "
             "INSERT INTO Notes (Title, Note) SELECT 'メモ ' || i, CASE i % 7 WHEN 0 THEN '東京で会う' "
             "  WHEN 1 THEN 'Встреча' ELSE 'plain' END FROM n;");
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT
private slots:
    void matching_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        const QStringList bank{"Passwords|Example Savings Bank|Account Name|Example Savings [Bank]",
                               "Credit Cards|Visa, Example Savings Bank|Bank Name|Example Savings [Bank]"};
        QTest::newRow("a word") << "bank" << bank;
        QTest::newRow("part of a word") << "ank"
                                        << QStringList{
                                               "Passwords|Example Savings Bank|Account Name|Example Savings B[ank]",
                                               "Credit Cards|Visa, Example Savings Bank|Bank Name|Example "
                                               "Savings B[ank]"};
        QTest::newRow("upper case") << "BANK" << bank;
        QTest::newRow("blanks around") << "  bank  " << bank;
        QTest::newRow("umlaut, lower case finds upper")
            << "müll" << QStringList{"Personal|Jürgen Müller|Name|Jürgen [Müll]er"};
        QTest::newRow("umlaut, upper case") << "MÜLLER" << QStringList{"Personal|Jürgen Müller|Name|Jürgen [Müller]"};
        QTest::newRow("sharp s") << "straße" << QStringList{"Personal|Jürgen Müller|Address|Linden[straße] 7"};
        QTest::newRow("accented capitals")
            << "école" << QStringList{"Passwords|ÉCOLE Normale|Account Name|[ÉCOLE] Normale"};
        QTest::newRow("accents are letters of their own") << "mull" << QStringList{};
        QTest::newRow("greek, any case") << "ΚΩΔΙΚ" << QStringList{"Notes|Ξενοδοχείο|Note|[Κωδικ]ός πόρτας 4711"};
        QTest::newRow("several words, all in one field")
            << "robin birds" << QStringList{"Notes|Gift ideas|Note|[Robin]: a field guide to birds"};
        QTest::newRow("several words, in different fields")
            << "springfield robin" << QStringList{"Personal|Robin Hale|City|[Springfield]"};
        QTest::newRow("several words, one missing") << "robin zeppelin" << QStringList{};
        QTest::newRow("a line of a longer text")
            << "schlüssel" << QStringList{"Passwords|ÉCOLE Normale|Remarks|Second line with the [Schlüssel] in it"};
        QTest::newRow("one letter: anywhere in every searched field")
            << "s"
            << QStringList{"Passwords|Webmail|Website|http[s]://mail.example.com",
                           "Passwords|Online Bookshop|Account Name|Online Book[s]hop",
                           "Passwords|Example Savings Bank|Account Name|Example [S]avings Bank",
                           "Passwords|ÉCOLE Normale|Remarks|[S]econd line with the Schlüssel in it",
                           "Credit Cards|Visa, Example Savings Bank|Card Type|Vi[s]a",
                           "Credit Cards|MasterCard, Sample Credit Union|Card Type|Ma[s]terCard",
                           "Personal|Robin Hale|Address|12 Alder [S]treet",
                           "Personal|Sam Marsh|Name|[S]am Marsh",
                           "Personal|Jürgen Müller|Address|Linden[s]traße 7",
                           "Notes|Welcome|Note|Note[s] keep any text you like.",
                           "Notes|Wi-Fi at home|Note|Network: Heron[s]gate",
                           "Notes|Gift ideas|Subject|Gift idea[s]",
                           "Reminders|2/3/2027|Reminder|Denti[s]t at 10:30",
                           "Reminders|3/21/2027|Reminder|Change the webmail pa[s]sword"};
        QTest::newRow("two letters, any case")
            << "wE"
            << QStringList{"Passwords|Webmail|Account Name|[We]bmail",
                           "Passwords|Example Savings Bank|Remarks|Ans[we]r: Biscuit",
                           "Notes|Welcome|Subject|[We]lcome",
                           "Reminders|3/21/2027|Reminder|Change the [we]bmail password"};
        QTest::newRow("two letters inside a word")
            << "ai"
            << QStringList{"Passwords|Webmail|Account Name|Webm[ai]l", "Notes|Gift ideas|Note|Sam: fount[ai]n pen ink",
                           "Reminders|3/21/2027|Reminder|Change the webm[ai]l password"};
        QTest::newRow("two letters of another script") << "ξε" << QStringList{"Notes|Ξενοδοχείο|Subject|[Ξε]νοδοχείο"};
        QTest::newRow("two characters anywhere in a date")
            << "1/" << QStringList{"Reminders|1/15/2027|Date|[1/]15/2027", "Reminders|3/21/2027|Date|3/2[1/]2027"};
        QTest::newRow("a short word beside a long one")
            << "am riverton"
            << QStringList{"Credit Cards|MasterCard, Sample Credit Union|City|[Riverton]",
                           "Personal|Sam Marsh|City|[Riverton]"};
        QTest::newRow("short words only, each anywhere")
            << "s q" << QStringList{"Passwords|Example Savings Bank|Account Name|Example [S]avings Bank"};
        QTest::newRow("no hit") << "zzzz" << QStringList{};
        QTest::newRow("search syntax is plain text") << "NOT bank" << QStringList{};
        QTest::newRow("quotes and stars are plain text") << "b\"a*nk OR (" << QStringList{};
        QTest::newRow("an empty query") << "   " << QStringList{};
        QTest::newRow("a password is never found") << "Heron#2006" << QStringList{};
        QTest::newRow("a card number is never found") << "5500-0000" << QStringList{};
        QTest::newRow("a security code is never found") << "456" << QStringList{};
        QTest::newRow("a password of a new record is never found") << "Quartz" << QStringList{};
    }
    void matching() {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        ProgramDirectory dir;
        addRecords(dir);
        RecordSearch search(dir.recordDatabase());
        QCOMPARE(allShown(search, query), expected);
        // The counts agree with the hits.
        qint64 total = 0;
        for (qint64 count : search.counts(SearchQuery::parse(query)))
            total += count;
        QCOMPARE(total, qint64(expected.size()));
    }

    // A query of one or two characters matches anywhere in every searched field,
    // in every script, as a longer one does: the records themselves are read, in
    // key order, never the secrets.
    void shortQueriesMatchAnywhere_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("atLeast"); // hits the data surely holds, so a check of nothing fails
        QTest::newRow("latin, inside a word") << "ar" << 2;
        QTest::newRow("latin, umlaut in any case") << "MÜ" << 1;
        QTest::newRow("latin, one letter") << "w" << 3;
        QTest::newRow("digits, not in a secret") << "12" << 3;
        QTest::newRow("cyrillic, two letters") << "ИВ" << 2;
        QTest::newRow("cyrillic, one letter") << "в" << 100;
        QTest::newRow("cjk, two characters") << "東京" << 102;
        QTest::newRow("cjk, a family name") << "山田" << 1;
        QTest::newRow("cjk, one character, not in a secret") << "王" << 1;
        QTest::newRow("arabic, two letters") << "لي" << 2;
        QTest::newRow("arabic, one letter") << "م" << 2;
        QTest::newRow("several short words") << "東京 の" << 1;
        QTest::newRow("short words of two scripts") << "в 12" << 1;
        QTest::newRow("a short word no record holds") << "ʒq" << 0;
        // Each record the index finds for a word of more than one piece is read for
        // the word: counted a step at a time too, so a keystroke never waits for it.
        QTest::newRow("a long word, each hit read for") << "встреча" << 100;
        QTest::newRow("a long word in most notes") << "plain" << 500;
    }
    void shortQueriesMatchAnywhere() {
        QFETCH(QString, query);
        QFETCH(int, atLeast);
        ProgramDirectory dir;
        addShortWordRecords(dir);
        const QList<QList<qint64>> expected = plainScan(dir.recordDatabase(), query);
        qint64 total = 0;
        for (const QList<qint64>& keys : expected)
            total += keys.size();
        QVERIFY2(total >= atLeast, qPrintable(QString::number(total)));
        RecordSearch search(dir.recordDatabase());
        const SearchQuery parsed = SearchQuery::parse(query);
        QList<QList<qint64>> found(expected.size());
        for (const SearchHit& hit : walk(search, query, 40)) {
            found[hit.tableIndex] << hit.key;
            // The text shown holds one of the words.
            QVERIFY2(hit.matchLength > 0, qPrintable(shown(hit)));
        }
        QCOMPARE(found, expected);
        QList<qint64> sizes;
        for (const QList<qint64>& keys : expected)
            sizes << keys.size();
        QCOMPARE(search.counts(parsed), sizes);
        // Bounded counts say "at least" until further steps make them exact.
        search.setScanLimit(50);
        CountProgress progress = search.startCounts(parsed);
        int steps = 1;
        while (!progress.finished() && steps < 1000) {
            for (qsizetype t = 0; t < sizes.size(); ++t)
                QVERIFY(progress.counts[t].count <= sizes[t]);
            search.countMore(parsed, progress);
            ++steps;
        }
        QVERIFY(steps > 1);
        for (qsizetype t = 0; t < sizes.size(); ++t)
            QCOMPARE(progress.counts[t].count, sizes[t]);
    }

    // The index holds the fields the results may show, and never a secret.
    void indexHoldsNoSecret_data() {
        QTest::addColumn<int>("table");
        for (int t = 0; t < int(searchedTables().size()); ++t)
            QTest::newRow(qPrintable(searchedTables()[size_t(t)].table)) << t;
    }
    void indexHoldsNoSecret() {
        QFETCH(int, table);
        const SearchedTable& searched = searchedTables()[size_t(table)];
        ProgramDirectory dir;
        SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement columns(db, "SELECT name FROM pragma_table_info(?)");
        columns.bind(1, searched.index().toStdString());
        QSet<QString> indexed;
        while (columns.executeStep())
            indexed << QString::fromStdString(columns.getColumn(0).getString());
        QSet<QString> expected;
        for (const SearchedField& field : searched.fields)
            expected << field.name;
        QCOMPARE(indexed, expected);
        const Schema::Table* schema = nullptr;
        for (const Schema::Table* t : Schema::recordTables())
            schema = t->name == searched.table ? t : schema;
        QVERIFY(schema);
        for (const char* secret : {"Password", "Card Number", "Security Code"}) {
            if (schema->fields.contains(secret))
                QVERIFY2(!indexed.contains(secret), qPrintable(secret));
        }
        // Every other text field of the table is searched.
        for (const QString& field : schema->fields) {
            if (field != "Password" && field != "Card Number" && field != "Security Code")
                QVERIFY2(indexed.contains(field), qPrintable(field));
        }
    }

    void pagingVisitsEveryHitOnce_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("expected");
        QTest::newRow("through the index, small pages") << "filler" << 7 << 1000;
        QTest::newRow("through the index, one page") << "filler" << 5000 << 1000;
        QTest::newRow("two letters in both cases, anywhere") << "fi" << 50 << 1005;
        QTest::newRow("one letter, anywhere") << "v" << 9 << 606;
    }
    void pagingVisitsEveryHitOnce() {
        QFETCH(QString, query);
        QFETCH(int, pageSize);
        QFETCH(int, expected);
        ProgramDirectory dir;
        // Names in alternating case, over two sections and both card name fields.
        dir.exec("password.mdb",
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                 "INSERT INTO Notes (Title) SELECT CASE i % 2 WHEN 0 THEN 'Filler ' ELSE 'fILLER ' END || i FROM n;"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                 "INSERT INTO \"Credit Card\" (\"Type Card\", \"Bank Name\") SELECT CASE i % 3 WHEN 0 THEN 'Visa' "
                 "ELSE 'Amex' END, CASE i % 3 WHEN 0 THEN 'Bank' ELSE 'v' || i || ' filler bank' END FROM n;");
        RecordSearch search(dir.recordDatabase());
        const QList<SearchHit> all = walk(search, query, pageSize);
        QCOMPARE(all.size(), expected);
        for (qsizetype i = 1; i < all.size(); ++i) {
            const bool ordered = all[i - 1].tableIndex < all[i].tableIndex ||
                                 (all[i - 1].tableIndex == all[i].tableIndex && all[i - 1].key < all[i].key);
            QVERIFY2(ordered, qPrintable(QStringLiteral("hit %1 out of order").arg(i)));
        }
    }

    // A query with a short word besides its index or name match reads each record
    // that match finds; page() reads a bounded number of them per call and goes on
    // where it stopped, so a rare short word costs many calls, never one long one.
    void boundedPagesFindWhatUnboundedFinds_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("expected");
        QTest::newRow("index match, rare short word") << "filler zq" << 7 << 6;
        QTest::newRow("index match, common short word") << "filler 1" << 5 << 0;
        QTest::newRow("two letters anywhere, rare short word") << "fi zq" << 3 << 6;
        QTest::newRow("one letter anywhere, rare short word") << "v zq" << 2 << 2;
        QTest::newRow("no short word") << "filler" << 50 << 0;
    }
    void boundedPagesFindWhatUnboundedFinds() {
        QFETCH(QString, query);
        QFETCH(int, pageSize);
        QFETCH(int, expected);
        ProgramDirectory dir;
        dir.exec("password.mdb",
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                 "INSERT INTO Notes (Title, Note) SELECT CASE i % 2 WHEN 0 THEN 'Filler ' ELSE 'fILLER ' END || i, "
                 "CASE WHEN i IN (3, 250, 251, 599) THEN 'has ZQ in it' ELSE 'plain' END FROM n;"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                 "INSERT INTO \"Credit Card\" (\"Type Card\", \"Bank Name\", Phone) SELECT CASE i % 3 WHEN 0 "
                 "THEN 'Visa' ELSE 'Amex' END, CASE i % 3 WHEN 0 THEN 'Bank' ELSE 'v' || i || ' filler bank' END, "
                 "CASE WHEN i IN (2, 400) THEN 'zq' ELSE '' END FROM n;");
        RecordSearch search(dir.recordDatabase());
        const SearchQuery parsed = SearchQuery::parse(query);
        const QList<SearchHit> unbounded = walk(search, query, 10000);
        if (expected > 0)
            QCOMPARE(unbounded.size(), expected);
        search.setScanLimit(37);
        QList<SearchHit> bounded;
        SearchPosition from;
        int calls = 0;
        for (;;) {
            const SearchPage page = search.page(parsed, pageSize, from);
            QVERIFY(page.hits.size() <= pageSize);
            bounded += page.hits;
            // Each call makes progress, so the pages come to an end.
            QVERIFY(page.next.tableIndex > from.tableIndex ||
                    (page.next.tableIndex == from.tableIndex && page.next.afterKey > from.afterKey) || page.finished);
            from = page.next;
            ++calls;
            if (page.finished || calls > 5000)
                break;
        }
        QCOMPARE(bounded.size(), unbounded.size());
        for (qsizetype i = 0; i < bounded.size(); ++i) {
            QCOMPARE(bounded[i].tableIndex, unbounded[i].tableIndex);
            QCOMPARE(bounded[i].key, unbounded[i].key);
        }
        if (!parsed.containedWords().isEmpty())
            QVERIFY2(calls > 5, qPrintable(QStringLiteral("%1 calls").arg(calls)));

        // Counts: exact where the bound let the scan finish, else at least what was found.
        const QList<qint64> exact = search.counts(parsed);
        const QList<HitCount> counted = search.boundedCounts(parsed);
        for (qsizetype t = 0; t < exact.size(); ++t) {
            if (counted[t].exact)
                QCOMPARE(counted[t].count, exact[t]);
            else
                QVERIFY(counted[t].count <= exact[t]);
        }
        search.setScanLimit(100000);
        for (qsizetype t = 0; t < exact.size(); ++t) {
            QVERIFY(search.boundedCounts(parsed)[t].exact);
            QCOMPARE(search.boundedCounts(parsed)[t].count, exact[t]);
        }
    }

    void countsStopAboveTheLimit() {
        ProgramDirectory dir;
        dir.exec("password.mdb", QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                                "i < %1) INSERT INTO Notes (Title, Note) SELECT 'Many ' || i, "
                                                "'common text' FROM n")
                                     .arg(RecordSearch::CountLimit + 50));
        RecordSearch search(dir.recordDatabase());
        const QList<qint64> counts = search.counts(SearchQuery::parse("common"));
        QCOMPARE(counts, (QList<qint64>{0, 0, 0, RecordSearch::CountLimit + 1, 0}));
        QCOMPARE(search.counts(SearchQuery::parse("ma")), (QList<qint64>{1, 1, 1, RecordSearch::CountLimit + 1, 1}));
        QCOMPARE(search.counts(SearchQuery::parse("many 1000")), (QList<qint64>{0, 0, 0, 1, 0}));
    }

    // A search holds no lock on the file between calls: the windows save at once.
    // The hits a page found whole are what the counts of the same query show,
    // until another program writes: then both read the file again.
    void countsAndPagesSeeWritesMadeBetweenThem_data() {
        QTest::addColumn<QString>("query");
        QTest::newRow("index match") << "zebrafinch";
        QTest::newRow("name beginning") << "zq";
    }
    void countsAndPagesSeeWritesMadeBetweenThem() {
        QFETCH(QString, query);
        ProgramDirectory dir;
        RecordSearch search(dir.recordDatabase());
        const SearchQuery parsed = SearchQuery::parse(query);
        const auto passwords = [&] { return search.counts(parsed).first(); };
        const auto firstPage = [&] { return search.page(parsed, 10).hits.size(); };
        QCOMPARE(passwords(), 0);
        dir.exec("password.mdb", "INSERT INTO account (Account, User) VALUES ('ZQ Zebrafinch Club', 'x')");
        QCOMPARE(firstPage(), 1);
        QCOMPARE(passwords(), 1);
        dir.exec("password.mdb", "INSERT INTO account (Account, User) VALUES ('Zq zebrafinch watchers', 'y')");
        QCOMPARE(firstPage(), 2);
        dir.exec("password.mdb", "DELETE FROM account WHERE User IN ('x', 'y')");
        QCOMPARE(firstPage(), 0);
        QCOMPARE(passwords(), 0);
    }

    void searchLeavesTheFileFreeForWrites() {
        ProgramDirectory dir;
        RecordSearch search(dir.recordDatabase());
        const SearchQuery query = SearchQuery::parse("example");
        QVERIFY(!search.hits(query, 2).isEmpty());
        search.counts(query);
        search.counts(SearchQuery::parse("we"));
        SQLite::Database writer(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE, 0);
        writer.exec("INSERT INTO Notes (Title) VALUES ('written while the search is open')");
        QCOMPARE(search.hits(SearchQuery::parse("while the search"), 5).size(), 1);
    }

    // One keystroke's counts and page read one state of the file: no program can
    // save between them, and once they are read every program can again.
    void snapshotHoldsTheFileStillUntilItEnds() {
        ProgramDirectory dir;
        RecordSearch search(dir.recordDatabase());
        SQLite::Database writer(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE, 0);
        const SearchQuery query = SearchQuery::parse("example");
        {
            const RecordSearch::Snapshot snapshot(search);
            const QList<qint64> counts = search.counts(query);
            QVERIFY_THROWS_EXCEPTION(SQLite::Exception,
                                     writer.exec("INSERT INTO account (Account) VALUES ('example too')"));
            QCOMPARE(search.counts(query), counts);
            QVERIFY(!search.page(query, 5).hits.isEmpty());
        }
        writer.exec("INSERT INTO account (Account) VALUES ('example after')");
        QCOMPARE(search.hits(SearchQuery::parse("example after"), 5).size(), 1);
    }

    // The index follows every write through a binder, in the write's own transaction.
    void indexFollowsEveryWrite_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("nowFound");
        QTest::addColumn<QString>("noLongerFound");
        QTest::newRow("add") << "add"
                             << "Harbourmaster"
                             << "";
        QTest::newRow("edit") << "edit"
                              << "Lighthouse"
                              << "Shopping";
        QTest::newRow("edit of the password only") << "password"
                                                   << "Bookshop"
                                                   << "";
        QTest::newRow("delete") << "delete"
                                << ""
                                << "Bookshop";
    }
    void indexFollowsEveryWrite() {
        QFETCH(QString, change);
        QFETCH(QString, nowFound);
        QFETCH(QString, noLongerFound);
        ProgramDirectory dir;
        dir.exec("password.mdb", "UPDATE account SET Notes = 'Shopping list' WHERE Account = 'Online Bookshop'");
        RecordSearch search(dir.recordDatabase());
        PlainEditor editor(dir.recordDatabase(), Schema::account());
        editor.binder.setBookmark(keyOf(dir.recordDatabase(), "account", "Account", "Online Bookshop"));
        if (change == "add") {
            editor.binder.AddNew();
            editor.boxes["Account"] = "Harbourmaster";
            editor.binder.Update();
        } else if (change == "edit") {
            editor.binder.Edit();
            editor.boxes["Notes"] = "Lighthouse keeper";
            editor.binder.Update();
        } else if (change == "password") {
            editor.binder.Edit();
            editor.boxes["Password"] = "another secret";
            editor.binder.Update();
        } else {
            editor.binder.Delete();
        }
        if (!nowFound.isEmpty())
            QCOMPARE(search.hits(SearchQuery::parse(nowFound), 10).size(), 1);
        if (!noLongerFound.isEmpty())
            QCOMPARE(search.hits(SearchQuery::parse(noLongerFound), 10).size(), 0);
        QCOMPARE(search.hits(SearchQuery::parse("another secret"), 10).size(), 0);
        QCOMPARE(searchIndexProblem(dir.recordDatabase()), QString());
    }

    // Every way the program makes or replaces a file leaves it indexed and of
    // the newest version once the program has started on it.
    void filesTheProgramMakesAreIndexed_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("table");
        QTest::newRow("repair") << "repair"
                                << "Harbourmaster"
                                << "account";
        QTest::newRow("restore of a backup of today") << "restore"
                                                      << "Harbourmaster"
                                                      << "account";
        QTest::newRow("restore of an old backup") << "restore old"
                                                  << "müll"
                                                  << "Personal";
        QTest::newRow("conversion of an old Jet file") << "convert"
                                                       << "müller's office"
                                                       << "Reminder";
    }
    void filesTheProgramMakesAreIndexed() {
        QFETCH(QString, how);
        QFETCH(QString, query);
        QFETCH(QString, table);
        ProgramDirectory dir;
        dir.exec("password.mdb", "INSERT INTO account (Account) VALUES ('Harbourmaster')");
        QTemporaryDir backup;
        if (how == "repair") {
            QVERIFY(DatabaseFiles(dir.path()).repair().ok);
        } else if (how == "restore") {
            QVERIFY(QFile::copy(dir.recordDatabase(), backup.filePath("password.mdb")));
            dir.exec("password.mdb", "DELETE FROM account WHERE Account = 'Harbourmaster'");
            const DatabaseFiles::Outcome restored = DatabaseFiles(dir.path()).restore(backup.filePath("password.mdb"));
            QVERIFY2(restored.ok, qPrintable(restored.error));
        } else if (how == "restore old") {
            QVERIFY(QFile::copy(QStringLiteral(FIXTURES_DIR "/version0.mdb"), backup.filePath("password.mdb")));
            const DatabaseFiles::Outcome restored = DatabaseFiles(dir.path()).restore(backup.filePath("password.mdb"));
            QVERIFY2(restored.ok, qPrintable(restored.error));
        } else {
            QFile::remove(dir.recordDatabase());
            QVERIFY(QFile::copy(Legacy + "password.mdb", dir.recordDatabase()));
            QFile::setPermissions(dir.recordDatabase(), QFile::ReadOwner | QFile::WriteOwner);
            const LegacyConversion::Outcome converted = LegacyConversion::convertIfNeeded(dir.recordDatabase(), true);
            QVERIFY2(converted.converted, qPrintable(converted.error));
        }
        // The next start.
        FakeContext fake(dir.path());
        updateRecordDatabase(fake.context);
        QCOMPARE(fake.prompter.calls.size(), 0);
        QCOMPARE(Migration::versionOf(dir.recordDatabase()), Migration::newestVersion());
        QCOMPARE(searchIndexProblem(dir.recordDatabase()), QString());
        RecordSearch search(dir.recordDatabase());
        const QList<SearchHit> hits = search.hits(SearchQuery::parse(query), 10);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().table, table);
    }

    void fileWithoutIndexIsRefused() {
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        QVERIFY(QFile::copy(QStringLiteral(FIXTURES_DIR "/version0.mdb"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        try {
            RecordSearch search(path);
            QFAIL("a file without the index was searched");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains(path) && e.message().contains("no search index"), qPrintable(e.message()));
        }
        try {
            RecordSearch search(dir.filePath("missing.mdb"));
            QFAIL("a missing file was searched");
        } catch (const StoreError& e) {
            QVERIFY(e.message().contains("missing"));
        }
    }

    // An index whose rows no longer agree with the records: what it finds is
    // checked against each record's own text, so it never shows a record that
    // does not hold the words; an index SQLite finds damaged is told as such,
    // with the repair, never as SQLite's own words.
    void damagedIndexIsNeverTrusted_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("damaged"); // SQLite finds the index damaged: the search refuses
        // The index's rows of an earlier state put back after a name changed: the
        // index still finds the record by its old name.
        const QString stale =
            "CREATE TABLE kept_data AS SELECT * FROM \"account search_data\";"
            "CREATE TABLE kept_idx AS SELECT * FROM \"account search_idx\";"
            "UPDATE account SET Account = 'Harbour Office' WHERE Account = 'Example Savings Bank';"
            "DELETE FROM \"account search_data\"; INSERT INTO \"account search_data\" SELECT * FROM kept_data;"
            "DELETE FROM \"account search_idx\"; INSERT INTO \"account search_idx\" SELECT * FROM kept_idx;"
            "DROP TABLE kept_data; DROP TABLE kept_idx";
        QTest::newRow("stale rows: the old name") << stale << "savings bank" << false;
        QTest::newRow("stale rows: the old name and a short word") << stale << "savings e" << false;
        const QString garbled = "UPDATE \"account search_data\" SET block = CAST(substr(block, 1, 1200) || "
                                "replace(hex(zeroblob(length(block) - 1200)), '00', 'EE') AS BLOB) WHERE id > 10";
        QTest::newRow("garbled rows") << garbled << "bank" << true;
        QTest::newRow("garbled rows and a short word") << garbled << "bank x" << true;
        QTest::newRow("its data table gone") << "DROP TABLE \"Notes search_data\""
                                             << "welcome" << true;
    }
    void damagedIndexIsNeverTrusted() {
        QFETCH(QString, damage);
        QFETCH(QString, query);
        QFETCH(bool, damaged);
        ProgramDirectory dir;
        dir.exec("password.mdb", damage);
        if (!damaged) {
            // What an index rebuilt from the records finds, on a copy.
            QTemporaryDir scratch;
            const QString rebuilt = scratch.filePath("password.mdb");
            QVERIFY(QFile::copy(dir.recordDatabase(), rebuilt));
            {
                SQLite::Database db(rebuilt.toStdString(), SQLite::OPEN_READWRITE);
                db.exec("INSERT INTO \"account search\" (\"account search\") VALUES ('rebuild')");
            }
            RecordSearch truth(rebuilt);
            const QStringList expected = allShown(truth, query);
            RecordSearch search(dir.recordDatabase());
            QCOMPARE(allShown(search, query), expected);
            const SearchPage page = search.page(SearchQuery::parse(query), 100);
            QCOMPARE(page.hits.size(), expected.size());
            return;
        }
        try {
            RecordSearch search(dir.recordDatabase());
            QFAIL(qPrintable("a damaged index was searched: " + allShown(search, query).join('\n')));
        } catch (const SearchIndexDamaged& e) {
            QVERIFY(e.message().contains(dir.recordDatabase()));
        } catch (const StoreError& e) {
            QFAIL(qPrintable("not told as a damaged index: " + e.message()));
        }
        // The Find window points at the repair instead of showing SQLite's words.
        FakeContext fake(dir.path());
        // An index that cannot be opened at all is told as the window opens.
        if (auto* find = fake.windows.show<FindWindow>(fake.context))
            find->txtFind->setText(query);
        QTRY_COMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QCOMPARE(fake.prompter.last().text, FindWindow::damagedIndexText());
        QVERIFY(!fake.prompter.last().text.contains("malformed"));
    }

    void longLinesAreCutAroundTheMatch_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("expected");
        const QString tail = QString(150, 'y');
        QTest::newRow("short line") << "alpha beta"
                                    << "beta"
                                    << "alpha [beta]";
        QTest::newRow("match near the start of a long line")
            << "alpha beta " + tail << "beta"
            << "alpha [beta] " + tail.left(MaxMatchTextLength - 12) + "…";
        QTest::newRow("match far into a long line")
            << QString(200, 'x') + "needle" + tail << "needle"
            << "…" + QString(30, 'x') + "[needle]" + tail.left(MaxMatchTextLength - 38) + "…";
        QTest::newRow("match at the very end of a long line") << QString(200, 'x') + "needle"
                                                              << "needle"
                                                              << "…" + QString(30, 'x') + "[needle]";
        QTest::newRow("line of its own, Windows line ends") << "first\r\nsecond needle\r\nthird"
                                                            << "needle"
                                                            << "second [needle]";
    }
    void longLinesAreCutAroundTheMatch() {
        QFETCH(QString, value);
        QFETCH(QString, word);
        QFETCH(QString, expected);
        const MatchText match = locateMatch({value}, SearchQuery::parse(word));
        QCOMPARE(match.fieldIndex, 0);
        QVERIFY(match.text.size() <= MaxMatchTextLength);
        QString text = match.text;
        text.insert(match.start + match.length, ']').insert(match.start, '[');
        QCOMPARE(text, expected);
    }
};

QTEST_MAIN(SearchTest)

#include "test_search.moc"
