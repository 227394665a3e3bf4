#pragma once

#include "ExportRows.h"

#include <QDateTime>

// Writes every record as the CSV file KeePassXC 2.7 writes and reads back
// with the columns it chooses by itself: its own header, every value quoted.
// Passwords go to the group of their folder; the other sections to a group
// each, their fields as labelled lines of the notes. A TOTP line of the
// remarks fills the TOTP column, a folder line the group.
namespace KeePassXcCsv {

inline const QString RootGroup = QStringLiteral("Root");

// "Group","Title","Username","Password","URL","Notes","TOTP","Icon","Last Modified","Created"
QByteArray header();
SectionCounts write(SQLite::Database& db, ExportRows::Out& out, const QDateTime& when); // throws SQLite::Exception

} // namespace KeePassXcCsv
