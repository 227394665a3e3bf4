#pragma once

#include "PageFormat.h"
#include "Paginator.h"
#include "ReportLayout.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CharWidths;
class ReportSource;

// One row of a page: the lines of each cell that fall on this page.
struct PageRow {
    qint64 key = 0;
    int lines = 0;                             // the row's height in lines on this page
    std::vector<QStringList> cells;            // per column, the lines shown
    bool continued = false, continues = false; // the record carries over from or onto another page
};

struct PageContent {
    int number = 0; // from 1
    int count = 0;  // pages in all; 0 while they are being counted
    std::vector<PageRow> rows;
    bool noRecords = false;
};

// A report of one layout over its table. Pages are counted by a pass over the
// records that keeps only where each page begins; a page's records are read
// from the store when that page is asked for. The pass runs on a thread of its
// own and reports its progress by signal; a change saved to the table meanwhile
// starts the count again, so the pages always show what is saved.
class Report : public QObject {
    Q_OBJECT
public:
    // Opens the layout's table; throws ReportError.
    Report(ReportLayout layout, const QPageLayout& page);
    ~Report() override;

    const ReportLayout& layout() const { return m_layout; }
    const PageFormat& format() const { return m_format; }

    // Counts the pages in the background; paginated() tells of progress.
    void startCounting();
    // Counts every page before returning.
    void countNow();
    // Pages whose content is known; all of them once counting is complete.
    int knownPages() const;
    bool complete() const { return m_complete; }
    // 0 to 1: how far counting has come through the table.
    double progress() const { return m_progress; }

    // The content of a known page, from 0, read from the store now. Throws ReportError.
    PageContent page(int index);

signals:
    // Emitted as pages become known, and once more when the count is complete.
    void paginated(int knownPages, bool complete);
    // Counting failed; the message says why.
    void failed(const QString& message);

private:
    void count(const std::atomic<bool>& stop);
    void restartIfChanged();
    int knownLocked() const;
    void stopCounting();
    int recordLines(const QStringList& values, CharWidths& widths, std::vector<QStringList>* cells) const;

    ReportLayout m_layout;
    PageFormat m_format;
    std::unique_ptr<ReportSource> m_source;
    std::unique_ptr<CharWidths> m_widths;
    qint64 m_dataVersion = 0;

    mutable std::mutex m_mutex;
    // A deque grows without copying itself: a vector of a million pages would
    // briefly hold its old and its new storage at once.
    std::deque<PageStart> m_starts;
    std::atomic<bool> m_complete = false, m_stop = false;
    std::atomic<double> m_progress = 0;
    std::thread m_counter;
};
