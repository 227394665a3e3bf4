#include "ReportSource.h"

#include "store/Schema.h"

#include <QFileInfo>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

ReportError unreadable(const ReportLayout& layout, const std::exception& e) {
    return ReportError(QStringLiteral("The database %1 named by the report layout %2 cannot be read: %3")
                           .arg(layout.databasePath, layout.path, QString::fromUtf8(e.what())));
}

} // namespace

ReportSource::ReportSource(const ReportLayout& layout) : m_path(layout.path), m_fields(int(layout.columns.size())) {
    if (!QFileInfo(layout.databasePath).isFile())
        throw ReportError(QStringLiteral("The report layout %1 names the database %2, which does not exist.")
                              .arg(layout.path, layout.databasePath));
    try {
        m_db = std::make_unique<SQLite::Database>(layout.databasePath.toStdString(), SQLite::OPEN_READONLY, 5000);
        SQLite::Statement info(*m_db, "SELECT name FROM pragma_table_info(?)");
        info.bind(1, layout.table.toStdString());
        QStringList stored;
        while (info.executeStep())
            stored << QString::fromStdString(info.getColumn(0).getString());
        if (stored.isEmpty())
            throw ReportError(QStringLiteral("The report layout %1 names the table \"%2\", which %3 does not have.")
                                  .arg(layout.path, layout.table, layout.databasePath));
        QStringList fields{Schema::quoted(Schema::KeyColumn)};
        for (const ReportLayout::Column& column : layout.columns) {
            if (!stored.contains(column.field))
                throw ReportError(
                    QStringLiteral("The report layout %1 names the field \"%2\", which the table \"%3\" does not have.")
                        .arg(layout.path, column.field, layout.table));
            fields << Schema::quoted(column.field);
        }
        const QString select =
            QStringLiteral("SELECT %1 FROM %2 ").arg(fields.join(u", "), Schema::quoted(layout.table));
        const QString key = Schema::quoted(Schema::KeyColumn);
        m_after = std::make_unique<SQLite::Statement>(
            *m_db, (select + QStringLiteral("WHERE %1 > ? ORDER BY %1 LIMIT ?").arg(key)).toStdString());
        m_between = std::make_unique<SQLite::Statement>(
            *m_db, (select + QStringLiteral("WHERE %1 >= ? AND %1 <= ? ORDER BY %1 LIMIT ?").arg(key)).toStdString());
        m_range = std::make_unique<SQLite::Statement>(
            // Two subqueries: SQLite answers a lone min() or max() from the key's index, both at once by a scan.
            *m_db, QStringLiteral("SELECT ifnull((SELECT min(%1) FROM %2), 0), ifnull((SELECT max(%1) FROM %2), 0)")
                       .arg(key, Schema::quoted(layout.table))
                       .toStdString());
    } catch (const ReportError&) {
        throw;
    } catch (const std::exception& e) {
        throw unreadable(layout, e);
    }
}

ReportSource::~ReportSource() = default;

std::vector<ReportRecord> ReportSource::read(SQLite::Statement& query) {
    std::vector<ReportRecord> records;
    try {
        while (query.executeStep()) {
            ReportRecord record;
            record.key = query.getColumn(0).getInt64();
            record.values.reserve(m_fields);
            for (int c = 1; c <= m_fields; ++c) {
                const SQLite::Column column = query.getColumn(c);
                record.values << QString::fromUtf8(static_cast<const char*>(column.getBlob()), column.getBytes());
            }
            records.push_back(std::move(record));
        }
        query.reset();
    } catch (const std::exception& e) {
        query.tryReset();
        throw ReportError(QStringLiteral("The database named by the report layout %1 cannot be read: %2")
                              .arg(m_path, QString::fromUtf8(e.what())));
    }
    return records;
}

std::vector<ReportRecord> ReportSource::after(qint64 afterKey, int limit) {
    m_after->bind(1, static_cast<int64_t>(afterKey));
    m_after->bind(2, limit);
    return read(*m_after);
}

std::vector<ReportRecord> ReportSource::between(qint64 first, qint64 last, int limit) {
    m_between->bind(1, static_cast<int64_t>(first));
    m_between->bind(2, static_cast<int64_t>(last));
    m_between->bind(3, limit);
    return read(*m_between);
}

qint64 ReportSource::dataVersion() {
    try {
        return m_db->execAndGet("PRAGMA data_version").getInt64();
    } catch (const std::exception& e) {
        throw ReportError(QStringLiteral("The database named by the report layout %1 cannot be read: %2")
                              .arg(m_path, QString::fromUtf8(e.what())));
    }
}

std::pair<qint64, qint64> ReportSource::keyRange() {
    try {
        m_range->executeStep();
        const std::pair<qint64, qint64> range{m_range->getColumn(0).getInt64(), m_range->getColumn(1).getInt64()};
        m_range->reset();
        return range;
    } catch (const std::exception& e) {
        m_range->tryReset();
        throw ReportError(QStringLiteral("The database named by the report layout %1 cannot be read: %2")
                              .arg(m_path, QString::fromUtf8(e.what())));
    }
}
