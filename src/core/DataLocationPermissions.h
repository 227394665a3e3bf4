#pragma once

#include <QString>

// Keeps the records private to the user who runs the program, at every start.
//
// A data folder made by hand or by another tool may be open to everyone (a
// folder of mode 0755 with files of 0644): every other user of the computer
// could then read every password. Looser permissions are put right before
// anything is read; a folder or a file that belongs to another user is not
// used at all, since it could be read or swapped by its owner.
namespace DataLocationPermissions {

enum class Kind {
    // The user's own data folder: only records and the user's layouts live
    // there. The folder becomes 0700 and every file in it 0600.
    UserFolder,
    // A portable program folder, which also holds the program and its delivered
    // layouts, and may be shared as an installation: the database files and
    // whatever SQLite or the utility keeps beside them (journals, the kept
    // copies) become 0600, and nobody else may write the folder (their read and
    // search bits stay, so others can still run the program from it).
    ProgramFolder,
};

// Puts the permissions right; returns why the folder cannot be used, empty when it can.
QString makePrivate(const QString& folder, Kind kind);

} // namespace DataLocationPermissions
