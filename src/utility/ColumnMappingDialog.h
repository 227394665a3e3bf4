#pragma once

#include "exchange/CsvFormats.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// For a CSV file of no known format: the user picks the section and, for each
// of its fields, the column that fills it, with the file's first rows in view.
class ColumnMappingDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmColumns");
    ColumnMappingDialog(QWidget* parent, const QStringList& header, const QList<QStringList>& firstRows);

    CsvFormats::ColumnMapping mapping() const;

    QComboBox* cboSection;
    QList<QComboBox*> fieldColumns; // one per field of the chosen section: "(none)", then the columns
    QTableWidget* tblPreview;
    QPushButton* cmdMapOk;
    QPushButton* cmdMapCancel;

private:
    void showFields();

    QStringList m_header;
    QWidget* m_fields;
    QList<QLabel*> m_fieldLabels;
};
