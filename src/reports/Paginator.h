#pragma once

#include <QtGlobal>
#include <vector>

// Where a page begins: at a record, and at a line of it when a record longer
// than the room left carries on from the page before.
struct PageStart {
    qint64 key = 0;
    int line = 0;
    bool operator==(const PageStart&) const = default;
};

// Fills pages with records, knowing only how many lines each has. A record
// that fits on a fresh page never breaks: it moves to the next page whole. A
// record longer than a page fills the room left and carries on, page after
// page. Rows keep their own height; nothing is stretched.
class Paginator {
public:
    // Room on each page, height of one line, and what each row adds above and below its lines.
    Paginator(int capacity, int lineHeight, int rowPadding);

    void add(qint64 key, int lines);
    // The pages begun so far; the first page begins at the first record.
    // Hands the pages begun since the last call to the caller.
    std::vector<PageStart> takeNew();
    int maxLines() const { return m_maxLines; }

private:
    void begin(qint64 key, int line);
    int m_capacity, m_lineHeight, m_rowPadding, m_maxLines;
    int m_used = 0;
    std::vector<PageStart> m_starts; // begun since the last takeNew()
    bool m_begun = false;
};
