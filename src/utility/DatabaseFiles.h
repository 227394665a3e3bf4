#pragma once

#include <QString>
#include <functional>
#include <optional>

class QLocale;

// Backup, restore and repair of the record database as whole files. Every file
// is written beside its target under a temporary name, flushed to disk and then
// renamed over the target, so a failure leaves the old file whole; every file
// written is readable and writable by its owner only.
class DatabaseFiles {
public:
    struct Outcome {
        bool ok = false;
        QString error; // why it failed, for the user
    };
    using Rename = std::function<bool(const QString& from, const QString& to)>;

    explicit DatabaseFiles(QString programDirectory, Rename rename = {});

    QString databasePath() const;
    QString repairPath() const;
    std::optional<qint64> databaseSize() const;
    // Bytes as kilobytes: up to 15 significant digits, the locale's decimal
    // separator, no thousands separator, then " KB".
    static QString sizeText(qint64 bytes, const QLocale& locale);

    // Copies the database into the folder of the chosen path, as password.mdb.
    Outcome backup(const QString& chosenPath) const;
    // Copies password.mdb from the folder of the chosen path over the database,
    // after checking that it is a sound record database.
    Outcome restore(const QString& chosenPath) const;
    // Compacts the database into password2.mdb, checks it and swaps it in.
    Outcome repair() const;

private:
    Outcome copyReplacing(const QString& source, const QString& target) const;
    bool renameOver(const QString& from, const QString& to) const;

    QString m_directory;
    Rename m_rename;
};
