#pragma once

#include "DataBinder.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <climits>

// Shows chosen fields of a binder's snapshot in a grid or list. Rows are read a
// page at a time, by key range, only when a view asks for them.
class BinderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString caption;
    };
    BinderModel(DataBinder& binder, QList<Column> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Shows only the records from offset on, at most rows of them: a view of a
    // million records then holds a screenful of rows, not a million. By default
    // the window covers every record.
    void setWindow(qint64 offset, int rows);
    qint64 windowOffset() const { return m_offset; }
    qint64 recordCount() const { return m_binder.RecordCount(); }

private:
    static constexpr int PageSize = 64;
    static constexpr int PagesKept = 16;
    const QList<QStringList>& page(int number) const;
    void reset();

    qint64 m_offset = 0;
    int m_windowRows = INT_MAX;
    DataBinder& m_binder;
    QList<Column> m_columns;
    QStringList m_fields;
    mutable QHash<int, QList<QStringList>> m_pages;
    mutable QList<int> m_pageOrder; // least recently used first
};
