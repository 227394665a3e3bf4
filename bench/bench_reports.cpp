// The section reports as the user meets them, at 1,000, 100,000 and 1,000,000
// records per table: the preview's first page, jumps to the last page and to
// page 40,000, counting every page, and a full PDF export, with the growth of
// the process's peak memory. Each figure comes with a baseline measured in the
// same run: bare SQLite reading the same rows.
//
//   bench_reports [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
#include "BenchDatabase.h"
#include "BenchMain.h"
#include "BenchMemory.h"
#include "Fakes.h"
#include "platform/Look.h"
#include "platform/Windows.h"
#include "reports/PrintPreviewWindow.h"
#include "reports/ReportPrintJob.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <benchmark/benchmark.h>

namespace {

QString g_cache;

const char* const Layout = "password.rpt"; // the widest report, on the table with the longest texts

double msSince(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

// A bare connection reading the report's fields, for the baselines.
struct Bare {
    explicit Bare(const QString& dir)
        : db(QDir(dir).filePath("password.mdb").toStdString(), SQLite::OPEN_READONLY),
          range(db, "SELECT _key, Account, Website, User, Password, Notes FROM account WHERE _key >= ? "
                    "ORDER BY _key LIMIT ?") {}
    SQLite::Database db;
    SQLite::Statement range;
    qint64 read(qint64 fromKey, int rows) {
        range.reset();
        range.bind(1, static_cast<int64_t>(fromKey));
        range.bind(2, rows);
        qint64 bytes = 0;
        while (range.executeStep())
            for (int c = 1; c <= 5; ++c)
                bytes += QString::fromUtf8(range.getColumn(c).getText()).size();
        return bytes;
    }
    double readMs(qint64 fromKey, int rows) {
        QElapsedTimer timer;
        timer.start();
        benchmark::DoNotOptimize(read(fromKey, rows));
        return msSince(timer);
    }
};

// The preview of the password report over a database of `records` records per table.
struct Preview {
    explicit Preview(qint64 records) : dir(benchProgramDirectory(g_cache, records, 0)), fake(dir) {
        engine.setReportFileName(QDir(dir).filePath(Layout));
    }
    ~Preview() { close(); }
    PrintPreviewWindow* open() {
        const QString name = PrintPreviewWindow::nameFor(Layout);
        window = static_cast<PrintPreviewWindow*>(
            fake.windows.show(name, [&] { return new PrintPreviewWindow(fake.context, name, engine); }));
        return window;
    }
    // Until the first page has been drawn and painted on the screen.
    bool waitFirstPage() {
        return QTest::qWaitFor([&] { return window->page->width() > 100; }, 60000) && paint();
    }
    bool waitCounted() {
        return QTest::qWaitFor([&] { return window->report()->complete(); }, 600000);
    }
    bool paint() {
        window->page->repaint();
        return true;
    }
    void close() {
        if (!window)
            return;
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window.clear();
    }
    QString dir;
    FakeContext fake;
    ReportEngine engine;
    QPointer<PrintPreviewWindow> window;
};

void setRatio(benchmark::State& state, double ms, double baselineMs, double targetMs) {
    state.counters["baseline_ms"] = baselineMs;
    state.counters["ratio"] = baselineMs > 0 ? ms / baselineMs : 0;
    if (targetMs > 0) {
        state.counters["target_ms"] = targetMs;
        state.counters["met"] = ms < targetMs ? 1 : 0;
    }
}

// Print clicked to the first page painted, in a fresh window each time.
void BM_PreviewFirstPage(benchmark::State& state) {
    Preview preview(state.range(0));
    Bare bare(preview.dir);
    std::vector<double> times, baselines;
    qint64 peakDelta = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 before = processStatusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        if (!preview.open() || !preview.waitFirstPage())
            return state.SkipWithError("the preview did not show its first page");
        const double ms = msSince(timer);
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
        const int rows = int(preview.window->report()->page(0).rows.size());
        baselines.push_back(bare.readMs(std::numeric_limits<qint64>::min(), rows));
        preview.waitCounted();
        peakDelta = std::max(peakDelta, processStatusKb("VmHWM:") - before);
        preview.close();
    }
    std::sort(times.begin(), times.end());
    std::sort(baselines.begin(), baselines.end());
    setRatio(state, times[times.size() / 2], baselines[baselines.size() / 2], 500);
    state.counters["peak_mb_delta"] = peakDelta / 1024.0; // preview open, every page counted
    state.counters["memory_target_mb"] = 64;
}

// Opened to every page counted, in the background while the first page shows.
void BM_CountAllPages(benchmark::State& state) {
    Preview preview(state.range(0));
    Bare bare(preview.dir);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        preview.open();
        if (!preview.waitCounted())
            return state.SkipWithError("counting did not finish");
        const double ms = msSince(timer);
        state.SetIterationTime(ms / 1000);
        state.counters["pages"] = preview.window->report()->knownPages();
        setRatio(state, ms, bare.readMs(std::numeric_limits<qint64>::min(), int(state.range(0))), 0);
        preview.close();
    }
}

