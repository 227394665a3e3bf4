#pragma once

#include <QString>

// Checks, without changing it, that a file is a sound record database: it opens,
// SQLite finds no damage, and the five tables have all their fields.
// Returns an empty string when it is, otherwise what is wrong.
QString checkRecordDatabase(const QString& path);
// The same, with SQLite's quick check: every page and record is read and
// checked, but not whether each index agrees with its table. Enough for a file
// whose tables are only read in key order, as a merge reads a copy; several
// times faster on a large file. mapPages reads the file through mmap, faster,
// but a mapped file cut short meanwhile (a disk pulled out) ends the program
// instead of failing the check: only for a file that lies beside the database.
QString checkRecordsReadable(const QString& path, bool mapPages = false);

// The same for the sign-in password store: table "Pass" with its field.
QString checkPasswordStore(const QString& path);
