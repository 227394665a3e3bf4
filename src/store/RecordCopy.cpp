#include "RecordCopy.h"

#include "RecordIdentity.h"
#include "Schema.h"
#include "StoreError.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <limits>
#include <optional>

namespace {

QString fieldList(const Schema::Table& table) {
    QStringList names;
    for (const QString& field : table.fields)
        names << Schema::quoted(field);
    return names.join(QStringLiteral(", "));
}

// Inserts records of one table into the new file, each field as the source's
// text, with the record's identity, time and computer. A source made before
// records had identities gives each the identity derived from its table, key
// and text, as bringing that file up to date would.
class Inserter {
public:
    Inserter(SQLite::Database& target, const Schema::Table& table)
        : m_table(table),
          m_insert(target, QStringLiteral("INSERT INTO %1 (%2, \"_id\", \"_modified\", \"_machine\") VALUES (%3)")
                               .arg(Schema::quoted(table.name), fieldList(table),
                                    QStringList(table.fields.size() + 3, QStringLiteral("?")).join(", "))
                               .toStdString()) {}

    // The columns a row of the source is read with: the fields, the key, and the
    // identity, time and computer where the source has them.
    static QString sourceColumns(SQLite::Database& source, const Schema::Table& table) {
        return fieldList(table) + QStringLiteral(", \"_key\"") +
               (hasIdentities(source, table) ? QStringLiteral(", \"_id\", \"_modified\", \"_machine\"") : QString());
    }

    // The fields begin at column `first` of the row read; the key and the rest follow them.
    void insert(SQLite::Statement& row, int first, int count) {
        std::vector<RecordIdentity::FieldText> texts;
        for (int i = 0; i < count; ++i) {
            const SQLite::Column value = row.getColumn(first + i);
            if (value.isNull()) {
                m_insert.bind(i + 1);
                texts.emplace_back();
            } else {
                // Asked for its bytes, SQLite gives any value as text, NUL characters
                // included: a number in a column typed INTEGER comes as its digits.
                const char* bytes = static_cast<const char*>(value.getBlob());
                const std::string text(bytes ? bytes : "", size_t(value.getBytes()));
                m_insert.bind(i + 1, text);
                texts.emplace_back(QByteArray::fromStdString(text));
            }
        }
        const int key = first + count;
        if (row.getColumnCount() > key + 1 && !row.getColumn(key + 1).isNull()) {
            m_insert.bind(count + 1, row.getColumn(key + 1).getString());
            m_insert.bind(count + 2, row.getColumn(key + 2).getInt64());
            if (row.getColumn(key + 3).isNull())
                m_insert.bind(count + 3);
            else
                m_insert.bind(count + 3, row.getColumn(key + 3).getString());
        } else {
            const QString identity = RecordIdentity::derived(m_table.name, row.getColumn(key).getInt64(), texts);
            m_insert.bind(count + 1, identity.toStdString());
            m_insert.bind(count + 2, int64_t(0));
            m_insert.bind(count + 3, std::string());
        }
        m_insert.exec();
        m_insert.reset();
    }

private:
    static bool hasIdentities(SQLite::Database& source, const Schema::Table& table) {
        SQLite::Statement columns(source, "SELECT count(*) FROM pragma_table_info(?) WHERE name IN ('_id', "
                                          "'_modified', '_machine')");
        columns.bind(1, table.name.toStdString());
        return columns.executeStep() && columns.getColumn(0).getInt() == 3;
    }

