#include "DataBinder.h"

#include "BinderSql.h"
#include "ColumnText.h"
#include "Connection.h"
#include "Schema.h"
#include "StoreError.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <limits>

DataBinder::DataBinder(QObject* parent) : QObject(parent) {}

DataBinder::~DataBinder() = default;

Connection& DataBinder::connection() {
    if (!m_connection)
        throw StoreError(QStringLiteral("The table \"%1\" is not open.").arg(m_recordSource));
    return *m_connection;
}

void DataBinder::open() {
    close();
    if (m_recordsetType != 0)
        throw StoreError(QStringLiteral("Only table mode is supported."));
    m_rowQuery.reset();
    // Taken first: a file put in place while this opens is seen as a change later.
    m_file = FileIdentity::of(m_databaseName);
    auto connection = std::make_unique<Connection>(m_databaseName, m_recordSource);
    connection->requireTable(m_recordSource, m_requiredFields);
    connection->useRollbackJournal();
    m_fields = connection->columns(m_recordSource);
    m_hasDeletedKeys = connection->hasDeletedKeys();
    m_hasDeletedBlocks = m_hasDeletedKeys && connection->hasDeletedBlocks();
    m_connection = std::move(connection);
    try {
        m_seenVersion = m_connection->dataVersion();
        loadKeys();
    } catch (const std::exception& e) {
        m_connection.reset();
        throw StoreError(QStringLiteral("The database file %1 cannot be read: %2.")
                             .arg(m_databaseName, QString::fromUtf8(e.what())));
    }
    m_pending.reset();
    m_storedCount.reset();
    emit keysChanged();
    setPosition(0);
}

std::optional<QString> DataBinder::tryOpen() {
    try {
        open();
    } catch (const StoreError& e) {
        return e.message();
    }
    return std::nullopt;
}

void DataBinder::close() {
    m_rowQuery.reset();
    m_keys.clear(); // holds a statement of the connection
    m_connection.reset();
    m_position = -1;
    m_onDeleted = false;
    m_pending.reset();
    m_cachedKey = NoRecord;
    m_cachedValues.clear();
}

void DataBinder::Refresh() {
    // Another file in the path's place: the table is opened from it.
    if (!m_connection || FileIdentity::of(m_databaseName) != m_file) {
        open();
        return;
    }
    m_pending.reset();
    try {
        m_seenVersion = m_connection->dataVersion();
        loadKeys();
    } catch (const std::exception& e) {
        throw StoreError(m_connection->failure(QStringLiteral("cannot be read"), e));
    }
    m_cachedKey = NoRecord;
    m_storedCount.reset();
    emit keysChanged();
    setPosition(0);
}

void DataBinder::loadKeys() {
    SQLite::Database& db = m_connection->db();
    const QString table = Schema::quoted(m_recordSource);
    const QString key = Schema::quoted(Schema::KeyColumn);
    m_keys.clear();
    // The bounds and the record of deleted keys are read as of one moment.
    SQLite::Transaction reading(db);
    // Two subqueries: SQLite finds a lone min() or max() in the key's tree at once,
    // but scans the whole table for both in one query.
    SQLite::Statement bounds(
        db, QStringLiteral("SELECT (SELECT min(%1) FROM %2), (SELECT max(%1) FROM %2)").arg(key, table).toStdString());
    bounds.executeStep();
    if (bounds.getColumn(0).isNull())
        return;
    const qint64 first = bounds.getColumn(0).getInt64();
    const qint64 last = bounds.getColumn(1).getInt64();
    if (m_hasDeletedBlocks && loadKeysFromBlocks(first, last))
        return;
    if (m_hasDeletedKeys && !m_hasDeletedBlocks && loadKeysFromRecords(first, last))
        return;
    // Without a trustworthy record of deleted keys: one pass over the key index.
    m_keys.clear();
    SQLite::Statement keys(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(key, table).toStdString());
    while (keys.executeStep())
        m_keys.append(keys.getColumn(0).getInt64());
}

bool DataBinder::loadKeysFromRecords(qint64 first, qint64 last) {
    SQLite::Database& db = m_connection->db();
    // The keys are the range from first to last less the keys recorded as deleted.
    SQLite::Statement holes(db, "SELECT \"key\" FROM \"_deleted\" WHERE \"tableName\" = ? AND \"key\" BETWEEN ? AND ? "
                                "ORDER BY \"key\"");
    holes.bind(1, m_recordSource.toStdString());
    holes.bind(2, static_cast<int64_t>(first));
    holes.bind(3, static_cast<int64_t>(last));
    std::vector<qint64> deleted;
    while (holes.executeStep())
        deleted.push_back(holes.getColumn(0).getInt64());
    qint64 span = 0;
    if (__builtin_sub_overflow(last, first, &span) || span == std::numeric_limits<qint64>::max())
        return false;
    // The records' own count must agree, or some writer went round the triggers.
    SQLite::Statement counted(db, "SELECT \"rows\" FROM \"_counts\" WHERE \"tableName\" = ?");
    counted.bind(1, m_recordSource.toStdString());
    if (!counted.executeStep() || counted.getColumn(0).getInt64() != span + 1 - qint64(deleted.size()))
        return false;
    qint64 next = first;
    for (qint64 hole : deleted) {
        m_keys.appendRun(next, hole - next);
        next = hole + 1;
    }
    m_keys.appendRun(next, last - next + 1);
    return true;
}

