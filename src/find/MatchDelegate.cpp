#include "MatchDelegate.h"

#include "SearchResultModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace {

const QString Ellipsis = QStringLiteral("…");

// Leaves out the start of a text whose match would end beyond the width, so the
// match itself is always in view; the start moves by the characters left out.
QString keepMatchInView(const QString& text, int& start, int length, const QFontMetrics& metrics, int width) {
    const int end = std::min(int(text.size()), start + length);
    // Where the line goes on after the match, a "…" may have to follow it.
    if (metrics.horizontalAdvance(text.left(end) + (end < text.size() ? Ellipsis : QString())) <= width)
        return text;
    int cut = 0;
    // A few characters of context after the match stay in view too.
    const int after = std::min(int(text.size()), end + 3);
    // Room is left for the "…" that may end the line too.
    while (cut < start && metrics.horizontalAdvance(Ellipsis + text.mid(cut, after - cut) + Ellipsis) > width)
        ++cut;
    // Never between the halves of a character outside the basic plane.
    if (cut > 0 && cut < text.size() && text.at(cut).isLowSurrogate())
        ++cut;
    if (cut == 0)
        return text;
    start = start - cut + int(Ellipsis.size());
    return Ellipsis + text.mid(cut);
}

} // namespace

QString fitMatchText(const QString& fullText, int& start, int length, const QFontMetrics& metrics, int width) {
    QString text = keepMatchInView(fullText, start, length, metrics, width);
    // A line still too long ends in "…" where it is cut, as the other columns do.
    if (metrics.horizontalAdvance(text) > width) {
        const QString elided = metrics.elidedText(text, Qt::ElideRight, width);
        if (elided.size() - 1 >= start + length)
            text = elided;
    }
    return text;
}

void MatchDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QString fullText = item.text;
    item.text.clear();
    // The row's ground, selection and focus as every other cell draws them.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(3, 0, -3, 0);
    int start = index.data(SearchResultModel::MatchStartRole).toInt();
    const int length = index.data(SearchResultModel::MatchLengthRole).toInt();
    // The match is drawn bold: the rest of the line has that much less room.
    QFont bold = item.font;
    bold.setBold(true);
    const QFontMetrics metrics(item.font);
    const QString matched = fullText.mid(start, length);
    const int room =
        area.width() - (QFontMetrics(bold).horizontalAdvance(matched) - metrics.horizontalAdvance(matched));
    const QString text = fitMatchText(fullText, start, length, metrics, room);

    QTextCharFormat marked;
    marked.setFontWeight(QFont::Bold);
    marked.setBackground(QColor(255, 236, 140));
    marked.setForeground(QColor(Qt::black));
    QTextLayout layout(text, item.font);
    if (length > 0)
        layout.setFormats({{start, length, marked}});
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setNumColumns(int(text.size()));
    layout.endLayout();
    if (!line.isValid())
        return;

    painter->save();
    painter->setClipRect(area);
    painter->setPen(
        item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
    painter->restore();
}
