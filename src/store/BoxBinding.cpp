#include "BoxBinding.h"

#include "DataBinder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

void bindBox(DataBinder& binder, QLineEdit* box, const QString& field) {
    binder.bind(
        field, box, [box] { return box->text(); },
        [box](const QString& value) {
            box->setText(value);
            box->setCursorPosition(0);
        });
}

void bindBox(DataBinder& binder, QPlainTextEdit* box, const QString& field) {
    binder.bind(
        field, box, [box] { return box->toPlainText(); }, [box](const QString& value) { box->setPlainText(value); });
}

void bindBox(DataBinder& binder, QComboBox* box, const QString& field) {
    binder.bind(
        field, box, [box] { return box->currentText(); },
        [box](const QString& value) {
            box->setCurrentIndex(-1);
            box->setEditText(value);
        });
}

void followBinder(QAbstractItemView* view, DataBinder& binder) {
    QPointer<QAbstractItemView> guard(view);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [&binder](const QModelIndex& current) {
                         if (!current.isValid())
                             return;
                         const RecordKey key = binder.keyAt(current.row());
                         if (key != NoRecord && key != binder.Bookmark())
                             binder.setBookmark(key);
                     });
    QObject::connect(&binder, &DataBinder::currentChanged, view, [guard, &binder] {
        if (!guard || !guard->model())
            return;
        const qint64 row = binder.AbsolutePosition();
        if (row < 0 || guard->currentIndex().row() == row)
            return;
        const QModelIndex index = guard->model()->index(int(row), std::max(0, guard->currentIndex().column()));
        guard->selectionModel()->setCurrentIndex(index,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        guard->scrollTo(index);
    });
}
