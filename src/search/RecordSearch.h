#pragma once

#include "SearchQuery.h"
#include "SearchedTables.h"
#include "store/StoreError.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>

class Connection;

// A search failed because the file's search index is damaged or partly gone:
// the records themselves may be whole, and the repair builds the index again.
class SearchIndexDamaged : public StoreError {
public:
    using StoreError::StoreError;
};

// One record found by a search.
struct SearchHit {
    int tableIndex = 0; // into searchedTables(): the section
    QString table;      // the record's table, as stored ("account", "Credit Card", ...)
    qint64 key = 0;     // the record's key: its bookmark in a binder on that table
    QString name;       // account name; card type and bank; person's name; note title; reminder date
    QString field;      // the field that matched, as stored
    QString fieldLabel; // the same as the windows call it
    QString text;       // the line of that field that holds the match, cut to a readable length
    int matchStart = 0; // the matched characters within text
    int matchLength = 0;
};

// Where a paged search goes on: after the given key of the given section
// (an index into searchedTables()).
struct SearchPosition {
    int tableIndex = 0;
    qint64 afterKey = 0;
};

// Hits read by one call of RecordSearch::page().
struct SearchPage {
    QList<SearchHit> hits;
    SearchPosition next;   // where the following page starts
    bool finished = false; // no hit lies beyond next
};

// A section's number of hits; one that is not exact is at least that many.
struct HitCount {
    qint64 count = 0;
    bool exact = true;
};

// How far the counts of a query have come when a bound on work stopped them:
// each count goes on from its section's key in a later call.
struct CountProgress {
    QList<HitCount> counts;  // per section, in the order of searchedTables()
    QList<qint64> afterKeys; // where each count that is not exact goes on
    qint64 dataVersion = -1; // of the file the counts were begun on
    bool finished() const {
        return std::all_of(counts.begin(), counts.end(), [](const HitCount& c) { return c.exact; });
    }
};

// Finds records of all five sections of a record database as the user types.
//
//     RecordSearch search(pathOfPasswordMdb);        // throws StoreError
//     const SearchQuery query = SearchQuery::parse(userText);
//     QList<qint64> perSection = search.counts(query);  // one per searchedTables() entry
//     QList<SearchHit> first = search.hits(query, 50);
//     QList<SearchHit> next = search.hits(query, 50, &first.last());
//
// Hits come section by section (the order of searchedTables()), each section
// in the records' natural order. Each call reads only the rows it returns (the
// index gives the keys in order, a page starts after the last hit seen), so a
// query that matches every record costs what one that matches a single record
// does. Counts stop at CountLimit + 1: above CountLimit, say "more than".
// A hit is a record whose own text holds every word, whatever the index says;
// a search the index cannot answer throws SearchIndexDamaged.
// The secrets are never read. Every call sees what has been committed to the
// file up to then.
class RecordSearch {
public:
    static constexpr int CountLimit = 1000;

    // Opens the record database; throws StoreError when it is missing, unreadable
    // or has no search index (a file made before the index, not yet migrated).
    explicit RecordSearch(const QString& databasePath);
    ~RecordSearch();

    // Hits per section, in the order of searchedTables(), each at most CountLimit + 1.
    // Throws StoreError.
    QList<qint64> counts(const SearchQuery& query);
    // At most limit hits after the given one (from the start when none). Throws StoreError.
    QList<SearchHit> hits(const SearchQuery& query, int limit, const SearchHit* after = nullptr);
    // The same as hits() and counts(), with the work of one call bounded: a query
    // with words of one or two letters reads the records themselves to look for
    // them (those the index finds for its longer words, or every record when it
    // has none), and one call reads at most scanLimit() of those. So a page may hold fewer hits than asked, or none,
    // and not be the last; a count may stop short. Throw StoreError.
    SearchPage page(const SearchQuery& query, int limit, SearchPosition from = {});
    QList<HitCount> boundedCounts(const SearchQuery& query) { return startCounts(query).counts; }
    // The counts of boundedCounts() and where those that are not exact go on;
    // countMore() takes each of them on by at most scanLimit() records, and begins
    // again when the file was written meanwhile. startCounts() reads at most
    // scanLimit() records in all, so that the first answer is painted at once.
    // Throw StoreError.
    CountProgress startCounts(const SearchQuery& query);
    void countMore(const SearchQuery& query, CountProgress& progress);
    int scanLimit() const { return m_scanLimit; }
    void setScanLimit(int records) { m_scanLimit = std::max(1, records); }

    // A number that changes when another connection has written the file since
    // it was last read: hits shown earlier may be out of date. Throws StoreError.
    qint64 dataVersion();

    // While one is alive, every call reads the same state of the file: the counts
    // and the page of one keystroke agree even when another program saves between
    // them, and the file is locked for reading once instead of once per statement.
    // Nested ones share the outer one's. Throws StoreError.
    class Snapshot {
    public:
        explicit Snapshot(RecordSearch& search);
        ~Snapshot();
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;

    private:
        RecordSearch& m_search;
        bool m_outer = false;
    };

private:
    class Statements;
    // Keys of one table read within a bound of records looked at.
    struct Scan {
        QList<qint64> keys;
        qint64 lookedAt = 0;
        qint64 lastKey = 0; // the last key looked at, where the next scan starts
        bool tableDone = false;
    };
    // Runs a read of the file in one snapshot, its statements finished afterwards;
    // a failure becomes a StoreError naming the file.
    void readInSnapshot(const std::function<void()>& read);
    // Every hit of the table when a call for the same query has read them all, else null.
    const QList<qint64>* knownKeys(int tableIndex, const SearchQuery& query);
    QList<qint64> matchingKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit);
    // The number of the table's hits, at most limit.
    qint64 countKeys(int tableIndex, const SearchQuery& query, int limit);
    // countMore() with one budget of records for every section (firstTurn) or one each.
    void countOn(const SearchQuery& query, CountProgress& progress, bool firstTurn);
    QList<qint64> readMatchingKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit);
    Scan scanKeys(int tableIndex, const SearchQuery& query, qint64 afterKey, int limit, qint64 budget);
    SearchHit describe(int tableIndex, qint64 key, const SearchQuery& query);

    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<Statements> m_statements;
    int m_scanLimit = 100; // about 1 ms of reading records with long texts

    // Every hit of a table that a call found whole (fewer than it asked for), so the
    // counts and later pages of the same query read no index again: for a rare
    // query whose words are common, the index's work is most of a keystroke. Valid
    // while the file's data_version and the query stay the same.
    struct KnownHits {
        QString query;
        qint64 dataVersion = -1;
        std::map<int, QList<qint64>> keys; // by table index; only tables whose every hit is known
    };
    KnownHits m_known;
    bool m_inSnapshot = false;
    qint64 m_snapshotVersion = -1; // read once per snapshot: it cannot change within one
};
