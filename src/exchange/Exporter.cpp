#include "Exporter.h"

#include "AtomicFile.h"
#include "BitwardenExport.h"
#include "DuplicateIndex.h"
#include "ExchangeError.h"
#include "ExportRows.h"
#include "Importer.h"
#include "KeePassXcCsv.h"
#include "ProtectedExport.h"
#include "TextFile.h"
#include "store/Connection.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

using ExportRows::Out;
using ExportRows::Rows;
using ExportRows::Text;

namespace {

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes doubled.
void csvField(QByteArray& out, const Text& text) {
    bool quote = false;
    for (int i = 0; i < text.size && !quote; ++i) {
        const char c = text.data[i];
        quote = c == ',' || c == '"' || c == '\n' || c == '\r';
    }
    if (!quote) {
        out.append(text.data, text.size);
        return;
    }
    out.append('"');
    int start = 0;
    for (int i = 0; i < text.size; ++i) {
        if (text.data[i] == '"') {
            out.append(text.data + start, i - start + 1).append('"');
            start = i + 1;
        }
    }
    out.append(text.data + start, text.size - start).append('"');
}

std::unique_ptr<Connection> open(const QString& path) {
    try {
        return std::make_unique<Connection>(path);
    } catch (const StoreError& e) {
        throw ExchangeError(e.message());
    }
}

} // namespace

Exporter::Exporter(QString databasePath) : m_databasePath(std::move(databasePath)) {}

QString Exporter::csvFileName(Section section) {
    return sectionWord(section) + QStringLiteral(".csv");
}

SectionCounts Exporter::writeJson(const QString& path) const {
    return writeJsonFile(path, nullptr, {});
}

SectionCounts Exporter::writeProtectedJson(const QString& path, const QString& password,
                                           const BitwardenCrypto::Kdf& kdf) const {
    if (password.isEmpty())
        throw ExchangeError(QStringLiteral("A password-protected export needs a password."));
    return writeJsonFile(path, &password, kdf);
}

SectionCounts Exporter::writeJsonFile(const QString& path, const QString* password,
                                      const BitwardenCrypto::Kdf& kdf) const {
    refuseDatabaseTarget(path, m_databasePath);
    const std::unique_ptr<Connection> connection = open(m_databasePath);
    SectionCounts counts{};
    AtomicFile file(path);
    // A protected export is sealed whole, so it is gathered in memory first.
    Out out(password ? nullptr : &file);
    try {
        // One read transaction: the file shows the records as they were at one moment.
        SQLite::Transaction snapshot(connection->db());
        counts = BitwardenExport(connection->db()).write(out);
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(connection->failure(QStringLiteral("cannot be read"), e));
    }
    if (password)
        file.write(ProtectedExport::protect(out.buffer(), *password, kdf));
    else
        out.finish();
    file.commit();
    return counts;
}

SectionCounts Exporter::writeKeePassXcCsv(const QString& path) const {
    refuseDatabaseTarget(path, m_databasePath);
    const std::unique_ptr<Connection> connection = open(m_databasePath);
    SectionCounts counts{};
    AtomicFile file(path);
    Out out(&file);
    try {
        SQLite::Transaction snapshot(connection->db());
        counts = KeePassXcCsv::write(connection->db(), out, QDateTime::currentDateTimeUtc());
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(connection->failure(QStringLiteral("cannot be read"), e));
    }
    out.finish();
    file.commit();
    return counts;
}

SectionCounts Exporter::writeCsv(const QString& folder) const {
    if (!QFileInfo(folder).isDir())
        throw ExchangeError(QStringLiteral("The folder %1 does not exist.").arg(folder));
    const std::unique_ptr<Connection> connection = open(m_databasePath);
    try {
        return writeCsvFiles(*connection, folder);
    } catch (const ExchangeError& e) {
        throw ExchangeError(e.message() + QStringLiteral(" No file in the folder has been replaced."));
    }
}

SectionCounts Exporter::writeCsvFiles(Connection& connection, const QString& folder) const {
    SectionCounts counts{};
    // All five files are written before any is put in place: a folder never
    // holds some files of this export beside others of an older one.
    std::vector<std::unique_ptr<AtomicFile>> files;
    // One read transaction: the files show the records as they were at one moment.
    std::optional<SQLite::Transaction> snapshot;
    try {
        snapshot.emplace(connection.db());
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(connection.failure(QStringLiteral("cannot be read"), e));
    }
    for (Section section : AllSections) {
        const QString path = QDir(folder).filePath(csvFileName(section));
        refuseDatabaseTarget(path, m_databasePath);
        files.push_back(std::make_unique<AtomicFile>(path));
        Out out(files.back().get());
        QByteArray& b = out.buffer();
        const QStringList& fields = tableOf(section).fields;
        for (int i = 0; i < fields.size(); ++i) {
            const QByteArray name = fields.at(i).toUtf8();
            csvField(b, {name.constData(), int(name.size())});
            b.append(i + 1 < fields.size() ? "," : "\r\n");
        }
        try {
            Rows rows(connection.db(), section);
            while (rows.next()) {
                ++at(counts, section);
                for (int i = 0; i < fields.size(); ++i) {
                    csvField(b, rows[i]);
                    b.append(i + 1 < fields.size() ? "," : "\r\n");
                }
                out.flushIfFull();
            }
        } catch (const SQLite::Exception& e) {
            throw ExchangeError(connection.failure(QStringLiteral("cannot be read"), e));
        }
        out.finish();
    }
    std::vector<AtomicFile*> written;
    for (const std::unique_ptr<AtomicFile>& file : files)
        written.push_back(file.get());
    AtomicFile::commitAll(written);
    return counts;
}

QString Exporter::resultText(const SectionCounts& counts, const QString& where, bool passwordProtected) {
    QStringList lines{QStringLiteral("The records have been exported to %1:").arg(where)};
    for (Section section : AllSections)
        lines << QStringLiteral("%1: %2").arg(sectionTitle(section)).arg(at(counts, section));
    lines << (passwordProtected ? QStringLiteral("The file is encrypted with the password given: without it, "
                                                 "neither this program nor Bitwarden can read it.")
                                : Importer::plainTextReminder());
    return lines.join(QLatin1Char('\n'));
}
