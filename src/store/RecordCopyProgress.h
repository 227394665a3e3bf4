#pragma once

#include "StoreError.h"

#include <QElapsedTimer>
#include <SQLiteCpp/Database.h>
#include <functional>

// A copy that was stopped by the one who waited for it.
class CopyCancelled : public StoreError {
public:
    CopyCancelled() : StoreError(QStringLiteral("the repair was cancelled")) {}
};

// How far a long copy has come, told to whoever waits for it now and then, and
// whether it is to go on. The listener is called on the copying thread, at most
// every few tens of milliseconds, so a window may turn its event loop there.
class CopyProgress {
public:
    static constexpr int Busy = -1; // no share can be told: something runs that cannot say how far it is
    // Told the share done in thousandths, or Busy; answers false to stop the copy.
    using Listener = std::function<bool(int permille)>;

    explicit CopyProgress(Listener listener = {});

    // Tells the share done; throws CopyCancelled once the listener said stop.
    void step(qint64 done, qint64 total);
    void busy() { step(0, 0); }
    // Tells the last share again: for work that cannot say how far it is within a step.
    void stillWorking();
    bool cancelled() const { return m_cancelled; }
    void throwIfCancelled() const;

    // While it lives, long statements of the connection tell the listener that
    // they are busy and stop with SQLITE_INTERRUPT once it said stop.
    class Watch {
    public:
        Watch(SQLite::Database& db, CopyProgress& progress);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

    private:
        SQLite::Database& m_db;
    };

private:
    // Calls the listener unless it was called a moment ago; false once it said stop.
    bool tell(int permille);
    static int interrupt(void* self);

    Listener m_listener;
    QElapsedTimer m_sinceTold;
    bool m_cancelled = false;
    int m_lastPermille = Busy;
};
