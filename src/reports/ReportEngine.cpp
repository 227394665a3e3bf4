#include "ReportEngine.h"

#include "store/ColumnText.h"
#include "store/Schema.h"

#include <QFileInfo>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {} // namespace

std::unique_ptr<QTextDocument> ReportEngine::run() const {
    return build(ReportLayout::load(m_reportFileName, m_dataDirectory));
}

std::unique_ptr<QTextDocument> ReportEngine::build(const ReportLayout& layout) {
    if (!QFileInfo(layout.databasePath).isFile())
        throw ReportError(QStringLiteral("The report layout %1 names the database %2, which does not exist.")
                              .arg(layout.path, layout.databasePath));
    std::unique_ptr<SQLite::Database> db;
    QStringList fields;
    try {
        db = std::make_unique<SQLite::Database>(layout.databasePath.toStdString(), SQLite::OPEN_READONLY, 5000);
        SQLite::Statement info(*db, "SELECT name FROM pragma_table_info(?)");
        info.bind(1, layout.table.toStdString());
        QStringList stored;
        while (info.executeStep())
            stored << QString::fromStdString(info.getColumn(0).getString());
        if (stored.isEmpty())
            throw ReportError(QStringLiteral("The report layout %1 names the table \"%2\", which %3 does not have.")
                                  .arg(layout.path, layout.table, layout.databasePath));
        for (const ReportLayout::Column& column : layout.columns) {
            if (!stored.contains(column.field))
                throw ReportError(
                    QStringLiteral("The report layout %1 names the field \"%2\", which the table \"%3\" does not have.")
                        .arg(layout.path, column.field, layout.table));
            fields << Schema::quoted(column.field);
        }
    } catch (const ReportError&) {
        throw;
    } catch (const std::exception& e) {
        throw ReportError(QStringLiteral("The database %1 named by the report layout %2 cannot be read: %3")
                              .arg(layout.databasePath, layout.path, QString::fromUtf8(e.what())));
    }

    auto document = std::make_unique<QTextDocument>();
    document->setMetaInformation(QTextDocument::DocumentTitle, layout.title);
    document->setProperty(LandscapeProperty, layout.landscape);
    QFont font = document->defaultFont();
    font.setPointSizeF(layout.fontSize);
    document->setDefaultFont(font);
    QTextCursor cursor(document.get());

    QTextCharFormat titleFormat;
    titleFormat.setFontPointSize(16);
    titleFormat.setFontWeight(QFont::Bold);
    cursor.insertText(layout.title, titleFormat);
    QTextBlockFormat spaced;
    spaced.setBottomMargin(8);
    cursor.setBlockFormat(spaced);

    QTextTableFormat tableFormat;
    tableFormat.setHeaderRowCount(1); // repeated at the top of every page
    tableFormat.setCellPadding(3);
    tableFormat.setCellSpacing(0);
    tableFormat.setBorder(0.5);
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    double total = 0;
    for (const ReportLayout::Column& column : layout.columns)
        total += column.width;
    QList<QTextLength> widths;
    for (const ReportLayout::Column& column : layout.columns)
        widths << QTextLength(QTextLength::PercentageLength, 100 * column.width / total);
    tableFormat.setColumnWidthConstraints(widths);
    const int columnCount = int(layout.columns.size());

    // The rows are read first and the table made at its full size at once:
    // growing a text table row by row costs time with every row already there.
    QList<QStringList> rows;
    try {
        SQLite::Statement query(*db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                         .arg(fields.join(QStringLiteral(", ")), Schema::quoted(layout.table),
                                              Schema::quoted(Schema::KeyColumn))
                                         .toStdString());
        while (query.executeStep()) {
            QStringList values;
            for (int c = 0; c < columnCount; ++c)
                values << columnText(query.getColumn(c));
            rows.append(values);
        }
    } catch (const std::exception& e) {
        throw ReportError(QStringLiteral("The database %1 named by the report layout %2 cannot be read: %3")
                              .arg(layout.databasePath, layout.path, QString::fromUtf8(e.what())));
    }
    QTextTable* table = cursor.insertTable(int(std::max<qsizetype>(rows.size(), 1)) + 1, columnCount, tableFormat);

    QTextCharFormat headingFormat;
    headingFormat.setFontWeight(QFont::Bold);
    QTextCharFormat headingCell;
    headingCell.setBackground(QColor(220, 232, 247));
    for (int c = 0; c < columnCount; ++c) {
        QTextTableCell cell = table->cellAt(0, c);
        cell.setFormat(headingCell);
        cell.firstCursorPosition().insertText(layout.columns[c].heading, headingFormat);
    }
    if (rows.isEmpty()) {
        table->mergeCells(1, 0, 1, columnCount);
        QTextCharFormat italic;
        italic.setFontItalic(true);
        table->cellAt(1, 0).firstCursorPosition().insertText(QStringLiteral("There are no records."), italic);
        return document;
    }
    // One cursor walks the cells in order; a line break in a field starts a new line in its cell.
    QTextCursor cell = table->cellAt(1, 0).firstCursorPosition();
    const QTextCharFormat plain;
    for (const QStringList& values : rows) {
        for (const QString& value : values) {
            cell.insertText(value, plain);
            cell.movePosition(QTextCursor::NextCell);
        }
    }
    return document;
}
