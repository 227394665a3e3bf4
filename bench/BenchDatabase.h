#pragma once

#include <QString>

// Makes (once, then reuses) a program directory whose password.mdb holds the
// given number of records in each of its five tables, with texts as people
// write them: names short and long, some in other scripts, notes of several
// lines; then deletes the given share of the records at random. The file is of
// the newest layout, brought there by the program's own migration.
QString benchProgramDirectory(const QString& cacheRoot, qint64 records, int deletedPercent);

// The same records in a file of the first layout version, without the search
// index (made once, then reused): what the start-up migration meets.
QString benchOldDatabase(const QString& cacheRoot, qint64 records);

// How long the migration of the full data set of that size took when the set was
// made; -1 when it has not been made.
double benchRecordedMigrationMs(const QString& cacheRoot, qint64 records);
