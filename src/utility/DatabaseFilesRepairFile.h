#pragma once

#include <QString>

// The repair's temporary file, password2.mdb, made so that a later repair knows
// it for its own when a kill left it behind. An empty owner-only file is made
// first under a second, hidden name (".password2.mdb.repair") and password2.mdb
// is made as a hard link to it: the two names are one file from the first
// moment, and stay so while the repair writes into it. A password2.mdb that is
// not that file (one the user put there, or one of an older version) is never
// removed nor written. Where the file system has no hard links, the file is
// made without its second name, and one left behind is refused as foreign.
// While a repair runs it holds a lock on the second name, so that a repair
// started beside it takes its file for a running repair's, not a killed one's;
// the lock goes with the process that held it, however it ends.
class RepairFile {
public:
    explicit RepairFile(QString path);
    ~RepairFile();
    RepairFile(const RepairFile&) = delete;
    RepairFile& operator=(const RepairFile&) = delete;

    enum class Leftover {
        None,    // no password2.mdb
        Cleared, // one a killed repair left, removed
        Running, // the file of a repair that runs now, left alone
        Foreign, // one this program did not make, left alone
    };
    // Removes what a killed repair left: its file, its journal, its second name.
    Leftover clearLeftover() const;

    // Makes the empty owner-only file with its second name, and locks it; false when it cannot.
    bool create();
    // Removes the file, its journal and its second name: the repair failed.
    void remove() const;
    // Removes the second name alone: the file has been renamed into the database's place.
    void release() const;

    QString path() const { return m_path; }
    QString secondName() const;

private:
    bool isOurs() const;

    QString m_path;
    int m_lock = -1; // the second name, open and locked while this repair runs
};
