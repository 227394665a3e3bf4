#include "ConflictCopies.h"

#include "Merge.h"
#include "store/OwnerOnly.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Moves a copy into a subfolder of the data folder, made for its owner only;
// a name taken there gets a number. Returns the new path, empty when it failed.
QString moveInto(const QString& copy, const QString& subfolder) {
    const QFileInfo info(copy);
    const QDir data = info.dir();
    const QString folder = data.filePath(subfolder);
    if (!QDir().mkpath(folder))
        return {};
    QFile::setPermissions(data.filePath(ConflictCopies::Folder),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString target = QDir(folder).filePath(info.fileName());
    for (int n = 2; QFileInfo::exists(target); ++n)
        target =
            QDir(folder).filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    if (!QFile::rename(copy, target))
        return {};
    syncDirectory(data.absolutePath());
    return target;
}

} // namespace

namespace ConflictCopies {

bool isConflictCopy(const QString& fileName) {
    static const QRegularExpression names(
        QStringLiteral("^password(\\.sync-conflict-[^/]*|"          // Syncthing
                       " \\([^/]*conflicted copy[^/]*\\))\\.mdb$"), // Nextcloud, ownCloud, Dropbox
        QRegularExpression::CaseInsensitiveOption);
    return names.match(fileName).hasMatch();
}

QStringList findBeside(const QString& databasePath, qint64 minimumAgeMs) {
    const QDir dir = QFileInfo(databasePath).dir();
    const QDateTime settled = QDateTime::currentDateTimeUtc().addMSecs(-minimumAgeMs);
    QStringList found;
    for (const QFileInfo& entry : dir.entryInfoList({QStringLiteral("password*.mdb")}, QDir::Files, QDir::Name))
        if (isConflictCopy(entry.fileName()) && (minimumAgeMs <= 0 || entry.lastModified().toUTC() <= settled))
            found << entry.absoluteFilePath();
    return found;
}

Report mergeAll(const QString& databasePath, qint64 minimumAgeMs) {
    Report report;
    QStringList merged, problems;
    for (const QString& copy : findBeside(databasePath, minimumAgeMs)) {
        const QString name = QFileInfo(copy).fileName();
        const Merge::Outcome outcome = Merge::mergeCopy(databasePath, copy);
        if (outcome.merged) {
            report.merged << copy;
            merged << QStringLiteral("Merged the copy %1 from another computer:\n%2").arg(name, outcome.summary());
            // Merging it again later changes nothing; the user is told where it still lies.
            if (moveInto(copy, MergedFolder).isEmpty())
                problems << QStringLiteral("The merged copy %1 could not be moved into %2 and stays beside the "
                                           "database.")
                                .arg(name, MergedFolder);
        } else if (outcome.refused) {
            report.setAside << copy;
            problems << outcome.error + QLatin1Char('\n') +
                            (moveInto(copy, DamagedFolder).isEmpty()
                                 ? QStringLiteral("It could not be moved away and stays beside the database.")
                                 : QStringLiteral("It was moved into %1, unmerged.").arg(DamagedFolder));
        } else {
            problems << outcome.error + QStringLiteral(" It is tried again later.");
        }
    }
    if (!report.merged.isEmpty())
        merged << QStringLiteral("Merged copies are kept in %1.")
                      .arg(QDir::toNativeSeparators(QFileInfo(databasePath).dir().filePath(MergedFolder)));
    report.mergedNotice = merged.join(QStringLiteral("\n\n"));
    report.problemNotice = problems.join(QStringLiteral("\n\n"));
    report.problem = !problems.isEmpty();
    report.notice = (merged + problems).join(QStringLiteral("\n\n"));
    return report;
}

} // namespace ConflictCopies
