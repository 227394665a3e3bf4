#include "DataLocationPermissions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t OthersAll = S_IRWXG | S_IRWXO;
constexpr mode_t OthersWrite = S_IWGRP | S_IWOTH;

QString ownerName(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QStringLiteral("user %1").arg(uid);
}

QString reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString belongsToAnother(const QString& path, uid_t owner) {
    return QStringLiteral("%1 belongs to another user (%2), not to you.\n"
                          "The program does not use records another user can read or replace: copy them into a "
                          "folder of your own.")
        .arg(path, ownerName(owner));
}

// Clears the given permission bits of a path that belongs to the user; why not, when it cannot.
QString tighten(const QString& path, mode_t looser) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return QStringLiteral("%1 cannot be read: %2").arg(path, reason());
    if (info.st_uid != ::geteuid())
        return belongsToAnother(path, info.st_uid);
    if ((info.st_mode & looser) == 0)
        return {};
    if (::chmod(name.constData(), info.st_mode & 07777 & ~looser) != 0)
        return QStringLiteral("%1 is open to other users of this computer and cannot be made private: %2")
            .arg(path, reason());
    return {};
}

// The record files of a program folder: the databases, SQLite's files beside
// them, and the copies the utility keeps.
bool holdsRecords(const QString& name) {
    static const QRegularExpression records(QStringLiteral("\\.mdb(-journal|-wal|-shm)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return records.match(name).hasMatch();
}

} // namespace

namespace DataLocationPermissions {

QString makePrivate(const QString& folder, Kind kind) {
    const QString folderProblem = tighten(folder, kind == Kind::UserFolder ? OthersAll : OthersWrite);
    if (!folderProblem.isEmpty())
        return folderProblem;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        // Only files: a link that leads nowhere, or a folder kept there, holds no records.
        if ((kind == Kind::ProgramFolder && !holdsRecords(name)) || !QFileInfo(dir.filePath(name)).isFile())
            continue;
        const QString problem = tighten(dir.filePath(name), OthersAll);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

} // namespace DataLocationPermissions
