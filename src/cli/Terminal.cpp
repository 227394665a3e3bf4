#include "Terminal.h"

#include <QFile>
#include <cstdio>
#include <string>
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
    bool tooLong = false;
    if (fromStandardInput) {
        std::optional<QString> line = readLine(stdin, tooLong);
        if (!line)
            error = tooLong ? QStringLiteral("the first line of standard input is longer than 64 KB: no password is.")
                            : QStringLiteral("no password on standard input.");
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
        line = readLine(terminal, tooLong);
    }
    std::fputs("\n", terminal);
    std::fclose(terminal);
    if (!line)
        error = tooLong ? QStringLiteral("the password typed is longer than 64 KB.")
                        : QStringLiteral("no password was typed.");
    return line;
}
