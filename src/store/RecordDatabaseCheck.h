#pragma once

#include <QString>

// Checks, without changing it, that a file is a sound record database: it opens,
// SQLite finds no damage, and the five tables have all their fields.
// Returns an empty string when it is, otherwise what is wrong.
QString checkRecordDatabase(const QString& path);

// The same for the sign-in password store: table "Pass" with its field.
QString checkPasswordStore(const QString& path);
