// Import and export at scale, each beside a floor measured in the same run:
// importing 100,000 logins (CSV and Bitwarden JSON) beside bare SQLite inserts
// of the same rows (their search index kept row by row, and filled at the end), and exporting 1,000,000 records per
// table beside SQLite's own CSV output (the sqlite3 shell) of the same rows. Peak memory is the growth of the process's
// resident set during one run, so that files of different sizes can be compared.
//
//     ./bench/bench_exchange --benchmark_format=json
// QUILLMERE_BENCH_CACHE (default ./bench-data) holds the large databases;
// QUILLMERE_EXPORT_RECORDS (default 1000000) sets the records per table of the
// export; bench/run.sh sets it to the largest size of its run.
#include "BenchDatabase.h"
#include "EmptyDatabase.h"
#include "exchange/Exporter.h"
#include "exchange/Importer.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <benchmark/benchmark.h>
#include <fstream>

namespace {

// Peak resident memory since the last reset, in KiB; the reset makes the
// kernel start counting the peak again from the current size.
qint64 statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == key) {
            qint64 value = 0;
            status >> value;
            return value;
        }
    }
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A login of realistic lengths: the same words every run.
struct Login {
    QString name, url, user, password, note;
};
Login login(int i) {
    const QString n = QString::number(i);
    return {QStringLiteral("Account %1 at the example shop").arg(n),
            QStringLiteral("https://www.example%1.com/login").arg(n), QStringLiteral("user%1@example.com").arg(n),
            QStringLiteral("pw-%1-Xk9!q,\"z").arg(n),
            i % 3 ? QString() : QStringLiteral("Security question: first pet\nAnswer: Rex the %1, of course").arg(n)};
}

QString csvField(QString text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString jsonString(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + text.replace(QLatin1Char('\n'), QStringLiteral("\\n")) + QLatin1Char('"');
}

struct Files {
    QTemporaryDir dir;
    QString emptyDatabase;
    QString csv(int logins);
    QString json(int logins);
};

Files& files() {
    static Files f;
    if (f.emptyDatabase.isEmpty())
        f.emptyDatabase = emptyDeliveredDatabase(f.dir);
    return f;
}

QString Files::csv(int logins) {
    const QString path = dir.filePath(QStringLiteral("logins-%1.csv").arg(logins));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("name,url,username,password,note\r\n");
    for (int i = 0; i < logins; ++i) {
        const Login l = login(i);
        file.write(
            (QStringList{csvField(l.name), csvField(l.url), csvField(l.user), csvField(l.password), csvField(l.note)}
                 .join(QLatin1Char(',')) +
             QStringLiteral("\r\n"))
                .toUtf8());
    }
    return path;
}

QString Files::json(int logins) {
    const QString path = dir.filePath(QStringLiteral("logins-%1.json").arg(logins));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("{\"encrypted\": false, \"folders\": [], \"items\": [\n");
    for (int i = 0; i < logins; ++i) {
        const Login l = login(i);
        file.write(QStringLiteral("%1{\"type\": 1, \"name\": %2, \"notes\": %3, \"favorite\": false, \"login\": "
                                  "{\"uris\": [{\"match\": null, \"uri\": %4}], \"username\": %5, \"password\": %6, "
                                  "\"totp\": null}}\n")
                       .arg(i ? QStringLiteral(",") : QString(), jsonString(l.name),
                            l.note.isEmpty() ? QStringLiteral("null") : jsonString(l.note), jsonString(l.url),
                            jsonString(l.user), jsonString(l.password))
                       .toUtf8());
    }
    file.write("]}\n");
    return path;
}

QString freshDatabase(const QString& name) {
    const QString path = files().dir.filePath(name);
    QFile::remove(path);
    QFile::copy(files().emptyDatabase, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

void importFile(benchmark::State& state, const QString& path) {
    qint64 peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString database = freshDatabase(QStringLiteral("import.mdb"));
        resetPeak();
        const qint64 before = statusKiB("VmRSS:");
        state.ResumeTiming();
        const Importer::Result result = Importer(database).run(path);
        benchmark::DoNotOptimize(result);
        peak = std::max(peak, statusKiB("VmHWM:") - before);
    }
    state.counters["peak_growth_MiB"] = double(peak) / 1024.0;
    state.counters["file_MiB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
}

void BM_ImportCsv(benchmark::State& state) {
    importFile(state, files().csv(int(state.range(0))));
}

void BM_ImportJson(benchmark::State& state) {
    importFile(state, files().json(int(state.range(0))));
}

// The floors: the same rows inserted by a prepared statement in one
// transaction, the search index kept by its trigger row by row (as imports
// once did), or filled from the new rows in one statement at the end (as
// imports do now), with the program's durable commit.
void importFloor(benchmark::State& state, bool indexAtTheEnd) {
    const int logins = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const QString database = freshDatabase(QStringLiteral("floor.mdb"));
        state.ResumeTiming();
        SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE);
        db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=EXTRA;");
        SQLite::Transaction transaction(db);
        std::string trigger;
        if (indexAtTheEnd) {
            trigger = db.execAndGet("SELECT sql FROM sqlite_master WHERE name = 'account search added'").getString();
            db.exec("DROP TRIGGER \"account search added\"");
            db.exec("INSERT INTO \"account search\" (\"account search\", rank) VALUES ('hashsize', 16777216)");
        }
        SQLite::Statement insert(db,
                                 "INSERT INTO account (Account, Website, User, Password, Notes) VALUES (?,?,?,?,?)");
        for (int i = 0; i < logins; ++i) {
            const Login l = login(i);
            insert.reset();
            insert.bind(1, l.name.toStdString());
            insert.bind(2, l.url.toStdString());
            insert.bind(3, l.user.toStdString());
            insert.bind(4, l.password.toStdString());
            insert.bind(5, l.note.toStdString());
            insert.exec();
        }
        if (indexAtTheEnd) {
            db.exec("INSERT INTO \"account search\" (rowid, Account, Website, User, Notes) "
                    "SELECT _key, Account, Website, User, Notes FROM account");
            db.exec("INSERT INTO \"account search\" (\"account search\", rank) VALUES ('hashsize', 1048576)");
            db.exec(trigger);
        }
        transaction.commit();
    }
}

void BM_ImportFloorSqliteIndexByRow(benchmark::State& state) {
    importFloor(state, false);
}

void BM_ImportFloorSqliteIndexAtEnd(benchmark::State& state) {
    importFloor(state, true);
}

// The records per table of the export benchmarks: bench/run.sh passes the
// largest size of its run.
int exportRecords() {
    const int records = qEnvironmentVariableIntValue("QUILLMERE_EXPORT_RECORDS");
    return records > 0 ? records : 1000000;
}

QString exportDatabase(qint64 records) {
    const QString cache = qEnvironmentVariable("QUILLMERE_BENCH_CACHE", QDir::current().filePath("bench-data"));
    return QDir(benchProgramDirectory(cache, records, 0)).filePath("password.mdb");
}

void exportWith(benchmark::State& state, bool json) {
    const QString database = exportDatabase(state.range(0));
    qint64 peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir out(files().dir.filePath("export-XXXXXX"));
        resetPeak();
        const qint64 before = statusKiB("VmRSS:");
        state.ResumeTiming();
        const SectionCounts counts =
            json ? Exporter(database).writeJson(out.filePath("vault.json")) : Exporter(database).writeCsv(out.path());
        benchmark::DoNotOptimize(counts);
        peak = std::max(peak, statusKiB("VmHWM:") - before);
        state.PauseTiming();
        out.remove();
        state.ResumeTiming();
    }
    state.counters["peak_growth_MiB"] = double(peak) / 1024.0;
}

