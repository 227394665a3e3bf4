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

QString SearchQuery::indexExpression() const {
    QStringList phrases;
    for (QString word : m_indexed)
        phrases << QLatin1Char('"') + word.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return phrases.join(QLatin1Char(' '));
}
