#pragma once

#include <QByteArray>
#include <functional>

// Runs work in a child process, so that a crash or a hang inside a library
// that reads untrusted files cannot take the program down with it. The child
// writes what it has to say to the given file descriptor.
struct IsolatedResult {
    enum Ending { Exited, Crashed, TimedOut, CouldNotStart } ending = CouldNotStart;
    int exitCode = -1;
    QByteArray output;
    bool succeeded() const { return ending == Exited && exitCode == 0; }
};

IsolatedResult runIsolated(const std::function<int(int outputFd)>& work, int timeoutSeconds);
