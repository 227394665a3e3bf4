#include "TextLines.h"

#include <QFontMetricsF>
#include <algorithm>

struct CharWidths::Metrics {
    explicit Metrics(const QFont& font) : metrics(font) {}
    QFontMetricsF metrics;
};

CharWidths::CharWidths(const QFont& font) : m_metrics(std::make_unique<Metrics>(font)), m_bmp(0x10000, -1.f) {}

CharWidths::~CharWidths() = default;

double CharWidths::of(char32_t c) {
    if (c < 0x10000) {
        float& known = m_bmp[c];
        if (known < 0)
            known = float(m_metrics->metrics.horizontalAdvance(QChar(char16_t(c))));
        return known;
    }
    auto it = m_others.find(c);
    if (it == m_others.end())
        it = m_others.insert(c, m_metrics->metrics.horizontalAdvance(QString::fromUcs4(&c, 1)));
    return it.value();
}

double CharWidths::of(QStringView text) {
    double sum = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            sum += of(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            sum += of(char32_t(c.unicode()));
        }
    }
    return sum;
}

QString reportText(QString text) {
    const bool clean =
        std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 && c != u'\n'; });
    if (clean)
        return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(u'\t', QStringLiteral("    "));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != u'\n')
            c = u' ';
    }
    return text;
}

namespace {

// Calls addLine(start, length) for each line; the one routine behind counting and drawing.
template <class Emit> void wrap(QStringView text, double width, CharWidths& widths, Emit&& addLine) {
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (true) {
        double used = 0;
        qsizetype breakAfter = -1; // the line may end after this index + 1
        qsizetype i = pos;
        bool overflow = false;
        while (i < size) {
            const QChar c = text[i];
            if (c == u'\n')
                break;
            const bool pair = c.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate();
            const double w = widths.of(pair ? QChar::surrogateToUcs4(c, text[i + 1]) : char32_t(c.unicode()));
            if (used + w > width && i > pos) {
                overflow = true;
                break;
            }
            used += w;
            i += pair ? 2 : 1;
            if (c == u' ' || c == u'-')
                breakAfter = i;
        }
        if (!overflow) {
            addLine(pos, i - pos);
            if (i >= size)
                return;
            pos = i + 1; // past the "\n"
            continue;
        }
        if (text[i] == u' ') {
            addLine(pos, i - pos);
            pos = i + 1; // the blank the line breaks at
        } else if (breakAfter > pos) {
            addLine(pos, breakAfter - pos);
            pos = breakAfter;
        } else {
            addLine(pos, i - pos);
            pos = i;
        }
        if (pos >= size) // the text ended with the blank it broke at
            return;
    }
}

} // namespace

std::vector<TextLine> wrapLines(QStringView text, double width, CharWidths& widths) {
    std::vector<TextLine> lines;
    wrap(text, width, widths, [&](qsizetype start, qsizetype length) { lines.push_back({start, length}); });
    return lines;
}

int countLines(QStringView text, double width, CharWidths& widths) {
    int count = 0;
    wrap(text, width, widths, [&](qsizetype, qsizetype) { ++count; });
    return count;
}
