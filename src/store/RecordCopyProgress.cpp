#include "RecordCopyProgress.h"

#include <algorithm>
#include <sqlite3.h>

namespace {

// Often enough for a window to look alive, seldom enough to leave the copy its processor.
constexpr qint64 TellEveryMs = 40;
// Virtual machine steps between two looks at the listener while a statement runs.
constexpr int StepsBetweenLooks = 20000;

} // namespace

CopyProgress::CopyProgress(Listener listener) : m_listener(std::move(listener)) {}

bool CopyProgress::tell(int permille) {
    if (m_cancelled)
        return false;
    if (!m_listener)
        return true;
    if (m_sinceTold.isValid() && m_sinceTold.elapsed() < TellEveryMs)
        return true;
    m_sinceTold.start();
    m_cancelled = !m_listener(permille);
    return !m_cancelled;
}

void CopyProgress::step(qint64 done, qint64 total) {
    m_lastPermille = total > 0 ? int(std::clamp<qint64>(done * 1000 / total, 0, 1000)) : Busy;
    if (!tell(m_lastPermille))
        throw CopyCancelled();
}

void CopyProgress::stillWorking() {
    if (!tell(m_lastPermille))
        throw CopyCancelled();
}

void CopyProgress::throwIfCancelled() const {
    if (m_cancelled)
        throw CopyCancelled();
}

int CopyProgress::interrupt(void* self) {
    // Called from inside SQLite: it must not throw, only answer.
    auto* progress = static_cast<CopyProgress*>(self);
    return progress->tell(progress->m_lastPermille) ? 0 : 1;
}

CopyProgress::Watch::Watch(SQLite::Database& db, CopyProgress& progress) : m_db(db) {
    sqlite3_progress_handler(m_db.getHandle(), StepsBetweenLooks, &CopyProgress::interrupt, &progress);
}

CopyProgress::Watch::~Watch() {
    sqlite3_progress_handler(m_db.getHandle(), 0, nullptr, nullptr);
}
