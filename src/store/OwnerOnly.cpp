#include "OwnerOnly.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool createOwnerOnlyFile(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    ::fchmod(fd, S_IRUSR | S_IWUSR); // the umask may have taken bits away, never added any
    ::close(fd);
    return true;
}

namespace {

bool syncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool syncFile(const QString& path) {
    return syncPath(path, O_RDONLY);
}

void syncDirectory(const QString& directory) {
    syncPath(directory, O_RDONLY | O_DIRECTORY);
}
