#include "Importer.h"

#include "DuplicateIndex.h"
#include "ExchangeError.h"
#include "store/BulkIndexing.h"
#include "store/Connection.h"
#include "store/MachineStamp.h"
#include "store/StoreError.h"

#include <SQLiteCpp/Statement.h>

namespace {

std::unique_ptr<Connection> connect(const QString& path) {
    try {
        return std::make_unique<Connection>(path);
    } catch (const StoreError& e) {
        throw ExchangeError(e.message());
    }
}

QString databaseFailure(const QString& path, const std::exception& e) {
    return QStringLiteral("The records could not be written to %1: %2. Nothing has been imported.")
        .arg(path, QString::fromUtf8(e.what()));
}

} // namespace

Importer::Importer(QString databasePath) : m_databasePath(std::move(databasePath)) {}

Importer::Preview Importer::preview(const QString& path, const ImportOptions& options) const {
    const std::unique_ptr<RecordReader> reader = openRecords(path, options);
    const std::unique_ptr<Connection> connection = connect(m_databasePath);
    Preview preview;
    preview.format = reader->formatName();
    preview.encoding = reader->encoding();
    try {
        DuplicateIndex stored(connection->db());
        Record record;
        while (reader->next(record)) {
            ++at(preview.records, record.section);
            if (stored.isStored(record))
                ++at(preview.duplicates, record.section);
            QList<QStringList>& rows = preview.firstRows[int(record.section)];
            if (rows.size() < PreviewRows)
                rows << record.values;
        }
        preview.notices = reader->notices();
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(connection->failure(QStringLiteral("cannot be read"), e));
    }
    return preview;
}

Importer::Result Importer::run(const QString& path, const ImportOptions& options) const {
    const std::unique_ptr<RecordReader> reader = openRecords(path, options);
    const std::unique_ptr<Connection> connection = connect(m_databasePath);
    SQLite::Database& db = connection->db();
    Result result;
    result.format = reader->formatName();
    try {
        // Taken before the first read, so no other writer slips in between.
        db.exec("BEGIN IMMEDIATE");
    } catch (const SQLite::Exception& e) {
        throw ExchangeError(databaseFailure(m_databasePath, e));
    }
    try {
        DuplicateIndex stored(db);
        // Each record's identity, time and computer come with it, not from an update per record.
        const NewRecordStamp stamp = newRecordStamp(db, connection->version(), connection->machine());
        std::array<std::unique_ptr<SQLite::Statement>, SectionCount> inserts;
        std::array<std::unique_ptr<BulkIndexing>, SectionCount> indexing;
        Record record;
        while (reader->next(record)) {
            if (stored.isStored(record)) {
                ++at(result.skipped, record.section);
                continue;
            }
            std::unique_ptr<SQLite::Statement>& insert = inserts[int(record.section)];
            if (!insert) {
                const Schema::Table& table = tableOf(record.section);
                indexing[int(record.section)] = std::make_unique<BulkIndexing>(db, table.name);
                const QString marks = QStringList(table.fields.size(), QStringLiteral("?")).join(QLatin1Char(','));
                insert = std::make_unique<SQLite::Statement>(db, QStringLiteral("INSERT INTO %1 (%2%3) VALUES (%4%5)")
                                                                     .arg(Schema::quoted(table.name),
                                                                          quotedFields(record.section), stamp.columns,
                                                                          marks, stamp.values)
                                                                     .toStdString());
            }
            insert->reset();
            for (int i = 0; i < record.values.size(); ++i)
                insert->bind(i + 1, record.values.at(i).toStdString());
            insert->exec();
            ++at(result.imported, record.section);
        }
        result.notices = reader->notices();
        inserts = {};
        for (const std::unique_ptr<BulkIndexing>& index : indexing) {
            if (index)
                index->finish();
        }
        db.exec("COMMIT");
    } catch (const ExchangeError&) {
        db.exec("ROLLBACK");
        throw;
    } catch (const std::exception& e) {
        try {
            db.exec("ROLLBACK");
        } catch (const std::exception&) {
            // A failed statement may have ended the transaction already.
        }
        throw ExchangeError(databaseFailure(m_databasePath, e));
    }
    return result;
}

const QString& Importer::plainTextReminder() {
    static const QString text = QStringLiteral(
        "Remember: an export file holds your passwords in plain text. Delete it when you no longer need it.");
    return text;
}

QString Importer::previewText(const Preview& preview) {
    QStringList lines{QStringLiteral("The file is a %1 export, read as %2, and holds:")
                          .arg(preview.format, encodingTitle(preview.encoding))};
    for (Section section : AllSections) {
        if (at(preview.records, section) == 0)
            continue;
        lines << QStringLiteral("%1: %2 (%3 already stored)")
                     .arg(sectionTitle(section))
                     .arg(at(preview.records, section))
                     .arg(at(preview.duplicates, section));
        for (const QStringList& row : preview.firstRows[int(section)])
            lines << QStringLiteral("    ") + row.first().left(60);
    }
    lines << preview.notices;
    return lines.join(QLatin1Char('\n'));
}

QString Importer::resultText(const Result& result) {
    QStringList lines{QStringLiteral("The import is complete.")};
    for (Section section : AllSections) {
        if (at(result.imported, section) == 0 && at(result.skipped, section) == 0)
            continue;
        lines << QStringLiteral("%1: %2 imported, %3 skipped as already stored")
                     .arg(sectionTitle(section))
                     .arg(at(result.imported, section))
                     .arg(at(result.skipped, section));
    }
    lines << result.notices;
    lines << plainTextReminder();
    return lines.join(QLatin1Char('\n'));
}
