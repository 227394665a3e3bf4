#pragma once

#include <QtGlobal>
#include <vector>

// The keys of a table in natural order, kept as runs of consecutive keys, so a
// table that was never thinned costs a few bytes whatever its size.
// Every lookup is a binary search over the runs.
class KeySnapshot {
public:
    void clear();
    // Keys must come in ascending order.
    void append(qint64 key);
    void appendRun(qint64 first, qint64 count);
    qint64 size() const { return m_size; }
    qint64 keyAt(qint64 position) const;
    // -1 when the key is not in the snapshot.
    qint64 positionOf(qint64 key) const;
    void removeAt(qint64 position);
    size_t runCount() const { return m_runs.size(); }

private:
    struct Run {
        qint64 first = 0;    // first key of the run
        qint64 count = 0;    // number of consecutive keys
        qint64 position = 0; // position of the first key in the whole snapshot
    };
    void renumberFrom(size_t index);
    size_t runHolding(qint64 position) const;

    std::vector<Run> m_runs;
    qint64 m_size = 0;
};
