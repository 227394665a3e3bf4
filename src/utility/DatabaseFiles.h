#pragma once

#include "store/RecordCopyProgress.h"

#include <QString>
#include <functional>
#include <optional>

class QLocale;
class RepairFile;

// Backup, restore and repair of the record database as whole files. Every file
// is written beside its target under a temporary name, flushed to disk and then
// renamed over the target, so a failure leaves the old file whole; every file
// written is readable and writable by its owner only.
//
// Restore and repair never put a file made elsewhere in place of the database:
// they build a new one from the program's own layout, copy the records into it,
// check it, and only then swap it in, keeping the file it replaces beside it.
class DatabaseFiles {
public:
    struct Outcome {
        bool ok = false;
        QString error;         // why it failed, for the user
        bool notFound = false; // the database is missing or another program holds it
        QString report;        // what else the user should know after a success
    };
    using Rename = std::function<bool(const QString& from, const QString& to)>;

    explicit DatabaseFiles(QString programDirectory, Rename rename = {});

    QString databasePath() const;
    QString repairPath() const;
    // The database a restore replaced (one generation) and the damaged one a repair replaced.
    QString beforeRestorePath() const;
    QString damagedPath() const;
    std::optional<qint64> databaseSize() const;
    // Bytes as kilobytes: up to 15 significant digits, the locale's decimal
    // separator, no thousands separator, then " KB".
    static QString sizeText(qint64 bytes, const QLocale& locale);

    // Copies the database into the folder of the chosen path, as password.mdb.
    Outcome backup(const QString& chosenPath) const;
    // Rebuilds the database from every record of password.mdb in the folder of
    // the chosen path (an old-format file is converted); refused, with nothing
    // changed, unless every record can be read.
    Outcome restore(const QString& chosenPath) const;
    // A sound database is compacted; a damaged one is rebuilt from every record
    // that can still be read, and the report says what was recovered and lost.
    // Either way every search index is rebuilt from the records and checked.
    // The listener is told how far it has come and may stop it; stopped, killed
    // or failed, it leaves the database as it was, and its temporary file is
    // cleared by the next repair.
    Outcome repair(const CopyProgress::Listener& progress = {}) const;

private:
    Outcome copyReplacing(const QString& source, const QString& target) const;
    bool renameOver(const QString& from, const QString& to) const;
    // Keeps the database under the name given, then renames the new file over it.
    QString keepAndReplace(const QString& newFile, const QString& keptPath) const;
    // Nothing when the copy's search index cannot be rebuilt in place; the file is then salvaged.
    std::optional<Outcome> compact(const QString& database, RepairFile& repaired, CopyProgress& progress) const;
    Outcome salvage(const QString& database, RepairFile& repaired, CopyProgress& progress) const;

    QString m_directory;
    Rename m_rename;
};
