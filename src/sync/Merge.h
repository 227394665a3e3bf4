#pragma once

#include <QString>
#include <vector>

// Merges a copy of the record database that was changed on another computer
// (a sync tool's conflict copy, a file the user names) into the live file.
//
// Records are matched by identity, never by key: the same record may sit under
// another key in the copy, and one from the copy gets a new key here. Of two
// versions of a record the newer change wins; at the same moment a record wins
// over its deletion, then the computer with the greater id, then the greater text,
// so every computer decides alike. A deletion newer than the last change removes
// the record and is kept here too; a change newer than a deletion brings the
// record back with the change. The version that lost, unless it held the same
// text, is kept in "_history". So the outcome of merging copies does not depend
// on the order, merging the same copy again changes nothing, and both computers
// end with the same records.
//
// The copy is opened only to read it, as it lies, and checked whole first: a
// damaged copy, or one that is no record database, is refused and nothing is
// written. The merge is one transaction: a kill or a failure leaves the live file
// as it was.
namespace Merge {

struct SectionCounts {
    QString table;
    qint64 added = 0;
    qint64 updated = 0;
    qint64 deleted = 0;
};

struct Outcome {
    bool merged = false;                 // the copy was merged (its changes may be none)
    bool refused = false;                // the copy is damaged or no record database: set it aside
    QString error;                       // why nothing was merged; the live file is unchanged
    std::vector<SectionCounts> sections; // the five tables, in the main window's order

    qint64 changes() const;
    // "Passwords: 2 added, 1 updated" and so on, one line per section that changed;
    // "No records changed." when none did.
    QString summary() const;
};

// Throws nothing.
Outcome mergeCopy(const QString& livePath, const QString& copyPath);

} // namespace Merge
