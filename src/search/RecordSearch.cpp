#include "RecordSearch.h"

#include "MatchText.h"
#include "store/Connection.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QSet>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <functional>
#include <map>
#include <sqlite3.h>

namespace {

// quillmere_contains(word, value, ...): 1 when any value holds the word in any
// letter case. Registered on the search's own connection only: the file's
// triggers never call it, so every program can still write the file.
void containsFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const auto text = [&](int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])),
                                 sqlite3_value_bytes(argv[i]));
    };
    const QString word = text(0);
    for (int i = 1; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) != SQLITE_NULL && text(i).contains(word, Qt::CaseInsensitive)) {
            sqlite3_result_int(context, 1);
            return;
        }
    }
    sqlite3_result_int(context, 0);
}

// Binds the words to the statement's parameters from `first` on; returns the next free one.
int bindWords(SQLite::Statement& statement, const QStringList& words, int first) {
    for (const QString& word : words)
        statement.bind(first++, word.toStdString());
    return first;
}

QString columnList(const SearchedTable& table) {
    QStringList names;
    for (const SearchedField& field : table.fields)
        names << Schema::quoted(field.name);
    return names.join(QStringLiteral(", "));
}

// The words a record found through the index must be seen to hold in its own
// text: the short ones the index cannot look for, and the indexed ones too, so
// that a damaged index can miss records but never show one that does not match.
// The record is read anyway to be shown; counts read only for the words the
// index cannot confirm.
QStringList checkedWords(const SearchQuery& query) {
    return query.containedWords() + query.indexedWords();
}

// Whether a failure of a search came from its index rather than from the records:
// SQLite finds the index's own tables damaged or gone.
bool indexFailed(const std::exception& failure) {
    const auto* sqlite = dynamic_cast<const SQLite::Exception*>(&failure);
    if (!sqlite)
        return false;
    const int code = sqlite->getErrorCode() & 0xff;
    return code == SQLITE_CORRUPT ||
           (code == SQLITE_ERROR && QString::fromUtf8(sqlite->what()).contains(QLatin1String(" search")));
}

// " AND quillmere_contains(?, fields...)" once for each word a record must also contain.
QString containsFilters(const SearchedTable& table, qsizetype words) {
    QString filters;
    for (qsizetype i = 0; i < words; ++i)
        filters += QStringLiteral(" AND quillmere_contains(?, %1)").arg(columnList(table));
    return filters;
}

// The records that may hold the query's words, in key order, with `columns`
// after the key and `filters` on them: those the index finds, or every record
// when no word is long enough for the index. Its parameters: the words of
// `columns`, the index expression (not when scanning), the key to start after,
// the words of `filters`.
QString candidates(const SearchedTable& table, const SearchQuery& query, const QString& columns,
                   const QString& filters) {
    if (query.scansRecords())
        return QStringLiteral("SELECT _key%2 FROM %1 WHERE _key > ?%3 ORDER BY _key")
            .arg(Schema::quoted(table.table), columns, filters);
    return QStringLiteral("SELECT rowid%2 FROM %1 WHERE %1 MATCH ? AND rowid > ?%3 ORDER BY rowid")
        .arg(Schema::quoted(table.index()), columns, filters);
}

// Binds the index expression, where the query has one, and the key to start after,
// from parameter `first` on; returns the next free one.
int bindStart(SQLite::Statement& statement, const SearchQuery& query, qint64 afterKey, int first) {
    if (!query.scansRecords())
        statement.bind(first++, query.indexExpression().toStdString());
    statement.bind(first++, static_cast<int64_t>(afterKey));
    return first;
}

} // namespace

// Statements prepared once per text and reused: a keystroke runs a dozen of them.
class RecordSearch::Statements {
public:
    explicit Statements(SQLite::Database& db) : m_db(db) {}
    SQLite::Statement& get(const QString& sql) {
        const std::string key = sql.toStdString();
        auto it = m_cache.find(key);
        if (it == m_cache.end())
            it = m_cache.emplace(key, std::make_unique<SQLite::Statement>(m_db, key)).first;
        it->second->reset();
        it->second->clearBindings();
        return *it->second;
    }
    // A statement left part way through its rows keeps the file locked for
    // reading, and no other connection could save: every call ends with this.
    void finishAll() {
        for (auto& [sql, statement] : m_cache)
            statement->tryReset();
    }

private:
    SQLite::Database& m_db;
    std::map<std::string, std::unique_ptr<SQLite::Statement>> m_cache;
};

