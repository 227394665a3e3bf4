#include "DatabaseFiles.h"

#include "DatabaseFilesRepairFile.h"
#include "store/JetReader.h"
#include "store/LegacyConversion.h"
#include "store/Migration.h"
#include "store/NewDatabase.h"
#include "store/OwnerOnly.h"
#include "store/RecordCopy.h"
#include "store/RecordCopySearch.h"
#include "store/RecordDatabaseCheck.h"
#include "store/RegularFile.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>
#include <optional>
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

// True when SQLite would read more than the file itself: its header says it
// keeps a write-ahead log (bytes 18 and 19 are 2), or a log or a journal lies
// beside it. Read as it lies, such a file can lack its last writes.
bool hasLogBeside(const QString& path) {
    QFile file(path);
    QByteArray header;
    if (file.open(QIODevice::ReadOnly))
        header = file.read(20);
    const bool walHeader =
        header.size() == 20 && header.startsWith("SQLite format 3") && header[18] == 2 && header[19] == 2;
    return walHeader || QFileInfo::exists(path + QStringLiteral("-wal")) ||
           QFileInfo::exists(path + QStringLiteral("-journal"));
}

// Copies the backup and its log or journal into a private folder and opens the
// copy as SQLite does any file, so that it takes in the log's writes (or rolls
// back a write cut short), then leaves it a plain file. The backup itself is
// only read. Returns the copy's path, or throws StoreError.
QString withItsLogTakenIn(const QString& source, const QTemporaryDir& privateFolder) {
    if (!privateFolder.isValid())
        throw StoreError(
            QStringLiteral("no private folder can be made for a copy of it: %1").arg(privateFolder.errorString()));
    const QString copy = privateFolder.filePath(Schema::RecordDatabaseFile);
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        if (!suffix.isEmpty() && !QFileInfo::exists(source + suffix))
            continue;
        if (!QFile::copy(source + suffix, copy + suffix) || !QFile::setPermissions(copy + suffix, OwnerOnly))
            throw StoreError(QStringLiteral("%1 cannot be copied to be read with its log").arg(source + suffix));
    }
    SQLite::Database db(copy.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA journal_mode=DELETE");
    return copy;
}

QString recoveredLine(const TableTally& tally) {
    const qint64 lost = tally.lost();
    QString line = QStringLiteral("%1: %2 recovered").arg(sectionNoun(tally.table)).arg(tally.copied);
    if (tally.inPart > 0)
        line += QStringLiteral(" (%1 of them in part: text that could not be read is left out)").arg(tally.inPart);
    return line + QStringLiteral(", ") +
           (lost < 0    ? QStringLiteral("how many were lost is not known")
            : lost == 0 ? QStringLiteral("none lost")
                        : QStringLiteral("%1 lost").arg(lost));
}

const QString Cancelled = QStringLiteral("The repair was cancelled; the database has not been changed.");

// A file being built is a temporary until it is flushed, whole, before the swap.
void buildWithoutJournal(SQLite::Database& db) {
    db.exec("PRAGMA journal_mode=MEMORY");
    db.exec("PRAGMA synchronous=OFF");
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
            // A backup taken while SQLite kept a log beside it is read with its log,
            // on a private copy: read alone, it could lack its last records.
            std::optional<QTemporaryDir> privateFolder;
            QString readable = source;
            if (hasLogBeside(source)) {
                privateFolder.emplace(QDir(m_directory).filePath(QStringLiteral(".password.mdb.log-XXXXXX")));
                readable = withItsLogTakenIn(source, *privateFolder);
            }
            const std::unique_ptr<SQLite::Database> backup = openUntouched(readable);
            const std::string verdict = backup->execAndGet("PRAGMA integrity_check").getString();
            if (verdict != "ok")
                return fail(QStringLiteral("%1 is damaged: %2")
                                .arg(source, QString::fromStdString(verdict).replace('\n', QStringLiteral("; "))));
            const int version = backup->execAndGet("PRAGMA user_version").getInt();
            if (version > Migration::newestVersion())
                return fail(QStringLiteral("%1 was written by a newer version of the program (its layout is version "
                                           "%2; this version knows versions up to %3): restoring it here could lose "
                                           "what that version keeps.")
                                .arg(source)
                                .arg(version)
                                .arg(Migration::newestVersion()));
            const QString problem = checkRecordDatabase(readable);
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

DatabaseFiles::Outcome DatabaseFiles::repair(const CopyProgress::Listener& listener) const {
    const QString database = databasePath();
    RepairFile repaired(repairPath());
    if (!QFileInfo(database).isFile())
        return {false, QStringLiteral("%1 does not exist.").arg(database), true};
    // A repair writes the file anew in this program's layout: a newer program's file is only ever read.
    if (const QString newer = Migration::newerFileNotice(database); !newer.isEmpty())
        return {false, newer + QStringLiteral(" A repair would write it, so it is refused.")};
    // A file left by a killed repair is its own to clear; any other file of that
    // name is never overwritten, nor removed.
    switch (repaired.clearLeftover()) {
    case RepairFile::Leftover::Foreign:
        return {
            false,
            QStringLiteral("%1 is left from an earlier repair; move it away to repair again.").arg(repaired.path())};
    case RepairFile::Leftover::Running:
        return {false, QStringLiteral("%1 is in use by another program.").arg(database), true};
    case RepairFile::Leftover::None:
    case RepairFile::Leftover::Cleared:
        break;
    }
    CopyProgress progress(listener);
    bool sound = false;
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
        const CopyProgress::Watch watch(db, progress);
        progress.busy();
        // SQLite checks the structure of the pages, not the text they carry.
        sound = db.execAndGet("PRAGMA integrity_check").getString() == "ok" && everyRecordReadsWhole(db, progress);
    } catch (const std::exception& e) {
        if (progress.cancelled())
            return {false, Cancelled};
        return {false, QStringLiteral("%1 cannot be repaired: %2.").arg(database, QString::fromUtf8(e.what()))};
    }
    if (!repaired.create())
        return {false, QStringLiteral("%1 cannot be made.").arg(repaired.path())};
    if (sound) {
        if (const std::optional<Outcome> compacted = compact(database, repaired, progress))
            return *compacted;
        // A search index that cannot be rebuilt in place (its own settings damaged, say):
        // the file is built anew from the layout and the records, as a damaged one is.
        if (!repaired.create())
            return {false, QStringLiteral("%1 cannot be made.").arg(repaired.path())};
    }
    return salvage(database, repaired, progress);
}

