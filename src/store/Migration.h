#pragma once

#include <QString>
#include <atomic>

// The layout version of the record database, kept in the file's user_version.
//
// data/schema/password.sql is the one source of the layout. It is written in
// parts: the tables every file has, then one part per later version, each
// headed by a line "-- Version N:". A new file runs the whole script and so has
// the newest version at once. A file of an older version (made before that part
// existed, or restored from an old backup) is brought up to date here, at
// start, before any window opens it: each step from one version to the next is
// a small function, and all steps run in one transaction, so a kill or a
// failure leaves the file exactly as it was and the next start tries again.
//
// This is the only place where the program adds tables, indexes or triggers to
// an existing file. Everything else builds new files whole from the schema.
namespace Migration {

// The version of a file made from the schema today.
int newestVersion();

// The version a record database has: 0 for a file made before versions were
// kept. Throws StoreError when the file cannot be read.
int versionOf(const QString& path);

struct Outcome {
    int fromVersion = 0;
    bool migrated = false; // false: the file was up to date, or the step failed
    bool healed = false;   // a file of the newest version got back what it had lost
    QString error;         // for the user; the file is unchanged when set
};

// How far a migration has come, for a window to show while it runs on another
// thread: records indexed so far out of the records to index. Both stay 0 while
// the steps only add tables.
struct Progress {
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> finished{false}; // set when migrate() returns, whatever its outcome
};

// What a start finds in a record database.
enum class State {
    Unreadable, // missing, or not read: the windows tell what is wrong
    Current,    // the newest version, with everything that version promises
    Older,      // made before the newest version: migrate() brings it up to date
    Damaged,    // the newest version, yet a search index or its triggers are
                // missing, or an index counts other records than its table holds
    Newer,      // written by a newer program: read, never written
};
// Reads the file's header, its sqlite_master and one row per search index:
// cheap enough for every start.
State stateOf(const QString& path);

// True when migrate() has work to do: an older or a damaged file.
bool needed(const QString& path);

// For a file of a newer program than this one: what the user is told, once at
// start and wherever a write is refused. Empty for any other file.
QString newerFileNotice(const QString& path);
QString newerFileNotice(const QString& path, int version);

// Brings the record database at path up to the newest version, and gives a file
// of the newest version back what it lost (a search index, its triggers, the
// records of an emptied index), in the same way and the same transaction. A
// missing file is left alone (the windows report it); a newer file than this
// program knows is never written. Safe to run on a thread of its own; progress,
// when given, is updated as it goes.
Outcome migrate(const QString& path, Progress* progress = nullptr);

// The schema's SQL that makes an empty record database of the given version:
// the tables, then the parts up to that version. The layout of older files,
// for converting tests and benchmarks alike.
QString schemaOfVersion(int version);

} // namespace Migration
