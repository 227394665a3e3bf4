#include "SocketPath.h"

#include <QByteArray>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace SocketPath {

QString socketFile() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !runtime.startsWith('/'))
        return {};
    return QString::fromLocal8Bit(runtime) + QStringLiteral("/quillmere/browser");
}

QString preparePrivateFolder(const QString& socketFile) {
    const QByteArray folder = QFileInfo(socketFile).path().toLocal8Bit();
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("The folder %1 cannot be made.").arg(QString::fromLocal8Bit(folder));
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return QStringLiteral("The folder %1 is not the user's own.").arg(QString::fromLocal8Bit(folder));
    if ((info.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) != 0)
        return QStringLiteral("The folder %1 cannot be made private.").arg(QString::fromLocal8Bit(folder));
    return {};
}

bool inPrivateFolder(const QString& socketFile) {
    const QByteArray folder = QFileInfo(socketFile).path().toLocal8Bit();
    struct stat info {};
    return ::lstat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

} // namespace SocketPath
