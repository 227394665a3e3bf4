#pragma once

#include <QString>
#include <QStringList>

// What every start of the program and of quillmere-cli does for a record
// database that a sync tool keeps in step with other computers.
namespace StartChecks {

struct Notices {
    QStringList info;     // what was done, for the user
    QStringList warnings; // what went wrong; the program goes on
    bool stop = false;    // the database must not be opened (a foreign journal that stayed)
};

// Before anything opens the database: its own journal, left by a crash, is
// rolled back; one from another copy is set aside (see JournalCheck).
Notices beforeOpening(const QString& databasePath);

// Once the database has the newest layout: deletions and lost versions older
// than Retention::KeptDays go, then the conflict copies beside it are merged
// (see ConflictCopies).
Notices afterUpdate(const QString& databasePath, qint64 nowMs);
// The same for a database the caller has just found current (Migration::stateOf):
// a start that needed no update does not look at the layout twice.
Notices afterUpdateOfCurrent(const QString& databasePath, qint64 nowMs);

} // namespace StartChecks