bool DataBinder::loadKeysFromBlocks(qint64 first, qint64 last) {
    SQLite::Database& db = m_connection->db();
    const std::string table = m_recordSource.toStdString();
    qint64 span = 0;
    if (__builtin_sub_overflow(last, first, &span) || span == std::numeric_limits<qint64>::max())
        return false;
    const qint64 firstBlock = first >> TableKeys::BlockBits;
    const qint64 lastBlock = last >> TableKeys::BlockBits;
    std::vector<TableKeys::BlockCount> blocks;
    SQLite::Statement counts(db, "SELECT \"block\", \"keys\" FROM \"_deletedBlocks\" WHERE \"tableName\" = ? AND "
                                 "\"block\" BETWEEN ? AND ? AND \"keys\" > 0 ORDER BY \"block\"");
    counts.bind(1, table);
    counts.bind(2, static_cast<int64_t>(firstBlock));
    counts.bind(3, static_cast<int64_t>(lastBlock));
    while (counts.executeStep())
        blocks.push_back({counts.getColumn(0).getInt64(), counts.getColumn(1).getInt64()});
    // The first and last blocks may hold deleted keys outside first..last: those are counted one by one.
    SQLite::Statement within(db,
                             "SELECT count(*) FROM \"_deleted\" WHERE \"tableName\" = ? AND \"key\" BETWEEN ? AND ?");
    for (TableKeys::BlockCount& b : blocks) {
        if (b.block != firstBlock && b.block != lastBlock)
            continue;
        within.reset();
        within.bind(1, table);
        within.bind(2, static_cast<int64_t>(std::max(first, b.block * TableKeys::BlockSize)));
        within.bind(3,
                    static_cast<int64_t>(std::min(last, b.block * TableKeys::BlockSize + (TableKeys::BlockSize - 1))));
        within.executeStep();
        b.deleted = within.getColumn(0).getInt64();
    }
    qint64 deleted = 0;
    for (const TableKeys::BlockCount& b : blocks)
        deleted += b.deleted;
    // The records' own count must agree, or some writer went round the triggers.
    SQLite::Statement counted(db, "SELECT \"rows\" FROM \"_counts\" WHERE \"tableName\" = ?");
    counted.bind(1, table);
    if (!counted.executeStep() || counted.getColumn(0).getInt64() != span + 1 - deleted)
        return false;
    const qint64 lastDeletion = db.execAndGet("SELECT \"last\" FROM \"_deletions\"").getInt64();
    // Keys deleted after this moment, by this binder or another, are read as still there.
    auto query = std::make_shared<SQLite::Statement>(
        db, "SELECT \"key\" FROM \"_deleted\" WHERE \"tableName\" = ? AND \"key\" BETWEEN ? AND ? AND "
            "\"deletion\" <= ? ORDER BY \"key\"");
    m_keys.setRange(first, last, blocks,
                    [query, table, lastDeletion](qint64 from, qint64 to) -> std::optional<std::vector<qint64>> {
                        try {
                            query->reset();
                            query->bind(1, table);
                            query->bind(2, static_cast<int64_t>(from));
                            query->bind(3, static_cast<int64_t>(to));
                            query->bind(4, static_cast<int64_t>(lastDeletion));
                            std::vector<qint64> keys;
                            while (query->executeStep())
                                keys.push_back(query->getColumn(0).getInt64());
                            query->reset();
                            return keys;
                        } catch (const std::exception&) {
                            // Shown as no deleted keys in that block until it is read again.
                            return std::nullopt;
                        }
                    });
    return true;
}

void DataBinder::setPosition(qint64 position) {
    m_position = std::clamp<qint64>(position, -1, m_keys.size());
    m_onDeleted = false;
    showCurrent();
}

RecordKey DataBinder::Bookmark() const {
    if (m_onDeleted || m_position < 0 || m_position >= m_keys.size())
        return NoRecord;
    return m_keys.keyAt(m_position);
}

qint64 DataBinder::AbsolutePosition() const {
    return Bookmark() == NoRecord ? -1 : m_position;
}

void DataBinder::setBookmark(RecordKey key) {
    const qint64 position = m_keys.positionOf(key);
    if (position < 0)
        throw StoreError(QStringLiteral("The record is no longer in the table \"%1\".").arg(m_recordSource));
    m_pending.reset();
    setPosition(position);
}

