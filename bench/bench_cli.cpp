// The command-line program as scripts run it, whole processes from start to
// exit: show of one record by name and by id (seven logins spread over the table), and ls of a section, in text and
// JSON, at 1,000, 100,000 and 1,000,000 records per table. Beside them, in the
// same run, the sqlite3 shell doing the same work: printing the same columns of
// every record, and reading one record by its key. Each figure is the median of
// seven runs with the output thrown away; peak_rss_mb is the process's own peak
// resident memory (the kernel's count at its exit, taken by run_measured).
//
//   bench_cli [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
#include "BenchDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

QString g_cache;
constexpr int Runs = 7;

struct ProcessRun {
    double ms = -1;
    double peakRssMb = 0;
    int exitCode = -1;
};

// Runs the command through run_measured, with the file as its standard input.
ProcessRun runProcess(const QStringList& arguments, const QString& input) {
    QProcess process;
    process.setStandardInputFile(input);
    process.start(QStringLiteral(RUN_MEASURED), arguments);
    ProcessRun run;
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return run;
    const QList<QByteArray> figures = process.readAllStandardOutput().trimmed().split(' ');
    if (figures.size() == 3) {
        run.exitCode = figures.at(0).toInt();
        run.ms = figures.at(1).toDouble();
        run.peakRssMb = figures.at(2).toDouble() / 1024;
    }
    return run;
}

// Runs each command line once after a warm-up, Runs runs in all (the lines in
// turn), and reports the median time and the largest peak.
void measure(benchmark::State& state, const QList<QStringList>& commands, const QString& input) {
    for (auto _ : state) {
        runProcess(commands.first(), input); // the files in the page cache, as for a script run again
        std::vector<double> times;
        double peak = 0;
        for (int i = 0; i < Runs; ++i) {
            const QStringList& arguments = commands.at(i % commands.size());
            const ProcessRun run = runProcess(arguments, input);
            if (run.exitCode != 0)
                return state.SkipWithError(qPrintable(
                    QStringLiteral("%1 ended with %2").arg(arguments.join(QLatin1Char(' '))).arg(run.exitCode)));
            times.push_back(run.ms);
            peak = std::max(peak, run.peakRssMb);
        }
        std::sort(times.begin(), times.end());
        state.SetIterationTime(times[times.size() / 2] / 1000);
        state.counters["peak_rss_mb"] = peak;
        state.counters["fastest_ms"] = times.front();
    }
    state.counters["records_per_table"] = double(state.range(0));
}

// The data set of that size and the program's sign-in password as its input.
struct DataSet {
    QString folder;
    QString database;
    QString password; // a file holding the sign-in password
};

DataSet dataSet(qint64 records) {
    static QTemporaryFile password;
    if (!password.isOpen() && password.open()) {
        password.write("wren\n");
        password.flush();
    }
    const QString folder = benchProgramDirectory(g_cache, records, 0);
    return {folder, QDir(folder).filePath(QStringLiteral("password.mdb")), password.fileName()};
}

QStringList cli(const DataSet& data, const QStringList& command) {
    return QStringList{QStringLiteral(CLI_BINARY), QStringLiteral("--folder"), data.folder,
                       QStringLiteral("--password-stdin")} +
           command;
}

// Logins spread over the table, each with a name of 12 or more characters that
// no other login bears (as its name, website or user name, which show takes too): what a user types to pick one record.
// One for each run, at keys that are not round numbers (a round key would favour names of one digit).
QList<std::pair<qint64, QString>> spreadLogins(const DataSet& data, qint64 records) {
    SQLite::Database db(data.database.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement pick(db, "SELECT _key, Account FROM account a WHERE _key >= ? AND length(Account) >= 12 AND "
                               "(SELECT count(*) FROM account b WHERE a.Account IN (b.Account, b.Website, b.User)) = 1 "
                               "ORDER BY _key LIMIT 1");
    QList<std::pair<qint64, QString>> logins;
    for (int i = 1; i <= Runs; ++i) {
        pick.reset();
        pick.bind(1, static_cast<int64_t>(records * i / (Runs + 1) + 7));
        if (pick.executeStep())
            logins.append({pick.getColumn(0).getInt64(), QString::fromStdString(pick.getColumn(1).getString())});
    }
    return logins;
}

void BM_ShowName(benchmark::State& state) {
    const DataSet data = dataSet(state.range(0));
    QList<QStringList> commands;
    for (const auto& [id, name] : spreadLogins(data, state.range(0)))
        commands << cli(data, {QStringLiteral("show"), QStringLiteral("passwords"), name});
    measure(state, commands, data.password);
}

void BM_ShowId(benchmark::State& state) {
    const DataSet data = dataSet(state.range(0));
    QList<QStringList> commands;
    for (const auto& [id, name] : spreadLogins(data, state.range(0)))
        commands << cli(data, {QStringLiteral("show"), QStringLiteral("passwords"), QString::number(id)});
    measure(state, commands, data.password);
}

// The floor of show: the sqlite3 shell printing the same records, found by their key.
void BM_ShowFloor(benchmark::State& state) {
    const DataSet data = dataSet(state.range(0));
    QList<QStringList> commands;
    for (const auto& [id, name] : spreadLogins(data, state.range(0)))
        commands << QStringList{QStringLiteral("sqlite3"), QStringLiteral("-readonly"), data.database,
                                QStringLiteral("SELECT * FROM account WHERE _key = %1").arg(id)};
    measure(state, commands, data.password);
}

void BM_List(benchmark::State& state) {
    const DataSet data = dataSet(state.range(0));
    measure(state, {cli(data, {QStringLiteral("ls"), QStringLiteral("passwords")})}, data.password);
}

void BM_ListJson(benchmark::State& state) {
    const DataSet data = dataSet(state.range(0));
    measure(state, {cli(data, {QStringLiteral("ls"), QStringLiteral("passwords"), QStringLiteral("--json")})},
            data.password);
}

// The floor of ls: the sqlite3 shell printing the same columns, tab-separated, in the same order.
void BM_ListFloor(benchmark::State& state) {
    const DataSet data = dataSet(state.range(0));
    const QStringList shell{QStringLiteral("sqlite3"),
                            QStringLiteral("-readonly"),
                            QStringLiteral("-separator"),
                            QStringLiteral("\t"),
                            data.database,
                            QStringLiteral("SELECT _key, Account, Website, User FROM account ORDER BY _key")};
    measure(state, {shell}, data.password);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ShowName)->Name("cli_show_name")->Apply(sizes);
BENCHMARK(BM_ShowId)->Name("cli_show_id")->Apply(sizes);
BENCHMARK(BM_ShowFloor)->Name("cli_show_floor_sqlite3")->Apply(sizes);
BENCHMARK(BM_List)->Name("cli_ls")->Apply(sizes);
BENCHMARK(BM_ListJson)->Name("cli_ls_json")->Apply(sizes);
BENCHMARK(BM_ListFloor)->Name("cli_ls_floor_sqlite3")->Apply(sizes);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    g_cache = qEnvironmentVariable("QUILLMERE_BENCH_CACHE", QDir::current().filePath(QStringLiteral("bench-data")));
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--cache" && i + 1 < argc)
            g_cache = QString::fromLocal8Bit(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    QDir().mkpath(g_cache);
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
