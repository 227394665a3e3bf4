#pragma once

#include "ImportFile.h"
#include "store/Section.h"

#include <QList>
#include <array>

// Brings the records of an export file into the record database: first a look
// at what would come, then all of it in one transaction or nothing. A record
// identical in every field to one stored before the import is skipped. The
// file is only read.
class Importer {
public:
    static constexpr int PreviewRows = 5;

    struct Preview {
        QString format;
        Encoding encoding = Encoding::Utf8;
        SectionCounts records{};
        SectionCounts duplicates{};
        std::array<QList<QStringList>, SectionCount> firstRows; // up to PreviewRows per section
        // Rows passed over or marked, columns kept as labelled lines.
        QStringList notices;
    };
    struct Result {
        QString format;
        SectionCounts imported{};
        SectionCounts skipped{};
        QStringList notices;
    };

    explicit Importer(QString databasePath);

    // Reads the whole file and writes nothing. Throws ExchangeError.
    Preview preview(const QString& path, const ImportOptions& options = {}) const;
    // Throws ExchangeError; the database is then as it was.
    Result run(const QString& path, const ImportOptions& options = {}) const;

    // The text the user reads: what a preview holds, and what an import did.
    static QString previewText(const Preview& preview);
    static QString resultText(const Result& result);
    static const QString& plainTextReminder();

private:
    QString m_databasePath;
};
