#pragma once

#include <QString>

// Tells a rollback journal left beside password.mdb by a crash of this very file
// from one a sync tool carried in from another computer's copy.
//
// SQLite rolls back any journal it finds beside a file: one from another copy
// would write that copy's pages into this file and ruin it. A journal holds the
// pages a transaction was about to change as they were before it, each as its
// page number, its bytes and a checksum, after a header (SQLite's file format,
// "The Rollback Journal"). Page 1 of a file holds its header, with a counter
// every transaction moves on (offset 24). A journal is the file's own when its
// page 1 is this file's page 1 as it was before the transaction: byte for byte
// while the transaction had not yet written page 1, or with the counter one
// behind, the header's fixed parts the same and the file written after the
// journal once it had. A journal that
// passes is also rolled back on a private copy first, and must leave a sound
// file. One that fails either test is set aside into "conflicts/journals", and
// the file is kept as it is.
namespace JournalCheck {

enum class Verdict {
    None,    // no journal, or one another program is using right now
    NotHot,  // a journal SQLite itself ignores (its header never completed)
    Own,     // left by a crash of this file: rolled back, as SQLite would
    Foreign, // from another copy: never rolled back into this file
};

Verdict judge(const QString& databasePath);

struct Outcome {
    Verdict verdict = Verdict::None;
    QString notice;     // for the user, when something was done
    QString setAsideAs; // where a foreign journal went
};

// At start, before anything opens the database: rolls the file's own journal
// back, or moves a foreign one away.
Outcome settle(const QString& databasePath);

} // namespace JournalCheck
