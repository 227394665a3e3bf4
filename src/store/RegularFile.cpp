#include "RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const QString& path) {
    return QStringLiteral("%1 cannot be read: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

// What a path is, when it is not a regular file; empty when it is one.
QString kindOtherThanFile(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("no regular file");
}

QString refusal(const QString& path, const QString& kind) {
    const QString target = QFile::symLinkTarget(path);
    const QString named = target.isEmpty() ? path : QStringLiteral("%1 (a link to %2)").arg(path, target);
    return QStringLiteral("%1 is not a file but %2, so it cannot be read.").arg(named, kind);
}

} // namespace

QString notRegularFile(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return systemError(path);
    const QString kind = kindOtherThanFile(info.st_mode);
    return kind.isEmpty() ? QString() : refusal(path, kind);
}

bool openRegularFile(QFile& file, const QString& path, QString& error) {
    error = notRegularFile(path);
    if (!error.isEmpty())
        return false;
    // Without O_NONBLOCK a pipe swapped in after the check would hold the open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = systemError(path);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = refusal(path, kindOtherThanFile(info.st_mode));
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        ::close(fd);
        return false;
    }
    return true;
}
