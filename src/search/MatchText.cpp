#include "MatchText.h"

#include "SearchQuery.h"

namespace {

constexpr int ContextBefore = 30;
const QString Ellipsis = QStringLiteral("\u2026");

// The line of value that holds [start, start + length), cut to MaxMatchTextLength.
MatchText excerpt(int fieldIndex, const QString& value, qsizetype start, qsizetype length) {
    // (A negative position would make lastIndexOf search from the end.)
    const qsizetype lineStart = start > 0 ? value.lastIndexOf(QLatin1Char('\n'), start - 1) + 1 : 0;
    qsizetype lineEnd = value.indexOf(QLatin1Char('\n'), start);
    if (lineEnd < 0)
        lineEnd = value.size();
    qsizetype from = lineStart;
    QString prefix;
    if (start + length - lineStart > MaxMatchTextLength - ContextBefore) {
        from = std::max(lineStart, start - ContextBefore);
        prefix = Ellipsis;
    }
    QString text = prefix + value.mid(from, lineEnd - from);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (text.size() > MaxMatchTextLength)
        text = text.left(MaxMatchTextLength - 1) + Ellipsis;
    MatchText match{fieldIndex, text, int(prefix.size() + start - from), int(length)};
    match.length = std::min(match.length, int(text.size()) - match.start);
    return match;
}

} // namespace

MatchText locateMatch(const QStringList& values, const SearchQuery& query) {
    // The words as typed, longest first: a long word places the match best.
    QStringList words = query.words();
    std::stable_sort(words.begin(), words.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& word : words) {
        for (int field = 0; field < values.size(); ++field) {
            const qsizetype at = values[field].indexOf(word, 0, Qt::CaseInsensitive);
            if (at >= 0)
                return excerpt(field, values[field], at, word.size());
        }
    }
    return {};
}
