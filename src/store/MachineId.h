#pragma once

#include <QString>

// The id of this computer, as the records it changes name it ("_machine").
//
// It lives in the user's configuration folder ($XDG_CONFIG_HOME/quillmere/machine-id,
// ~/.config/quillmere/machine-id), a random UUID made at the first write. Not in
// the record database: that file travels to the other computers, and each must
// name itself. Not the system's machine id either: computers cloned from one
// image share that, and the id would tell the other computers which computer a
// record came from; a random one says only "this user on this computer", for the
// desktop program and quillmere-cli alike. The program of a portable folder
// carried from one computer to another names the computer it runs on.
namespace MachineId {

// The id of this computer, made and kept on first use. When the configuration
// folder cannot be written, an id derived from the system's machine id and the
// user's name stands in, the same at every start.
QString local();

// The same for a given configuration folder (tests give their own).
QString inFolder(const QString& configFolder);

} // namespace MachineId
