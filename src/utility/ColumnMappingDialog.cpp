#include "ColumnMappingDialog.h"

#include "platform/Controls.h"
#include "platform/Geometry.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

namespace {
// Room for the twelve fields of a card.
constexpr int MaxFields = 12;
constexpr int RowHeight = 345;
} // namespace

ColumnMappingDialog::ColumnMappingDialog(QWidget* parent, const QStringList& header, const QList<QStringList>& rows,
                                         const QString& knownFormat)
    : QDialog(parent), m_header(header.mid(0, MaxShownColumns)) {
    setObjectName(Name);
    setWindowTitle(QStringLiteral("Choose the Columns"));
    setClientSize(this, 9270, 6600);

    const QString intro =
        knownFormat.isEmpty()
            ? QStringLiteral("The columns of this file are of no format the program knows. Choose the section "
                             "and the column that fills each field.")
            : QStringLiteral("The program reads this file as a %1 export. Choose the section and the column that "
                             "fills each field.")
                  .arg(knownFormat);
    QLabel* introLabel =
        makeLabel(this, intro + QStringLiteral(" The ticked columns are kept as labelled lines in the remarks."), 120,
                  90, 9030, 465);
    // Wrapped within the window: the label was grown to its text's one-line width.
    introLabel->setWordWrap(true);
    introLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(introLabel, 120, 90, 9030, 465);
    makeLabel(this, QStringLiteral("Section:"), 120, 600, 1200, 315);
    cboSection = new QComboBox(this);
    cboSection->setObjectName(QStringLiteral("cboSection"));
    for (Section section : AllSections)
        cboSection->addItem(sectionTitle(section));
    place(cboSection, 1380, 570, 2400, 345);

    QGroupBox* fields = makeFrame(this, QStringLiteral("fraFields"), QStringLiteral("Fields"), 120, 1020, 4200, 4800);
    m_fields = fields;
    for (int i = 0; i < MaxFields; ++i) {
        QLabel* label = makeLabel(fields, QString(), 120, 240 + i * RowHeight, 1500, 315);
        auto* combo = new QComboBox(fields);
        combo->setObjectName(QStringLiteral("cboField%1").arg(i));
        place(combo, 1680, 240 + i * RowHeight, 2400, 315);
        label->setBuddy(combo);
        m_fieldLabels << label;
        fieldColumns << combo;
    }

    QGroupBox* preview =
        makeFrame(this, QStringLiteral("fraPreview"), QStringLiteral("First rows of the file"), 4440, 1020, 4710, 2760);
    tblPreview = new QTableWidget(int(rows.size()), int(m_header.size()), preview);
    tblPreview->setObjectName(QStringLiteral("tblPreview"));
    tblPreview->setHorizontalHeaderLabels(m_header);
    tblPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < m_header.size(); ++c)
            tblPreview->setItem(r, c, new QTableWidgetItem(rows.at(r).value(c)));
    }
    place(tblPreview, 120, 240, 4470, 2400);

    QGroupBox* lines = makeFrame(this, QStringLiteral("fraLineColumns"), QStringLiteral("Kept as labelled lines"), 4440,
                                 3840, 4710, 1980);
    lstLineColumns = new QListWidget(lines);
    lstLineColumns->setObjectName(QStringLiteral("lstLineColumns"));
    lstLineColumns->setAccessibleName(QStringLiteral("Columns kept as labelled lines"));
    for (const QString& column : m_header) {
        auto* item =
            new QListWidgetItem(column.trimmed().isEmpty() ? QStringLiteral("(no name)") : column, lstLineColumns);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    place(lstLineColumns, 120, 240, 4470, 1620);

    lblColumnsShown = makeLabel(this, QString(), 120, 5940, 6360, 510);
    lblColumnsShown->setObjectName(QStringLiteral("lblColumnsShown"));
    lblColumnsShown->setWordWrap(true);
    if (header.size() > m_header.size())
        lblColumnsShown->setText(QStringLiteral("The file has %1 columns: only the first %2 are shown, and only they "
                                                "can fill a field.")
                                     .arg(header.size())
                                     .arg(m_header.size()));
    lblColumnsShown->setVisible(header.size() > m_header.size());

    cmdMapOk = makeButton(this, QStringLiteral("cmdMapOk"), QStringLiteral("&Import"),
                          QStringLiteral(" Import with these columns "), 6600, 6000, 1215, 390);
    cmdMapCancel = makeButton(this, QStringLiteral("cmdMapCancel"), QStringLiteral("&Cancel"),
                              QStringLiteral(" Import nothing "), 7935, 6000, 1215, 390);
    cmdMapOk->setDefault(true);
    connect(cmdMapOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdMapCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cboSection, &QComboBox::currentIndexChanged, this, &ColumnMappingDialog::showFields);
    for (QComboBox* combo : fieldColumns)
        connect(combo, &QComboBox::currentIndexChanged, this, &ColumnMappingDialog::showLineColumns);
    showFields();
}

void ColumnMappingDialog::showLineColumns() {
    const CsvFormats::ColumnMapping chosen = mapping();
    for (int c = 0; c < lstLineColumns->count(); ++c) {
        QListWidgetItem* item = lstLineColumns->item(c);
        const bool fillsField = chosen.columns.contains(c);
        item->setFlags(fillsField ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        if (fillsField)
            item->setCheckState(Qt::Unchecked);
        else if (item->data(Qt::UserRole).toBool()) // filled a field before: kept again by default
            item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, fillsField);
    }
    // A mapping that fills no field would make records of nothing but lines.
    cmdMapOk->setEnabled(std::any_of(chosen.columns.begin(), chosen.columns.end(), [](int c) { return c >= 0; }));
}

void ColumnMappingDialog::showFields() {
    const QStringList& names = tableOf(AllSections[cboSection->currentIndex()]).fields;
    for (int i = 0; i < MaxFields; ++i) {
        QComboBox* combo = fieldColumns.at(i);
        const bool used = i < names.size();
        combo->setVisible(used);
        m_fieldLabels.at(i)->setVisible(used);
        combo->clear();
        if (!used)
            continue;
        m_fieldLabels.at(i)->setText(names.at(i) + QLatin1Char(':'));
        combo->addItem(QStringLiteral("(none)"));
        combo->addItems(m_header);
        // A column named like the field is the likely choice.
        for (int c = 0; c < m_header.size(); ++c) {
            if (m_header.at(c).trimmed().compare(names.at(i), Qt::CaseInsensitive) == 0)
                combo->setCurrentIndex(c + 1);
        }
    }
    showLineColumns();
}

CsvFormats::ColumnMapping ColumnMappingDialog::mapping() const {
    const Section section = AllSections[cboSection->currentIndex()];
    CsvFormats::ColumnMapping result{section, {}};
    for (int i = 0; i < tableOf(section).fields.size(); ++i)
        result.columns << fieldColumns.at(i)->currentIndex() - 1;
    for (int c = 0; lstLineColumns && c < lstLineColumns->count(); ++c) {
        if (lstLineColumns->item(c)->checkState() == Qt::Checked && !result.columns.contains(c))
            result.lineColumns << c;
    }
    return result;
}
