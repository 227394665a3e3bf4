#include "DatabaseFilesRepairFile.h"

#include "store/OwnerOnly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString& path, struct stat& info) {
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

RepairFile::RepairFile(QString path) : m_path(std::move(path)) {}

RepairFile::~RepairFile() {
    if (m_lock >= 0)
        ::close(m_lock); // and the lock with it
}

QString RepairFile::secondName() const {
    const QFileInfo file(m_path);
    return file.dir().filePath(QLatin1Char('.') + file.fileName() + QStringLiteral(".repair"));
}

bool RepairFile::isOurs() const {
    struct stat file {};
    struct stat second {};
    return statOf(m_path, file) && statOf(secondName(), second) && S_ISREG(file.st_mode) && S_ISREG(second.st_mode) &&
           file.st_dev == second.st_dev && file.st_ino == second.st_ino && file.st_uid == ::geteuid();
}

RepairFile::Leftover RepairFile::clearLeftover() const {
    struct stat file {};
    if (!statOf(m_path, file)) {
        // Without the file, its second name is at most a name of the database a
        // killed repair put in place: removing the name leaves the file.
        QFile::remove(secondName());
        return Leftover::None;
    }
    if (!isOurs())
        return Leftover::Foreign;
    const int second = ::open(QFile::encodeName(secondName()).constData(), O_RDONLY | O_CLOEXEC);
    const bool running = second >= 0 && ::flock(second, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (second >= 0)
        ::close(second);
    if (running)
        return Leftover::Running;
    remove();
    return Leftover::Cleared;
}

bool RepairFile::create() {
    const QString second = secondName();
    QFile::remove(second);
    if (!createOwnerOnlyFile(second))
        return false;
    if (m_lock >= 0)
        ::close(m_lock); // of a second name made earlier and removed since
    m_lock = ::open(QFile::encodeName(second).constData(), O_RDONLY | O_CLOEXEC);
    if (m_lock >= 0)
        ::flock(m_lock, LOCK_EX | LOCK_NB);
    const bool linked = ::link(QFile::encodeName(second).constData(), QFile::encodeName(m_path).constData()) == 0;
    const int why = errno;
    if (linked)
        return true;
    QFile::remove(second);
    // A file system without hard links: the file alone, as before there were second names.
    return why != EEXIST && createOwnerOnlyFile(m_path);
}

void RepairFile::remove() const {
    QFile::remove(m_path + QStringLiteral("-journal"));
    QFile::remove(m_path);
    QFile::remove(secondName());
}

void RepairFile::release() const {
    QFile::remove(secondName());
    syncDirectory(QFileInfo(m_path).absolutePath());
}
