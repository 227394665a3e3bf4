#include "SearchResultModel.h"

#include "store/StoreError.h"

#include <QScopedValueRollback>

SearchResultModel::SearchResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void SearchResultModel::show(RecordSearch* search, const SearchQuery& query, int pageSize, int firstRows) {
    // Those told of the reset read the first page, not a further one.
    const QScopedValueRollback resetting(m_resetting, true);
    beginResetModel();
    m_search = search;
    m_query = query;
    m_pageSize = std::max(1, pageSize);
    m_hits.clear();
    m_more = false;
    try {
        if (m_search && !m_query.isEmpty()) {
            const int first = std::max(m_pageSize, firstRows);
            m_hits = m_search->hits(m_query, first);
            m_more = m_hits.size() == first;
        }
    } catch (const StoreError&) {
        m_hits.clear();
        endResetModel();
        throw;
    }
    endResetModel();
}

void SearchResultModel::clear() {
    const QScopedValueRollback resetting(m_resetting, true);
    beginResetModel();
    m_hits.clear();
    m_more = false;
    m_query = SearchQuery();
    endResetModel();
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
        return hit.matchStart;
    case MatchLengthRole:
        return hit.matchLength;
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
    return !parent.isValid() && m_more && !m_resetting;
}

void SearchResultModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    QList<SearchHit> page;
    try {
        page = m_search->hits(m_query, m_pageSize, &m_hits.last());
    } catch (const StoreError& e) {
        m_more = false;
        emit failed(e.message());
        return;
    }
    m_more = page.size() == m_pageSize;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_hits.size()), int(m_hits.size() + page.size()) - 1);
    m_hits += page;
    endInsertRows();
}