bool DataBinder::BOF() const {
    return m_keys.size() == 0 || m_position < 0;
}

bool DataBinder::isEOF() const {
    return m_keys.size() == 0 || m_position >= m_keys.size();
}

void DataBinder::MoveFirst() {
    setPosition(m_keys.size() == 0 ? -1 : 0);
}

void DataBinder::MoveLast() {
    setPosition(m_keys.size() - 1);
}

void DataBinder::MoveNext() {
    // After a delete the following record has slid into the current place.
    setPosition(m_onDeleted ? m_position : m_position + 1);
}

void DataBinder::MovePrevious() {
    setPosition(m_position - 1);
}

const QHash<QString, QString>& DataBinder::currentValues() {
    const RecordKey key = Bookmark();
    if (key == m_cachedKey)
        return m_cachedValues;
    m_cachedValues.clear();
    m_cachedKey = key;
    if (key == NoRecord || !m_connection)
        return m_cachedValues;
    try {
        // Moving through records reads one row at a time: its statement is prepared once.
        if (!m_rowQuery)
            m_rowQuery = std::make_unique<SQLite::Statement>(
                m_connection->db(),
                QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                    .arg(fieldList(m_fields), Schema::quoted(m_recordSource), Schema::quoted(Schema::KeyColumn))
                    .toStdString());
        m_rowQuery->reset();
        m_rowQuery->bind(1, static_cast<int64_t>(key));
        if (m_rowQuery->executeStep()) {
            for (int i = 0; i < m_fields.size(); ++i)
                m_cachedValues.insert(m_fields[i], columnText(m_rowQuery->getColumn(i)));
        }
        m_rowQuery->reset();
    } catch (const std::exception& e) {
        m_cachedKey = NoRecord;
        throw StoreError(m_connection->failure(QStringLiteral("cannot be read"), e));
    }
    return m_cachedValues;
}

QString DataBinder::value(const QString& field) {
    return currentValues().value(field);
}

QHash<RecordKey, QStringList> DataBinder::readRange(const QStringList& fields, RecordKey first, RecordKey last) {
    QHash<RecordKey, QStringList> rows;
    Connection& c = connection();
    try {
        const QString key = Schema::quoted(Schema::KeyColumn);
        SQLite::Statement query(c.db(), QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 BETWEEN ? AND ? ORDER BY %1")
                                            .arg(key, fieldList(fields), Schema::quoted(m_recordSource))
                                            .toStdString());
        query.bind(1, static_cast<int64_t>(first));
        query.bind(2, static_cast<int64_t>(last));
        while (query.executeStep()) {
            QStringList values;
            values.reserve(fields.size());
            for (int i = 0; i < fields.size(); ++i)
                values << columnText(query.getColumn(i + 1));
            rows.insert(query.getColumn(0).getInt64(), values);
        }
    } catch (const std::exception& e) {
        throw StoreError(c.failure(QStringLiteral("cannot be read"), e));
    }
    return rows;
}

void DataBinder::showCurrent() {
    const QHash<QString, QString>& values = currentValues();
    for (const Binding& b : m_bindings) {
        if (b.box)
            b.write(values.value(b.field));
    }
    emit currentChanged();
}

QHash<QString, QString> DataBinder::boxTexts() const {
    QHash<QString, QString> texts;
    for (const Binding& b : m_bindings) {
        if (b.box)
            texts.insert(b.field, b.read());
    }
    return texts;
}

void DataBinder::bind(const QString& field, QObject* box, std::function<QString()> read,
                      std::function<void(const QString&)> write) {
    m_bindings.push_back({field, box, std::move(read), std::move(write)});
    if (isOpen() && !m_pending)
        m_bindings.back().write(value(field));
}

qint64 DataBinder::storedCount() {
    Connection& c = connection();
    try {
        const qint64 version = c.dataVersion();
        if (m_storedCount && version == m_countVersion)
            return *m_storedCount;
        m_storedCount.reset();
        if (m_hasDeletedKeys) {
            SQLite::Statement count(c.db(), "SELECT \"rows\" FROM \"_counts\" WHERE \"tableName\" = ?");
            count.bind(1, m_recordSource.toStdString());
            if (count.executeStep())
                m_storedCount = count.getColumn(0).getInt64();
        }
        if (!m_storedCount)
            m_storedCount =
                c.db()
                    .execAndGet(
                        QStringLiteral("SELECT count(*) FROM %1").arg(Schema::quoted(m_recordSource)).toStdString())
                    .getInt64();
        m_countVersion = version;
    } catch (const std::exception& e) {
        throw StoreError(c.failure(QStringLiteral("cannot be read"), e));
    }
    return *m_storedCount;
}
