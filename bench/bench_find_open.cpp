// Finding and opening one record from the keyboard, as a user does it: the main
// window is open on a data set, the user types a piece of one record's text into
// the Find window key by key, moves to the record's row if it is not the first
// and presses Return. Measured: the program's time for all of it, every
// keystroke until the list has painted its answer and Return until the main
// window has painted the record (the user's own typing time is not counted).
// Records are drawn at random from all five sections; every one is checked to
// be the record the main window then shows.
//
//   bench_find_open [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
//   BENCH_TRACE=1 prints each keystroke's time.
#include "BenchDatabase.h"
#include "BenchMain.h"
#include "Fakes.h"
#include "app/MainWindow.h"
#include "find/FindWindow.h"
#include "find/SearchResultModel.h"
#include "platform/Windows.h"
#include "search/SearchedTables.h"
#include "store/Schema.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <benchmark/benchmark.h>

namespace {

QString g_cache;
constexpr int RecordsPerSection = 3;
constexpr int QueryLength = 10;

// Paints of a widget and its children made once `ready` holds: a paint that
// shows what the action asked for.
class Paints : public QObject {
public:
    Paints(QWidget* root, std::function<bool()> ready) : m_ready(std::move(ready)) {
        root->installEventFilter(this);
        for (QWidget* child : root->findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_ready())
            ++count;
        return false;
    }

private:
    std::function<bool()> m_ready;
};

// Milliseconds from the action until `root` has painted with `ready` holding;
// -1 when that never happened.
double untilPainted(QWidget* root, const std::function<void()>& action, const std::function<bool()>& ready) {
    Paints paints(root, ready);
    QElapsedTimer timer;
    timer.start();
    action();
    while (paints.count == 0 && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // What the same round of painting still had queued.
    QCoreApplication::processEvents();
    return paints.count > 0 ? timer.nsecsElapsed() / 1e6 : -1;
}

struct Target {
    Section section;
    qint64 key = 0;
    QString query;
};

// A record of the section drawn at random and a piece of its text a user would
// type to find it: ten characters of a run of letters and digits in one of its
// searched fields. Empty query when the drawn records hold no such run.
Target drawTarget(SQLite::Database& db, Section section, QRandomGenerator& random) {
    const Schema::Table& table = tableOf(section);
    const SearchedTable* searched = nullptr;
    for (const SearchedTable& candidate : searchedTables()) {
        if (candidate.table == table.name)
            searched = &candidate;
    }
    QStringList fields;
    for (const SearchedField& field : searched->fields)
        fields << Schema::quoted(field.name);
    const qint64 last =
        db.execAndGet(QStringLiteral("SELECT max(_key) FROM %1").arg(Schema::quoted(table.name)).toStdString())
            .getInt64();
    SQLite::Statement select(db, QStringLiteral("SELECT _key, %1 FROM %2 WHERE _key >= ? ORDER BY _key LIMIT 1")
                                     .arg(fields.join(", "), Schema::quoted(table.name))
                                     .toStdString());
    static const QRegularExpression run(QStringLiteral("[0-9A-Za-z]{%1,}").arg(QueryLength + 2));
    for (int attempt = 0; attempt < 200; ++attempt) {
        select.reset();
        select.bind(1, static_cast<int64_t>(1 + random.bounded(last)));
        if (!select.executeStep())
            continue;
        for (int column = 1; column < select.getColumnCount(); ++column) {
            const QString text = QString::fromUtf8(select.getColumn(column).getText());
            const QRegularExpressionMatch match = run.match(text);
            if (!match.hasMatch())
                continue;
            const int offset = int(random.bounded(qsizetype(match.capturedLength() - QueryLength + 1)));
            return {section, select.getColumn(0).getInt64(), match.captured().mid(offset, QueryLength)};
        }
    }
    return {section, 0, QString()};
}

struct Trial {
    double totalMs = -1;
    int keys = 0;
};

// One record found and opened; -1 total when a step never painted or another
// record was shown.
Trial findAndOpen(MainWindow* main, FindWindow* find, const Target& target) {
    Trial trial;
    auto* model = static_cast<SearchResultModel*>(find->lstResults->model());
    find->txtFind->clear();
    QCoreApplication::processEvents();
    double total = 0;
    for (const QChar letter : target.query) {
        bool reset = false;
        const QMetaObject::Connection watch =
            QObject::connect(model, &SearchResultModel::shown, [&reset] { reset = true; });
        const double ms = untilPainted(
            find, [&] { QTest::keyClick(find->txtFind, letter.toLatin1()); }, [&] { return reset; });
        QObject::disconnect(watch);
        if (qEnvironmentVariableIsSet("BENCH_TRACE"))
            std::fprintf(stderr, "key %s %.1f ms\n", qPrintable(QString(letter)), ms);
        if (ms < 0)
            return trial;
        total += ms;
        ++trial.keys;
    }
    // Down to the record's row, as the user would if it is not the first.
    for (int row = 0; row < 50; ++row) {
        const QModelIndex current = find->lstResults->currentIndex();
        if (!current.isValid())
            return trial;
        const SearchHit hit = model->hit(current.row());
        if (hit.key == target.key && hit.table == tableOf(target.section).name)
            break;
        const int before = current.row();
        const double ms = untilPainted(
            find, [&] { QTest::keyClick(find->txtFind, Qt::Key_Down); },
            [&] { return find->lstResults->currentIndex().row() != before; });
        if (ms < 0)
            return trial;
        total += ms;
        ++trial.keys;
    }
    DataBinder& binder = main->binder(target.section);
    const double shown = untilPainted(
        main, [&] { QTest::keyClick(find->txtFind, Qt::Key_Return); }, [&] { return binder.Bookmark() == target.key; });
    if (qEnvironmentVariableIsSet("BENCH_TRACE"))
        std::fprintf(stderr, "return %.1f ms\n", shown);
    if (shown < 0)
        return trial;
    trial.totalMs = total + shown;
    ++trial.keys;
    return trial;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

void BM_FindAndOpen(benchmark::State& state) {
    const qint64 records = state.range(0);
    const QString dir = benchProgramDirectory(g_cache, records, 0);
    FakeContext fake(dir);
    MainWindow* main = fake.windows.show<MainWindow>(fake.context);
    if (!main || !QTest::qWaitForWindowExposed(main))
        return state.SkipWithError("the main window was never shown");
    QTest::keyClick(main, Qt::Key_F, Qt::ControlModifier);
    auto* find = fake.windows.find<FindWindow>();
    if (!find || !QTest::qWaitForWindowExposed(find))
        return state.SkipWithError("Ctrl+F did not open the Find window");
    SQLite::Database db(QDir(dir).filePath(Schema::RecordDatabaseFile).toStdString(), SQLite::OPEN_READONLY);
    QRandomGenerator random(20261207);
    std::vector<Target> targets;
    for (const Section section : AllSections) {
        for (int i = 0; i < RecordsPerSection; ++i) {
            const Target target = drawTarget(db, section, random);
            if (!target.query.isEmpty())
                targets.push_back(target);
        }
    }
    std::vector<double> totals;
    int keys = 0;
    for (auto _ : state) {
        for (const Target& target : targets) {
            find->activateWindow();
            const Trial trial = findAndOpen(main, find, target);
            if (trial.totalMs < 0)
                return state.SkipWithError(
                    qPrintable(QStringLiteral("%1 did not open record %2").arg(target.query).arg(target.key)));
            totals.push_back(trial.totalMs);
            keys += trial.keys;
        }
        state.SetIterationTime(median(totals) / 1000);
    }
    state.counters["records_opened"] = double(totals.size());
    state.counters["slowest_ms"] = *std::max_element(totals.begin(), totals.end());
    state.counters["keys_per_record"] = totals.empty() ? 0 : double(keys) / double(totals.size());
    find->close();
    main->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

BENCHMARK(BM_FindAndOpen)
    ->Name("find_open_record")
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, g_cache);
}
