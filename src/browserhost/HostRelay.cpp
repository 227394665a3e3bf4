#include "HostRelay.h"

#include "browser/ProtocolErrors.h"
#include "browser/SocketPath.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QJsonObject objectOf(const QByteArray& message) {
    return QJsonDocument::fromJson(message).object();
}

bool isNotice(const QJsonObject& message) {
    const QString action = message.value(QStringLiteral("action")).toString();
    return action == QLatin1String("database-locked") || action == QLatin1String("database-unlocked");
}

} // namespace

HostRelay::HostRelay(int input, int output, QString socketFile)
    : m_input(input), m_output(output), m_socketFile(std::move(socketFile)) {}

HostRelay::~HostRelay() {
    closeProgram();
}

int HostRelay::run() {
    for (;;) {
        pollfd watched[2] = {{m_input, POLLIN, 0}, {m_program, POLLIN, 0}};
        const nfds_t count = m_program >= 0 ? 2 : 1;
        if (::poll(watched, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (count == 2 && (watched[1].revents & (POLLIN | POLLHUP | POLLERR)))
            fromProgram();
        if (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!fromBrowser())
                return m_browserFrames.failed() ? 1 : 0;
        }
    }
}

bool HostRelay::fromBrowser() {
    char buffer[65536];
    const ssize_t count = ::read(m_input, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR)
        return true;
    if (count <= 0)
        return false; // the browser closed the pipe
    m_browserFrames.append(buffer, count);
    while (m_browserFrames.hasNext())
        relay(m_browserFrames.next());
    return !m_browserFrames.failed();
}

void HostRelay::relay(const QByteArray& message) {
    const QJsonObject request = objectOf(message);
    const Pending pending{request.value(QStringLiteral("action")).toString(),
                          request.value(QStringLiteral("nonce")).toString().toLatin1()};
    if ((m_program >= 0 || connectToProgram()) && writeAll(m_program, MessageFrames::framed(message))) {
        m_pending.append(pending);
        return;
    }
    closeProgram();
    writeAll(m_output,
             MessageFrames::framed(protocolErrorReply(pending.action, ProtocolError::NotConnected, pending.nonce)));
}

void HostRelay::fromProgram() {
    char buffer[65536];
    const ssize_t count = ::read(m_program, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR)
        return;
    if (count > 0)
        m_programFrames.append(buffer, count);
    while (m_programFrames.hasNext()) {
        const QByteArray message = m_programFrames.next();
        if (!isNotice(objectOf(message)) && !m_pending.isEmpty())
            m_pending.removeFirst();
        writeAll(m_output, MessageFrames::framed(message));
    }
    if (count <= 0 || m_programFrames.failed()) {
        closeProgram();
        answerPendingWithError();
    }
}

void HostRelay::answerPendingWithError() {
    for (const Pending& pending : std::as_const(m_pending))
        writeAll(m_output,
                 MessageFrames::framed(protocolErrorReply(pending.action, ProtocolError::NotConnected, pending.nonce)));
    m_pending.clear();
}

bool HostRelay::connectToProgram() {
    // Only a socket in the user's own private folder is trusted with the browser's requests.
    if (m_socketFile.isEmpty() || !SocketPath::inPrivateFolder(m_socketFile))
        return false;
    const QByteArray path = m_socketFile.toLocal8Bit();
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    m_program = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_program < 0)
        return false;
    if (::connect(m_program, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closeProgram();
        return false;
    }
    m_programFrames = MessageFrames();
    return true;
}

void HostRelay::closeProgram() {
    if (m_program >= 0)
        ::close(m_program);
    m_program = -1;
}

bool HostRelay::writeAll(int fd, const QByteArray& bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::send(fd, bytes.constData() + written, size_t(bytes.size() - written), MSG_NOSIGNAL);
        if (count < 0 && errno == ENOTSOCK) {
            const ssize_t plain = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
            if (plain < 0 && errno == EINTR)
                continue;
            if (plain <= 0)
                return false;
            written += plain;
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}