std::optional<DatabaseFiles::Outcome> DatabaseFiles::compact(const QString& database, RepairFile& repaired,
                                                             CopyProgress& progress) const {
    const auto fail = [&](const QString& why) {
        repaired.remove();
        return Outcome{false, why};
    };
    const std::string path = repaired.path().toStdString();
    bool indexWasDamaged = false;
    try {
        {
            // The compaction accepts the empty file made for it and keeps its permissions.
            SQLite::Database db(database.toStdString(), SQLite::OPEN_READWRITE);
            const CopyProgress::Watch watch(db, progress);
            SQLite::Statement vacuum(db, "VACUUM INTO ?");
            vacuum.bind(1, path);
            vacuum.exec();
        }
        SQLite::Database copy(path, SQLite::OPEN_READWRITE);
        buildWithoutJournal(copy);
        const CopyProgress::Watch watch(copy, progress);
        indexWasDamaged = !damagedSearchIndexes(copy).isEmpty();
        progress.throwIfCancelled();
        try {
            rebuildSearchIndexes(copy);
        } catch (const StoreError&) {
            if (progress.cancelled())
                throw;
            repaired.remove();
            return std::nullopt;
        }
        progress.throwIfCancelled();
    } catch (const std::exception& e) {
        if (progress.cancelled())
            return fail(Cancelled);
        return fail(QStringLiteral("%1 cannot be compacted: %2").arg(database, QString::fromUtf8(e.what())));
    }
    const QString problem = checkRecordDatabase(repaired.path());
    if (!problem.isEmpty())
        return fail(problem);
    QFile::setPermissions(repaired.path(), OwnerOnly);
    if (!syncFile(repaired.path()))
        return fail(QStringLiteral("%1 cannot be written to disk.").arg(repaired.path()));
    if (!renameOver(repaired.path(), database))
        return fail(QStringLiteral("%1 cannot be replaced.").arg(database));
    repaired.release();
    if (indexWasDamaged)
        return Outcome{true, {}, false, QStringLiteral("The search index was damaged; it has been rebuilt.")};
    return Outcome{true, {}};
}

DatabaseFiles::Outcome DatabaseFiles::salvage(const QString& database, RepairFile& repaired,
                                              CopyProgress& progress) const {
    const auto fail = [&](const QString& why) {
        repaired.remove();
        return Outcome{false, why};
    };
    CopyResult recovered;
    try {
        SQLite::Database damaged(database.toStdString(), SQLite::OPEN_READONLY);
        const std::unique_ptr<SQLite::Database> target = createFromSchema(repaired.path(), true);
        recovered = salvageRecords(damaged, *target, progress);
        const CopyProgress::Watch watch(*target, progress);
        progress.busy();
        rebuildSearchIndexes(*target);
        progress.throwIfCancelled();
        verifyCopy(*target, recovered);
    } catch (const std::exception& e) {
        if (progress.cancelled())
            return fail(Cancelled);
        const auto* store = dynamic_cast<const StoreError*>(&e);
        return fail(QStringLiteral("%1 is damaged and cannot be rebuilt: %2.")
                        .arg(database, store ? store->message() : QString::fromUtf8(e.what())));
    }
    const QString problem = checkRecordDatabase(repaired.path());
    if (!problem.isEmpty())
        return fail(problem);
    if (!syncFile(repaired.path()))
        return fail(QStringLiteral("%1 cannot be written to disk.").arg(repaired.path()));
    const QString swapProblem = keepAndReplace(repaired.path(), damagedPath());
    if (!swapProblem.isEmpty())
        return fail(swapProblem);
    repaired.release();
    QStringList report{QStringLiteral("The database was damaged. Records recovered:")};
    for (const TableTally& tally : recovered.tables)
        report << recoveredLine(tally);
    report << QStringLiteral("The damaged database is kept as %1.").arg(QFileInfo(damagedPath()).fileName());
    return {true, {}, false, report.join('\n')};
}
