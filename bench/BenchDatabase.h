#pragma once

#include <QString>

// Makes (once, then reuses) a program directory whose password.mdb holds the
// given number of records in each of its five tables, with realistic lengths:
// short fields of 5 to 40 characters, remarks and notes of a few hundred
// characters over several lines.
QString benchProgramDirectory(const QString& cacheRoot, qint64 records);
