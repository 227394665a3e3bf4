// The Find window at 1,000, 100,000 and 1,000,000 records per table: a keystroke
// in its box until the result list has painted the answer, for queries of three
// or more characters and of one or two; each paired with bare SQLite running the
// same index queries for the same hits and counts in the same run. Besides: the
// first 50 hits of a query that matches every record against one that matches a
// single record, the size of the search index against the data, and the growth
// of the process's peak memory while the window searches.
//
//   bench_search [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
#include "BenchDatabase.h"
#include "BenchMain.h"
#include "BenchMemory.h"
#include "Fakes.h"
#include "find/FindWindow.h"
#include "find/SearchResultModel.h"
#include "platform/Windows.h"
#include "search/RecordSearch.h"
#include "store/MachineStamp.h"
#include "store/Migration.h"
#include "store/Schema.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <benchmark/benchmark.h>
#include <map>
#include <set>

namespace {

QString g_cache;

// Typed the way a user types them: each query is what the box holds after the
// measured keystroke. The data sets' names begin with these words, a quarter of
// them in other scripts; "springfield" is in every card and every person.
const QStringList LongQueries = {"acc",  "acco",   "accou",  "café",   "caf",         "straße",
                                 "ørst", "ørsted", "note 1", "perso",  "springfield", "日本語",
                                 "bank", "stree",  "mail",   "unïcod", "record 12",   "xyzzy"};
// A word every record of a section holds, then one or two letters that none of
// them holds: each candidate of the long word is read to look for the short one.
const QStringList MixedQueries = {"record zq", "bank zq", "springfield zq"};
const QStringList ShortQueries = {"a", "ac", "s", "st", "日", "日本", "n", "no", "p", "pe", "b", "ba", "c", "ca"};

double median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Counts the paints of the result list that come after its contents changed,
// and whether the search has answered at all: an answer the list already shows
// changes no row and paints nothing.
class ListPaints : public QObject {
public:
    explicit ListPaints(QTableView* list) : m_viewport(list->viewport()) {
        m_viewport->installEventFilter(this);
        auto* model = static_cast<SearchResultModel*>(list->model());
        const auto change = [this] { changed = true; };
        connect(model, &QAbstractItemModel::modelReset, this, change);
        connect(model, &QAbstractItemModel::rowsInserted, this, change);
        connect(model, &QAbstractItemModel::rowsRemoved, this, change);
        connect(model, &QAbstractItemModel::dataChanged, this, change);
        connect(model, &SearchResultModel::shown, this, [this] { answered = true; });
    }
    // The list shows the answer: painted, or unchanged.
    bool done() const { return paints > 0 || (answered && !changed); }
    bool answered = false;
    bool changed = false;
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (changed && event->type() == QEvent::Paint)
            ++paints;
        return false;
    }

private:
    QWidget* m_viewport;
};

// Bare SQLite on the same file: the index queries the window's search runs for
// one query, the counts capped as the window caps them and the first page of
// hits with the fields the list shows, and nothing else.
class BareSearch {
public:
    explicit BareSearch(const QString& path) : m_db(path.toStdString(), SQLite::OPEN_READONLY) {}

    double runMs(const QString& text, int pageSize) {
        QElapsedTimer timer;
        timer.start();
        const SearchQuery query = SearchQuery::parse(text);
        qint64 total = 0;
        int found = 0;
        for (const SearchedTable& table : searchedTables()) {
            const auto [count, keys] = run(table, query, pageSize - found);
            total += count;
            found += int(keys.size());
            for (const qint64 key : keys)
                total += read(table, key);
        }
        benchmark::DoNotOptimize(total);
        return timer.nsecsElapsed() / 1e6;
    }

    // Keys of the records matching, in key order.
    QList<qint64> keys(const SearchedTable& table, const SearchQuery& query, int limit) {
        return run(table, query, limit).second;
    }

private:
    SQLite::Statement& statement(const QString& sql) {
        const std::string key = sql.toStdString();
        auto it = m_statements.find(key);
        if (it == m_statements.end())
            it = m_statements.emplace(key, std::make_unique<SQLite::Statement>(m_db, key)).first;
        it->second->reset();
        return *it->second;
    }

