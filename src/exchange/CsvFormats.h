#pragma once

#include "Section.h"

#include <QList>
#include <optional>
#include <vector>

// The CSV files of other programs, each a table: which columns tell the file
// apart, and where each column lands in the program's records.
namespace CsvFormats {

enum class Target {
    Field,   // the column is a field of the record
    Remarks, // the record's own remarks, kept exactly
    Line,    // a labelled line below the remarks
    Lines,   // lines already labelled ("name: value" per line)
    Uris,    // web addresses separated by commas: the first the website, the rest lines
};

struct ColumnRule {
    QString header;
    Target target;
    int field = -1;
    QString label;
    int column = -1; // a column chosen by its place, whatever its header says
};

struct Layout {
    Section section;
    std::vector<ColumnRule> rules;
};

struct Format {
    QString name;
    // Columns that must all be present (compared without case); with exact,
    // the header must hold these columns and no other.
    QStringList signature;
    bool exact = false;
    // The column whose value picks the layout ("login", "note"); empty when
    // every row uses the first layout.
    QString typeColumn;
    std::vector<std::pair<QString, Layout>> layouts;
    // A row whose column starts with this text is the program's own bookkeeping, not a login.
    QString skipColumn;
    QString skipPrefix;
    // The file has no name column: the account is named after the website's host.
    bool nameFromWebsite = false;
};

// The known format whose columns the header has, if any.
const Format* recognise(const QStringList& header);
// The program's own CSV of a section: its field names as the header.
Format ownFormat(Section section);

// Which column of the file fills each field of a chosen section (-1: none).
struct ColumnMapping {
    Section section = Section::Passwords;
    QList<int> columns;
};
Format mappedFormat(const ColumnMapping& mapping, const QStringList& header);

} // namespace CsvFormats
