// What the user waits for, at 1,000, 100,000 and 1,000,000 records per table
// with 0%, 10% and 50% of them deleted: every action is timed until the windows
// it changes have been painted, on records picked by a random walk; whole-process
// start-up is timed against a minimal Qt program run in turn with it.
// Writes its figures as a Google Benchmark JSON file, like the bench_* programs.
//
//   quillmere_bench --sizes 1000,100000 --deleted 0,10,50 --cache DIR --out FILE.json [--prepare-only]
#include "BenchDatabase.h"
#include "BenchMemory.h"
#include "BenchResult.h"
#include "Fakes.h"
#include "ProcessFigures.h"
#include "app/MainWindow.h"
#include "editors/RecordEditor.h"
#include "platform/Look.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "store/DataBinder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr int Repeats = 15;
// The bare connections wait for a lock as the program's own do, instead of
// ending the run when a write of the windows is still being committed.
constexpr int BusyTimeoutMs = 5000;
QRandomGenerator walk(20261207); // the same walk in every run

// Counts paint events of a widget and its children.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* root) {
        root->installEventFilter(this);
        for (QWidget* child : root->findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Milliseconds from the action until the painting it caused is done; -1 when nothing was painted.
double untilPainted(QWidget* watched, const std::function<void()>& action) {
    PaintCounter counter(watched);
    QElapsedTimer timer;
    timer.start();
    action();
    while (counter.paints == 0 && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // What the same round of painting still had queued.
    QCoreApplication::processEvents();
    return counter.paints > 0 ? timer.nsecsElapsed() / 1e6 : -1;
}

double timesOf(int repeats, const std::function<double()>& once) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i)
        times.push_back(once());
    return median(times);
}

