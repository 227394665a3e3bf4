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