RecordSearch::RecordSearch(const QString& databasePath) {
    try {
        m_connection = std::make_unique<Connection>(databasePath);
    } catch (const StoreError& e) {
        // An index that lost its own tables cannot even be opened.
        if (Migration::stateOf(databasePath) == Migration::State::Damaged)
            throw SearchIndexDamaged(e.message());
        throw;
    }
    SQLite::Database& db = m_connection->db();
    try {
        QStringList indexes;
        for (const SearchedTable& table : searchedTables())
            indexes << QLatin1Char('\'') + QString(table.index()).replace('\'', "''") + QLatin1Char('\'');
        const int present = db.execAndGet(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                                         "name IN (%1)")
                                              .arg(indexes.join(", "))
                                              .toStdString())
                                .getInt();
        if (present != int(searchedTables().size()))
            throw StoreError(QStringLiteral("The database file %1 has no search index yet. It is added when the "
                                            "program starts.")
                                 .arg(databasePath));
        sqlite3_create_function_v2(db.getHandle(), "quillmere_contains", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   nullptr, &containsFunction, nullptr, nullptr, nullptr);
    } catch (const StoreError&) {
        throw;
    } catch (const std::exception& e) {
        throw StoreError(m_connection->failure(QStringLiteral("cannot be searched"), e));
    }
    m_statements = std::make_unique<Statements>(db);
}

RecordSearch::~RecordSearch() = default;

const QList<qint64>* RecordSearch::knownKeys(int tableIndex, const SearchQuery& query) {
    const QString identity = query.words().join(QChar(0x1f));
    const qint64 version = dataVersion();
    if (m_known.query != identity || m_known.dataVersion != version)
        m_known = {identity, version, {}};
    const auto known = m_known.keys.find(tableIndex);
    return known == m_known.keys.end() ? nullptr : &known->second;
}

QList<qint64> RecordSearch::matchingKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit) {
    if (const QList<qint64>* known = knownKeys(tableIndex, query)) {
        QList<qint64> keys;
        for (auto it = std::upper_bound(known->begin(), known->end(), afterKey);
             it != known->end() && keys.size() < limit; ++it)
            keys << *it;
        return keys;
    }
    QList<qint64> keys = readMatchingKeys(tableIndex, query, afterKey, limit);
    if (afterKey == 0 && keys.size() < limit)
        m_known.keys[tableIndex] = keys;
    return keys;
}

QList<qint64> RecordSearch::readMatchingKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit) {
    const SearchedTable& table = searchedTables()[size_t(tableIndex)];
    const QStringList checked = checkedWords(query);
    SQLite::Statement& select = m_statements->get(
        candidates(table, query, QString(), containsFilters(table, checked.size())) + QStringLiteral(" LIMIT ?"));
    select.bind(bindWords(select, checked, bindStart(select, query, afterKey, 1)), limit);
    QList<qint64> keys;
    while (select.executeStep())
        keys << select.getColumn(0).getInt64();
    return keys;
}

qint64 RecordSearch::countKeys(int tableIndex, const SearchQuery& query, int limit) {
    // Hits a page of the same query has read whole already.
    if (const QList<qint64>* known = knownKeys(tableIndex, query))
        return std::min<qint64>(known->size(), limit);
    const SearchedTable& table = searchedTables()[size_t(tableIndex)];
    // A record the index finds holds every piece of the words, not always the words:
    // those of more than one piece are read for, and the short ones. A query of
    // three-letter words is counted within the index: no record has to be read.
    const QStringList unconfirmed = query.unconfirmedWords();
    SQLite::Statement& count =
        m_statements->get(QStringLiteral("SELECT count(*) FROM (%1 LIMIT ?)")
                              .arg(candidates(table, query, QString(), containsFilters(table, unconfirmed.size()))));
    count.bind(bindWords(count, unconfirmed, bindStart(count, query, 0, 1)), limit);
    return count.executeStep() ? count.getColumn(0).getInt64() : 0;
}

