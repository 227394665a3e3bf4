#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

// The part of a found text that fits the width with its match [start, start +
// length) in view: the line's start is left out before a match that lies
// further right, its end after it, each marked "…". start moves with the text.
QString fitMatchText(const QString& text, int& start, int length, const QFontMetrics& metrics, int width);

// Draws a found text with the part that matched marked: bold on a light
// yellow ground, so the eye finds it in a long line.
class MatchDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
