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
#include <optional>
#include <set>
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

// The spellings of a short word in every letter case: the name indexes hold the
// names as typed, and a one- or two-letter word has at most four of them.
QStringList caseVariants(const QString& word) {
    QList<QString> variants{QString()};
    for (const char32_t c : word.toUcs4()) {
        QSet<char32_t> forms{c, char32_t(QChar::toLower(c)), char32_t(QChar::toUpper(c)),
                             char32_t(QChar::toTitleCase(c))};
        QList<QString> grown;
        for (const QString& start : variants) {
            for (const char32_t form : forms)
                grown << start + QString::fromUcs4(&form, 1);
        }
        variants = grown;
    }
    return variants;
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
// The record is read anyway to be shown; counts trust the index alone.
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
    const QString identity = query.indexExpression() + QChar(0x1f) + query.shortWords().join(QChar(0x1f)) +
                             QChar(0x1f) + query.containedWords().join(QChar(0x1f));
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
    const QStringList contained = query.containedWords();
    QList<qint64> keys;
    if (!query.matchesNameStart()) {
        const QStringList checked = checkedWords(query);
        SQLite::Statement& select = m_statements->get(
            QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ? AND rowid > ?%2 ORDER BY rowid LIMIT ?")
                .arg(Schema::quoted(table.index()), containsFilters(table, checked.size())));
        select.bind(1, query.indexExpression().toStdString());
        select.bind(2, static_cast<int64_t>(afterKey));
        select.bind(bindWords(select, checked, 3), limit);
        while (select.executeStep())
            keys << select.getColumn(0).getInt64();
        return keys;
    }
    // Names that begin with the first word: each spelling of it, in each name
    // field, is one run of its index in key order; the runs are merged.
    const QString& start = query.shortWords().first();
    const qsizetype letters = SearchQuery::length(start);
    std::set<qint64> merged;
    for (const NameField& name : table.nameFields) {
        SQLite::Statement& select = m_statements->get(
            QStringLiteral("SELECT _key FROM %1 INDEXED BY %2 WHERE substr(%3, 1, %4) = ? AND _key > "
                           "?%5 ORDER BY _key LIMIT ?")
                .arg(Schema::quoted(table.table), Schema::quoted(name.indexStem + ' ' + QString::number(letters)),
                     Schema::quoted(name.name))
                .arg(letters)
                .arg(containsFilters(table, contained.size())));
        for (const QString& spelling : caseVariants(start)) {
            select.reset();
            select.bind(1, spelling.toStdString());
            select.bind(2, static_cast<int64_t>(afterKey));
            select.bind(bindWords(select, contained, 3), limit);
            while (select.executeStep())
                merged.insert(select.getColumn(0).getInt64());
        }
    }
    for (auto it = merged.begin(); it != merged.end() && keys.size() < limit; ++it)
        keys << *it;
    return keys;
}

qint64 RecordSearch::countKeys(int tableIndex, const SearchQuery& query, int limit) {
    // Hits a page of the same query has read whole already.
    if (const QList<qint64>* known = knownKeys(tableIndex, query))
        return std::min<qint64>(known->size(), limit);
    const SearchedTable& table = searchedTables()[size_t(tableIndex)];
    const QStringList contained = query.containedWords();
    // SQLite counts within the index itself: no key has to come out of it.
    if (!query.matchesNameStart()) {
        SQLite::Statement& count =
            m_statements->get(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 WHERE %1 MATCH ?%2 LIMIT ?)")
                                  .arg(Schema::quoted(table.index()), containsFilters(table, contained.size())));
        count.bind(1, query.indexExpression().toStdString());
        count.bind(bindWords(count, contained, 2), limit);
        return count.executeStep() ? count.getColumn(0).getInt64() : 0;
    }
    // A name begins with one spelling of the word only, so with one name field the
    // counts of the spellings add up; with two, a record may begin with it in both.
    if (table.nameFields.size() != 1)
        return matchingKeys(tableIndex, query, 0, limit).size();
    const NameField& name = table.nameFields.front();
    const QString& start = query.shortWords().first();
    const qsizetype letters = SearchQuery::length(start);
    SQLite::Statement& count = m_statements->get(
        QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 INDEXED BY %2 WHERE substr(%3, 1, %4) = ?%5 LIMIT ?)")
            .arg(Schema::quoted(table.table), Schema::quoted(name.indexStem + ' ' + QString::number(letters)),
                 Schema::quoted(name.name))
            .arg(letters)
            .arg(containsFilters(table, contained.size())));
    qint64 counted = 0;
    for (const QString& spelling : caseVariants(start)) {
        if (counted >= limit)
            break;
        count.reset();
        count.bind(1, spelling.toStdString());
        count.bind(bindWords(count, contained, 2), static_cast<int64_t>(limit - counted));
        if (count.executeStep())
            counted += count.getColumn(0).getInt64();
    }
    return counted;
}

