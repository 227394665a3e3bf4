#pragma once

#include "store/Section.h"

#include <QHash>
#include <QList>
#include <optional>
#include <vector>

// The CSV files of other programs, each a table: which columns tell the file
// apart, and where each column lands in the program's records. A column no
// rule names is kept as a labelled line, so nothing of a file is lost.
namespace CsvFormats {

enum class Target {
    Field,       // the column is a field of the record
    Remarks,     // the record's own remarks, kept exactly
    Line,        // a labelled line below the remarks
    Lines,       // lines already labelled ("name: value" per line)
    Uris,        // web addresses separated by commas: the first the website, the rest lines
    FieldOrLine, // the field when nothing filled it before, else a labelled line
    Expiry,      // a card's end date ("2024-02", "02/24"): its month and year fields
    Time,        // milliseconds or seconds since 1970: a labelled line of the date and time
    Object,      // a JSON object of members: those the rules with this column's member name, the rest lines
    UriList,     // a JSON array of web addresses: a labelled line each
};

struct ColumnRule {
    QString header;
    Target target;
    int field = -1;
    QString label;
    int column = -1; // a column chosen by its place, whatever its header says
    // The value that says nothing ("0", "false"): no line is written for it.
    QString unless;
    // For a rule that reads a member of a JSON object in the column: its name.
    QString member;
};

struct Layout {
    Section section;
    std::vector<ColumnRule> rules;
    // Rows of this kind make no record (a folder, a program's own bookkeeping);
    // the preview counts them by this description.
    QString passedOver;
    // A line each record of this kind gets, and how the preview counts them.
    QString mark;
    QString marked;
    // The column whose value titles the note that carries a card's or a
    // person's labelled lines.
    QString titleColumn;
};

// The cells of one row by their column's name.
class Row {
public:
    Row(const QStringList& cells, const QHash<QString, int>& columns) : m_cells(cells), m_columns(columns) {}
    QString operator()(const QString& column) const;
    const QStringList& cells() const { return m_cells; }

private:
    const QStringList& m_cells;
    const QHash<QString, int>& m_columns; // by the lower-case header
};

struct Format {
    QString name;
    // Columns that must all be present (compared without case). With exact, the
    // header holds no column but these and the optional ones.
    QStringList signature;
    bool exact = false;
    // The column whose value picks the layout ("login", "note"); empty when
    // every row uses the first layout or kindOf picks it.
    QString typeColumn;
    std::vector<std::pair<QString, Layout>> layouts;
    // The file has no name column: the account is named after the website's host.
    bool nameFromWebsite = false;
    // Columns the program writes only in some of its versions.
    QStringList optional;
    // A row may leave out values at its end, down to this many; 0: none.
    int shortestRow = 0;
    // The file has no header line: these are its columns, by their place.
    QStringList columns;
    // Which layout a row takes when no type column says so.
    QString (*kindOf)(const Row& row) = nullptr;
    // A column no rule names becomes a labelled line; not for the columns the
    // user chose, who left the others out.
    bool keepsOtherColumns = true;
};

// The units of a Time rule's number, as its field.
inline constexpr int Seconds = 1;
inline constexpr int Milliseconds = 1000;

// The known format whose columns the header has, if any: the one that accounts
// for the whole header, the most specific when several do.
const Format* recognise(const QStringList& header);
// The known format of a file without a header line whose first rows these are.
const Format* recogniseHeaderless(const QList<QStringList>& firstRows);
// The program's own CSV of a section: its field names as the header.
Format ownFormat(Section section);
// The formats of other programs, as the user may name them.
const std::vector<Format>& knownFormats();

// Which column of the file fills each field of a chosen section (-1: none),
// and which are kept as labelled lines in the remarks.
struct ColumnMapping {
    Section section = Section::Passwords;
    QList<int> columns;
    QList<int> lineColumns;
};
Format mappedFormat(const ColumnMapping& mapping, const QStringList& header);
// The columns of a file that fill no field of the mapping.
QList<int> columnsFillingNoField(const ColumnMapping& mapping, qsizetype columnCount);

} // namespace CsvFormats
