#pragma once

#include <QCache>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTextLayout>

class QFontMetrics;

// The part of a found text that fits the width with its match [start, start +
// length) in view: the line's start is left out before a match that lies
// further right, its end after it, each marked "…". start moves with the text.
QString fitMatchText(const QString& text, int& start, int length, const QFontMetrics& metrics, int width);

// Draws the cells of the result list, each a single line cut with "…" where it
// is too long, and a found text with the part that matched marked: bold on a
// light yellow ground, so the eye finds it in a long line.
//
// The list repaints with every keystroke. The style's own drawing lays a cell's
// text out three times; this lays it out once and keeps the lines it has laid
// out, so what stays in the list from one keystroke to the next (sections,
// field names, the records still found) is only drawn again.
class ResultDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ResultDelegate(QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // A line as laid out for one width; a found text also by where its match lies.
    struct Line {
        QString text;
        int width = 0;
        int matchStart = -1;
        int matchLength = 0;
        bool operator==(const Line& other) const = default;
    };
    friend size_t qHash(const Line& line, size_t seed) {
        return qHashMulti(seed, line.text, line.width, line.matchStart, line.matchLength);
    }
    void drawPlain(QPainter* painter, const QStyleOptionViewItem& option, const QRect& area, const QString& text) const;
    void drawMarked(QPainter* painter, const QStyleOptionViewItem& option, const QRect& area, const QString& text,
                    int start, int length) const;

    mutable QCache<Line, QStaticText> m_plain;
    mutable QCache<Line, QTextLayout> m_marked;
};
