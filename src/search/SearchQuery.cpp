#include "SearchQuery.h"

#include <QRegularExpression>

namespace {
constexpr qsizetype TrigramLength = 3;
}

SearchQuery SearchQuery::parse(const QString& text) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    SearchQuery query;
    query.m_words = text.split(blanks, Qt::SkipEmptyParts);
    for (const QString& word : query.m_words)
        (length(word) >= TrigramLength ? query.m_indexed : query.m_short) << word;
    return query;
}

qsizetype SearchQuery::length(const QString& word) {
    return word.toUcs4().size();
}

QStringList SearchQuery::piecesOf(const QString& text) {
    const QList<uint> letters = text.toUcs4();
    QStringList pieces;
    for (qsizetype i = 0; i + TrigramLength <= letters.size(); ++i) {
        QString piece = QString::fromUcs4(reinterpret_cast<const char32_t*>(letters.constData() + i), TrigramLength);
        piece = QLatin1Char('"') + piece.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        if (!pieces.contains(piece))
            pieces << piece;
    }
    return pieces;
}

QString SearchQuery::indexExpression() const {
    QStringList pieces;
    for (const QString& word : m_indexed) {
        for (const QString& piece : piecesOf(word)) {
            if (!pieces.contains(piece))
                pieces << piece;
        }
    }
    return pieces.join(QLatin1Char(' '));
}

QStringList SearchQuery::unconfirmedWords() const {
    QStringList words = m_short;
    for (const QString& word : m_indexed) {
        if (length(word) > TrigramLength)
            words << word;
    }
    return words;
}
