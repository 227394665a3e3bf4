#include "PageFormat.h"

#include "TextLines.h"

#include <QFontMetricsF>
#include <QLocale>
#include <cmath>

namespace {

constexpr int Unit = PageFormat::UnitsPerInch;

int points(double pt) {
    return int(std::lround(pt * Unit / 72.0));
}

QFont fontOfPoints(double pt, bool bold) {
    QFont font;
    font.setPixelSize(std::max(1, points(pt)));
    font.setBold(bold);
    // Widths are summed character by character; pairs must not move closer when drawn.
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Column widths by the layout's ratios, where a column that names a sample text is
// at least as wide as that text, so that a card number or a telephone number stays
// on one line.
std::vector<int> columnWidths(const ReportLayout& layout, int total, CharWidths& widths, int padding) {
    const qsizetype n = layout.columns.size();
    std::vector<int> minimum(n, 0);
    for (qsizetype c = 0; c < n; ++c) {
        if (!layout.columns[c].sample.isEmpty())
            minimum[c] = int(std::ceil(widths.of(layout.columns[c].sample) * 1.02)) + 2 * padding;
    }
    std::vector<bool> fixed(n, false);
    std::vector<int> result(n, 0);
    for (bool changed = true; changed;) {
        changed = false;
        double ratios = 0;
        int free = total;
        for (qsizetype c = 0; c < n; ++c) {
            if (fixed[c])
                free -= minimum[c];
            else
                ratios += layout.columns[c].width;
        }
        for (qsizetype c = 0; c < n; ++c) {
            result[c] = fixed[c] ? minimum[c] : int(free * layout.columns[c].width / ratios);
            if (!fixed[c] && result[c] < minimum[c]) {
                fixed[c] = true;
                changed = true;
            }
        }
    }
    return result;
}

} // namespace

QPageLayout PageFormat::defaultPage(bool landscape) {
    const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ||
                        QLocale::system().territory() == QLocale::Canada;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

PageFormat PageFormat::make(const ReportLayout& layout, const QPageLayout& page) {
    PageFormat f;
    f.pageLayout = page;
    const QSizeF inches = page.fullRectPoints().size() / 72.0;
    f.pageSize = QSize(int(inches.width() * Unit), int(inches.height() * Unit));
    const int margin = Unit / 2;
    f.content = QRect(margin, margin, f.pageSize.width() - 2 * margin, f.pageSize.height() - 2 * margin);

    f.bodyFont = fontOfPoints(layout.fontSize, false);
    f.headingFont = fontOfPoints(layout.fontSize, true);
    f.titleFont = fontOfPoints(std::max(12.0, layout.fontSize * 1.6), true);
    const QFontMetricsF body(f.bodyFont), heading(f.headingFont), title(f.titleFont);
    f.lineHeight = int(std::ceil(std::max(body.lineSpacing(), heading.lineSpacing())));
    f.ascent = int(std::ceil(std::max(body.ascent(), heading.ascent())));
    f.cellPadding = points(3);
    f.rowPadding = 2 * f.cellPadding;
    f.border = std::max(1, points(0.5));

    CharWidths bodyWidths(f.bodyFont), headingWidths(f.headingFont);
    const std::vector<int> widths = columnWidths(layout, f.content.width(), bodyWidths, f.cellPadding);
    int x = f.content.left();
    int headingLines = 1;
    for (qsizetype c = 0; c < layout.columns.size(); ++c) {
        // A little room to spare for the text drawn, which a device may set a hair wider.
        const double text = (widths[c] - 2 * f.cellPadding) * 0.98;
        if (text < bodyWidths.of(char32_t('W')))
            throw ReportError(QStringLiteral("The report layout %1 leaves the column \"%2\" too narrow to print.")
                                  .arg(layout.path, layout.columns[c].field));
        const QString heading = reportText(layout.columns[c].heading);
        QStringList lines;
        for (const TextLine& line : wrapLines(heading, text, headingWidths))
            lines << heading.mid(line.start, line.length);
        f.columns.push_back({x, widths[c], text, lines});
        headingLines = std::max(headingLines, int(lines.size()));
        x += widths[c];
    }

    f.titleHeight = int(std::ceil(title.lineSpacing())) + points(6);
    f.headingTop = f.content.top() + f.titleHeight;
    f.headingHeight = f.rowHeight(headingLines);
    f.bodyTop = f.headingTop + f.headingHeight;
    const int footerHeight = f.lineHeight + points(6);
    f.footerBaseline = f.content.bottom() - int(std::ceil(body.descent()));
    f.bodyCapacity = f.content.bottom() - footerHeight - f.bodyTop;
    f.maxLinesPerPage = (f.bodyCapacity - f.rowPadding) / f.lineHeight;
    if (f.maxLinesPerPage < 1)
        throw ReportError(
            QStringLiteral("The report layout %1 asks for print too large for the page.").arg(layout.path));
    return f;
}
