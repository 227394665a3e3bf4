// Merging a conflict copy: a copy of a database of 1,000 and 100,000 records per
// table in which another computer changed 1,000 records (updates, additions and
// deletions across the five tables) is merged into the live file, as the program
// does at start or when a copy appears. Baselines in the same run: bare SQLite
// reading every column of every record of the copy, and the check of the copy
// that the merge runs first. Also the look a window takes every second to
// notice a changed file, when nothing changed.
//
//   bench_merge [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
#include "BenchDatabase.h"
#include "BenchMain.h"
#include "store/DataBinder.h"
#include "store/MachineStamp.h"
#include "store/RecordDatabaseCheck.h"
#include "store/Schema.h"
#include "sync/Merge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <benchmark/benchmark.h>

namespace {

QString g_cache;
constexpr int Changed = 1000;

// The copy: the live file with 1,000 records changed on "another computer":
// per table 80 updated, 60 added, 60 deleted.
QString changedCopy(const QString& live, const QString& folder) {
    const QString copy = QDir(folder).filePath(QStringLiteral("password.sync-conflict-bench.mdb"));
    QFile::remove(copy);
    QFile::copy(live, copy);
    SQLite::Database db(copy.toStdString(), SQLite::OPEN_READWRITE);
    stampChangesWith(db, QStringLiteral("the-other-computer"), std::nullopt);
    db.exec("BEGIN");
    for (const Schema::Table* table : Schema::recordTables()) {
        const QString name = Schema::quoted(table->name);
        const QString first = Schema::quoted(table->fields.first());
        db.exec(QStringLiteral("UPDATE %1 SET %2 = coalesce(%2, '') || ' (changed)' WHERE _key IN "
                               "(SELECT _key FROM %1 ORDER BY _key LIMIT 80 OFFSET 10)")
                    .arg(name, first)
                    .toStdString());
        db.exec(QStringLiteral("DELETE FROM %1 WHERE _key IN (SELECT _key FROM %1 ORDER BY _key DESC LIMIT 60)")
                    .arg(name)
                    .toStdString());
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60) "
                               "INSERT INTO %1 (%2) SELECT 'added elsewhere ' || i FROM n")
                    .arg(name, first)
                    .toStdString());
    }
    db.exec("COMMIT");
    return copy;
}

// Bare SQLite reading every column of every record of the copy, from a cold connection.
double readCopyMs(const QString& copy) {
    QElapsedTimer timer;
    timer.start();
    SQLite::Database db(copy.toStdString(), SQLite::OPEN_READONLY);
    qint64 bytes = 0;
    for (const Schema::Table* table : Schema::recordTables()) {
        SQLite::Statement all(db, QStringLiteral("SELECT * FROM %1").arg(Schema::quoted(table->name)).toStdString());
        while (all.executeStep())
            for (int c = 0; c < all.getColumnCount(); ++c)
                bytes += all.getColumn(c).getBytes();
    }
    benchmark::DoNotOptimize(bytes);
    return timer.nsecsElapsed() / 1e6;
}

// The check the merge runs first, alone.
double checkMs(const QString& copy) {
    QElapsedTimer timer;
    timer.start();
    if (!checkRecordsReadable(copy, true).isEmpty()) // as for a copy beside the database
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

void BM_MergeConflictCopy(benchmark::State& state) {
    const QString program = benchProgramDirectory(g_cache, state.range(0), 0);
    QTemporaryDir scratch(QDir(g_cache).filePath(QStringLiteral("merge-XXXXXX")));
    const QString live = scratch.filePath(QStringLiteral("password.mdb"));
    QFile::copy(QDir(program).filePath(QStringLiteral("password.mdb")), live);
    const QString copy = changedCopy(live, scratch.path());
    const QString pristine = scratch.filePath(QStringLiteral("pristine.mdb"));
    QFile::copy(live, pristine);
    std::vector<double> times;
    qint64 changes = 0;
    for (auto _ : state) {
        QFile::remove(live);
        QFile::copy(pristine, live);
        QElapsedTimer timer;
        timer.start();
        const Merge::Outcome outcome = Merge::mergeCopy(live, copy);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (!outcome.merged)
            return state.SkipWithError(qPrintable(outcome.error));
        changes = outcome.changes();
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    const double read = readCopyMs(copy);
    const double check = checkMs(copy);
    const double median = times[times.size() / 2];
    state.counters["records_changed"] = double(changes);
    state.counters["copy_read_ms"] = read;
    state.counters["check_ms"] = check;
    state.counters["beyond_read_ms"] = median - read;
    state.counters["beyond_read_and_check_ms"] = median - read - check;
    state.counters["records_per_table"] = double(state.range(0));
}

// The bare read alone, as its own row for ratio targets.
void BM_MergeFloorReadCopy(benchmark::State& state) {
    const QString program = benchProgramDirectory(g_cache, state.range(0), 0);
    for (auto _ : state)
        state.SetIterationTime(readCopyMs(QDir(program).filePath(QStringLiteral("password.mdb"))) / 1000);
}

// What a window's look costs when nothing changed: one stat and one pragma.
void BM_FollowFileUnchanged(benchmark::State& state) {
    const QString program = benchProgramDirectory(g_cache, state.range(0), 0);
    DataBinder binder;
    binder.setDatabaseName(QDir(program).filePath(QStringLiteral("password.mdb")));
    binder.setRecordSource(QStringLiteral("account"));
    binder.open();
    for (auto _ : state)
        benchmark::DoNotOptimize(binder.followFile());
}

BENCHMARK(BM_MergeConflictCopy)->Arg(1000)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeConflictCopy)->Arg(100000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeFloorReadCopy)->Arg(1000)->Arg(100000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FollowFileUnchanged)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv, g_cache);
}