RecordSearch::Scan RecordSearch::scanKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit,
                                          qint64 budget) {
    const SearchedTable& table = searchedTables()[size_t(tableIndex)];
    const QStringList contained = query.containedWords();
    Scan scan;
    scan.lastKey = afterKey;
    if (contained.isEmpty()) {
        // Every record the index or name match finds is a hit: the limit bounds the work.
        scan.keys = matchingKeys(tableIndex, query, afterKey, limit);
        scan.lookedAt = scan.keys.size();
        scan.tableDone = scan.keys.size() < limit;
        if (!scan.keys.isEmpty())
            scan.lastKey = scan.keys.last();
        return scan;
    }
    // Whether the record holds the short words, as a column: each record found is
    // looked at once, hit or not, and the scan stops after budget of them.
    const QString holds = QStringLiteral("(1%1)").arg(containsFilters(table, contained.size()));
    if (!query.matchesNameStart()) {
        const QStringList checked = checkedWords(query);
        SQLite::Statement& select =
            m_statements->get(QStringLiteral("SELECT rowid, %2 FROM %1 WHERE %1 MATCH ? AND rowid > ? ORDER BY rowid "
                                             "LIMIT ?")
                                  .arg(Schema::quoted(table.index()),
                                       QStringLiteral("(1%1)").arg(containsFilters(table, checked.size()))));
        int next = bindWords(select, checked, 1);
        select.bind(next++, query.indexExpression().toStdString());
        select.bind(next++, static_cast<int64_t>(afterKey));
        select.bind(next, static_cast<int64_t>(budget));
        while (scan.keys.size() < limit && select.executeStep()) {
            ++scan.lookedAt;
            scan.lastKey = select.getColumn(0).getInt64();
            if (select.getColumn(1).getInt())
                scan.keys << scan.lastKey;
        }
        scan.tableDone = scan.keys.size() < limit && scan.lookedAt < budget;
        return scan;
    }
    // Each spelling of the first word in each name field is one run of its index in
    // key order. Where a run stopped at the budget, the keys beyond its last one are
    // unknown: the merged runs are trusted up to the smallest such key.
    const QString& start = query.shortWords().first();
    const qsizetype letters = SearchQuery::length(start);
    std::map<qint64, bool> merged;
    std::optional<qint64> bound;
    for (const NameField& name : table.nameFields) {
        SQLite::Statement& select = m_statements->get(
            QStringLiteral("SELECT _key, %5 FROM %1 INDEXED BY %2 WHERE substr(%3, 1, %4) = ? AND _key > ? ORDER BY "
                           "_key LIMIT ?")
                .arg(Schema::quoted(table.table), Schema::quoted(name.indexStem + ' ' + QString::number(letters)),
                     Schema::quoted(name.name))
                .arg(letters)
                .arg(holds));
        for (const QString& spelling : caseVariants(start)) {
            select.reset();
            int next = bindWords(select, contained, 1);
            select.bind(next++, spelling.toStdString());
            select.bind(next++, static_cast<int64_t>(afterKey));
            select.bind(next, static_cast<int64_t>(budget));
            qint64 rows = 0, last = 0;
            while (select.executeStep()) {
                ++rows;
                last = select.getColumn(0).getInt64();
                merged[last] = select.getColumn(1).getInt() != 0;
            }
            if (rows >= budget)
                bound = bound ? std::min(*bound, last) : last;
        }
    }
    for (const auto& [key, holdsWords] : merged) {
        if ((bound && key > *bound) || scan.keys.size() >= limit)
            break;
        ++scan.lookedAt;
        scan.lastKey = key;
        if (holdsWords)
            scan.keys << key;
    }
    scan.tableDone = !bound && scan.keys.size() < limit;
    if (bound && scan.keys.size() < limit)
        scan.lastKey = *bound;
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

QList<HitCount> RecordSearch::boundedCounts(const SearchQuery& query) {
    if (query.containedWords().isEmpty()) {
        QList<HitCount> exact;
        for (const qint64 count : counts(query))
            exact << HitCount{count, true};
        return exact;
    }
    QList<HitCount> counted;
    readInSnapshot([&] {
        for (int t = 0; t < int(searchedTables().size()); ++t) {
            const Scan scan = scanKeys(t, query, 0, CountLimit + 1, m_scanLimit);
            counted << HitCount{scan.keys.size(), scan.tableDone || scan.keys.size() > CountLimit};
        }
    });
    return counted;
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
    QList<int> nameFields;
    QStringList nameParts;
    for (const NameField& name : table.nameFields) {
        for (int f = 0; f < table.fields.size(); ++f) {
            if (table.fields[f].name == name.name) {
                nameFields << f;
                if (!values.value(f).isEmpty())
                    nameParts << values.value(f);
            }
        }
    }
    SearchHit hit;
    hit.tableIndex = tableIndex;
    hit.table = table.table;
    hit.key = key;
    hit.name = nameParts.join(QStringLiteral(", "));
    const MatchText match = locateMatch(values, query, nameFields);
    if (match.fieldIndex >= 0) {
        hit.field = table.fields[match.fieldIndex].name;
        hit.fieldLabel = table.fields[match.fieldIndex].label;
        hit.text = match.text;
        hit.matchStart = match.start;
        hit.matchLength = match.length;
    }
    return hit;
}
