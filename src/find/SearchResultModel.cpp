#include "SearchResultModel.h"

#include "store/StoreError.h"

#include <QScopedValueRollback>
#include <QTimer>

SearchResultModel::SearchResultModel(QObject* parent) : QAbstractTableModel(parent) {
    // A page cut short by the search's bound on work goes on once the events that
    // came meanwhile (the next keystroke, say) have been handled.
    m_goOn = new QTimer(this);
    m_goOn->setSingleShot(true);
    m_goOn->setInterval(0);
    connect(m_goOn, &QTimer::timeout, this, &SearchResultModel::readMore);
}

void SearchResultModel::show(RecordSearch* search, const SearchQuery& query, int pageSize, int firstRows) {
    // Those told of the reset read the first page, not a further one.
    const QScopedValueRollback busy(m_busy, true);
    beginResetModel();
    m_search = search;
    m_query = query;
    m_pageSize = std::max(1, pageSize);
    m_hits.clear();
    m_more = false;
    m_goOn->stop();
    m_wanted = std::max(m_pageSize, firstRows);
    try {
        if (m_search && !m_query.isEmpty()) {
            const SearchPage page = m_search->page(m_query, m_wanted);
            m_hits = page.hits;
            m_next = page.next;
            m_more = !page.finished;
        }
    } catch (const StoreError&) {
        m_hits.clear();
        m_more = false;
        endResetModel();
        throw;
    }
    endResetModel();
    goOnIfShort();
}

void SearchResultModel::goOnIfShort() {
    if (m_more && m_hits.size() < m_wanted)
        m_goOn->start();
}

void SearchResultModel::clear() {
    const QScopedValueRollback busy(m_busy, true);
    beginResetModel();
    m_hits.clear();
    m_more = false;
    m_goOn->stop();
    m_query = SearchQuery();
    endResetModel();
}

QList<qint64> SearchResultModel::countsRead() const {
    QList<qint64> counts(qsizetype(searchedTables().size()), 0);
    for (const SearchHit& hit : m_hits)
        ++counts[hit.tableIndex];
    return counts;
}

int SearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_hits.size());
}

int SearchResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SearchHit& hit = m_hits.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case SectionColumn:
            return searchedTables()[size_t(hit.tableIndex)].section;
        case NameColumn:
            return hit.name;
        case FieldColumn:
            return hit.fieldLabel;
        case TextColumn:
            return hit.text;
        }
        break;
    case MatchStartRole:
        return index.column() == TextColumn ? QVariant(hit.matchStart) : QVariant();
    case MatchLengthRole:
        return index.column() == TextColumn ? QVariant(hit.matchLength) : QVariant();
    }
    return {};
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case SectionColumn:
        return QStringLiteral("Section");
    case NameColumn:
        return QStringLiteral("Record");
    case FieldColumn:
        return QStringLiteral("Found in");
    case TextColumn:
        return QStringLiteral("Text");
    }
    return {};
}

bool SearchResultModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_more && !m_busy;
}

void SearchResultModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    m_wanted = std::max(m_wanted, int(m_hits.size()) + m_pageSize);
    readMore();
}

void SearchResultModel::readMore() {
    if (!m_more || m_hits.size() >= m_wanted || m_busy)
        return;
    // Those told of the new rows may ask for more: that waits until these are in.
    const QScopedValueRollback busy(m_busy, true);
    SearchPage page;
    try {
        page = m_search->page(m_query, m_wanted - int(m_hits.size()), m_next);
    } catch (const StoreError& e) {
        m_more = false;
        emit failed(e.message());
        return;
    }
    m_next = page.next;
    m_more = !page.finished;
    if (!page.hits.isEmpty()) {
        beginInsertRows({}, int(m_hits.size()), int(m_hits.size() + page.hits.size()) - 1);
        m_hits += page.hits;
        endInsertRows();
    }
    if (page.finished)
        emit allRead();
    goOnIfShort();
}
