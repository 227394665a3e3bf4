#pragma once

#include <QString>

// Where the running program listens for the browser host: a socket file in a
// folder of the user's runtime directory that only the user can enter. Never
// an abstract socket and never a network port, so no other user can reach it.
namespace SocketPath {

// $XDG_RUNTIME_DIR/quillmere/browser; empty when XDG_RUNTIME_DIR is unset or relative.
QString socketFile();
// Makes the socket's folder with mode 0700 where it is missing and takes away
// looser permissions; the reason when it is not the user's own, else empty.
QString preparePrivateFolder(const QString& socketFile);
// True when the socket's folder belongs to this user and no one else may enter it.
bool inPrivateFolder(const QString& socketFile);

} // namespace SocketPath
