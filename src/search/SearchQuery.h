#pragma once

#include <QString>
#include <QStringList>

// What the user typed, split into words. Every word must match, in any letter
// case, anywhere in a record's searched text. Words of three or more characters
// are looked up in the trigram index; the index holds no pieces of one or two
// characters, so a query of only such words reads the records themselves.
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
    // True when no word is long enough for the index: the records are read in key order.
    bool scansRecords() const { return m_indexed.isEmpty() && !m_short.isEmpty(); }
    // The full-text expression of the indexed words: each of their three-letter
    // pieces, quoted, all required. A record holding every piece of a word may still
    // not hold the word: its own text says.
    QString indexExpression() const;
    // The words a record the index finds must be read for to be sure it holds
    // them: the short ones, and those of more than one piece.
    QStringList unconfirmedWords() const;
    // The words a record's own text is read for: the short ones.
    const QStringList& containedWords() const { return m_short; }

    // The index's lookup for a text: each of its three-letter pieces, once, quoted
    // as a term of the index's own language. The index keeps which records hold a
    // piece, not where: all of them together find a superset of the text's holders.
    static QStringList piecesOf(const QString& text);

    // Characters as the user sees them (code points), not UTF-16 units.
    static qsizetype length(const QString& word);

private:
    QStringList m_words;
    QStringList m_indexed;
    QStringList m_short;
};
