#pragma once

#include "CsvFormats.h"
#include "CsvReader.h"
#include "RecordReader.h"

#include <optional>

// Reads the rows of a CSV file with a header line as records, by the table of
// its format, or by the columns the user chose for a file of no known format.
class CsvRecordReader : public RecordReader {
public:
    // Throws ExchangeError, also when the columns are of no known format and no mapping is given.
    CsvRecordReader(const QString& path, Encoding encoding,
                    const std::optional<CsvFormats::ColumnMapping>& mapping = std::nullopt);
    bool next(Record& record) override;
    QString formatName() const override { return m_format.name; }
    Encoding encoding() const override { return m_encoding; }
    const QStringList& header() const { return m_header; }

    // The header line of a CSV file; empty for a file without one.
    static QStringList readHeader(const QString& path, Encoding encoding);

private:
    struct BoundRule {
        const CsvFormats::ColumnRule* rule;
        int column; // -1: the file has no such column
    };
    struct BoundLayout {
        QString type;
        const CsvFormats::Layout* layout;
        std::vector<BoundRule> rules;
    };
    int columnOf(const QString& header) const;
    Record map(const BoundLayout& layout, const QStringList& cells, qint64 line) const;

    CsvReader m_csv;
    Encoding m_encoding;
    QStringList m_header;
    CsvFormats::Format m_format;
    std::vector<BoundLayout> m_layouts;
    int m_typeColumn = -1;
    int m_skipColumn = -1;
};
