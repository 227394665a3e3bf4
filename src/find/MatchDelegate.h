#pragma once

#include <QStyledItemDelegate>

// Draws a found text with the part that matched marked: bold on a light
// yellow ground, so the eye finds it in a long line.
class MatchDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
