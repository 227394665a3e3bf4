#include "SearchResultModel.h"

#include "store/StoreError.h"

#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>
#include <utility>

SearchResultModel::SearchResultModel(QObject* parent) : QAbstractTableModel(parent) {
    // A page cut short by the search's bound on work goes on once the events that
    // came meanwhile (the next keystroke, say) have been handled.
    m_goOn = new QTimer(this);
    m_goOn->setSingleShot(true);
    m_goOn->setInterval(0);
    connect(m_goOn, &QTimer::timeout, this, &SearchResultModel::readMore);
}

void SearchResultModel::show(RecordSearch* search, const SearchQuery& query, int pageSize, int firstRows) {
    // Those told of the changed rows read the first page, not a further one.
    const QScopedValueRollback busy(m_busy, true);
    m_goOn->stop();
    SearchPage page;
    page.finished = true;
    if (search && !query.isEmpty()) {
        try {
            page = search->page(query, std::max({1, pageSize, firstRows}));
        } catch (const StoreError&) {
            clear();
            throw;
        }
    }
    m_search = search;
    m_query = query;
    m_pageSize = std::max(1, pageSize);
    m_wanted = std::max(m_pageSize, firstRows);
    m_next = page.next;
    m_more = !page.finished;
    replaceHits(page.hits);
    emit shown();
    goOnIfShort();
}

namespace {

bool shownAlike(const SearchHit& a, const SearchHit& b, int column) {
    switch (column) {
    case SearchResultModel::SectionColumn:
        return a.tableIndex == b.tableIndex;
    case SearchResultModel::NameColumn:
        return a.name == b.name;
    case SearchResultModel::FieldColumn:
        return a.fieldLabel == b.fieldLabel;
    default:
        return a.text == b.text && a.matchStart == b.matchStart && a.matchLength == b.matchLength;
    }
}

} // namespace

void SearchResultModel::replaceHits(const QList<SearchHit>& hits) {
    const int kept = int(std::min(m_hits.size(), hits.size()));
    if (hits.size() < m_hits.size()) {
        beginRemoveRows({}, kept, int(m_hits.size()) - 1);
        m_hits.resize(kept);
        endRemoveRows();
    }
    for (int row = 0; row < kept; ++row) {
        const SearchHit before = std::exchange(m_hits[row], hits[row]);
        for (int column = 0; column < ColumnCount; ++column) {
            if (!shownAlike(before, hits[row], column))
                emit dataChanged(index(row, column), index(row, column));
        }
    }
    if (hits.size() > kept) {
        beginInsertRows({}, kept, int(hits.size()) - 1);
        m_hits += hits.mid(kept);
        endInsertRows();
    }
}

void SearchResultModel::goOnIfShort() {
    if (m_more && m_hits.size() < m_wanted)
        m_goOn->start();
}

void SearchResultModel::clear() {
    const QScopedValueRollback busy(m_busy, true);
    m_more = false;
    m_goOn->stop();
    m_query = SearchQuery();
    replaceHits({});
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
    case Qt::AccessibleTextRole:
        // A screen reader says the whole hit on whichever cell the row's focus is.
        return QStringLiteral("%1, %2, %3: %4")
            .arg(searchedTables()[size_t(hit.tableIndex)].section, hit.name, hit.fieldLabel, hit.text);
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
    } catch (const SearchIndexDamaged&) {
        m_more = false;
        emit indexDamaged();
        return;
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
