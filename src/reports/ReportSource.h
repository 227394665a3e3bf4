#pragma once

#include "ReportLayout.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

// One record of a report: its key and the layout's fields as text.
struct ReportRecord {
    qint64 key = 0;
    QStringList values;
};

// Reads a layout's table from the database it names, a slice at a time in
// natural order, so that no report holds a whole table. Each read is a
// statement of its own: no read lock stays on the file between reads, so the
// windows can save while a report is open.
class ReportSource {
public:
    // Opens the database read-only and checks the table and fields; throws ReportError.
    explicit ReportSource(const ReportLayout& layout);
    ~ReportSource();

    // Up to `limit` records with keys above `afterKey`.
    std::vector<ReportRecord> after(qint64 afterKey, int limit);
    // The records with keys from `first` to `last`, at most `limit` of them.
    std::vector<ReportRecord> between(qint64 first, qint64 last, int limit);
    // The smallest and largest key; both 0 for an empty table.
    std::pair<qint64, qint64> keyRange();
    // Changes whenever another connection commits to the file.
    qint64 dataVersion();

private:
    std::vector<ReportRecord> read(SQLite::Statement& query);
    QString m_path;
    int m_fields = 0;
    std::unique_ptr<SQLite::Database> m_db;
    std::unique_ptr<SQLite::Statement> m_after, m_between, m_range;
};
