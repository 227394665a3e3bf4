#include "ConflictWatcher.h"

#include "ConflictCopies.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QScopedValueRollback>
#include <QTimer>

ConflictWatcher::ConflictWatcher(const QString& databasePath, QObject* parent)
    : QObject(parent), m_databasePath(databasePath), m_watch(new QFileSystemWatcher(this)),
      m_interval(new QTimer(this)), m_soon(new QTimer(this)) {
    m_watch->addPath(QFileInfo(databasePath).absolutePath());
    connect(m_watch, &QFileSystemWatcher::directoryChanged, this, &ConflictWatcher::soon);
    m_soon->setSingleShot(true);
    connect(m_soon, &QTimer::timeout, this, &ConflictWatcher::check);
    connect(m_interval, &QTimer::timeout, this, &ConflictWatcher::check);
    m_interval->start(CheckIntervalMs);
}

void ConflictWatcher::soon() {
    // A tool writes in steps: the look waits until the copy has settled.
    if (ConflictCopies::findBeside(m_databasePath).isEmpty())
        return;
    m_soon->start(SettleMs + 100);
}

void ConflictWatcher::check() {
    // The notice may run an event loop (a message box): no second merge meanwhile.
    if (m_busy)
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    const QStringList waiting = ConflictCopies::findBeside(m_databasePath);
    if (waiting.isEmpty())
        return;
    const ConflictCopies::Report report = ConflictCopies::mergeAll(m_databasePath, SettleMs);
    // A copy newer than the settling time is looked at again shortly.
    if (report.merged.size() + report.setAside.size() < waiting.size())
        m_soon->start(SettleMs + 100);
    // A copy that cannot be merged yet (the file held by another program) is told once.
    if (report.notice.isEmpty() || (report.merged.isEmpty() && report.setAside.isEmpty() && report.notice == m_told))
        return;
    m_told = report.notice;
    emit merged(report.notice, report.problem);
}
