#pragma once

#include <QString>
#include <optional>

namespace SQLite {
class Database;
}

// Names this computer in what a connection changes: temporary triggers of the
// connection (kept in its memory, never in the file) set "_machine" of each record
// it adds or changes, and of each deletion it records. The file's own triggers
// keep the identities and times for every writer; a program that does not name
// its computer leaves the record's earlier one, or none.
//
// Only for files of version 2 or later; only the given table's triggers when the
// connection writes one table.
void stampChangesWith(SQLite::Database& db, const QString& machine, const std::optional<QString>& onlyTable);

// The SQL of the time a change is made at: UTC milliseconds, as the file's triggers take it.
QString nowInMilliseconds();

// For a writer that adds records: the columns, and the SQL values after its own,
// that give a new record its random identity, the time and this computer in the
// INSERT itself, as the triggers would; the triggers then do not fire, and an
// import of many records is spared an update of each. Empty for a file older
// than version 2.
struct NewRecordStamp {
    QString columns; // ", \"_id\", \"_modified\", \"_machine\""
    QString values;  // ", <identity>, <now>, '<machine>'"
};
// A file that numbers its computers is given this one's number first (a write).
NewRecordStamp newRecordStamp(SQLite::Database& db, int fileVersion, const QString& machine);
