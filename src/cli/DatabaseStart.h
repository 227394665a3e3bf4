#pragma once

#include <QString>

// What the command line does before a command opens the record database, as the
// desktop program's start does: a journal left by a crash is rolled back and one
// from another copy set aside, the file is brought up to date, old deletions are
// pruned and the conflict copies a sync tool left beside it are merged. What was
// done is told on standard error; false when the file must not be opened.
bool prepareDatabase(const QString& databasePath);
