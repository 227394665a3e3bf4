#pragma once

#include "ReportLayout.h"

#include <QFont>
#include <QPageLayout>
#include <QRect>
#include <vector>

// Where everything sits on a page of a report, in layout units of 1/1200 inch
// (whole numbers, so that counting pages and drawing them add up alike). Every
// page has the title, the heading row, the records and a footer with the page
// number; records are rows of the layout's columns, a cell's text wrapped to
// its column.
struct PageFormat {
    static constexpr int UnitsPerInch = 1200;

    struct Column {
        int x = 0;     // left edge of the cell, from the page's left edge
        int width = 0; // of the cell
        double textWidth = 0;
        QStringList heading; // its lines
    };

    QPageLayout pageLayout; // the paper, its orientation; margins are drawn by the report
    QSize pageSize;         // the whole sheet
    QRect content;          // inside the margins
    QFont bodyFont, headingFont, titleFont;
    int lineHeight = 0;
    int ascent = 0;
    int cellPadding = 0; // on each side of a cell's text
    int rowPadding = 0;  // above and below a row's lines together
    int titleHeight = 0;
    int headingTop = 0; // from the page's top edge
    int headingHeight = 0;
    int bodyTop = 0;
    int bodyCapacity = 0; // the height records may fill on each page
    int maxLinesPerPage = 0;
    int footerBaseline = 0;
    int border = 0; // width of the grid lines
    std::vector<Column> columns;

    // The paper the program prints on unless told otherwise: the locale's
    // usual sheet in the layout's orientation.
    static QPageLayout defaultPage(bool landscape);
    // Throws ReportError when the layout's print does not fit one line on the page.
    static PageFormat make(const ReportLayout& layout, const QPageLayout& page);

    int rowHeight(int lines) const { return lines * lineHeight + rowPadding; }
};
