#include "ResultDelegate.h"

#include "SearchResultModel.h"

#include <QApplication>
#include <QPainter>

namespace {

const QString Ellipsis = QStringLiteral("…");
// Lines kept laid out: several screenfuls of every column.
constexpr int KeptLines = 2048;

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

QColor textColor(const QStyleOptionViewItem& option) {
    const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    return option.palette.color(group,
                                option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
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

ResultDelegate::ResultDelegate(QObject* parent)
    : QStyledItemDelegate(parent), m_plain(KeptLines), m_marked(KeptLines) {}

void ResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row's ground and selection as the style draws every item's.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);
    // The style's margins around an item's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = option.rect.adjusted(margin, 0, -margin, 0);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QVariant matchLength = index.data(SearchResultModel::MatchLengthRole);
    if (matchLength.isValid())
        drawMarked(painter, option, area.adjusted(3, 0, -3, 0), text,
                   index.data(SearchResultModel::MatchStartRole).toInt(), matchLength.toInt());
    else
        drawPlain(painter, option, area, text);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor =
            option.palette.color(option.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

void ResultDelegate::drawPlain(QPainter* painter, const QStyleOptionViewItem& option, const QRect& area,
                               const QString& text) const {
    if (text.isEmpty() || area.width() <= 0)
        return;
    const Line key{text, area.width()};
    QStaticText* line = m_plain.object(key);
    if (!line) {
        // Most lines fit: laid out once, they are cut only when they turn out too long.
        line = new QStaticText(text);
        line->setTextFormat(Qt::PlainText);
        line->prepare(painter->transform(), option.font);
        if (line->size().width() > area.width()) {
            line->setText(option.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
            line->prepare(painter->transform(), option.font);
        }
        m_plain.insert(key, line);
    }
    painter->save();
    painter->setFont(option.font);
    painter->setPen(textColor(option));
    painter->setClipRect(area);
    painter->drawStaticText(QPointF(area.left(), area.top() + (area.height() - line->size().height()) / 2), *line);
    painter->restore();
}

void ResultDelegate::drawMarked(QPainter* painter, const QStyleOptionViewItem& option, const QRect& area,
                                const QString& fullText, int start, int length) const {
    if (fullText.isEmpty() || area.width() <= 0)
        return;
    const Line key{fullText, area.width(), start, length};
    QTextLayout* layout = m_marked.object(key);
    if (!layout) {
        QTextCharFormat marked;
        marked.setFontWeight(QFont::Bold);
        marked.setBackground(QColor(255, 236, 140));
        marked.setForeground(QColor(Qt::black));
        const auto layOut = [&](const QString& text, int matchStart) {
            auto* laidOut = new QTextLayout(text, option.font);
            // Kept whole: by default a layout lets its glyphs go and shapes the text again at every draw.
            laidOut->setCacheEnabled(true);
            if (length > 0)
                laidOut->setFormats({{matchStart, length, marked}});
            laidOut->beginLayout();
            QTextLine line = laidOut->createLine();
            if (line.isValid())
                line.setNumColumns(int(text.size()));
            laidOut->endLayout();
            return laidOut;
        };
        // Most lines fit, bold match and all: laid out once, they are cut only
        // when they turn out too long.
        layout = layOut(fullText, start);
        if (layout->lineCount() > 0 && layout->lineAt(0).naturalTextWidth() > area.width()) {
            delete layout;
            // The match is drawn bold: the rest of the line has that much less room.
            QFont bold = option.font;
            bold.setBold(true);
            const QString matched = fullText.mid(start, length);
            const QFontMetrics& metrics = option.fontMetrics;
            const int room =
                area.width() - (QFontMetrics(bold).horizontalAdvance(matched) - metrics.horizontalAdvance(matched));
            int shownStart = start;
            const QString text = fitMatchText(fullText, shownStart, length, metrics, room);
            layout = layOut(text, shownStart);
        }
        m_marked.insert(key, layout);
    }
    if (layout->lineCount() == 0)
        return;
    const QTextLine line = layout->lineAt(0);
    painter->save();
    painter->setClipRect(area);
    painter->setPen(textColor(option));
    layout->draw(painter, QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
    painter->restore();
}
