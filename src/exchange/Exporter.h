#pragma once

#include "BitwardenCrypto.h"
#include "store/Section.h"

class Connection;

// Writes every record of the record database to files other programs read: a
// Bitwarden JSON export (all five sections, reminders as notes titled with
// their date), or one CSV file per section with the field names as its header.
// Each file is new, owner-only and written atomically; the program's own
// database files are never a target.
class Exporter {
public:
    explicit Exporter(QString databasePath);

    SectionCounts writeJson(const QString& path) const; // throws ExchangeError
    // Bitwarden's password-protected export of the same records, which
    // Bitwarden and this program read with the password; Argon2id by default.
    SectionCounts writeProtectedJson(const QString& path, const QString& password,
                                     const BitwardenCrypto::Kdf& kdf = {}) const; // throws ExchangeError
    // One CSV file that KeePassXC 2.7 imports with the columns it chooses itself.
    SectionCounts writeKeePassXcCsv(const QString& path) const; // throws ExchangeError
    // passwords.csv, cards.csv, personal.csv, notes.csv and reminders.csv in the folder.
    SectionCounts writeCsv(const QString& folder) const; // throws ExchangeError
    static QString csvFileName(Section section);

    // A protected file's text says so instead of reminding of plain text.
    static QString resultText(const SectionCounts& counts, const QString& where, bool passwordProtected = false);

private:
    SectionCounts writeJsonFile(const QString& path, const QString* password, const BitwardenCrypto::Kdf& kdf) const;
    SectionCounts writeCsvFiles(Connection& connection, const QString& folder) const;

    QString m_databasePath;
};