RecordSearch::Scan RecordSearch::scanKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit,
                                          qint64 budget) {
    Scan scan;
    scan.lastKey = afterKey;
    if (query.unconfirmedWords().isEmpty()) {
        // Every record the index finds is a hit: the limit bounds the work.
        scan.keys = matchingKeys(tableIndex, query, afterKey, limit);
        scan.lookedAt = scan.keys.size();
        scan.tableDone = scan.keys.size() < limit;
        if (!scan.keys.isEmpty())
            scan.lastKey = scan.keys.last();
        return scan;
    }
    // Whether the record holds the words, as a column: each record found is
    // looked at once, hit or not, and the scan stops after budget of them.
    const SearchedTable& table = searchedTables()[size_t(tableIndex)];
    const QStringList checked = checkedWords(query);
    SQLite::Statement& select = m_statements->get(
        candidates(table, query, QStringLiteral(", (1%1)").arg(containsFilters(table, checked.size())), QString()) +
        QStringLiteral(" LIMIT ?"));
    select.bind(bindStart(select, query, afterKey, bindWords(select, checked, 1)), static_cast<int64_t>(budget));
    while (scan.keys.size() < limit && select.executeStep()) {
        ++scan.lookedAt;
        scan.lastKey = select.getColumn(0).getInt64();
        if (select.getColumn(1).getInt())
            scan.keys << scan.lastKey;
    }
    scan.tableDone = scan.keys.size() < limit && scan.lookedAt < budget;
    return scan;
}

SearchPage RecordSearch::page(const SearchQuery& query, int limit, SearchPosition from) {
    SearchPage page;
    page.next = from;
    const int tables = int(searchedTables().size());
    if (query.isEmpty() || limit <= 0 || from.tableIndex >= tables) {
        page.finished = query.isEmpty() || from.tableIndex >= tables;
        return page;
    }
    qint64 budget = m_scanLimit;
    readInSnapshot([&] {
        for (int t = from.tableIndex; t < tables; ++t) {
            const qint64 afterKey = t == from.tableIndex ? from.afterKey : 0;
            const Scan scan = scanKeys(t, query, afterKey, limit - int(page.hits.size()), budget);
            for (const qint64 key : scan.keys)
                page.hits << describe(t, key, query);
            budget -= scan.lookedAt;
            if (!scan.tableDone) {
                page.next = {t, scan.lastKey};
                break;
            }
            page.next = {t + 1, 0};
            page.finished = t + 1 == tables;
            if (int(page.hits.size()) >= limit || budget <= 0)
                break;
        }
    });
    return page;
}

CountProgress RecordSearch::startCounts(const SearchQuery& query) {
    CountProgress progress;
    countOn(query, progress, true);
    return progress;
}

void RecordSearch::countMore(const SearchQuery& query, CountProgress& progress) {
    countOn(query, progress, false);
}

void RecordSearch::countOn(const SearchQuery& query, CountProgress& progress, bool firstTurn) {
    const int tables = int(searchedTables().size());
    // A word of more than one piece is confirmed in each record the index finds:
    // those are counted a budget at a time, as the short words are.
    if (query.unconfirmedWords().isEmpty()) {
        // The index counts without reading a record: exact at once.
        progress = {{}, QList<qint64>(tables, 0), -1};
        for (const qint64 count : counts(query))
            progress.counts << HitCount{count, true};
        return;
    }
    readInSnapshot([&] {
        const qint64 version = dataVersion();
        if (progress.dataVersion != version || progress.counts.size() != tables)
            progress = {QList<HitCount>(tables, HitCount{0, false}), QList<qint64>(tables, 0), version};
        qint64 shared = m_scanLimit;
        for (int t = 0; t < tables && shared > 0; ++t) {
            HitCount& count = progress.counts[t];
            if (count.exact)
                continue;
            const Scan scan = scanKeys(t, query, progress.afterKeys[t], CountLimit + 1 - int(count.count),
                                       firstTurn ? shared : m_scanLimit);
            count.count += scan.keys.size();
            count.exact = scan.tableDone || count.count > CountLimit;
            progress.afterKeys[t] = scan.lastKey;
            if (firstTurn)
                shared -= scan.lookedAt;
        }
    });
}

