#include "Paginator.h"

#include <algorithm>

Paginator::Paginator(int capacity, int lineHeight, int rowPadding)
    : m_capacity(capacity), m_lineHeight(lineHeight), m_rowPadding(rowPadding),
      m_maxLines(std::max(1, (capacity - rowPadding) / lineHeight)) {}

void Paginator::begin(qint64 key, int line) {
    m_starts.push_back({key, line});
    m_begun = true;
    m_used = 0;
}

void Paginator::add(qint64 key, int lines) {
    lines = std::max(1, lines);
    if (!m_begun)
        begin(key, 0);
    int done = 0;
    while (true) {
        const int room = m_capacity - m_used - m_rowPadding;
        const int fit = room < m_lineHeight ? 0 : room / m_lineHeight;
        const int rest = lines - done;
        if (rest <= fit) {
            m_used += rest * m_lineHeight + m_rowPadding;
            return;
        }
        if (done == 0 && rest <= m_maxLines && m_used > 0) {
            begin(key, 0);
            continue;
        }
        done += fit;
        begin(key, done);
    }
}

std::vector<PageStart> Paginator::takeNew() {
    // Handed over, they are kept by the caller alone: a million pages would otherwise be held twice.
    std::vector<PageStart> fresh;
    fresh.swap(m_starts);
    return fresh;
}
