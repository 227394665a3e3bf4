#include "Terminal.h"

#include <QFile>
#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

std::optional<QString> readLine(std::FILE* in) {
    std::string line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line.push_back(char(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// Echo off while the password is typed, and back on whatever happens.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd) {
        if (::tcgetattr(fd, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            m_active = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (m_active)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }

private:
    int m_fd;
    termios m_saved{};
    bool m_active = false;
};

} // namespace

std::optional<QString> readPassword(bool fromStandardInput, QString& error) {
    if (fromStandardInput) {
        std::optional<QString> line = readLine(stdin);
        if (!line)
            error = QStringLiteral("no password on standard input.");
        return line;
    }
    std::FILE* terminal = std::fopen("/dev/tty", "r+");
    if (!terminal) {
        error = QStringLiteral("there is no terminal to ask for the password; use --password-stdin.");
        return std::nullopt;
    }
    std::fputs("Password: ", terminal);
    std::fflush(terminal);
    std::optional<QString> line;
    {
        EchoOff quiet(fileno(terminal));
        line = readLine(terminal);
    }
    std::fputs("\n", terminal);
    std::fclose(terminal);
    if (!line)
        error = QStringLiteral("no password was typed.");
    return line;
}
