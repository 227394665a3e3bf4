#include "Isolated.h"

#include <QElapsedTimer>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

IsolatedResult runIsolated(const std::function<int(int outputFd)>& work, int timeoutSeconds) {
    IsolatedResult result;
    int channel[2];
    if (::pipe(channel) != 0)
        return result;
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return result;
    }
    if (child == 0) {
        // The child must not outlive the program: killed with it, it leaves no
        // half-written file behind after the next start has tidied up.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        ::close(channel[0]);
        // A fault in the child ends the child, whatever handlers the parent set up.
        for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            ::signal(fault, SIG_DFL);
        int code = 1;
        try {
            code = work(channel[1]);
        } catch (...) {
            code = 1;
        }
        ::close(channel[1]);
        // No destructors, no atexit handlers: they belong to the parent.
        ::_exit(code);
    }
    ::close(channel[1]);
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    bool finished = false;
    char buffer[4096];
    while (!finished) {
        pollfd readable{channel[0], POLLIN, 0};
        if (::poll(&readable, 1, 50) > 0) {
            const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
            if (n > 0)
                result.output.append(buffer, n);
        }
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            finished = true;
        } else if (clock.elapsed() > qint64(timeoutSeconds) * 1000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ::close(channel[0]);
            result.ending = IsolatedResult::TimedOut;
            return result;
        }
    }
    ssize_t n;
    while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, n);
    ::close(channel[0]);
    if (WIFEXITED(status)) {
        result.ending = IsolatedResult::Exited;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.ending = IsolatedResult::Crashed;
    }
    return result;
}
