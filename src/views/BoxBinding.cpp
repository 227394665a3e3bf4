#include "BoxBinding.h"

#include "store/DataBinder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

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