void BM_ExportJson(benchmark::State& state) {
    exportWith(state, true);
}

void BM_ExportCsv(benchmark::State& state) {
    exportWith(state, false);
}

// The floor: the sqlite3 shell writes each table's rows as CSV.
void BM_ExportFloorSqliteShell(benchmark::State& state) {
    const QString database = exportDatabase(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir out(files().dir.filePath("floor-XXXXXX"));
        state.ResumeTiming();
        for (const Schema::Table* table : Schema::recordTables()) {
            QStringList fields;
            for (const QString& field : table->fields)
                fields << Schema::quoted(field);
            QProcess shell;
            shell.setStandardOutputFile(out.filePath(table->name + ".csv"));
            shell.start(QStringLiteral("sqlite3"),
                        {QStringLiteral("-readonly"), QStringLiteral("-csv"), QStringLiteral("-header"), database,
                         QStringLiteral("SELECT %1 FROM %2 ORDER BY _key")
                             .arg(fields.join(QLatin1Char(',')), Schema::quoted(table->name))});
            shell.waitForFinished(-1);
            if (shell.exitCode() != 0)
                state.SkipWithError("sqlite3 failed");
        }
        state.PauseTiming();
        out.remove();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_ImportCsv)->Arg(10000)->Arg(100000)->Arg(300000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportJson)->Arg(10000)->Arg(100000)->Arg(300000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportFloorSqliteIndexByRow)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportFloorSqliteIndexAtEnd)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Named with their records per table, so a run's figures say what they measured.
    for (const auto& [name, function] :
         {std::pair{"BM_ExportFloorSqliteShell", &BM_ExportFloorSqliteShell}, std::pair{"BM_ExportCsv", &BM_ExportCsv},
          std::pair{"BM_ExportJson", &BM_ExportJson}})
        benchmark::RegisterBenchmark(name, function)
            ->Arg(exportRecords())
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(2);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
