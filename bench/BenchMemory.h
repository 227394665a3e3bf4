#pragma once

#include <QByteArray>
#include <QFile>

// The process's memory as Linux counts it, in kB: "VmRSS:" now, "VmHWM:" the peak.
inline qint64 processStatusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Starts a new peak: VmHWM falls back to the memory in use now.
inline void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Measures how far the peak rises above the memory in use at construction.
class PeakGrowth {
public:
    PeakGrowth() {
        resetPeakMemory();
        m_before = processStatusKb("VmRSS:");
    }
    double mb() const { return (processStatusKb("VmHWM:") - m_before) / 1024.0; }

private:
    qint64 m_before = 0;
};
