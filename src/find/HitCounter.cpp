#include "HitCounter.h"

#include "store/StoreError.h"

#include <QTimer>

HitCounter::HitCounter(QObject* parent) : QObject(parent) {
    // Each step waits for the events that came meanwhile (the next keystroke, say).
    m_next = new QTimer(this);
    m_next->setSingleShot(true);
    m_next->setInterval(0);
    connect(m_next, &QTimer::timeout, this, &HitCounter::step);
}

void HitCounter::start(RecordSearch* search, const SearchQuery& query, const CountProgress& begun) {
    m_search = search;
    m_query = query;
    m_progress = begun;
    if (m_search && !m_progress.finished())
        m_next->start();
    else
        m_next->stop();
}

void HitCounter::stop() {
    m_next->stop();
}

bool HitCounter::counting() const {
    return m_next->isActive();
}

void HitCounter::step() {
    try {
        m_search->countMore(m_query, m_progress);
    } catch (const StoreError&) {
        // The next search tells the user what went wrong.
        emit failed();
        return;
    }
    if (!m_progress.finished())
        m_next->start();
    emit counted(m_progress.counts);
}
