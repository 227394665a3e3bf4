// The start-up migration of a file made before the search index: a copy of an
// old file of 1,000 and 100,000 records per table is migrated as the program
// does it at start, with the peak memory it takes and the size the index adds.
// The baseline, in the same run, is bare SQLite reading every text the index
// takes in. At 1,000,000 records the figure is the migration that made the
// cached data set (too long to repeat in every run), reported as such.
//
//   bench_migration [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
#include "BenchDatabase.h"
#include "BenchMain.h"
#include "BenchMemory.h"
#include "store/Migration.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <benchmark/benchmark.h>

namespace {

QString g_cache;

// Bare SQLite reading every field the search index takes in, from a cold connection.
double readAllTextMs(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    const char* const reads[] = {
        "SELECT Account, Website, User, Notes FROM account",
        "SELECT \"Type Card\", Month, Year, \"Bank Name\", Address, \"Bank City\", \"Bank State\", \"Zip Code\", "
        "Phone, Website FROM \"Credit Card\"",
        "SELECT \"Full Name\", Address, Address1, City, State, Zip, Email FROM Personal",
        "SELECT Title, Note FROM Notes",
        "SELECT Date, Reminder FROM Reminder",
    };
    qint64 bytes = 0;
    for (const char* read : reads) {
        SQLite::Statement all(db, read);
        while (all.executeStep())
            for (int c = 0; c < all.getColumnCount(); ++c)
                bytes += all.getColumn(c).getBytes();
    }
    benchmark::DoNotOptimize(bytes);
    return timer.nsecsElapsed() / 1e6;
}

void BM_Migration(benchmark::State& state) {
    const QString old = benchOldDatabase(g_cache, state.range(0));
    QTemporaryDir scratch(QDir(g_cache).filePath(QStringLiteral("migration-XXXXXX")));
    const QString path = scratch.filePath(QStringLiteral("password.mdb"));
    std::vector<double> times;
    double peakMb = 0;
    double indexShare = 0;
    for (auto _ : state) {
        QFile::remove(path);
        if (!QFile::copy(old, path))
            return state.SkipWithError("the old file could not be copied");
        const qint64 before = QFileInfo(path).size();
        const PeakGrowth memory;
        Migration::Progress progress;
        QElapsedTimer timer;
        timer.start();
        const Migration::Outcome outcome = Migration::migrate(path, &progress);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (!outcome.migrated)
            return state.SkipWithError(qPrintable(outcome.error));
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
        peakMb = std::max(peakMb, memory.mb());
        indexShare = double(QFileInfo(path).size() - before) / double(before);
        if (progress.done != progress.total)
            return state.SkipWithError("the progress did not reach its end");
    }
    std::sort(times.begin(), times.end());
    const double baseline = readAllTextMs(old);
    state.counters["baseline_read_ms"] = baseline;
    state.counters["ratio"] = times[times.size() / 2] / baseline;
    state.counters["peak_mb_delta"] = peakMb;
    state.counters["index_to_data"] = indexShare;
    state.counters["records_per_table"] = double(state.range(0));
}

// The migration that made the cached data set of that size, when one was made.
void BM_MigrationWhenDataSetWasMade(benchmark::State& state) {
    const double ms = benchRecordedMigrationMs(g_cache, state.range(0));
    if (ms < 0)
        return state.SkipWithError("no data set of this size in the cache");
    for (auto _ : state)
        state.SetIterationTime(ms / 1000);
    state.counters["records_per_table"] = double(state.range(0));
}

// The check every start makes of a file of the newest version: its header, its
// layout, and each search index's count of records against its table's, from a
// cold connection (the file's pages cached by the system, as at a start soon
// after the last one). Beside it, what a count of one table's records costs.
void BM_StartCheck(benchmark::State& state) {
    const QString path =
        QDir(benchProgramDirectory(g_cache, state.range(0), 0)).filePath(QStringLiteral("password.mdb"));
    for (auto _ : state) {
        if (Migration::stateOf(path) != Migration::State::Current)
            return state.SkipWithError("the data set's file is not whole");
    }
    QElapsedTimer timer;
    timer.start();
    {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
        benchmark::DoNotOptimize(db.execAndGet("SELECT count(*) FROM Notes").getInt64());
    }
    state.counters["count_one_table_ms"] = timer.nsecsElapsed() / 1e6;
    state.counters["records_per_table"] = double(state.range(0));
}

BENCHMARK(BM_StartCheck)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Migration)->Arg(1000)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Migration)->Arg(100000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MigrationWhenDataSetWasMade)->Arg(1000000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv, g_cache);
}
