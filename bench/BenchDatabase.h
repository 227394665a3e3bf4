#pragma once

#include <QString>

// Makes (once, then reuses) a program directory whose password.mdb holds the
// given number of records in each of its five tables, with texts as people
// write them: names short and long, some in other scripts, notes of several
// lines; then deletes the given share of the records at random.
QString benchProgramDirectory(const QString& cacheRoot, qint64 records, int deletedPercent);