    const Schema::Table& m_table;
    SQLite::Statement m_insert;
};

// The deletions and the versions that lost a merge, where the source keeps them:
// without them the copies on other computers would bring deleted records back.
// Rows that cannot be read are left out.
void copySyncRecords(SQLite::Database& source, SQLite::Database& target) {
    const std::pair<const char*, const char*> tables[] = {
        {"_tombstones", "\"identity\", \"tableName\", \"deleted\", \"machine\""},
        {"_history", "\"tableName\", \"identity\", \"modified\", \"machine\", \"fields\", \"kept\""}};
    for (const auto& [table, columns] : tables) {
        try {
            const int count = int(QString::fromLatin1(columns).count(QLatin1Char(',')) + 1);
            SQLite::Statement rows(source, QStringLiteral("SELECT %1 FROM \"%2\"").arg(columns, table).toStdString());
            SQLite::Statement insert(target, QStringLiteral("INSERT OR IGNORE INTO \"%1\" (%2) VALUES (%3)")
                                                 .arg(table, columns, QStringList(count, "?").join(", "))
                                                 .toStdString());
            while (rows.executeStep()) {
                for (int i = 0; i < count; ++i) {
                    const SQLite::Column value = rows.getColumn(i);
                    if (value.isInteger())
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

constexpr qint64 Lowest = std::numeric_limits<qint64>::min();
constexpr qint64 Highest = std::numeric_limits<qint64>::max();

// The keys of a table that its own b-tree still gives, in order. The index is
// never used (it may be what is damaged). A damaged page stops a walk; the walk
// then starts again at the lowest key past it that can be reached.
class KeyWalk {
public:
    KeyWalk(SQLite::Database& db, const Schema::Table& table)
        : m_walk(db, QStringLiteral("SELECT %1 FROM %2 NOT INDEXED WHERE %1 >= ? ORDER BY %1")
                         .arg(Schema::quoted(Schema::KeyColumn), Schema::quoted(table.name))
                         .toStdString()) {}

    std::vector<qint64> keys() {
        std::vector<qint64> found;
        std::optional<qint64> from = Lowest;
        while (from) {
            qint64 next = *from; // the lowest key not yet walked past
            from.reset();
            try {
                m_walk.tryReset(); // the earlier failure was dealt with: never thrown again
                m_walk.bind(1, int64_t(next));
                while (m_walk.executeStep()) {
                    const qint64 key = m_walk.getColumn(0).getInt64();
                    found.push_back(key);
                    if (key == Highest)
                        return found;
                    next = key + 1;
                }
            } catch (const std::exception&) {
                from = resumeAfter(next);
            }
        }
        return found;
    }

private:
    // True when a walk starting at `start` reads its first step without error.
    bool reachable(qint64 start) {
        try {
            m_walk.tryReset(); // the earlier failure was dealt with: never thrown again
            m_walk.bind(1, int64_t(start));
            m_walk.executeStep();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    // The lowest start above `failed` from which a walk goes on; nothing when none does.
    std::optional<qint64> resumeAfter(qint64 failed) {
        qint64 step = 1;
        qint64 probe = failed;
        for (;;) {
            if (probe > Highest - step)
                return std::nullopt;
            probe += step;
            if (reachable(probe))
                break;
            failed = probe;
            step *= 2;
        }
        // Between the last start that failed and the first that worked lies the
        // lowest start that works: records past the damage are not skipped.
        qint64 low = failed, high = probe;
        while (high - low > 1) {
            const qint64 middle = low + (high - low) / 2;
            (reachable(middle) ? high : low) = middle;
        }
        return high;
    }

    SQLite::Statement m_walk;
};

} // namespace

bool CopyResult::complete() const {
    for (const TableTally& t : tables) {
        if (t.expected != t.copied)
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
            SQLite::Statement rows(source, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                               .arg(Inserter::sourceColumns(source, *table),
                                                    Schema::quoted(table->name), Schema::quoted(Schema::KeyColumn))
                                               .toStdString());
            Inserter inserter(target, *table);
            while (rows.executeStep()) {
                inserter.insert(rows, 0, int(table->fields.size()));
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

CopyResult salvageRecords(SQLite::Database& source, SQLite::Database& target) {
    // Damage inside a page is caught on reading it, not later.
    source.exec("PRAGMA cell_size_check=ON");
    CopyResult result;
    SQLite::Transaction transaction(target);
    for (const Schema::Table* table : Schema::recordTables()) {
        TableTally tally{table->name, countOf(source, *table).value_or(-1)};
        std::vector<qint64> keys;
        try {
            keys = KeyWalk(source, *table).keys();
        } catch (const std::exception&) {
            // The table itself cannot be read: none of its records is recovered.
        }
        if (!keys.empty()) {
            SQLite::Statement row(source, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                              .arg(Inserter::sourceColumns(source, *table), Schema::quoted(table->name),
                                                   Schema::quoted(Schema::KeyColumn))
                                              .toStdString());
            Inserter inserter(target, *table);
            for (qint64 key : keys) {
                try {
                    row.tryReset();
                    row.bind(1, int64_t(key));
                    if (!row.executeStep())
                        continue;
                } catch (const std::exception&) {
                    continue; // this record's text is damaged
                }
                inserter.insert(row, 0, int(table->fields.size()));
                ++tally.copied;
            }
        }
        // A source without kept counts says how many at least by what was found.
        if (tally.expected >= 0 && tally.expected < tally.copied)
            tally.expected = tally.copied;
        result.tables.push_back(tally);
    }
    copySyncRecords(source, target);
    transaction.commit();
    return result;
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
