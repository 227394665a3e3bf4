#include "RecordCopy.h"

#include "BulkIndexing.h"
#include "MachineNumbers.h"
#include "RecordCopyIdentity.h"
#include "RecordCopyKeys.h"
#include "RecordCopyText.h"
#include "Schema.h"
#include "StoreError.h"
#include "StoredIdentity.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <algorithm>
#include <optional>

namespace {

QString fieldList(const Schema::Table& table) {
    QStringList names;
    for (const QString& field : table.fields)
        names << Schema::quoted(field);
    return names.join(QStringLiteral(", "));
}

// Inserts records of one table into the new file, each field as the source's
// text, with the record's identity, time and computer (see RecordCopyIdentity).
class Inserter {
public:
    Inserter(SQLite::Database& target, const Schema::Table& table)
        : m_insert(target, QStringLiteral("INSERT INTO %1 (%2, \"_id\", \"_modified\", \"_machine\") VALUES (%3)")
                               .arg(Schema::quoted(table.name), fieldList(table),
                                    QStringList(table.fields.size() + 3, QStringLiteral("?")).join(", "))
                               .toStdString()),
          m_machines(target) {}

    // Each field as text; nothing for NULL. The stamp in the forms the new file keeps.
    void insert(const std::vector<std::optional<std::string>>& fields, const CopiedStamp& stamp) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i])
                m_insert.bind(int(i) + 1, *fields[i]);
            else
                m_insert.bind(int(i) + 1);
        }
        const int next = int(fields.size()) + 1;
        const bool compact = m_machines.used();
        StoredIdentity::bind(m_insert, next, StoredIdentity::inForm(stamp.identity, compact));
        m_insert.bind(next + 1, static_cast<int64_t>(stamp.modified));
        const qint64 number =
            compact && stamp.machine ? m_machines.numberOf(QString::fromStdString(*stamp.machine)) : 0;
        if (compact && number)
            m_insert.bind(next + 2, static_cast<int64_t>(number));
        else if (!compact && stamp.machine)
            m_insert.bind(next + 2, *stamp.machine);
        else
            m_insert.bind(next + 2);
        m_insert.exec();
        m_insert.reset();
    }

    // The fields of the row read, from its first column.
    static std::vector<std::optional<std::string>> fieldsOf(SQLite::Statement& row, int count) {
        std::vector<std::optional<std::string>> fields(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const SQLite::Column value = row.getColumn(i);
            if (!value.isNull()) {
                // Asked for its bytes, SQLite gives any value as text, NUL characters
                // included: a number in a column typed INTEGER comes as its digits.
                const char* bytes = static_cast<const char*>(value.getBlob());
                fields[std::size_t(i)] = std::string(bytes ? bytes : "", size_t(value.getBytes()));
            }
        }
        return fields;
    }

private:
    SQLite::Statement m_insert;
    MachineNumbers m_machines;
};

