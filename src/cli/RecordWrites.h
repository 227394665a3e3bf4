#pragma once

#include "exchange/Section.h"

#include <QString>
#include <QStringList>

// The command line's commands that change records one at a time, name records
// by identity, merge a copy, and read what merges kept. Records are named by
// their identity (the "id" every listing gives), or by a name: one of the fields
// a listing shows, exactly, else without regard to case. Fields are named as the
// tables name them: Account, Website, User, Password, Notes, ...
namespace RecordWrites {

struct Result {
    int status = 0; // as the command line's exit status: 0 done, 1 failed, 2 wrong command line
    QString output; // for standard output
    QString error;  // one line for standard error
};

// add SECTION Field=value ...: prints the new record's identity.
Result add(const QString& database, Section section, const QStringList& assignments, bool json);
// edit SECTION ID-or-NAME Field=value ...
Result edit(const QString& database, Section section, const QString& record, const QStringList& assignments, bool json);
// rm SECTION ID-or-NAME
Result remove(const QString& database, Section section, const QString& record, bool json);
// merge FILE: what the copy brought, per section.
Result merge(const QString& database, const QString& copy, bool json);
// The versions of the records named that lost a merge, newest first, as text or JSON.
Result history(const QString& database, Section section, const QString& record, bool json, bool secrets);

} // namespace RecordWrites
