#include "Report.h"

#include "ReportSource.h"
#include "TextLines.h"

#include <limits>
#include <optional>

Report::Report(ReportLayout layout, const QPageLayout& page)
    : m_layout(std::move(layout)), m_format(PageFormat::make(m_layout, page)),
      m_source(std::make_unique<ReportSource>(m_layout)), m_widths(std::make_unique<CharWidths>(m_format.bodyFont)) {}

Report::~Report() {
    stopCounting();
}

void Report::stopCounting() {
    m_stop = true;
    if (m_counter.joinable())
        m_counter.join();
    m_stop = false;
}

void Report::startCounting() {
    stopCounting();
    {
        std::lock_guard lock(m_mutex);
        m_starts.clear();
    }
    m_complete = false;
    m_progress = 0;
    m_dataVersion = m_source->dataVersion();
    m_counter = std::thread([this] {
        try {
            count(m_stop);
        } catch (const ReportError& e) {
            emit failed(e.message());
        } catch (const std::exception& e) { // nothing may leave the thread
            emit failed(QString::fromUtf8(e.what()));
        }
    });
}

void Report::countNow() {
    stopCounting();
    {
        std::lock_guard lock(m_mutex);
        m_starts.clear();
    }
    m_complete = false;
    m_dataVersion = m_source->dataVersion();
    count(m_stop);
}

int Report::recordLines(const QStringList& values, CharWidths& widths, std::vector<QStringList>* cells) const {
    int lines = 1;
    for (qsizetype c = 0; c < values.size(); ++c) {
        const QString text = reportText(values[c]);
        const double width = m_format.columns[c].textWidth;
        if (cells) {
            QStringList shown;
            for (const TextLine& line : wrapLines(text, width, widths))
                shown << text.mid(line.start, line.length);
            lines = std::max(lines, int(shown.size()));
            cells->push_back(shown);
        } else {
            lines = std::max(lines, countLines(text, width, widths));
        }
    }
    return lines;
}

void Report::count(const std::atomic<bool>& stop) {
    {
        ReportSource source(m_layout);
        CharWidths widths(m_format.bodyFont);
        while (!stop) {
            Paginator pages(m_format.bodyCapacity, m_format.lineHeight, m_format.rowPadding);
            const qint64 version = source.dataVersion();
            const auto [firstKey, lastKey] = source.keyRange();
            qint64 after = std::numeric_limits<qint64>::min();
            int slice = 64; // small at first, so that the first page shows at once
            bool changed = false;
            while (!stop) {
                const std::vector<ReportRecord> records = source.after(after, slice);
                for (const ReportRecord& record : records)
                    pages.add(record.key, recordLines(record.values, widths, nullptr));
                if (source.dataVersion() != version) {
                    changed = true;
                    break;
                }
                const bool last = int(records.size()) < slice;
                {
                    std::lock_guard lock(m_mutex);
                    for (const PageStart& start : pages.takeNew())
                        m_starts.push_back(start);
                }
                if (!records.empty()) {
                    after = records.back().key;
                    if (lastKey > firstKey)
                        m_progress = double(after - firstKey) / double(lastKey - firstKey);
                }
                if (last) {
                    m_complete = true;
                    m_progress = 1;
                }
                emit paginated(knownPages(), last);
                if (last)
                    return;
                slice = std::min(slice * 4, 4096);
            }
            if (changed) {
                std::lock_guard lock(m_mutex);
                m_starts.clear();
            }
        }
    }
}

int Report::knownPages() const {
    std::lock_guard lock(m_mutex);
    return knownLocked();
}

int Report::knownLocked() const {
    // While counting, the last page begun may still grow.
    return m_complete ? std::max<int>(1, int(m_starts.size())) : std::max<int>(0, int(m_starts.size()) - 1);
}

void Report::restartIfChanged() {
    if (m_source->dataVersion() != m_dataVersion)
        startCounting();
}

PageContent Report::page(int index) {
    restartIfChanged();
    PageContent content;
    content.number = index + 1;
    PageStart start{std::numeric_limits<qint64>::min(), 0};
    std::optional<PageStart> next;
    {
        std::lock_guard lock(m_mutex);
        if (m_complete)
            content.count = std::max<int>(1, int(m_starts.size()));
        if (index < 0 || index >= knownLocked())
            return content; // not known (yet)
        if (!m_starts.empty())
            start = m_starts[index];
        if (index + 1 < int(m_starts.size()))
            next = m_starts[index + 1];
    }
    const qint64 lastKey = next ? next->key : std::numeric_limits<qint64>::max();
    const std::vector<ReportRecord> records = m_source->between(start.key, lastKey, m_format.maxLinesPerPage + 1);
    content.noRecords = records.empty() && index == 0;
    int used = 0;
    for (const ReportRecord& record : records) {
        PageRow row;
        row.key = record.key;
        const int lines = recordLines(record.values, *m_widths, &row.cells);
        const int first = record.key == start.key ? start.line : 0;
        int end = next && record.key == next->key ? next->line : lines;
        // A record saved longer since counting began still ends at the page's foot.
        end = std::min(end, first + (m_format.bodyCapacity - used - m_format.rowPadding) / m_format.lineHeight);
        if (end <= first)
            break;
        for (QStringList& cell : row.cells)
            cell = cell.mid(first, end - first);
        row.lines = end - first;
        row.continued = first > 0;
        row.continues = end < lines;
        used += m_format.rowHeight(row.lines);
        content.rows.push_back(std::move(row));
    }
    return content;
}
