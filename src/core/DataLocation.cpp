#include "DataLocation.h"

#include "DataLocationPermissions.h"
#include "store/OwnerOnly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#ifndef QUILLMERE_TEMPLATES_FROM_BINDIR
#define QUILLMERE_TEMPLATES_FROM_BINDIR "../share/quillmere"
#endif

namespace {

const QString DataFolderName = QStringLiteral("quillmere");

QString missingFrom(const QString& directory, const QStringList& names) {
    QStringList missing;
    for (const QString& name : names) {
        if (!QFileInfo(DataLocation::joined(directory, name)).isFile())
            missing << name;
    }
    return missing.join(QStringLiteral(" and "));
}

// Makes each missing folder of the path, owner-only as the XDG base directory
// rules ask of folders a program creates under the user's data home.
bool makePathOwnerOnly(const QString& path) {
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !makePathOwnerOnly(parent))
        return false;
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) || QFileInfo(path).isDir();
}

// Copies a template into a new owner-only file; the template is opened for reading only.
QString copyOwnerOnly(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(source, in.errorString());
    if (!createOwnerOnlyFile(target))
        return QStringLiteral("%1 cannot be made.").arg(target);
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("%1 cannot be written: %2").arg(target, out.errorString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            return QStringLiteral("%1 cannot be read: %2").arg(source, in.errorString());
        if (out.write(chunk) != chunk.size())
            return QStringLiteral("%1 cannot be written: %2").arg(target, out.errorString());
    }
    out.close();
    if (out.error() != QFileDevice::NoError || !syncFile(target))
        return QStringLiteral("%1 cannot be written to the disk.").arg(target);
    return {};
}

// Renames only when nothing of the target's name exists: a data folder that
// appeared meanwhile (a second start at the same moment) is never replaced.
bool renameNoReplace(const QString& from, const QString& to) {
    return ::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                       RENAME_NOREPLACE) == 0;
}

// Fills a hidden folder beside the target and renames it into place, so that
// an interrupted first start never leaves a half-made data folder behind.
QString makeDataFolder(const QString& target, const QString& templates) {
    const QString parent = QFileInfo(target).absolutePath();
    if (!makePathOwnerOnly(parent))
        return QStringLiteral("The folder %1 cannot be made.").arg(parent);
    QTemporaryDir staging(QDir(parent).filePath(QStringLiteral(".quillmere.XXXXXX")));
    if (!staging.isValid())
        return QStringLiteral("No folder can be made in %1: %2").arg(parent, staging.errorString());
    for (const QString& name : DataLocation::databaseFiles()) {
        const QString error =
            copyOwnerOnly(DataLocation::joined(templates, name), DataLocation::joined(staging.path(), name));
        if (!error.isEmpty())
            return error;
    }
    syncDirectory(staging.path());
    if (!renameNoReplace(staging.path(), target)) {
        if (errno == EEXIST || errno == ENOTEMPTY)
            return {}; // made by another start; the caller checks it like any existing folder
        return QStringLiteral("%1 cannot be made: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
    }
    staging.setAutoRemove(false);
    syncDirectory(parent);
    return {};
}

DataLocation checkExisting(DataLocation location) {
    if (!QFileInfo(location.dataDirectory).isDir()) {
        location.error = QStringLiteral("%1 is in the place of the folder for your records, and it is not a folder.\n"
                                        "Move it away and start the program again.")
                             .arg(location.dataDirectory);
        return location;
    }
    const QString privacy =
        DataLocationPermissions::makePrivate(location.dataDirectory, DataLocationPermissions::Kind::UserFolder);
    if (!privacy.isEmpty()) {
        location.error = privacy;
        return location;
    }
    const QString missing = missingFrom(location.dataDirectory, DataLocation::databaseFiles());
    if (!missing.isEmpty())
        location.error = QStringLiteral("The folder of your records, %1, lacks %2.\n"
                                        "The program does not fill it in over your records: restore the file from "
                                        "your backup, or copy the delivered one from %3 to start it afresh.")
                             .arg(location.dataDirectory, missing, location.templateDirectory);
    return location;
}

} // namespace

const QStringList& DataLocation::databaseFiles() {
    static const QStringList files{QStringLiteral("password.mdb"), QStringLiteral("pass2.mdb")};
    return files;
}

const QStringList& DataLocation::layoutFiles() {
    static const QStringList files{QStringLiteral("password.rpt"), QStringLiteral("creditcard.rpt"),
                                   QStringLiteral("personal.rpt"), QStringLiteral("notes.rpt"),
                                   QStringLiteral("reminders.rpt")};
    return files;
}

QString DataLocation::joined(const QString& directory, const QString& name) {
    return QDir::toNativeSeparators(directory + '/' + name);
}

DataLocation::Environment DataLocation::currentEnvironment(const QString& programDirectory) {
    return {programDirectory, qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath()};
}

DataLocation DataLocation::decide(const Environment& environment) {
    DataLocation location;
    if (QFileInfo(joined(environment.programDirectory, databaseFiles().first())).isFile()) {
        location.dataDirectory = environment.programDirectory;
        location.portable = true;
        location.error =
            DataLocationPermissions::makePrivate(location.dataDirectory, DataLocationPermissions::Kind::ProgramFolder);
        return location;
    }
    location.templateDirectory =
        QDir::cleanPath(environment.programDirectory + '/' + QStringLiteral(QUILLMERE_TEMPLATES_FROM_BINDIR));
    // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rules say.
    const QString dataHome = QDir::isAbsolutePath(environment.xdgDataHome)
                                 ? environment.xdgDataHome
                                 : environment.home + QStringLiteral("/.local/share");
    location.dataDirectory = QDir::cleanPath(dataHome + '/' + DataFolderName);

    if (QFileInfo::exists(location.dataDirectory) || QFileInfo(location.dataDirectory).isSymLink())
        return checkExisting(location);

    const QString missingTemplates = missingFrom(location.templateDirectory, databaseFiles());
    if (!missingTemplates.isEmpty()) {
        location.error = QStringLiteral("The delivered files of the program are missing: %1 lacks %2.\n"
                                        "Install the program again.")
                             .arg(location.templateDirectory, missingTemplates);
        return location;
    }
    const QString error = makeDataFolder(location.dataDirectory, location.templateDirectory);
    if (!error.isEmpty()) {
        location.error = QStringLiteral("The folder for your records cannot be made.\n") + error;
        return location;
    }
    location = checkExisting(location);
    location.madeNow = location.error.isEmpty();
    return location;
}

QString DataLocation::layoutFile(const QString& dataDirectory, const QString& templateDirectory, const QString& name) {
    const QString own = joined(dataDirectory, name);
    if (templateDirectory.isEmpty() || QFileInfo::exists(own))
        return own;
    return joined(templateDirectory, name);
}
