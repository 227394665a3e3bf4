// Speed and memory of the program's own code at 1,000, 100,000 and 1,000,000
// records per table, each figure beside a floor: the same data work done with
// bare SQLite statements (or bare Qt), measured in the same run.
//
//   ./bench/run.sh            all sizes, writes bench/RESULTS.md
//   quillmere_bench --sizes 1000,100000 --cache DIR
#include "BenchDatabase.h"
#include "Fakes.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "editors/RecordEditor.h"
#include "generator/PasswordGenerator.h"
#include "platform/Look.h"
#include "reports/ReportEngine.h"
#include "reports/ReportLayout.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "store/DataBinder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTextDocument>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

constexpr int Repeats = 15;

double millisecondsOf(const std::function<void()>& work, int repeats = Repeats) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2]; // the median
}

struct Figure {
    QString action;
    double ms = 0;
    double floorMs = 0;
};

std::string toStd(const QString& s) {
    return s.toStdString();
}

// A bare connection like the program's, for the floors.
struct Bare {
    explicit Bare(const QString& path) : db(toStd(path), SQLite::OPEN_READWRITE) {
        db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
    }
    SQLite::Database db;
    void readRow(const char* table, qint64 key) {
        SQLite::Statement q(db, std::string("SELECT * FROM \"") + table + "\" WHERE _key = ?");
        q.bind(1, static_cast<int64_t>(key));
        q.executeStep();
        for (int c = 0; c < q.getColumnCount(); ++c)
            (void)q.getColumn(c).getString();
    }
    qint64 lastKey(const char* table) {
        return db.execAndGet(std::string("SELECT max(_key) FROM \"") + table + "\"").getInt64();
    }
    void bounds(const char* table) {
        const std::string t = std::string("\"") + table + "\"";
        db.execAndGet("SELECT (SELECT min(_key) FROM " + t + "), (SELECT max(_key) FROM " + t + ")");
    }
};

void settle() {
    QApplication::processEvents();
}

