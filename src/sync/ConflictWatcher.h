#pragma once

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

// Merges the conflict copies a sync tool leaves beside the database while the
// program runs: the folder is watched, so a copy is merged within a second or
// two of appearing (once it has not changed for a moment), and a slow check
// catches what the watch misses (a network folder, a full watch list).
class ConflictWatcher : public QObject {
    Q_OBJECT
public:
    ConflictWatcher(const QString& databasePath, QObject* parent = nullptr);

    // Looks for copies now and merges those that have settled.
    void check();

    static constexpr int SettleMs = 1000;
    static constexpr int CheckIntervalMs = 5000;

signals:
    // What was merged or set aside, for the user; problem when a copy was damaged
    // or could not be merged.
    void merged(const QString& notice, bool problem);

private:
    void soon();

    QString m_databasePath;
    QFileSystemWatcher* m_watch;
    QTimer* m_interval;
    QTimer* m_soon;
    bool m_busy = false;
    QString m_told; // the last failure told
};
