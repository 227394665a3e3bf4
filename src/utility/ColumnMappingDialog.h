#pragma once

#include "exchange/CsvFormats.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

// For any CSV file, known or not: the user picks the section and, for each of
// its fields, the column that fills it, with the file's first rows in view.
// Every other column is kept as a labelled line in the remarks unless the user
// unticks it. Only the first MaxShownColumns columns are offered, and the user
// is told so.
class ColumnMappingDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmColumns");
    // A file may have a million columns; lists and the table hold this many at most.
    static constexpr int MaxShownColumns = 200;
    // knownFormat: the format the program tells the file to be, if any.
    ColumnMappingDialog(QWidget* parent, const QStringList& header, const QList<QStringList>& firstRows,
                        const QString& knownFormat = {});

    CsvFormats::ColumnMapping mapping() const;

    QComboBox* cboSection;
    QList<QComboBox*> fieldColumns; // one per field of the chosen section: "(none)", then the columns
    QTableWidget* tblPreview;
    QListWidget* lstLineColumns; // each column, ticked when it is kept as a labelled line
    QPushButton* cmdMapOk;
    QPushButton* cmdMapCancel;
    QLabel* lblColumnsShown; // says which columns are left out, when some are

private:
    void showFields();
    // A column that fills a field is no line; the others keep the user's choice.
    void showLineColumns();

    QStringList m_header;
    QWidget* m_fields;
    QList<QLabel*> m_fieldLabels;
};
