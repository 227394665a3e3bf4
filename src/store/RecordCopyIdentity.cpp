#include "RecordCopyIdentity.h"

#include "RecordIdentity.h"
#include "StoredIdentity.h"

#include <SQLiteCpp/Column.h>

StampReader::StampReader(SQLite::Database& source, const Schema::Table& table) : m_table(table) {
    try {
        m_machines = std::make_unique<MachineNumbers>(source);
    } catch (const std::exception&) {
        // A damaged list of computers: the records keep no computer.
    }
    try {
        SQLite::Statement columns(source, "SELECT count(*) FROM pragma_table_info(?) WHERE name IN ('_id', "
                                          "'_modified', '_machine')");
        columns.bind(1, table.name.toStdString());
        if (columns.executeStep() && columns.getColumn(0).getInt() == 3)
            m_read = std::make_unique<SQLite::Statement>(
                source, QStringLiteral("SELECT \"_id\", \"_modified\", \"_machine\" FROM %1 WHERE \"_key\" = ?")
                            .arg(Schema::quoted(table.name))
                            .toStdString());
    } catch (const std::exception&) {
        // The records get derived identities.
    }
}

StampReader::~StampReader() = default;

CopiedStamp StampReader::derived(const Schema::Table& table, qint64 key,
                                 const std::vector<std::optional<std::string>>& fields) {
    std::vector<RecordIdentity::FieldText> texts;
    for (const std::optional<std::string>& field : fields)
        texts.push_back(field ? RecordIdentity::FieldText(QByteArray::fromStdString(*field)) : std::nullopt);
    return {RecordIdentity::derived(table.name, key, texts).toStdString(), 0, std::string()};
}

CopiedStamp StampReader::read(qint64 key, const std::vector<std::optional<std::string>>& fields) {
    if (m_read) {
        try {
            m_read->tryReset();
            m_read->bind(1, static_cast<int64_t>(key));
            if (m_read->executeStep() && !m_read->getColumn(0).isNull() && !m_read->getColumn(1).isNull()) {
                CopiedStamp stamp{m_read->getColumn(0).getString(), m_read->getColumn(1).getInt64(),
                                  machineOf(m_read->getColumn(2))};
                m_read->reset();
                return stamp;
            }
        } catch (const std::exception&) {
            // A damaged record: it gets the derived identity.
        }
    }
    return derived(m_table, key, fields);
}

CopiedStamp StampReader::fromRow(SQLite::Statement& row, int first, qint64 key,
                                 const std::vector<std::optional<std::string>>& fields) const {
    if (row.getColumn(first).isNull() || row.getColumn(first + 1).isNull())
        return derived(m_table, key, fields);
    return {row.getColumn(first).getString(), row.getColumn(first + 1).getInt64(), machineOf(row.getColumn(first + 2))};
}

std::optional<std::string> StampReader::machineOf(const SQLite::Column& column) const {
    if (column.isNull())
        return std::nullopt;
    // A file that numbers its computers keeps the number as digits (the column is typed TEXT).
    const QString id = m_machines && m_machines->used() ? m_machines->idOf(column.getInt64()) : QString();
    return id.isEmpty() ? column.getString() : id.toStdString();
}

void copySyncRecords(SQLite::Database& source, SQLite::Database& target) {
    struct SyncTable {
        const char* name;
        const char* columns;
        int identity; // the column of the record's identity, kept in the new file's form
    };
    const SyncTable tables[] = {
        {"_tombstones", "\"identity\", \"tableName\", \"deleted\", \"machine\"", 0},
        {"_history", "\"tableName\", \"identity\", \"modified\", \"machine\", \"fields\", \"kept\"", 1}};
    const bool compact = MachineNumbers(target).used();
    for (const auto& [table, columns, identity] : tables) {
        try {
            const int count = int(QString::fromLatin1(columns).count(QLatin1Char(',')) + 1);
            SQLite::Statement rows(source, QStringLiteral("SELECT %1 FROM \"%2\"").arg(columns, table).toStdString());
            SQLite::Statement insert(target, QStringLiteral("INSERT OR IGNORE INTO \"%1\" (%2) VALUES (%3)")
                                                 .arg(table, columns, QStringList(count, "?").join(", "))
                                                 .toStdString());
            while (rows.executeStep()) {
                for (int i = 0; i < count; ++i) {
                    const SQLite::Column value = rows.getColumn(i);
                    if (i == identity)
                        StoredIdentity::bind(insert, i + 1, StoredIdentity::inForm(value.getString(), compact));
                    else if (value.isInteger())
                        insert.bind(i + 1, value.getInt64());
                    else
                        insert.bind(i + 1, value.getString());
                }
                insert.exec();
                insert.reset();
            }
        } catch (const std::exception&) {
            // An older source has none; a damaged one keeps what was read.
        }
    }
}
