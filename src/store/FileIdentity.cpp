#include "FileIdentity.h"

#include <QFile>
#include <sys/stat.h>

FileIdentity FileIdentity::of(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {quint64(info.st_dev), quint64(info.st_ino), true};
}
