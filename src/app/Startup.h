#pragma once

#include <QString>

struct AppContext;
struct DataLocation;
class Prompter;

// Tells the user, and the desktop session's log, why the data folder cannot be
// used; true when it can.
bool dataFolderUsable(const DataLocation& data, Prompter& prompter);

// Brings old Jet-format database files of the data folder into the
// program's own format before anything opens them. Tells the user what was
// converted, and why a file could not be; returns false when the password store
// could not be, since nobody could then sign in.
bool convertLegacyFiles(AppContext& context);

// Before anything opens the record database: a journal its own crash left is
// rolled back; one a sync tool brought from another copy is set aside and the
// user told. False when the program must not open the file.
bool settleRecordJournal(AppContext& context);

// Once the record database is up to date: old deletions are pruned and the
// conflict copies a sync tool left beside it are merged; the user is told what
// each brought (records added, updated, deleted per section).
void mergeChangesFromElsewhere(AppContext& context);

// Brings the record database to the newest layout version before anything
// opens it, and builds again a search index that was lost or emptied, with the
// busy pointer shown, and a window with the progress once the work has lasted
// windowAfterMs. A failure is told as a warning: the file is unchanged and
// still usable, the program goes on, and the next start tries again. A file of
// a newer program is left untouched, and the user is told once that it is only
// read.
void updateRecordDatabase(AppContext& context, int windowAfterMs = 400);

// Removes what an interrupted write of the program may have left in the data
// folder: temporary copies and half-made conversions. The database files
// themselves are always whole; a stale password2.mdb is left to the utility.
void removeStrayFiles(const QString& dataDirectory);