// A jump from the first page to the given one (0: the last), drawn and painted.
void jump(benchmark::State& state, int pageFrom1) {
    Preview preview(state.range(0));
    Bare bare(preview.dir);
    preview.open();
    if (!preview.waitFirstPage() || !preview.waitCounted())
        return state.SkipWithError("the preview did not open");
    Report& report = *preview.window->report();
    const int pages = report.knownPages();
    const int target = pageFrom1 == 0 ? pages - 1 : std::min(pageFrom1, pages) - 1;
    const PageContent content = report.page(target);
    std::vector<double> times, baselines;
    for (auto _ : state) {
        preview.window->goToPage(0);
        preview.paint();
        QElapsedTimer timer;
        timer.start();
        preview.window->goToPage(target);
        preview.paint();
        const double ms = msSince(timer);
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
        baselines.push_back(bare.readMs(content.rows.front().key, int(content.rows.size())));
    }
    std::sort(times.begin(), times.end());
    std::sort(baselines.begin(), baselines.end());
    setRatio(state, times[times.size() / 2], baselines[baselines.size() / 2], 100);
    state.counters["page"] = target + 1;
    state.counters["pages"] = pages;
}

void BM_PreviewJumpToLastPage(benchmark::State& state) {
    jump(state, 0);
}

void BM_PreviewJumpToPage40000(benchmark::State& state) {
    jump(state, 40000);
}

// Export clicked to the file complete, every page counted first; with the peak memory of it all.
void BM_PdfExport(benchmark::State& state) {
    Preview preview(state.range(0));
    Bare bare(preview.dir);
    QTemporaryDir out;
    preview.fake.fileDialogs.answer = out.filePath("report.pdf");
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 before = processStatusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        preview.open();
        preview.window->exportPdf();
        if (!QTest::qWaitFor([&] { return !preview.window->job(); }, 3600 * 1000) ||
            !QFile::exists(out.filePath("report.pdf")))
            return state.SkipWithError("the export did not finish");
        const double ms = msSince(timer);
        state.SetIterationTime(ms / 1000);
        state.counters["peak_mb_delta"] = (processStatusKb("VmHWM:") - before) / 1024.0;
        state.counters["memory_target_mb"] = 64;
        state.counters["pages"] = preview.window->report()->knownPages();
        state.counters["pdf_mb"] = QFileInfo(out.filePath("report.pdf")).size() / 1048576.0;
        setRatio(state, ms, bare.readMs(std::numeric_limits<qint64>::min(), int(state.range(0))), 0);
        preview.close();
        QFile::remove(out.filePath("report.pdf"));
    }
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_PreviewFirstPage)->Apply(sizes)->Iterations(5);
BENCHMARK(BM_CountAllPages)->Apply(sizes)->Iterations(1);
BENCHMARK(BM_PreviewJumpToLastPage)->Apply(sizes)->Iterations(15);
BENCHMARK(BM_PreviewJumpToPage40000)->Apply(sizes)->Iterations(15);
BENCHMARK(BM_PdfExport)->Apply(sizes)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyProgramLook(app);
    return runBenchmarks(argc, argv, g_cache);
}
