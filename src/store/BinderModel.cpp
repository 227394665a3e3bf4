#include "BinderModel.h"

#include "StoreError.h"

BinderModel::BinderModel(DataBinder& binder, QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_binder(binder), m_columns(std::move(columns)) {
    for (const Column& c : m_columns)
        m_fields << c.field;
    connect(&m_binder, &DataBinder::keysChanged, this, &BinderModel::reset);
    // A saved change to a record shows in its row at once.
    connect(&m_binder, &DataBinder::recordWritten, this, [this](RecordKey key) {
        const qint64 row = m_binder.positionOf(key);
        if (row < 0)
            return;
        m_pages.remove(int(row / PageSize));
        m_pageOrder.removeOne(int(row / PageSize));
        if (row >= m_offset && row - m_offset < rowCount())
            emit dataChanged(index(int(row - m_offset), 0), index(int(row - m_offset), columnCount() - 1));
    });
}

void BinderModel::reset() {
    beginResetModel();
    m_offset = std::clamp<qint64>(m_offset, 0, std::max<qint64>(0, m_binder.RecordCount() - 1));
    m_pages.clear();
    m_pageOrder.clear();
    endResetModel();
}

int BinderModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return int(std::clamp<qint64>(m_binder.RecordCount() - m_offset, 0, m_windowRows));
}

void BinderModel::setWindow(qint64 offset, int rows) {
    offset = std::clamp<qint64>(offset, 0, std::max<qint64>(0, m_binder.RecordCount() - 1));
    if (offset == m_offset && rows == m_windowRows)
        return;
    const int before = rowCount();
    m_offset = offset;
    m_windowRows = rows;
    if (rowCount() != before) {
        beginResetModel();
        endResetModel();
    } else if (before > 0) {
        emit dataChanged(index(0, 0), index(before - 1, columnCount() - 1));
    }
}

int BinderModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

const QList<QStringList>& BinderModel::page(int number) const {
    auto found = m_pages.find(number);
    if (found != m_pages.end()) {
        m_pageOrder.removeOne(number);
        m_pageOrder.append(number);
        return *found;
    }
    const qint64 first = qint64(number) * PageSize;
    const qint64 last = std::min<qint64>(first + PageSize, m_binder.RecordCount()) - 1;
    QList<QStringList> rows;
    QHash<RecordKey, QStringList> byKey;
    try {
        byKey = m_binder.readRange(m_fields, m_binder.keyAt(first), m_binder.keyAt(last));
    } catch (const StoreError&) {
        // A row that cannot be read shows empty; the binder reports the failure where it acts.
    }
    for (qint64 p = first; p <= last; ++p)
        rows.append(byKey.value(m_binder.keyAt(p), QStringList()));
    if (m_pageOrder.size() >= PagesKept)
        m_pages.remove(m_pageOrder.takeFirst());
    m_pageOrder.append(number);
    return *m_pages.insert(number, rows);
}

QVariant BinderModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const qint64 position = m_offset + index.row();
    const QList<QStringList>& rows = page(int(position / PageSize));
    const QStringList& values = rows.value(int(position % PageSize));
    return values.value(index.column());
}

QVariant BinderModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_columns.size() ? QVariant(m_columns[section].caption) : QVariant();
    return {};
}

Qt::ItemFlags BinderModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