QList<qint64> RecordSearch::counts(const SearchQuery& query) {
    QList<qint64> counts;
    readInSnapshot([&] {
        for (int t = 0; t < int(searchedTables().size()); ++t) {
            if (query.isEmpty()) {
                counts << 0;
            } else {
                counts << countKeys(t, query, CountLimit + 1);
            }
        }
    });
    return counts;
}

QList<SearchHit> RecordSearch::hits(const SearchQuery& query, int limit, const SearchHit* after) {
    QList<SearchHit> found;
    if (query.isEmpty() || limit <= 0)
        return found;
    readInSnapshot([&] {
        const int first = after ? after->tableIndex : 0;
        for (int t = first; t < int(searchedTables().size()) && found.size() < limit; ++t) {
            const qint64 afterKey = after && t == after->tableIndex ? after->key : 0;
            for (const qint64 key : matchingKeys(t, query, afterKey, limit - int(found.size())))
                found << describe(t, key, query);
        }
    });
    return found;
}

void RecordSearch::readInSnapshot(const std::function<void()>& read) {
    const Snapshot snapshot(*this);
    try {
        read();
    } catch (const std::exception& e) {
        m_statements->finishAll();
        if (indexFailed(e))
            throw SearchIndexDamaged(m_connection->failure(QStringLiteral("has a damaged search index"), e));
        throw StoreError(m_connection->failure(QStringLiteral("cannot be searched"), e));
    }
    m_statements->finishAll();
}

qint64 RecordSearch::dataVersion() {
    if (m_inSnapshot && m_snapshotVersion >= 0)
        return m_snapshotVersion;
    try {
        SQLite::Statement& read = m_statements->get(QStringLiteral("PRAGMA data_version"));
        const qint64 version = read.executeStep() ? read.getColumn(0).getInt64() : -1;
        read.reset();
        if (m_inSnapshot)
            m_snapshotVersion = version;
        return version;
    } catch (const std::exception& e) {
        throw StoreError(m_connection->failure(QStringLiteral("cannot be searched"), e));
    }
}

RecordSearch::Snapshot::Snapshot(RecordSearch& search) : m_search(search) {
    if (m_search.m_inSnapshot)
        return;
    try {
        m_search.m_statements->get(QStringLiteral("BEGIN")).exec();
    } catch (const std::exception& e) {
        throw StoreError(m_search.m_connection->failure(QStringLiteral("cannot be searched"), e));
    }
    m_outer = true;
    m_search.m_inSnapshot = true;
    m_search.m_snapshotVersion = -1;
}

RecordSearch::Snapshot::~Snapshot() {
    if (!m_outer)
        return;
    m_search.m_inSnapshot = false;
    m_search.m_statements->finishAll();
    // Nothing was written: ending the read cannot lose anything, so a failure is let go.
    try {
        m_search.m_statements->get(QStringLiteral("COMMIT")).exec();
    } catch (const std::exception&) {
        sqlite3_exec(m_search.m_connection->db().getHandle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

SearchHit RecordSearch::describe(int tableIndex, qint64 key, const SearchQuery& query) {
    const SearchedTable& table = searchedTables()[size_t(tableIndex)];
    SQLite::Statement& read = m_statements->get(
        QStringLiteral("SELECT %1 FROM %2 WHERE _key = ?").arg(columnList(table), Schema::quoted(table.table)));
    read.bind(1, static_cast<int64_t>(key));
    QStringList values;
    if (read.executeStep()) {
        for (int c = 0; c < read.getColumnCount(); ++c)
            values << QString::fromUtf8(read.getColumn(c).getText());
    }
    QStringList nameParts;
    for (const NameField& name : table.nameFields) {
        for (int f = 0; f < table.fields.size(); ++f) {
            if (table.fields[f].name == name.name && !values.value(f).isEmpty())
                nameParts << values.value(f);
        }
    }
    SearchHit hit;
    hit.tableIndex = tableIndex;
    hit.table = table.table;
    hit.key = key;
    hit.name = nameParts.join(QStringLiteral(", "));
    const MatchText match = locateMatch(values, query);
    if (match.fieldIndex >= 0) {
        hit.field = table.fields[match.fieldIndex].name;
        hit.fieldLabel = table.fields[match.fieldIndex].label;
        hit.text = match.text;
        hit.matchStart = match.start;
        hit.matchLength = match.length;
    }
    return hit;
}
