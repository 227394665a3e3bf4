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
// Only the first MaxShownColumns columns are offered, and the user is told so.
class ColumnMappingDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmColumns");
    // A file may have a million columns; lists and the table hold this many at most.
    static constexpr int MaxShownColumns = 200;
    ColumnMappingDialog(QWidget* parent, const QStringList& header, const QList<QStringList>& firstRows);

    CsvFormats::ColumnMapping mapping() const;

    QComboBox* cboSection;
    QList<QComboBox*> fieldColumns; // one per field of the chosen section: "(none)", then the columns
    QTableWidget* tblPreview;
    QPushButton* cmdMapOk;
    QPushButton* cmdMapCancel;
    QLabel* lblColumnsShown; // says which columns are left out, when some are

private:
    void showFields();

    QStringList m_header;
    QWidget* m_fields;
    QList<QLabel*> m_fieldLabels;
};
