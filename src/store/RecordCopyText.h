#pragma once

#include "Schema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <optional>
#include <string>
#include <vector>

// What a record of a damaged file still gives: its fields in the layout's
// order, each the text that was written, the part of it before the damage, or
// nothing.
struct SalvagedRecord {
    enum class State {
        Absent, // no record under that key
        Whole,
        InPart, // some text could not be read and is left out
        Lost,   // nothing of it can be read
    };
    State state = State::Absent;
    std::vector<std::optional<std::string>> fields;
};

// Reads the records of one table of a file that may be damaged, checking each
// field against the pages that hold it. A record's bytes lie on its leaf page
// and, when long, on a chain of overflow pages; SQLite reads any page whose
// structure holds, whatever bytes it carries. So a page counts as damaged when
// it cannot be read, when text on it is not UTF-8 (the program only ever
// writes UTF-8), or when it is an overflow page whose text reads as zeros
// only. A field keeps its bytes up to the first damaged page it touches, cut
// back to a whole character; a record loses nothing else.
class SalvageReader {
public:
    // Throws when the table cannot be read at all or lacks a field of the layout.
    SalvageReader(SQLite::Database& source, const Schema::Table& table);
    ~SalvageReader();

    SalvagedRecord read(qint64 key);
    // Every record of a table that reads without error, checked as read() checks
    // it: false at the first that is not whole, or when the table cannot be read.
    static bool everyRecordWhole(SQLite::Database& source, const Schema::Table& table);

    struct Column {
        std::string name;
        bool isKey = false; // the key column: the record stores it as NULL
        int field = -1;     // its place among the layout's fields; -1 when it is none of them
    };

private:
    SalvagedRecord readPiecewise(qint64 key);

    SQLite::Database& m_source;
    std::string m_table;
    std::vector<Column> m_columns;
    qint64 m_usableSize = 0;
    std::size_t m_fieldCount = 0;
    SQLite::Statement m_row;
    SQLite::Statement m_types;
};
