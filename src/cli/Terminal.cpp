#include "Terminal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

// No password is longer; reading stops here, whatever the input holds.
constexpr size_t MaxLineBytes = 64 * 1024;

// The first line, without its line break; nothing at the end of the input or
// when the line is longer than MaxLineBytes (then tooLong is set).
std::optional<QString> readLine(std::FILE* in, bool& tooLong) {
    std::string line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        if (line.size() == MaxLineBytes) {
            tooLong = true;
            return std::nullopt;
        }
        line.push_back(char(c));
    }
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// The signals that end or stop a program from its terminal. While the password
// is typed they are held back and read through a descriptor, so that echo is
// back on before any of them takes effect.
const int TerminalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

// Echo off while the password is typed, and back on whatever ends the prompt:
// Enter, end of input, a failure, or a signal (Ctrl+C, Ctrl+\, a kill, the
// terminal closing). A signal is acted on as usual once echo is back on;
// after a stop (Ctrl+Z) and continue, echo goes off again and typing goes on.
class QuietPrompt {
public:
    explicit QuietPrompt(int fd) : m_fd(fd) {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : TerminalSignals)
            sigaddset(&held, signal);
        if (::pthread_sigmask(SIG_BLOCK, &held, &m_savedMask) == 0) {
            m_signals = ::signalfd(-1, &held, SFD_CLOEXEC);
            if (m_signals < 0)
                ::pthread_sigmask(SIG_SETMASK, &m_savedMask, nullptr);
        }
        m_haveSaved = ::tcgetattr(fd, &m_saved) == 0;
        echoOff();
    }
    ~QuietPrompt() {
        echoOn();
        if (m_signals >= 0) {
            ::close(m_signals);
            // A signal that came in the meantime is acted on here.
            ::pthread_sigmask(SIG_SETMASK, &m_savedMask, nullptr);
        }
    }
    QuietPrompt(const QuietPrompt&) = delete;
    QuietPrompt& operator=(const QuietPrompt&) = delete;

    // The line typed, without its end; nothing at end of input or past MaxLineBytes (then tooLong is set).
    std::optional<std::string> readLine(bool& tooLong) {
        std::string line;
        for (;;) {
            pollfd ready[2] = {{m_fd, POLLIN, 0}, {m_signals, POLLIN, 0}};
            const int count = ::poll(ready, m_signals >= 0 ? 2 : 1, -1);
            if (count < 0) {
                if (errno == EINTR)
                    continue;
                return std::nullopt;
            }
            if (m_signals >= 0 && (ready[1].revents & POLLIN))
                takeSignal();
            if (!(ready[0].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char c = 0;
            const ssize_t got = ::read(m_fd, &c, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return line.empty() ? std::nullopt : std::optional<std::string>(line);
            if (c == '\n')
                return line;
            if (line.size() == MaxLineBytes) {
                tooLong = true;
                return std::nullopt;
            }
            line.push_back(c);
        }
    }

private:
    void echoOff() {
        if (!m_haveSaved)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        m_echoOff = ::tcsetattr(m_fd, TCSAFLUSH, &quiet) == 0;
    }
    void echoOn() {
        if (m_echoOff)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
        m_echoOff = false;
    }
    // Echo back on, then the signal acted on as if it had never been held.
    void takeSignal() {
        signalfd_siginfo info{};
        if (::read(m_signals, &info, sizeof info) != ssize_t(sizeof info))
            return;
        const int signal = int(info.ssi_signo);
        echoOn();
        ::raise(signal); // pending until the mask lets it through
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr); // ends the program, or stops it until continued
        ::pthread_sigmask(SIG_BLOCK, &one, nullptr);
        echoOff();
    }

    int m_fd;
    int m_signals = -1;
    sigset_t m_savedMask{};
    termios m_saved{};
    bool m_haveSaved = false;
    bool m_echoOff = false;
};

} // namespace

std::optional<QString> readPassword(bool fromStandardInput, QString& error) {
    return readSecret(fromStandardInput, QStringLiteral("password"), "Password: ", error);
}

std::optional<QString> readSecret(bool fromStandardInput, const QString& what, const char* prompt, QString& error) {
    bool tooLong = false;
    if (fromStandardInput) {
        std::optional<QString> line = readLine(stdin, tooLong);
        if (!line)
            error =
                !tooLong ? QStringLiteral("no %1 on standard input.").arg(what)
                : what == QLatin1String("password")
                    ? QStringLiteral("the first line of standard input is longer than 64 KB: no password is.")
                    : QStringLiteral("the line of standard input for the %1 is longer than 64 KB: no %1 is.").arg(what);
        return line;
    }
    std::FILE* terminal = std::fopen("/dev/tty", "r+");
    if (!terminal) {
        error = what == QLatin1String("password")
                    ? QStringLiteral("there is no terminal to ask for the password; use --password-stdin.")
                    : QStringLiteral("there is no terminal to ask for the %1; use --file-password-stdin.").arg(what);
        return std::nullopt;
    }
    std::optional<QString> line;
    {
        // Echo off before the prompt shows: nothing typed after it is ever shown.
        QuietPrompt quiet(fileno(terminal));
        std::fputs(prompt, terminal);
        std::fflush(terminal);
        if (const std::optional<std::string> typed = quiet.readLine(tooLong)) {
            std::string text = *typed;
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            line = QString::fromStdString(text);
        }
    }
    std::fputs("\n", terminal);
    std::fclose(terminal);
    if (!line)
        error = tooLong ? QStringLiteral("the %1 typed is longer than 64 KB.").arg(what)
                        : QStringLiteral("no %1 was typed.").arg(what);
    return line;
}
