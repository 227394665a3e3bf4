#pragma once

#include <QString>
#include <QStringList>

// What the user typed, split into words. Every word must match, in any letter
// case. Words of three or more characters are found anywhere in a record's
// text through the trigram index; a query of only shorter words matches records
// whose name begins with its first word (the index cannot hold pieces of one or
// two letters), and every other short word must appear somewhere in the record.
class SearchQuery {
public:
    static SearchQuery parse(const QString& text);

    bool isEmpty() const { return m_words.isEmpty(); }
    // All words, as typed, in order.
    const QStringList& words() const { return m_words; }
    // The words of three or more characters, found through the trigram index.
    const QStringList& indexedWords() const { return m_indexed; }
    // The words of one or two characters.
    const QStringList& shortWords() const { return m_short; }
    // True when the query matches names by their beginning (no word is long enough for the index).
    bool matchesNameStart() const { return m_indexed.isEmpty() && !m_short.isEmpty(); }
    // The full-text expression of the indexed words: each a quoted phrase, all required.
    QString indexExpression() const;
    // The short words a record must contain besides the index or name match.
    QStringList containedWords() const;

    // Characters as the user sees them (code points), not UTF-16 units.
    static qsizetype length(const QString& word);

private:
    QStringList m_words;
    QStringList m_indexed;
    QStringList m_short;
};