std::optional<qint64> countOf(SQLite::Database& source, const Schema::Table& table) {
    try {
        SQLite::Statement kept(source, "SELECT rows FROM _counts WHERE tableName = ?");
        kept.bind(1, table.name.toStdString());
        if (kept.executeStep())
            return kept.getColumn(0).getInt64();
    } catch (const std::exception&) {
    }
    try {
        return source
            .execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(Schema::quoted(table.name)).toStdString())
            .getInt64();
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// The keys of a table a damaged file still gives: its own b-tree's and its key
// index's, each of which may reach records the other cannot.
std::vector<qint64> salvageableKeys(SQLite::Database& source, const Schema::Table& table, CopyProgress& progress) {
    QStringList trees{QString()}; // the table's own b-tree
    const QString index = keyIndexOf(source, table.name);
    if (!index.isEmpty())
        trees << index;
    std::vector<qint64> keys;
    for (const QString& tree : trees) {
        try {
            const std::vector<qint64> walked = walkKeys(source, table.name, tree, progress);
            keys.insert(keys.end(), walked.begin(), walked.end());
        } catch (const CopyCancelled&) {
            throw;
        } catch (const std::exception&) {
            // This b-tree cannot be read at all: the other may still give keys.
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

} // namespace

bool CopyResult::complete() const {
    for (const TableTally& t : tables) {
        if (t.expected != t.copied || t.inPart > 0)
            return false;
    }
    return true;
}

CopyResult copyEveryRecord(SQLite::Database& source, SQLite::Database& target) {
    CopyResult result;
    SQLite::Transaction transaction(target);
    for (const Schema::Table* table : Schema::recordTables()) {
        TableTally tally{table->name};
        try {
            tally.expected =
                source
                    .execAndGet(
                        QStringLiteral("SELECT count(*) FROM %1").arg(Schema::quoted(table->name)).toStdString())
                    .getInt64();
            const StampReader stamps(source, *table);
            SQLite::Statement rows(
                source, QStringLiteral("SELECT %1, %3%4 FROM %2 ORDER BY %3")
                            .arg(fieldList(*table), Schema::quoted(table->name), Schema::quoted(Schema::KeyColumn),
                                 stamps.sourceHasStamps() ? QStringLiteral(", \"_id\", \"_modified\", \"_machine\"")
                                                          : QString())
                            .toStdString());
            Inserter inserter(target, *table);
            const int count = int(table->fields.size());
            while (rows.executeStep()) {
                const auto fields = Inserter::fieldsOf(rows, count);
                const qint64 key = rows.getColumn(count).getInt64();
                inserter.insert(fields, stamps.sourceHasStamps() ? stamps.fromRow(rows, count + 1, key, fields)
                                                                 : StampReader::derived(*table, key, fields));
                ++tally.copied;
            }
        } catch (const std::exception& e) {
            throw StoreError(QStringLiteral("the records of \"%1\" cannot all be read: %2")
                                 .arg(table->name, QString::fromUtf8(e.what())));
        }
        if (tally.copied != tally.expected)
            throw StoreError(QStringLiteral("%1 of the %2 records of \"%3\" could be read")
                                 .arg(tally.copied)
                                 .arg(tally.expected)
                                 .arg(table->name));
        result.tables.push_back(tally);
    }
    copySyncRecords(source, target);
    transaction.commit();
    return result;
}

CopyResult salvageRecords(SQLite::Database& source, SQLite::Database& target, CopyProgress& progress) {
    // Damage inside a page is caught on reading it, not later.
    source.exec("PRAGMA cell_size_check=ON");
    const CopyProgress::Watch watch(source, progress);
    progress.busy();
    std::vector<std::vector<qint64>> keys;
    qint64 total = 0;
    for (const Schema::Table* table : Schema::recordTables()) {
        keys.push_back(salvageableKeys(source, *table, progress));
        total += qint64(keys.back().size());
    }
    CopyResult result;
    qint64 done = 0;
    SQLite::Transaction transaction(target);
    for (std::size_t t = 0; t < keys.size(); ++t) {
        const Schema::Table& table = *Schema::recordTables()[t];
        TableTally tally{table.name, countOf(source, table).value_or(-1)};
        std::optional<SalvageReader> reader;
        try {
            reader.emplace(source, table);
        } catch (const std::exception&) {
            keys[t].clear(); // the table itself cannot be read: none of its records is recovered
        }
        // The search index takes the records at once, not one trigger at a time.
        BulkIndexing indexing(target, table.name);
        Inserter inserter(target, table);
        StampReader stamps(source, table);
        for (qint64 key : keys[t]) {
            progress.step(done++, total);
            const SalvagedRecord record = reader->read(key);
            if (record.state != SalvagedRecord::State::Whole && record.state != SalvagedRecord::State::InPart)
                continue;
            // A record read in part is another version of it: its identity is derived from what is left.
            inserter.insert(record.fields, record.state == SalvagedRecord::State::Whole
                                               ? stamps.read(key, record.fields)
                                               : StampReader::derived(table, key, record.fields));
            ++tally.copied;
            tally.inPart += record.state == SalvagedRecord::State::InPart ? 1 : 0;
        }
        indexing.finish();
        // A source without kept counts says how many at least by what was found.
        if (tally.expected >= 0 && tally.expected < tally.copied)
            tally.expected = tally.copied;
        result.tables.push_back(tally);
    }
    progress.step(total, total);
    copySyncRecords(source, target);
    transaction.commit();
    return result;
}

bool everyRecordReadsWhole(SQLite::Database& source, CopyProgress& progress) {
    const CopyProgress::Watch watch(source, progress);
    for (const Schema::Table* table : Schema::recordTables()) {
        if (!SalvageReader::everyRecordWhole(source, *table)) {
            progress.throwIfCancelled();
            return false;
        }
    }
    return true;
}

void verifyCopy(SQLite::Database& target, const CopyResult& copied) {
    const std::string verdict = target.execAndGet("PRAGMA integrity_check").getString();
    if (verdict != "ok")
        throw StoreError(QStringLiteral("the new file failed its check: %1").arg(QString::fromStdString(verdict)));
    for (const TableTally& tally : copied.tables) {
        const QString table = Schema::quoted(tally.table);
        const qint64 held =
            target.execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(table).toStdString()).getInt64();
        SQLite::Statement kept(target, "SELECT rows FROM _counts WHERE tableName = ?");
        kept.bind(1, tally.table.toStdString());
        const qint64 counted = kept.executeStep() ? kept.getColumn(0).getInt64() : -1;
        if (held != tally.copied || counted != tally.copied)
            throw StoreError(QStringLiteral("the new file holds %1 of the %2 records of \"%3\"")
                                 .arg(held)
                                 .arg(tally.copied)
                                 .arg(tally.table));
    }
}
