#include "ProcessFigures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <optional>

namespace {

constexpr int Pairs = 11;
constexpr int TimeoutMs = 30000;

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A program started with its marks on, read as it prints them.
class MarkedProcess {
public:
    explicit MarkedProcess(const QString& program, const QStringList& args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLMERE_SHOWN_MARKS"), QStringLiteral("1"));
        m_child.setProcessEnvironment(env);
        m_child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        started = nowNs();
        m_child.start(program, args);
    }
    ~MarkedProcess() {
        m_child.kill();
        m_child.waitForFinished();
    }

    // The time of the mark "<kind> <name> <ns>", waiting for it.
    std::optional<qint64> waitFor(const QByteArray& kind, const QByteArray& name) {
        QElapsedTimer limit;
        limit.start();
        for (;;) {
            m_output += m_child.readAllStandardOutput();
            for (const QByteArray& line : m_output.split('\n')) {
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() == 3 && parts[0] == kind && parts[1] == name)
                    return parts[2].toLongLong();
            }
            if (limit.elapsed() > TimeoutMs || m_child.state() == QProcess::NotRunning)
                return std::nullopt;
            m_child.waitForReadyRead(100);
        }
    }

    // The most memory the process has held so far, in MB.
    double peakMb() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_child.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        return -1;
    }

    // Gives the process's window the keyboard, then types into it as a user would.
    bool type(const QStringList& keys) {
        QStringList args{QStringLiteral("search"),
                         QStringLiteral("--sync"),
                         QStringLiteral("--onlyvisible"),
                         QStringLiteral("--pid"),
                         QString::number(m_child.processId()),
                         QStringLiteral("."),
                         QStringLiteral("windowfocus"),
                         QStringLiteral("--sync")};
        args += keys;
        return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
    }

    qint64 started = 0;

private:
    QProcess m_child;
    QByteArray m_output;
};

double msBetween(qint64 fromNs, qint64 toNs) {
    return (toNs - fromNs) / 1e6;
}

// Launch until the named window's first paint; -1 when it never came.
double launchToShown(const QString& program, const QByteArray& window, const QStringList& args = {}) {
    MarkedProcess child(program, args);
    const std::optional<qint64> shown = child.waitFor("shown", window);
    return shown ? msBetween(child.started, *shown) : -1;
}

struct Sample {
    double ms = -1;
    double peakMb = -1;
};

// Return pressed in the first window until the second one's first paint.
Sample returnToShown(const QString& program, const QByteArray& first, const QStringList& keysFirst,
                     const QByteArray& second) {
    MarkedProcess child(program);
    if (!child.waitFor("shown", first))
        return {};
    QStringList keys{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("1")};
    keys << keysFirst << QStringLiteral("Return");
    if (!child.type(keys))
        return {};
    const std::optional<qint64> pressed = child.waitFor("key", "Return");
    const std::optional<qint64> shown = child.waitFor("shown", second);
    if (!pressed || !shown)
        return {};
    return {msBetween(*pressed, *shown), child.peakMb()};
}

// The program runs from a folder of its own with the records beside it, as a
// portable installation does.
QString programIn(const QString& directory) {
    const QString copy = QDir(directory).filePath(QStringLiteral("quillmere"));
    if (QFileInfo(copy).size() != QFileInfo(QStringLiteral(PROGRAM_BINARY)).size()) {
        QFile::remove(copy);
        QFile::copy(QStringLiteral(PROGRAM_BINARY), copy);
    }
    return copy;
}

} // namespace

void measureLaunch(std::vector<BenchResult>& out) {
    // In turn, so a drift of the machine's speed touches both alike.
    // The minimal program with one line of text shows what setting up the fonts costs.
    const QStringList withText{QStringLiteral("--text")};
    std::vector<double> program, minimal, text, ratios, textRatios;
    launchToShown(PROGRAM_BINARY, "frmLogin"); // warm-up of all three
    launchToShown(MINIMAL_BINARY, "minimal");
    launchToShown(MINIMAL_BINARY, "minimal_text", withText);
    for (int i = 0; i < Pairs; ++i) {
        const double a = launchToShown(PROGRAM_BINARY, "frmLogin");
        const double b = launchToShown(MINIMAL_BINARY, "minimal");
        const double c = launchToShown(MINIMAL_BINARY, "minimal_text", withText);
        program.push_back(a);
        minimal.push_back(b);
        text.push_back(c);
        if (a > 0 && b > 0)
            ratios.push_back(a / b);
        if (a > 0 && c > 0)
            textRatios.push_back(a / c);
    }
    out.push_back({"process/launch_to_signin_shown",
                   median(program),
                   Pairs,
                   {{"pair_ratio", median(ratios)}, {"pair_ratio_to_text_window", median(textRatios)}}});
    out.push_back({"process/minimal_window_shown", median(minimal), Pairs, {}});
    out.push_back({"process/minimal_text_window_shown", median(text), Pairs, {}});
}

void measureSignIn(const QString& programDirectory, const QString& suffix, std::vector<BenchResult>& out) {
    const QString program = programIn(programDirectory);
    std::vector<double> signIn, minimal, ratios, peaks, minimalPeaks;
    // The password typed, then Tab to the Login button: Return in the box presses nothing.
    const QStringList password = QStringLiteral("w r e n Tab Tab").split(QLatin1Char(' '));
    // Warm-up: the file's pages into the cache. A failure here would fail every pair.
    if (returnToShown(program, "frmLogin", password, "frmMain").ms < 0) {
        std::fprintf(stderr, "sign-in could not be driven in %s\n", qPrintable(programDirectory));
        out.push_back({"process/signin_to_main_shown/" + suffix, -1, 0, {}});
        return;
    }
    for (int i = 0; i < Pairs; ++i) {
        const Sample a = returnToShown(program, "frmLogin", password, "frmMain");
        const Sample b = returnToShown(MINIMAL_BINARY, "minimal", {}, "second");
        signIn.push_back(a.ms);
        minimal.push_back(b.ms);
        peaks.push_back(a.peakMb);
        minimalPeaks.push_back(b.peakMb);
        if (a.ms > 0 && b.ms > 0)
            ratios.push_back(a.ms / b.ms);
    }
    if (median(signIn) < 0)
        std::fprintf(stderr, "sign-in was never measured in %s\n", qPrintable(programDirectory));
    out.push_back({"process/signin_to_main_shown/" + suffix,
                   median(signIn),
                   Pairs,
                   {{"pair_ratio", median(ratios)}, {"peak_rss_mb", median(peaks)}}});
    out.push_back({"process/minimal_return_to_second_shown/" + suffix,
                   median(minimal),
                   Pairs,
                   {{"peak_rss_mb", median(minimalPeaks)}}});
}