    QString fieldList(const SearchedTable& table) {
        QStringList names;
        for (const SearchedField& field : table.fields)
            names << Schema::quoted(field.name);
        return names.join(", ");
    }

    // The capped count and the first keys of the query's hits in one table.
    std::pair<qint64, QList<qint64>> run(const SearchedTable& table, const SearchQuery& query, int limit) {
        QList<qint64> keys;
        if (!query.scansRecords()) {
            const QString index = Schema::quoted(table.index());
            SQLite::Statement& count = statement(
                QStringLiteral("SELECT count(*) FROM (SELECT rowid FROM %1 WHERE %1 MATCH ? LIMIT 1001)").arg(index));
            count.bind(1, query.indexExpression().toStdString());
            count.executeStep();
            const qint64 counted = count.getColumn(0).getInt64();
            count.reset();
            if (limit > 0) {
                SQLite::Statement& page = statement(
                    QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ? ORDER BY rowid LIMIT ?").arg(index));
                page.bind(1, query.indexExpression().toStdString());
                page.bind(2, limit);
                while (page.executeStep())
                    keys << page.getColumn(0).getInt64();
                page.reset();
            }
            return {counted, keys};
        }
        // Too short for the index: the records in key order, the first page of those
        // that hold the words and the count over as many records as the window's first
        // turn reads (SQLite's lower() folds ASCII letters only: a floor, not the same work).
        QStringList holds;
        for (const SearchedField& field : table.fields)
            holds << QStringLiteral("instr(lower(%1), ?1)").arg(Schema::quoted(field.name));
        const QString filter = holds.join(QStringLiteral(" OR "));
        SQLite::Statement& count = statement(
            QStringLiteral("SELECT count(*) FROM (SELECT _key FROM %1 ORDER BY _key LIMIT 200) AS k JOIN %1 USING "
                           "(_key) WHERE %2")
                .arg(Schema::quoted(table.table), filter));
        count.bind(1, query.words().first().toLower().toStdString());
        count.executeStep();
        const qint64 counted = count.getColumn(0).getInt64();
        count.reset();
        if (limit > 0) {
            SQLite::Statement& page = statement(QStringLiteral("SELECT _key FROM %1 WHERE %2 ORDER BY _key LIMIT ?2")
                                                    .arg(Schema::quoted(table.table), filter));
            page.bind(1, query.words().first().toLower().toStdString());
            page.bind(2, limit);
            while (page.executeStep())
                keys << page.getColumn(0).getInt64();
            page.reset();
        }
        return {counted, keys};
    }

    qint64 read(const SearchedTable& table, qint64 key) {
        SQLite::Statement& select = statement(
            QStringLiteral("SELECT %1 FROM %2 WHERE _key = ?").arg(fieldList(table), Schema::quoted(table.table)));
        select.bind(1, static_cast<int64_t>(key));
        qint64 size = 0;
        if (select.executeStep()) {
            for (int c = 0; c < select.getColumnCount(); ++c)
                size += QString::fromUtf8(select.getColumn(c).getText()).size();
        }
        select.reset();
        return size;
    }

    SQLite::Database m_db;
    std::map<std::string, std::unique_ptr<SQLite::Statement>> m_statements;
};

// The Find window on a data set, as the program opens it.
struct FindSession {
    explicit FindSession(qint64 records)
        : dir(benchProgramDirectory(g_cache, records, 0)), fake(dir),
          bare(QDir(dir).filePath(Schema::RecordDatabaseFile)) {}
    ~FindSession() {
        if (window)
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool open() {
        window = fake.windows.show<FindWindow>(fake.context);
        return window && QTest::qWaitForWindowExposed(window);
    }
    // The box holds the text and the list shows its answer, painted. As between
    // two keystrokes of a user, the work the views leave for their timers (column
    // widths, layout) is done too: events are handled until none is left.
    void settleOn(const QString& text) {
        window->txtFind->setText(text);
        QCoreApplication::processEvents();
        window->lstResults->viewport()->repaint();
        QAbstractEventDispatcher* events = QAbstractEventDispatcher::instance();
        for (int round = 0; round < 100 && events->processEvents(QEventLoop::AllEvents); ++round) {
        }
    }
    // Milliseconds from the key that makes the box hold `text` until the list has
    // painted its answer; -1 when it never did.
    double keystroke(const QString& text) {
        settleOn(text.chopped(1));
        ListPaints paints(window->lstResults);
        QElapsedTimer timer;
        timer.start();
        QTest::sendKeyEvent(QTest::Click, window->txtFind, Qt::Key_unknown, text.right(1), Qt::NoModifier);
        while (!paints.done() && timer.elapsed() < 10000)
            QCoreApplication::processEvents();
        // What the same round of painting still had queued.
        QCoreApplication::processEvents();
        return paints.done() ? timer.nsecsElapsed() / 1e6 : -1;
    }

    QString dir;
    FakeContext fake;
    BareSearch bare;
    QPointer<FindWindow> window;
};

struct Measured {
    double keystrokeMs = -1;
    double bareMs = -1;
    double searchMs = -1; // the program's search alone, counts and first page, without the window
    int keystrokes = 0;
    double peakMbDelta = -1;
    int pageSize = 0;
};

// The keystrokes of one kind of query, each followed by the bare queries for the
// same hits, so both meet the same load of the machine. Kept per size and kind.
enum class Kind { Long, Short, Mixed };

Measured measure(qint64 records, Kind kind) {
    static std::map<std::pair<qint64, Kind>, Measured> done;
    const auto key = std::make_pair(records, kind);
    if (done.count(key))
        return done[key];
    {
        // What the process sets up once for its first window (fonts, the display) is
        // not the Find window's: a window opened and closed before takes it.
        FindSession warmUp(records);
        if (warmUp.open())
            warmUp.keystroke(QStringLiteral("ab"));
    }
    FindSession session(records);
    Measured result;
    resetPeakMemory();
    const qint64 before = processStatusKb("VmRSS:");
    if (!session.open())
        return result;
    result.pageSize = session.window->pageSize();
    std::vector<double> times, bare, core;
    RecordSearch search(QDir(session.dir).filePath(Schema::RecordDatabaseFile));
    const QStringList& queries = kind == Kind::Long ? LongQueries : kind == Kind::Short ? ShortQueries : MixedQueries;
    for (int round = 0; round < (kind == Kind::Mixed ? 1 : 3); ++round) {
        for (const QString& query : queries) {
            const double ms = session.keystroke(query);
            if (ms < 0)
                return result;
            times.push_back(ms);
            bare.push_back(session.bare.runMs(query, result.pageSize));
            if (qEnvironmentVariableIsSet("BENCH_TRACE"))
                std::fprintf(stderr, "%s: %.2f ms, bare %.2f ms\n", qPrintable(query), ms, bare.back());
            QElapsedTimer timer;
            timer.start();
            const SearchQuery parsed = SearchQuery::parse(query);
            benchmark::DoNotOptimize(search.boundedCounts(parsed));
            benchmark::DoNotOptimize(search.page(parsed, result.pageSize));
            core.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    result.peakMbDelta = (processStatusKb("VmHWM:") - before) / 1024.0;
    result.keystrokeMs = median(times);
    result.bareMs = median(bare);
    result.searchMs = median(core);
    result.keystrokes = int(times.size());
    done[key] = result;
    return result;
}

void reportKeystrokes(benchmark::State& state, Kind kind) {
    Measured m;
    for (auto _ : state) {
        m = measure(state.range(0), kind);
        if (m.keystrokeMs < 0)
            return state.SkipWithError("the list did not paint an answer");
        state.SetIterationTime(m.keystrokeMs / 1000);
    }
    state.counters["keystrokes"] = m.keystrokes;
    state.counters["bare_ms"] = m.bareMs;
    state.counters["search_ms"] = m.searchMs;
    state.counters["ratio"] = m.bareMs > 0 ? m.keystrokeMs / m.bareMs : 0;
    state.counters["page_rows"] = m.pageSize;
    state.counters["target_ms"] = 16;
}

void reportBare(benchmark::State& state, Kind kind) {
    Measured m;
    for (auto _ : state) {
        m = measure(state.range(0), kind);
        if (m.bareMs < 0)
            return state.SkipWithError("not measured");
        state.SetIterationTime(m.bareMs / 1000);
    }
}

void BM_KeystrokeLong(benchmark::State& state) {
    reportKeystrokes(state, Kind::Long);
}
void BM_KeystrokeShort(benchmark::State& state) {
    reportKeystrokes(state, Kind::Short);
}
void BM_KeystrokeMixed(benchmark::State& state) {
    reportKeystrokes(state, Kind::Mixed);
}
void BM_BareLong(benchmark::State& state) {
    reportBare(state, Kind::Long);
}
void BM_BareShort(benchmark::State& state) {
    reportBare(state, Kind::Short);
}

// The peak memory the window added while it answered every keystroke above.
// A two-letter query no record holds: every record of every section is read,
// a bounded number in each turn of the event loop, until the counts are exact.
// The longest turn is what the user feels: typing waits for it.
void BM_RareShortTurns(benchmark::State& state) {
    FindSession session(state.range(0));
    if (!session.open())
        return state.SkipWithError("the window did not open");
    double longest = 0, total = 0;
    int turns = 0;
    for (auto _ : state) {
        session.settleOn(QStringLiteral("z"));
        QElapsedTimer all, turn;
        all.start();
        session.window->txtFind->setText(QStringLiteral("zq"));
        const QString exact = QStringLiteral("No record matches.");
        while (session.window->lblCounts->text() != exact && all.elapsed() < 600000) {
            turn.start();
            QCoreApplication::processEvents();
            longest = std::max(longest, turn.nsecsElapsed() / 1e6);
            ++turns;
        }
        total = all.nsecsElapsed() / 1e6;
        if (session.window->lblCounts->text() != exact)
            return state.SkipWithError(qPrintable(session.window->lblCounts->text()));
        state.SetIterationTime(longest / 1000);
    }
    state.counters["longest_turn_ms"] = longest;
    state.counters["until_exact_ms"] = total;
    state.counters["turns"] = turns;
    state.counters["target_ms"] = 16;
}

void BM_Memory(benchmark::State& state) {
    Measured m;
    for (auto _ : state) {
        m = measure(state.range(0), Kind::Long);
        const Measured s = measure(state.range(0), Kind::Short);
        m.peakMbDelta = std::max(m.peakMbDelta, s.peakMbDelta);
        state.SetIterationTime(std::max(0.0, m.keystrokeMs) / 1000);
    }
    state.counters["peak_mb_delta"] = m.peakMbDelta;
    state.counters["memory_target_mb"] = 16.0 * std::max<qint64>(1, state.range(0) / 1000000);
}

// The first 50 hits through the program's search: every record of the first
// table matches ("record" and "recor" are in every account's notes), or exactly
// one record, found by a piece of text only it holds, in the last table.
void firstHits(benchmark::State& state, bool matchAll) {
    FindSession session(state.range(0));
    const QString path = QDir(session.dir).filePath(Schema::RecordDatabaseFile);
    QStringList texts{QStringLiteral("record"), QStringLiteral("recor")};
    if (!matchAll) {
        texts.clear();
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
        // A dozen characters of random hex from each of two reminders in the
        // middle: no other record holds them.
        SQLite::Statement reminders(db, "SELECT Reminder FROM Reminder WHERE _key >= ? ORDER BY _key LIMIT 50");
        reminders.bind(1, static_cast<int64_t>(state.range(0) / 2));
        while (texts.size() < 2 && reminders.executeStep()) {
            for (const QString& line : QString::fromStdString(reminders.getColumn(0).getString()).split('\n')) {
                if (line.size() >= 12 && !line.contains(' ')) {
                    texts << line.left(12);
                    break;
                }
            }
        }
        if (texts.size() < 2)
            return state.SkipWithError("no reminder holds a dozen characters of hex");
    }
    // A search keeps the hits of a query it has read whole for the next call of
    // the same query: the two texts take turns, so each time is that of a query
    // typed anew, on a search that has read the file before as the window's has.
    RecordSearch search(path);
    int turn = 0;
    const auto firstHits = [&](qsizetype& hits) {
        const SearchQuery query = SearchQuery::parse(texts[turn++ % 2]);
        QElapsedTimer timer;
        timer.start();
        hits = search.hits(query, 50).size();
        return timer.nsecsElapsed() / 1e6;
    };
    qsizetype hits = 0;
    // The first reads after the data set was made or moved may come from the
    // disk, not from memory: reported, and kept out of the times compared.
    const double coldMs = firstHits(hits) + firstHits(hits);
    std::vector<double> times;
    for (auto _ : state) {
        const double ms = firstHits(hits);
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
    }
    if (hits != (matchAll ? 50 : 1))
        return state.SkipWithError(qPrintable(QStringLiteral("%1 hits for %2").arg(hits).arg(texts.join(", "))));
    state.counters["hits"] = double(hits);
    state.counters["median_ms"] = median(times);
    state.counters["first_reads_ms"] = coldMs;
}

void BM_First50MatchAll(benchmark::State& state) {
    firstHits(state, true);
}
void BM_First50MatchOne(benchmark::State& state) {
    firstHits(state, false);
}

// The search index's pages against the pages of the records it indexes.
void BM_IndexSize(benchmark::State& state) {
    const QString dir = benchProgramDirectory(g_cache, state.range(0), 0);
    SQLite::Database db(QDir(dir).filePath(Schema::RecordDatabaseFile).toStdString(), SQLite::OPEN_READONLY);
    double index = 0, data = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        index = data = 0;
        SQLite::Statement sizes(db, "SELECT name, sum(pgsize) FROM dbstat GROUP BY name");
        while (sizes.executeStep()) {
            const QString name = QString::fromStdString(sizes.getColumn(0).getString());
            const double bytes = sizes.getColumn(1).getDouble();
            bool isIndex = false, isData = false;
            for (const SearchedTable& table : searchedTables()) {
                isIndex = isIndex || name.startsWith(table.index());
                isData = isData || name == table.table;
            }
            index += isIndex ? bytes : 0;
            data += isData ? bytes : 0;
        }
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
    state.counters["index_mb"] = index / 1048576;
    state.counters["data_mb"] = data / 1048576;
    state.counters["index_ratio"] = data > 0 ? index / data : 0;
}

// The whole file against the text of its fields, for logins of realistic lengths
// (as the import benchmark makes them) and a tenth as many cards, persons and
// notes, each record stamped with its computer as the program stamps it: the
// first indexed layout beside the newest, each compacted.
void BM_FileSize(benchmark::State& state) {
    const qint64 logins = state.range(0);
    QTemporaryDir dir;
    const auto make = [&](int version, double& fileMb, double& textMb) {
        const QString path = dir.filePath(QStringLiteral("v%1.mdb").arg(version));
        QFile::remove(path);
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
        db.exec(Migration::schemaOfVersion(version).toStdString());
        // Every record names the computer that wrote it, as the program's writes do.
        stampChangesWith(db, QStringLiteral("5f0c2a4e-8d1b-4c3e-9a7f-2b6d8e1c4a90"), std::nullopt);
        const auto rows = [](qint64 count) {
            return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ")
                .arg(count - 1);
        };
        const qint64 others = std::max<qint64>(1, logins / 10);
        db.exec((rows(logins) + "INSERT INTO account (Account, Website, User, Password, Notes) SELECT 'Account ' || i "
                                "|| ' at the example shop', 'https://www.example' || i || '.com/login', 'user' || i "
                                "|| '@example.com', 'pw-' || i || '-Xk9!q,\"z', CASE WHEN i % 3 THEN NULL ELSE "
                                "'Security question: first pet' || char(10) || 'Answer: Rex the ' || i || ', of "
                                "course' END FROM n")
                    .toStdString());
        db.exec((rows(others) + "INSERT INTO \"Credit Card\" (\"Type Card\", \"Card Number\", \"Security Code\", "
                                "Month, Year, \"Bank Name\", Address, \"Bank City\", \"Bank State\", \"Zip Code\", "
                                "Phone, Website) SELECT 'Visa', '4111 1111 ' || i, '123', '04', '2029', 'Bank ' || i "
                                "|| ' of Springfield', i || ' Main Street', 'Springfield', 'OR', '97' || i, "
                                "'(555) 010-' || i, 'https://bank' || i || '.example.com' FROM n")
                    .toStdString());
        db.exec((rows(others) + "INSERT INTO Personal (\"Full Name\", Address, Address1, City, State, Zip, Email) "
                                "SELECT 'Person ' || i || ' Smith', i || ' Elm Street', 'Apt ' || i, 'Springfield', "
                                "'OR', '97' || i, 'person' || i || '@example.com' FROM n")
                    .toStdString());
        db.exec((rows(others) + "INSERT INTO Notes (Title, Note) SELECT 'Note ' || i, 'Wifi code for the house ' || i "
                                "|| char(10) || 'Remember to change it every spring' FROM n")
                    .toStdString());
        db.exec("VACUUM");
        double text = 0;
        for (const Schema::Table* table : Schema::recordTables()) {
            QStringList lengths;
            for (const QString& field : table->fields)
                lengths << QStringLiteral("coalesce(length(CAST(%1 AS BLOB)), 0)").arg(Schema::quoted(field));
            text += db.execAndGet(QStringLiteral("SELECT coalesce(sum(%1), 0) FROM %2")
                                      .arg(lengths.join(" + "), Schema::quoted(table->name))
                                      .toStdString())
                        .getDouble();
        }
        textMb = text / 1e6;
        fileMb =
            double(db.execAndGet("PRAGMA page_count").getInt64() * db.execAndGet("PRAGMA page_size").getInt64()) / 1e6;
    };
    double fileMb = 0, textMb = 0, firstMb = 0, firstText = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        make(1, firstMb, firstText);
        make(Migration::newestVersion(), fileMb, textMb);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
    state.counters["text_mb"] = textMb;
    state.counters["file_mb"] = fileMb;
    state.counters["file_to_text"] = textMb > 0 ? fileMb / textMb : 0;
    state.counters["first_layout_mb"] = firstMb;
    state.counters["first_layout_to_text"] = firstText > 0 ? firstMb / firstText : 0;
    state.counters["target_ratio"] = 2.5;
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_KeystrokeLong)->Name("find_keystroke_long")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_BareLong)->Name("find_bare_long")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_KeystrokeShort)->Name("find_keystroke_short")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_BareShort)->Name("find_bare_short")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_RareShortTurns)->Name("find_rare_short_turns")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_KeystrokeMixed)->Name("find_keystroke_mixed")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_Memory)->Name("find_memory")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_First50MatchAll)->Name("find_first_hits_all")->Apply(sizes)->Iterations(30);
BENCHMARK(BM_First50MatchOne)->Name("find_first_hits_one")->Apply(sizes)->Iterations(30);
BENCHMARK(BM_IndexSize)->Name("find_index_size")->Apply(sizes)->Iterations(1);
BENCHMARK(BM_FileSize)
    ->Name("find_file_size")
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, g_cache);
}
