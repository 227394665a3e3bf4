#include "DatabaseFiles.h"

#include "store/JetReader.h"
#include "store/LegacyConversion.h"
#include "store/NewDatabase.h"
#include "store/OwnerOnly.h"
#include "store/RecordCopy.h"
#include "store/RecordDatabaseCheck.h"
#include "store/RegularFile.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace {

constexpr auto OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// How the repair's report names a table's records.
QString sectionNoun(const QString& table) {
    static const QHash<QString, QString> nouns{{Schema::account().name, QStringLiteral("Passwords")},
                                               {Schema::creditCard().name, QStringLiteral("Credit cards")},
                                               {Schema::personal().name, QStringLiteral("Personal records")},
                                               {Schema::notes().name, QStringLiteral("Notes")},
                                               {Schema::reminder().name, QStringLiteral("Reminders")}};
    return nouns.value(table, table);
}

} // namespace

DatabaseFiles::DatabaseFiles(QString programDirectory, Rename rename)
    : m_directory(std::move(programDirectory)), m_rename(std::move(rename)) {}

QString DatabaseFiles::databasePath() const {
    return QDir(m_directory).filePath(Schema::RecordDatabaseFile);
}

QString DatabaseFiles::beforeRestorePath() const {
    return QDir(m_directory).filePath(QStringLiteral("password.before-restore.mdb"));
}

QString DatabaseFiles::damagedPath() const {
    return QDir(m_directory).filePath(QStringLiteral("password.damaged.mdb"));
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
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists())
        return {false,
                QStringLiteral("There is no %1 in %2.").arg(Schema::RecordDatabaseFile, sourceInfo.absolutePath())};
    if (const QString notFile = notRegularFile(source); !notFile.isEmpty())
        return {false, notFile};
    // Made owner-only, under a name the next start tidies away if this is cut short.
    QTemporaryFile fresh(QDir(m_directory).filePath(QStringLiteral(".password.mdb.XXXXXX")));
    if (!fresh.open())
        return {false, QStringLiteral("%1 cannot be written: %2").arg(m_directory, fresh.errorString())};
    const QString built = fresh.fileName();
    const auto fail = [&](const QString& why) {
        QFile::remove(built + QStringLiteral("-journal"));
        return Outcome{false, why};
    };
    try {
        if (JetReader::isJetFile(source)) {
            const QString problem = LegacyConversion::convertInto(source, built, true);
            if (!problem.isEmpty())
                return fail(
                    QStringLiteral("The old database file %1 cannot be read completely: %2.").arg(source, problem));
        } else {
            const std::unique_ptr<SQLite::Database> backup = openUntouched(source);
            const std::string verdict = backup->execAndGet("PRAGMA integrity_check").getString();
            if (verdict != "ok")
                return fail(QStringLiteral("%1 is damaged: %2")
                                .arg(source, QString::fromStdString(verdict).replace('\n', QStringLiteral("; "))));
            const QString problem = checkRecordDatabase(source);
            if (!problem.isEmpty())
                return fail(problem);
            const std::unique_ptr<SQLite::Database> target = createFromSchema(built, true);
            verifyCopy(*target, copyEveryRecord(*backup, *target));
        }
    } catch (const StoreError& e) {
        return fail(QStringLiteral("%1 cannot be restored: %2.").arg(source, e.message()));
    } catch (const std::exception& e) {
        return fail(QStringLiteral("%1 cannot be read: %2.").arg(source, QString::fromUtf8(e.what())));
    }
    const QString problem = checkRecordDatabase(built);
    if (!problem.isEmpty())
        return fail(problem);
    if (!syncFile(built))
        return fail(QStringLiteral("%1 cannot be written to disk.").arg(built));
    const bool hadDatabase = QFileInfo(databasePath()).isFile();
    const QString swapProblem = keepAndReplace(built, beforeRestorePath());
    if (!swapProblem.isEmpty())
        return fail(swapProblem);
    fresh.setAutoRemove(false);
    Outcome done{true, {}};
    if (hadDatabase)
        done.report =
            QStringLiteral("The database it replaced is kept as %1.").arg(QFileInfo(beforeRestorePath()).fileName());
    return done;
}

