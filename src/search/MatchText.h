#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class SearchQuery;

// Where a found record shows what was searched for, for the results list.
struct MatchText {
    int fieldIndex = -1; // into the values given; -1: no word could be placed
    QString text;        // the line of the field that holds the match, cut around it
    int start = 0;       // the matched characters within text
    int length = 0;
};

// The first place, in field order, where one of the query's words shows in the
// values, in any letter case, the longest word first. Lines
// longer than MaxLength are cut around the match, with "…" where text was left out.
MatchText locateMatch(const QStringList& values, const SearchQuery& query);

constexpr int MaxMatchTextLength = 100;
