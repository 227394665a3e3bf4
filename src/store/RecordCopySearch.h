#pragma once

#include <QStringList>
#include <SQLiteCpp/Database.h>

// The search indexes (FTS5) of a record database. SQLite's integrity_check does
// not look inside them: an index can be damaged in a file SQLite calls sound.
// FTS5's own check ("integrity-check", with rank 1 to compare it with the
// records too) does; but in this SQLite it misses some damage, lost rows of the
// index's "_idx" table among them, so a repair never trusts an index: it
// rebuilds every one from the records and checks the result.

// The FTS5 tables of the file.
QStringList searchIndexesOf(SQLite::Database& db);

// The indexes FTS5's own check finds damaged or out of step with the records.
QStringList damagedSearchIndexes(SQLite::Database& db);

// Rebuilds every index from its records and checks it; throws StoreError when
// one still fails FTS5's check.
void rebuildSearchIndexes(SQLite::Database& db);