QString DatabaseFiles::keepAndReplace(const QString& newFile, const QString& keptPath) const {
    const QString database = databasePath();
    if (QFileInfo(database).isFile()) {
        // The database's bytes under a second name, made whole before the swap;
        // a kept file of an earlier time is replaced by this one.
        const QString keeping = QDir(m_directory).filePath(QStringLiteral(".password.mdb.keeping"));
        QFile::remove(keeping);
        const bool kept =
            ::link(QFile::encodeName(database).constData(), QFile::encodeName(keeping).constData()) == 0 ||
            (QFile::copy(database, keeping) && syncFile(keeping));
        if (!kept || !QFile::setPermissions(keeping, OwnerOnly) || !renameOver(keeping, keptPath)) {
            QFile::remove(keeping);
            return QStringLiteral("%1 cannot be kept as %2.").arg(database, keptPath);
        }
    }
    QFile::setPermissions(newFile, OwnerOnly);
    if (!renameOver(newFile, database))
        return QStringLiteral("%1 cannot be replaced.").arg(database);
    syncDirectory(m_directory);
    return {};
}

DatabaseFiles::Outcome DatabaseFiles::repair() const {
    const QString database = databasePath();
    const QString repaired = repairPath();
    if (!QFileInfo(database).isFile())
        return {false, QStringLiteral("%1 does not exist.").arg(database), true};
    // A file left by an earlier repair is never overwritten, nor removed.
    if (QFileInfo::exists(repaired))
        return {false,
                QStringLiteral("%1 is left from an earlier repair; move it away to repair again.").arg(repaired)};
    std::string verdict;
    try {
        SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE, 1000);
        try {
            // Another program that holds the file would see it swapped under it.
            db.exec("BEGIN IMMEDIATE");
            db.exec("ROLLBACK");
        } catch (const SQLite::Exception& e) {
            if ((e.getErrorCode() & 0xff) == SQLITE_BUSY || (e.getErrorCode() & 0xff) == SQLITE_LOCKED)
                return {false, QStringLiteral("%1 is in use by another program.").arg(database), true};
        }
        verdict = db.execAndGet("PRAGMA integrity_check").getString();
    } catch (const std::exception& e) {
        return {false, QStringLiteral("%1 cannot be repaired: %2.").arg(database, QString::fromUtf8(e.what()))};
    }
    return verdict == "ok" ? compact(database, repaired) : salvage(database, repaired);
}

DatabaseFiles::Outcome DatabaseFiles::compact(const QString& database, const QString& repaired) const {
    const auto fail = [&](const QString& why) {
        QFile::remove(repaired);
        return Outcome{false, why};
    };
    // Made empty and owner-only first: the compaction accepts an empty file and
    // keeps its permissions.
    if (!createOwnerOnlyFile(repaired))
        return Outcome{false, QStringLiteral("%1 cannot be made.").arg(repaired)};
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

DatabaseFiles::Outcome DatabaseFiles::salvage(const QString& database, const QString& repaired) const {
    const auto fail = [&](const QString& why) {
        QFile::remove(repaired);
        QFile::remove(repaired + QStringLiteral("-journal"));
        return Outcome{false, why};
    };
    if (!createOwnerOnlyFile(repaired))
        return Outcome{false, QStringLiteral("%1 cannot be made.").arg(repaired)};
    CopyResult recovered;
    try {
        SQLite::Database damaged(database.toStdString(), SQLite::OPEN_READONLY);
        const std::unique_ptr<SQLite::Database> target = createFromSchema(repaired, true);
        recovered = salvageRecords(damaged, *target);
        verifyCopy(*target, recovered);
    } catch (const StoreError& e) {
        return fail(QStringLiteral("%1 is damaged and cannot be rebuilt: %2.").arg(database, e.message()));
    } catch (const std::exception& e) {
        return fail(
            QStringLiteral("%1 is damaged and cannot be rebuilt: %2.").arg(database, QString::fromUtf8(e.what())));
    }
    const QString problem = checkRecordDatabase(repaired);
    if (!problem.isEmpty())
        return fail(problem);
    if (!syncFile(repaired))
        return fail(QStringLiteral("%1 cannot be written to disk.").arg(repaired));
    const QString swapProblem = keepAndReplace(repaired, damagedPath());
    if (!swapProblem.isEmpty())
        return fail(swapProblem);
    QStringList report{QStringLiteral("The database was damaged. Records recovered:")};
    for (const TableTally& tally : recovered.tables) {
        const qint64 lost = tally.lost();
        report << QStringLiteral("%1: %2 recovered, %3")
                      .arg(sectionNoun(tally.table))
                      .arg(tally.copied)
                      .arg(lost < 0    ? QStringLiteral("how many were lost is not known")
                           : lost == 0 ? QStringLiteral("none lost")
                                       : QStringLiteral("%1 lost").arg(lost));
    }
    report << QStringLiteral("The damaged database is kept as %1.").arg(QFileInfo(damagedPath()).fileName());
    return {true, {}, false, report.join('\n')};
}