std::vector<Figure> measureActions(const QString& dir, qint64 records) {
    std::vector<Figure> figures;
    const QString database = QDir(dir).filePath("password.mdb");
    Bare bare(database);

    FakeContext fake(dir);
    MainWindow* main = nullptr;
    // The main window's load: five binders open, the password grid shows its first screen.
    {
        Figure f{"Main window load (5 binders, first grid screen)"};
        f.ms = millisecondsOf(
            [&] {
                if (main)
                    delete main;
                main = new MainWindow(fake.context);
                main->load();
                main->show();
                main->PicPassword->show();
                main->PicPassword->DBGrid1->model()->index(20, 2).data();
                settle();
            },
            5);
        f.floorMs = millisecondsOf(
            [&] {
                for (const char* t : {"Credit Card", "Notes", "account", "Personal", "Reminder"}) {
                    Bare b(database);
                    b.bounds(t);
                    b.readRow(t, 1);
                }
                SQLite::Statement page(bare.db, "SELECT Account, User, Password FROM account WHERE _key >= 1 ORDER BY "
                                                "_key LIMIT 64");
                while (page.executeStep())
                    (void)page.getColumn(0).getString();
            },
            5);
        figures.push_back(f);
    }
    delete main;
    main = fake.windows.show<MainWindow>(fake.context);
    main->PicPassword->show();
    settle();

    {
        Figure f{"Activation recount, nothing changed"};
        f.ms = millisecondsOf([&] { main->recount(); });
        f.floorMs = millisecondsOf([&] { bare.db.execAndGet("PRAGMA data_version"); });
        figures.push_back(f);
    }
    {
        Figure f{"Pick a grid row until the boxes show it"};
        QTableView* grid = main->PicPassword->DBGrid1;
        // The user scrolls half way down, then clicks rows in view.
        main->findChild<QScrollBar*>("DBGrid1ScrollBar")->setValue(int(records / 2));
        int row = 0;
        f.ms = millisecondsOf([&] {
            row = (row + 1) % std::max(1, grid->model()->rowCount() - 1);
            grid->setCurrentIndex(grid->model()->index(row, 0));
            settle();
        });
        qint64 key = records / 2;
        f.floorMs = millisecondsOf([&] { bare.readRow("account", ++key); });
        figures.push_back(f);
    }
    {
        Figure f{"Next and Back (persons)"};
        main->DatPersonal->setBookmark(main->DatPersonal->keyAt(records / 2));
        auto* next = main->findChild<QPushButton*>("cmdNext");
        auto* back = main->findChild<QPushButton*>("cmdBack");
        bool forward = true;
        f.ms = millisecondsOf([&] {
            (forward ? next : back)->click();
            forward = !forward;
        });
        qint64 key = records / 2;
        f.floorMs = millisecondsOf([&] { bare.readRow("Personal", key++); });
        figures.push_back(f);
    }
    {
        Figure f{"Pick a note from the list"};
        QListView* list = main->PicNotes->DBList1;
        main->findChild<QScrollBar*>("DBList1ScrollBar")->setValue(int(records / 3));
        int row = 0;
        f.ms = millisecondsOf([&] {
            row = (row + 1) % std::max(1, list->model()->rowCount() - 1);
            list->setCurrentIndex(list->model()->index(row, 0));
            settle();
        });
        qint64 key = records / 3;
        f.floorMs = millisecondsOf([&] { bare.readRow("Notes", ++key); });
        figures.push_back(f);
    }
    {
        Figure f{"Editor Save of a new record (Update, Refresh, Bookmark)"};
        auto* newButton = main->findChild<QPushButton*>("cmdNew");
        std::vector<double> times;
        for (int i = 0; i < Repeats; ++i) {
            newButton->click();
            auto* editor = static_cast<RecordEditor*>(fake.windows.find("frmAddpassword"));
            qobject_cast<QLineEdit*>(editor->box("Text1"))->setText(QString("Bench account %1").arg(i));
            QElapsedTimer timer;
            timer.start();
            editor->cmdSave->click();
            settle();
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::sort(times.begin(), times.end());
        f.ms = times[times.size() / 2];
        f.floorMs = millisecondsOf([&] {
            SQLite::Statement insert(bare.db, "INSERT INTO account (Account, Website, User, Password, Notes) VALUES "
                                              "('Floor', '', '', '', '')");
            insert.exec();
            const qint64 key = bare.db.getLastInsertRowid();
            bare.bounds("account");
            bare.readRow("account", key);
        });
        figures.push_back(f);
    }
    {
        Figure f{"Confirmed Delete with its Refresh and move"};
        auto* deleteButton = main->findChild<QPushButton*>("cmdDelete");
        f.ms = millisecondsOf([&] {
            main->DatPassword->MoveLast();
            fake.prompter.answers = {true};
            deleteButton->click();
            settle();
        });
        f.floorMs = millisecondsOf([&] {
            SQLite::Statement remove(bare.db, "DELETE FROM account WHERE _key = ?");
            remove.bind(1, static_cast<int64_t>(bare.lastKey("account")));
            remove.exec();
            bare.bounds("account");
            bare.readRow("account", bare.lastKey("account"));
        });
        figures.push_back(f);
    }
    {
        Figure f{"Open the editor for Edit"};
        auto* editButton = main->findChild<QPushButton*>("cmdEdit");
        main->DatPassword->setBookmark(main->DatPassword->keyAt(records / 2));
        f.ms = millisecondsOf([&] {
            editButton->click();
            settle();
            fake.windows.find("frmAddpassword")->close();
            settle();
        });
        f.floorMs = millisecondsOf([&] {
            Bare b(database);
            b.bounds("account");
            b.readRow("account", records / 2);
        });
        figures.push_back(f);
    }
    {
        // The data part of picking a record, without the widgets that show it.
        Figure f{"Binder alone: set a bookmark and read the record"};
        DataBinder binder;
        binder.setDatabaseName(database);
        binder.setRecordSource("account");
        binder.open();
        qint64 position = records / 4;
        f.ms = millisecondsOf([&] {
            binder.setBookmark(binder.keyAt(++position));
            (void)binder.value("Account");
        });
        qint64 key = records / 4;
        f.floorMs = millisecondsOf([&] { bare.readRow("account", ++key); });
        figures.push_back(f);
    }
    {
        Figure f{"Generate a 1,000-character password"};
        PasswordGenerator generator;
        f.ms = millisecondsOf([&] { generator.make(PasswordGenerator::BothCases, 1000, 11); });
        f.floorMs = millisecondsOf([&] {
            QString s;
            for (int i = 0; i < 1000; ++i)
                s += QChar(char16_t('a' + QRandomGenerator::system()->bounded(26)));
        });
        figures.push_back(f);
    }
    delete main;
    return figures;
}

Figure measureReport(const QString& dir) {
    Figure f{"Build a report of 10,000 records"};
    const ReportLayout layout = ReportLayout::load(QDir(dir).filePath("reminders.rpt"));
    f.ms = millisecondsOf([&] { ReportEngine::build(layout); }, 3);
    f.floorMs = millisecondsOf(
        [&] {
            SQLite::Database db(toStd(layout.databasePath), SQLite::OPEN_READONLY);
            SQLite::Statement q(db, "SELECT Date, Reminder FROM Reminder ORDER BY _key");
            while (q.executeStep())
                (void)q.getColumn(1).getString();
        },
        3);
    return f;
}

qint64 peakMemoryKb() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Child modes: each runs in a fresh process so its figures are its own.
int childMain(const QString& mode, const QString& dir) {
    if (mode == "--memory") {
        FakeContext fake(dir);
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        main->PicPassword->show();
        settle();
        std::printf("%lld\n", peakMemoryKb());
        return 0;
    }
    if (mode == "--startup-login") {
        FakeContext fake(dir);
        convertLegacyFiles(fake.context);
        LoginWindow* login = fake.windows.show<LoginWindow>(fake.context);
        settle();
        return login && login->isVisible() ? 0 : 1;
    }
    if (mode == "--startup-minimal") {
        QWidget window;
        window.show();
        settle();
        return window.isVisible() ? 0 : 1;
    }
    if (mode == "--startup-minimal-text") {
        // The same with one line of text, which loads the font database.
        QLabel window(QStringLiteral("Login"));
        window.show();
        settle();
        return window.isVisible() ? 0 : 1;
    }
    return 2;
}

double startupMs(const QString& self, const QString& mode, const QString& dir) {
    return millisecondsOf([&] { QProcess::execute(self, {mode, dir}); }, 11);
}

QString ratio(double value, double floor) {
    return floor > 0 ? QString::number(value / floor, 'f', 2) : "-";
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyProgramLook(app);
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && (args[1].startsWith("--memory") || args[1].startsWith("--startup")))
        return childMain(args[1], args[2]);

    QList<qint64> sizes{1000, 100000, 1000000};
    QString cache = QDir::current().filePath("bench-data");
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(','))
                sizes << s.toLongLong();
        } else if (args[i] == "--cache") {
            cache = args[i + 1];
        }
    }

    std::map<qint64, std::vector<Figure>> bySize;
    std::map<qint64, qint64> memory;
    for (qint64 size : sizes) {
        std::fprintf(stderr, "preparing %lld records...\n", size);
        const QString dir = benchProgramDirectory(cache, size);
        std::fprintf(stderr, "measuring %lld records...\n", size);
        bySize[size] = measureActions(dir, size);
        QProcess child;
        child.start(QApplication::applicationFilePath(), {"--memory", dir});
        child.waitForFinished(-1);
        memory[size] = child.readAllStandardOutput().trimmed().toLongLong();
    }
    const QString reportDir = benchProgramDirectory(cache, 10000);
    const Figure report = measureReport(reportDir);
    QProcess sample;
    sample.start(QApplication::applicationFilePath(), {"--memory", QStringLiteral(DELIVERED_DIR)});
    sample.waitForFinished(-1);
    const qint64 sampleMemory = sample.readAllStandardOutput().trimmed().toLongLong();
    const double login =
        startupMs(QApplication::applicationFilePath(), "--startup-login", QStringLiteral(DELIVERED_DIR));
    const double minimal =
        startupMs(QApplication::applicationFilePath(), "--startup-minimal", QStringLiteral(DELIVERED_DIR));
    const double minimalText =
        startupMs(QApplication::applicationFilePath(), "--startup-minimal-text", QStringLiteral(DELIVERED_DIR));

    // The table: each action, and per size its median time, its floor and the ratio.
    QString out;
    out += "| Action |";
    for (qint64 s : sizes)
        out += QString(" %1 records: ms (floor ms, ratio) |").arg(s);
    out += "\n|---|";
    for (qsizetype i = 0; i < sizes.size(); ++i)
        out += "---|";
    out += "\n";
    const size_t actions = bySize.begin()->second.size();
    for (size_t a = 0; a < actions; ++a) {
        out += "| " + bySize.begin()->second[a].action + " |";
        for (qint64 s : sizes) {
            const Figure& f = bySize[s][a];
            out +=
                QString(" %1 (%2, %3x) |").arg(f.ms, 0, 'f', 3).arg(f.floorMs, 0, 'f', 3).arg(ratio(f.ms, f.floorMs));
        }
        out += "\n";
    }
    out += QString("\nReport of 10,000 records: %1 ms (floor %2 ms, %3x).\n")
               .arg(report.ms, 0, 'f', 1)
               .arg(report.floorMs, 0, 'f', 1)
               .arg(ratio(report.ms, report.floorMs));
    out += QString("\nPeak memory (VmHWM) of a process that opened the main window: sample database %1 MB")
               .arg(sampleMemory / 1024.0, 0, 'f', 1);
    for (qint64 s : sizes)
        out += QString("; %1 records %2 MB (+%3 MB)")
                   .arg(s)
                   .arg(memory[s] / 1024.0, 0, 'f', 1)
                   .arg((memory[s] - sampleMemory) / 1024.0, 0, 'f', 1);
    out += ".\n";
    out += QString("\nStart-up to the sign-in window shown: %1 ms; a minimal Qt program showing one empty window: "
                   "%2 ms; ratio %3x.\n")
               .arg(login, 0, 'f', 1)
               .arg(minimal, 0, 'f', 1)
               .arg(ratio(login, minimal));
    out += QString("The same minimal program showing one line of text (which loads the font database): %1 ms; "
                   "ratio %2x.\n")
               .arg(minimalText, 0, 'f', 1)
               .arg(ratio(login, minimalText));
    std::printf("%s", out.toUtf8().constData());
    return 0;
}
