#include "MatchDelegate.h"

#include "SearchResultModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

void MatchDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row's ground, selection and focus as every other cell draws them.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    QTextCharFormat marked;
    marked.setFontWeight(QFont::Bold);
    marked.setBackground(QColor(255, 236, 140));
    marked.setForeground(Qt::black);
    QTextLayout layout(text, item.font);
    layout.setFormats({{index.data(SearchResultModel::MatchStartRole).toInt(),
                        index.data(SearchResultModel::MatchLengthRole).toInt(), marked}});
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setNumColumns(int(text.size()));
    layout.endLayout();

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(3, 0, -3, 0);
    painter->save();
    painter->setClipRect(area);
    painter->setPen(item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                           : QPalette::Text));
    layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
    painter->restore();
}
