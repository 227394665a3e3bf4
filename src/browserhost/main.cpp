// quillmere-browser-host: the native-messaging host the browser starts for the
// KeePassXC-Browser extension. It relays the extension's messages to the running
// Quillmere over the user's private socket and holds no record itself.
//
// Firefox starts it with the manifest's path and the extension's id, Chromium
// with the extension's origin (and on some systems a --parent-window option):
// none of them changes what it does, so the arguments are not read.
#include "HostRelay.h"
#include "browser/SocketPath.h"

#include <csignal>
#include <unistd.h>

int main() {
    // A browser that goes away must end the host, never kill it halfway through a write.
    std::signal(SIGPIPE, SIG_IGN);
    HostRelay relay(STDIN_FILENO, STDOUT_FILENO, SocketPath::socketFile());
    return relay.run();
}
