#include "MessageText.h"

#include <QStringList>

namespace {
const QString Ellipsis = QStringLiteral("\u2026");

// Cuts between whole characters: a surrogate pair is never split.
qsizetype safeCut(const QString& text, qsizetype at) {
    if (at > 0 && at < text.size() && text[at].isLowSurrogate())
        return at - 1;
    return at;
}
} // namespace

QString shortenedInTheMiddle(const QString& text, int maxCharacters, int maxLines) {
    QString result = text;
    const QStringList lines = result.split(QLatin1Char('\n'));
    if (lines.size() > maxLines) {
        const int head = maxLines / 2;
        const int tail = maxLines - head - 1;
        result = (lines.mid(0, head) + QStringList{Ellipsis} + lines.mid(lines.size() - tail)).join(QLatin1Char('\n'));
    }
    if (result.size() > maxCharacters) {
        const qsizetype keep = (maxCharacters - Ellipsis.size()) / 2;
        const qsizetype headEnd = safeCut(result, keep);
        const qsizetype tailStart = safeCut(result, result.size() - keep);
        result = result.left(headEnd) + Ellipsis + result.mid(tailStart);
    }
    return result;
}

QString quotedInMessage(const QString& stored) {
    return shortenedInTheMiddle(stored, 300, 6);
}
