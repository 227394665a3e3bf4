#pragma once

#include "search/RecordSearch.h"

#include <QAbstractTableModel>
#include <QList>

class QTimer;

// The records a search found, for the Find window's list: a page at a time,
// the next page fetched when the list scrolls to the end of what it holds. A
// page the search's bound on work cut short is filled in later turns of the
// event loop, so typing is never held up by a long search.
class SearchResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SectionColumn, NameColumn, FieldColumn, TextColumn, ColumnCount };
    // Where the match lies in the text column.
    enum Role { MatchStartRole = Qt::UserRole, MatchLengthRole };

    explicit SearchResultModel(QObject* parent = nullptr);

    // Shows the first page of the query's hits, at least firstRows of them where
    // there are so many; an empty query shows nothing. Later pages are read
    // pageSize hits at a time. Throws StoreError, showing nothing.
    // Rows shown as they were stay as they are: as the user types, most of the
    // list stays the same and only what changed is repainted.
    void show(RecordSearch* search, const SearchQuery& query, int pageSize, int firstRows = 0);
    void clear();
    const SearchHit& hit(int row) const { return m_hits.at(row); }
    // Hits per section among the rows read, in the order of the searched tables.
    QList<qint64> countsRead() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // Reading a further page failed; the list keeps what it has.
    void failed(const QString& message);
    // The same, because the file's search index is damaged.
    void indexDamaged();
    // The last hit has been read after pages cut short: the list holds every hit.
    void allRead();
    // The first page of a query is in the rows, whether or not any row changed.
    void shown();

private:
    void readMore();
    void goOnIfShort();
    // Makes the rows those hits, telling of the rows added, removed and shown differently.
    void replaceHits(const QList<SearchHit>& hits);

    RecordSearch* m_search = nullptr;
    SearchQuery m_query;
    int m_pageSize = 0;
    QList<SearchHit> m_hits;
    bool m_more = false;
    bool m_busy = false;
    SearchPosition m_next;
    int m_wanted = 0; // rows asked for so far
    QTimer* m_goOn;
};
