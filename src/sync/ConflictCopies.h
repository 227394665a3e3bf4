#pragma once

#include <QString>
#include <QStringList>

// The conflict copies a sync tool leaves beside password.mdb when the file was
// changed on two computers at once, merged into the live file.
//
// Syncthing names its copy password.sync-conflict-<date>-<time>-<device>.mdb,
// Nextcloud "password (conflicted copy <date> <time>).mdb", Dropbox
// "password (<computer>'s conflicted copy <date>).mdb". Each copy is merged (see
// Merge) and then moved into the subfolder "conflicts/merged" of the data folder,
// where the user can still open it; a damaged copy is never merged and goes to
// "conflicts/damaged". A copy that could not be merged for another reason (the
// live file held by another program) stays where it is for the next try.
namespace ConflictCopies {

inline const QString Folder = QStringLiteral("conflicts");
inline const QString MergedFolder = QStringLiteral("conflicts/merged");
inline const QString DamagedFolder = QStringLiteral("conflicts/damaged");

bool isConflictCopy(const QString& fileName);

// The conflict copies beside the database, oldest name first; only those whose
// last change is at least minimumAgeMs old (a copy still being written waits).
QStringList findBeside(const QString& databasePath, qint64 minimumAgeMs = 0);

struct Report {
    QStringList merged;   // the copies merged and moved away
    QStringList setAside; // the damaged copies moved away unmerged
    QString notice;       // what to tell the user; empty when there were no copies
    bool problem = false; // the notice tells of a damaged copy or a failure
    // The notice in two parts: what was merged, and what went wrong.
    QString mergedNotice;
    QString problemNotice;
};

// Merges every conflict copy beside the database into it.
Report mergeAll(const QString& databasePath, qint64 minimumAgeMs = 0);

} // namespace ConflictCopies
