#pragma once

#include "search/RecordSearch.h"

#include <QObject>

class QTimer;

// Finishes counts a keystroke's search could only begin (a query whose short
// words are looked for in the records themselves): one bounded step in each turn
// of the event loop, so typing and scrolling are never held up.
class HitCounter : public QObject {
    Q_OBJECT
public:
    explicit HitCounter(QObject* parent = nullptr);

    // Goes on from the counts begun, until every one is exact.
    void start(RecordSearch* search, const SearchQuery& query, const CountProgress& begun);
    void stop();
    bool counting() const;
    const QList<HitCount>& counts() const { return m_progress.counts; }

signals:
    // The counts after a step; the last has every count exact.
    void counted(const QList<HitCount>& counts);
    // A step failed: the counts stay as they were.
    void failed();

private:
    void step();

    RecordSearch* m_search = nullptr;
    SearchQuery m_query;
    CountProgress m_progress;
    QTimer* m_next;
};