void measureActions(const QString& dir, const QString& suffix, std::vector<BenchResult>& out) {
    FakeContext fake(dir);
    MainWindow* main = nullptr;
    // The main window's load, until its first paint is done, with the memory it takes.
    double loadPeakMb = 0;
    const double loadMs = timesOf(5, [&] {
        delete main;
        main = nullptr;
        const PeakGrowth memory;
        QElapsedTimer timer;
        timer.start();
        main = new MainWindow(fake.context);
        main->load();
        main->show();
        if (!QTest::qWaitForWindowExposed(main))
            return -1.0;
        QCoreApplication::processEvents();
        const double ms = timer.nsecsElapsed() / 1e6;
        loadPeakMb = std::max(loadPeakMb, memory.mb());
        return ms;
    });
    out.push_back({"load/" + suffix, loadMs, 5, {{"peak_mb_delta", loadPeakMb}}});
    delete main;
    main = fake.windows.show<MainWindow>(fake.context);
    if (!QTest::qWaitForWindowExposed(main))
        std::fprintf(stderr, "the main window was never shown\n");
    const auto section = [&](const char* button) {
        main->findChild<QPushButton*>(button)->click();
        QCoreApplication::processEvents();
    };

    section("cmdPasswords");
    QTableView* grid = main->PicPassword->DBGrid1;
    QScrollBar* gridBar = main->findChild<QScrollBar*>("DBGrid1ScrollBar");
    out.push_back({"pick_row/" + suffix,
                   timesOf(Repeats,
                           [&] {
                               gridBar->setValue(int(walk.bounded(gridBar->maximum() + 1)));
                               QCoreApplication::processEvents();
                               const int row = int(walk.bounded(std::max(1, grid->model()->rowCount() - 1)));
                               const QRect place = grid->visualRect(grid->model()->index(row, 0));
                               return untilPainted(main, [&] {
                                   QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, place.center());
                               });
                           }),
                   Repeats});
    out.push_back({"delete/" + suffix,
                   timesOf(Repeats,
                           [&] {
                               main->DatPassword->setBookmark(
                                   main->DatPassword->keyAt(walk.bounded(main->DatPassword->RecordCount())));
                               QCoreApplication::processEvents();
                               fake.prompter.answers = {true};
                               return untilPainted(main, [&] { main->findChild<QPushButton*>("cmdDelete")->click(); });
                           }),
                   Repeats});
    out.push_back({"save_new/" + suffix,
                   timesOf(Repeats,
                           [&] {
                               main->findChild<QPushButton*>("cmdNew")->click();
                               QCoreApplication::processEvents();
                               auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddpassword"));
                               if (!editor)
                                   return -1.0;
                               qobject_cast<QLineEdit*>(editor->box("Text1"))->setText("Bench account Ünïcode");
                               return untilPainted(main, [&] { editor->cmdSave->click(); });
                           }),
                   Repeats});

    section("cmdPersonal");
    main->DatPersonal->setBookmark(main->DatPersonal->keyAt(walk.bounded(main->DatPersonal->RecordCount())));
    out.push_back({"next_back/" + suffix,
                   timesOf(Repeats,
                           [&] {
                               const char* button = walk.bounded(2) ? "cmdNext" : "cmdBack";
                               return untilPainted(main, [&] { main->findChild<QPushButton*>(button)->click(); });
                           }),
                   Repeats});

    section("cmdNotes");
    QListView* list = main->PicNotes->DBList1;
    QScrollBar* listBar = main->findChild<QScrollBar*>("DBList1ScrollBar");
    out.push_back({"pick_note/" + suffix,
                   timesOf(Repeats,
                           [&] {
                               listBar->setValue(int(walk.bounded(listBar->maximum() + 1)));
                               QCoreApplication::processEvents();
                               const int row = int(walk.bounded(std::max(1, list->model()->rowCount() - 1)));
                               const QRect place = list->visualRect(list->model()->index(row, 0));
                               return untilPainted(main, [&] {
                                   QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
                               });
                           }),
                   Repeats});
    delete main;

    // The floor of a record pick: its row read by a bare SQLite statement.
    SQLite::Database db(QDir(dir).filePath("password.mdb").toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
    const qint64 last = db.execAndGet("SELECT max(_key) FROM account").getInt64();
    out.push_back({"floor_read_row/" + suffix,
                   timesOf(Repeats,
                           [&] {
                               QElapsedTimer timer;
                               timer.start();
                               SQLite::Statement q(db, "SELECT * FROM account WHERE _key >= ? LIMIT 1");
                               q.bind(1, static_cast<int64_t>(1 + walk.bounded(last)));
                               if (q.executeStep())
                                   for (int c = 0; c < q.getColumnCount(); ++c)
                                       (void)q.getColumn(c).getString();
                               return timer.nsecsElapsed() / 1e6;
                           }),
                   Repeats});

    // The floor of a save or a delete: one record rewritten by a bare SQLite
    // statement, its search index with it, committed as the program commits
    // (rollback journal, synchronous=EXTRA); the same with FULL, which leaves the
    // journal's deletion unflushed (what a durable commit costs over it); and
    // without waiting for the disk at all.
    for (const char* sync : {"EXTRA", "FULL", "OFF"}) {
        SQLite::Database writer(QDir(dir).filePath("password.mdb").toStdString(), SQLite::OPEN_READWRITE,
                                BusyTimeoutMs);
        writer.exec(std::string("PRAGMA synchronous=") + sync);
        const QString name = QString::fromLatin1(!std::strcmp(sync, "EXTRA")  ? "floor_write_durable/"
                                                 : !std::strcmp(sync, "FULL") ? "floor_write_full/"
                                                                              : "floor_write_unflushed/");
        out.push_back({name + suffix,
                       timesOf(Repeats,
                               [&] {
                                   QElapsedTimer timer;
                                   timer.start();
                                   SQLite::Statement q(writer, "UPDATE account SET Notes = Notes WHERE _key = "
                                                               "(SELECT _key FROM account WHERE _key >= ? LIMIT 1)");
                                   q.bind(1, static_cast<int64_t>(1 + walk.bounded(last)));
                                   q.exec();
                                   return timer.nsecsElapsed() / 1e6;
                               }),
                       Repeats});
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    applyProgramLook(app);
    QList<qint64> sizes{1000, 100000, 1000000};
    QList<int> deleted{0, 10, 50};
    QString cache = QDir::current().filePath("bench-data");
    QString outFile = "quillmere_bench.json";
    const QStringList args = QApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(','))
                sizes << s.toLongLong();
        } else if (args[i] == "--deleted") {
            deleted.clear();
            for (const QString& s : args[i + 1].split(','))
                deleted << s.toInt();
        } else if (args[i] == "--cache") {
            cache = args[i + 1];
        } else if (args[i] == "--out") {
            outFile = args[i + 1];
        }
    }
    if (args.contains(QStringLiteral("--prepare-only"))) {
        // Makes the data sets only, so the long work can run ahead of the measurements.
        for (qint64 size : sizes)
            for (int percent : deleted) {
                std::fprintf(stderr, "preparing %lld records, %d%% deleted...\n", size, percent);
                benchProgramDirectory(cache, size, percent);
            }
        return 0;
    }
    std::vector<BenchResult> results;
    std::fprintf(stderr, "whole-process start-up...\n");
    measureLaunch(results);
    for (qint64 size : sizes) {
        for (int percent : deleted) {
            std::fprintf(stderr, "preparing %lld records, %d%% deleted...\n", size, percent);
            const QString dir = benchProgramDirectory(cache, size, percent);
            std::fprintf(stderr, "measuring...\n");
            const QString suffix = QStringLiteral("%1/del%2").arg(size).arg(percent);
            measureActions(dir, suffix, results);
            std::fprintf(stderr, "sign-in as a whole process...\n");
            measureSignIn(dir, suffix, results);
        }
    }
    QJsonArray benchmarks;
    for (const BenchResult& r : results) {
        QJsonObject entry{
            {"name", r.name},   {"run_type", "iteration"}, {"iterations", r.iterations}, {"real_time", r.ms},
            {"cpu_time", r.ms}, {"time_unit", "ms"},       {"aggregate_name", "median"}};
        for (auto counter = r.counters.begin(); counter != r.counters.end(); ++counter)
            entry.insert(counter.key(), counter.value());
        benchmarks.append(entry);
    }
    const QJsonObject context{{"executable", "quillmere_bench"},
                              {"platform", QGuiApplication::platformName()},
                              {"note", "medians; each GUI action until its painting is done"}};
    QFile file(outFile);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QJsonDocument(QJsonObject{{"context", context}, {"benchmarks", benchmarks}}).toJson());
    return 0;
}
