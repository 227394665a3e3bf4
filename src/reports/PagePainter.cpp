#include "PagePainter.h"

#include "PageFormat.h"
#include "Report.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>

namespace {

void paintLines(QPainter& painter, const PageFormat& f, const PageFormat::Column& column, int top,
                const QStringList& lines) {
    int baseline = top + f.cellPadding + f.ascent;
    for (const QString& line : lines) {
        painter.drawText(QPointF(column.x + f.cellPadding, baseline), line);
        baseline += f.lineHeight;
    }
}

} // namespace

void paintPage(QPainter& painter, const PageFormat& f, const ReportLayout& layout, const PageContent& page) {
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(f.titleFont);
    painter.drawText(QPointF(f.content.left(), f.content.top() + QFontMetricsF(f.titleFont).ascent()), layout.title);

    const int left = f.content.left(), right = f.content.right() + 1;
    painter.fillRect(QRect(left, f.headingTop, right - left, f.headingHeight), QColor(220, 232, 247));
    painter.setFont(f.headingFont);
    for (const PageFormat::Column& column : f.columns)
        paintLines(painter, f, column, f.headingTop, column.heading);

    painter.setFont(f.bodyFont);
    int top = f.bodyTop;
    std::vector<int> rowBottoms;
    for (const PageRow& row : page.rows) {
        for (std::size_t c = 0; c < row.cells.size() && c < f.columns.size(); ++c)
            paintLines(painter, f, f.columns[c], top, row.cells[c]);
        top += f.rowHeight(row.lines);
        rowBottoms.push_back(top);
    }
    if (page.noRecords) {
        QFont italic = f.bodyFont;
        italic.setItalic(true);
        painter.setFont(italic);
        painter.drawText(QPointF(left + f.cellPadding, top + f.cellPadding + f.ascent),
                         QStringLiteral("There are no records."));
        top += f.rowHeight(1);
        rowBottoms.push_back(top);
        painter.setFont(f.bodyFont);
    }

    // The grid: a line under the heading and under each row, one between columns.
    QPen pen(Qt::black);
    pen.setWidth(f.border);
    painter.setPen(pen);
    painter.drawLine(left, f.headingTop, right, f.headingTop);
    painter.drawLine(left, f.bodyTop, right, f.bodyTop);
    for (int bottom : rowBottoms)
        painter.drawLine(left, bottom, right, bottom);
    for (const PageFormat::Column& column : f.columns) {
        const bool spanned = page.noRecords;
        painter.drawLine(column.x, f.headingTop, column.x, spanned ? f.bodyTop : top);
    }
    painter.drawLine(left, f.headingTop, left, top);
    painter.drawLine(right, f.headingTop, right, top);

    const QString number =
        page.count > 0
            ? QStringLiteral("Page %1 of %2").arg(QLocale().toString(page.number), QLocale().toString(page.count))
            : QStringLiteral("Page %1").arg(QLocale().toString(page.number));
    const double width = QFontMetricsF(f.bodyFont).horizontalAdvance(number);
    painter.drawText(QPointF(left + (right - left - width) / 2, f.footerBaseline), number);
    painter.restore();
}
