#include "DatabaseFiles.h"

#include "store/OwnerOnly.h"
#include "store/RecordDatabaseCheck.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr auto OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

DatabaseFiles::DatabaseFiles(QString programDirectory, Rename rename)
    : m_directory(std::move(programDirectory)), m_rename(std::move(rename)) {}

QString DatabaseFiles::databasePath() const {
    return QDir(m_directory).filePath(Schema::RecordDatabaseFile);
}

QString DatabaseFiles::repairPath() const {
    return QDir(m_directory).filePath(QStringLiteral("password2.mdb"));
}

std::optional<qint64> DatabaseFiles::databaseSize() const {
    const QFileInfo info(databasePath());
    if (!info.isFile())
        return std::nullopt;
    return info.size();
}

QString DatabaseFiles::sizeText(qint64 bytes, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(double(bytes) / 1024.0, 'g', 15) + QStringLiteral(" KB");
}

bool DatabaseFiles::renameOver(const QString& from, const QString& to) const {
    if (m_rename)
        return m_rename(from, to);
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

DatabaseFiles::Outcome DatabaseFiles::copyReplacing(const QString& source, const QString& target) const {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("%1 cannot be read: %2").arg(source, in.errorString())};
    const QString folder = QFileInfo(target).absolutePath();
    // A temporary file is created for its owner only.
    QTemporaryFile out(QDir(folder).filePath(QStringLiteral(".password.mdb.XXXXXX")));
    if (!out.open())
        return {false, QStringLiteral("%1 cannot be written: %2").arg(folder, out.errorString())};
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size())
            return {false, QStringLiteral("%1 cannot be written: %2").arg(target, out.errorString())};
    }
    if (in.error() != QFile::NoError)
        return {false, QStringLiteral("%1 cannot be read: %2").arg(source, in.errorString())};
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return {false, QStringLiteral("%1 cannot be written: %2").arg(target, out.errorString())};
    out.setPermissions(OwnerOnly);
    if (!renameOver(out.fileName(), target))
        return {false, QStringLiteral("%1 cannot be replaced.").arg(target)};
    out.setAutoRemove(false);
    syncDirectory(folder);
    return {true, {}};
}

DatabaseFiles::Outcome DatabaseFiles::backup(const QString& chosenPath) const {
    const QString target = QDir(QFileInfo(chosenPath).absolutePath()).filePath(Schema::RecordDatabaseFile);
    if (!QFileInfo(databasePath()).isFile())
        return {false, QStringLiteral("%1 does not exist.").arg(databasePath())};
    return copyReplacing(databasePath(), target);
}

DatabaseFiles::Outcome DatabaseFiles::restore(const QString& chosenPath) const {
    const QString source = QDir(QFileInfo(chosenPath).absolutePath()).filePath(Schema::RecordDatabaseFile);
    const QString problem = checkRecordDatabase(source);
    if (!problem.isEmpty())
        return {false, problem};
    return copyReplacing(source, databasePath());
}

DatabaseFiles::Outcome DatabaseFiles::repair() const {
    const QString database = databasePath();
    const QString repaired = repairPath();
    if (!QFileInfo(database).isFile())
        return {false, QStringLiteral("%1 does not exist.").arg(database)};
    // A file left by an earlier repair is never overwritten, nor removed.
    const bool existedBefore = QFileInfo::exists(repaired);
    const auto fail = [&](const QString& why) {
        if (!existedBefore)
            QFile::remove(repaired);
        return Outcome{false, why};
    };
    // Made empty and owner-only first: the compaction accepts an empty file and
    // keeps its permissions.
    if (!existedBefore && !createOwnerOnlyFile(repaired))
        return fail(QStringLiteral("%1 cannot be made.").arg(repaired));
    try {
        SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Statement vacuum(db, "VACUUM INTO ?");
        vacuum.bind(1, repaired.toStdString());
        vacuum.exec();
    } catch (const std::exception& e) {
        return fail(QStringLiteral("%1 cannot be compacted: %2").arg(database, QString::fromUtf8(e.what())));
    }
    const QString problem = checkRecordDatabase(repaired);
    if (!problem.isEmpty())
        return fail(problem);
    QFile::setPermissions(repaired, OwnerOnly);
    if (!syncFile(repaired))
        return fail(QStringLiteral("%1 cannot be written to disk.").arg(repaired));
    if (!renameOver(repaired, database))
        return fail(QStringLiteral("%1 cannot be replaced.").arg(database));
    syncDirectory(m_directory);
    return {true, {}};
}
