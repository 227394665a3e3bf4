#include "KeySnapshot.h"

#include <algorithm>

void KeySnapshot::clear() {
    m_runs.clear();
    m_size = 0;
}

void KeySnapshot::append(qint64 key) {
    appendRun(key, 1);
}

void KeySnapshot::appendRun(qint64 first, qint64 count) {
    if (count <= 0)
        return;
    if (!m_runs.empty()) {
        Run& last = m_runs.back();
        if (last.first + last.count == first) {
            last.count += count;
            m_size += count;
            return;
        }
    }
    m_runs.push_back({first, count, m_size});
    m_size += count;
}

size_t KeySnapshot::runHolding(qint64 position) const {
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), position,
                               [](qint64 pos, const Run& run) { return pos < run.position; });
    return size_t(it - m_runs.begin()) - 1;
}

qint64 KeySnapshot::keyAt(qint64 position) const {
    if (position < 0 || position >= m_size)
        return 0;
    const Run& run = m_runs[runHolding(position)];
    return run.first + (position - run.position);
}

qint64 KeySnapshot::positionOf(qint64 key) const {
    auto it =
        std::upper_bound(m_runs.begin(), m_runs.end(), key, [](qint64 k, const Run& run) { return k < run.first; });
    if (it == m_runs.begin())
        return -1;
    const Run& run = *(it - 1);
    if (key >= run.first + run.count)
        return -1;
    return run.position + (key - run.first);
}

void KeySnapshot::removeAt(qint64 position) {
    if (position < 0 || position >= m_size)
        return;
    const size_t index = runHolding(position);
    Run& run = m_runs[index];
    const qint64 offset = position - run.position;
    if (run.count == 1) {
        m_runs.erase(m_runs.begin() + qint64(index));
    } else if (offset == 0) {
        ++run.first;
        --run.count;
    } else if (offset == run.count - 1) {
        --run.count;
    } else {
        Run tail{run.first + offset + 1, run.count - offset - 1, 0};
        run.count = offset;
        m_runs.insert(m_runs.begin() + qint64(index) + 1, tail);
    }
    --m_size;
    renumberFrom(index == 0 ? 0 : index - 1);
}

void KeySnapshot::renumberFrom(size_t index) {
    qint64 position = index < m_runs.size() && index > 0 ? m_runs[index - 1].position + m_runs[index - 1].count : 0;
    if (index == 0)
        position = 0;
    for (size_t i = index; i < m_runs.size(); ++i) {
        m_runs[i].position = position;
        position += m_runs[i].count;
    }
}
