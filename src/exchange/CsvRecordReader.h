#pragma once

#include "CsvFormats.h"
#include "CsvReader.h"
#include "RecordReader.h"

#include <QMap>
#include <QSet>
#include <optional>

class RecordBuilder;

// Reads the rows of a CSV file as records, by the table of its format, or by
// the columns the user chose. Whatever a row holds that no field takes is kept
// as a labelled line, and what it passes over is counted for the user.
class CsvRecordReader : public RecordReader {
public:
    // Throws ExchangeError, also when the columns are of no known format and no
    // mapping is given. With skipBadLines, a line of more or fewer values than
    // the header is left out and counted instead of ending the import.
    CsvRecordReader(const QString& path, Encoding encoding,
                    const std::optional<CsvFormats::ColumnMapping>& mapping = std::nullopt, bool skipBadLines = false);
    bool next(Record& record) override;
    QString formatName() const override { return m_format.name; }
    Encoding encoding() const override { return m_encoding; }
    QStringList notices() const override;
    // The file's columns: its header line, or the columns a file without one has.
    const QStringList& header() const { return m_header; }

    // The first rows of a CSV file as its format is told from them: its header
    // line, and a few rows after it when the program does not know the header.
    static QList<QStringList> firstRows(const QString& path, Encoding encoding);
    // The known format of a file with these first rows, if any; its header
    // line is the first row unless the format has none.
    static const CsvFormats::Format* formatOf(const QList<QStringList>& firstRows);
    static constexpr int RowsToTellFormat = 20;

private:
    struct BoundRule {
        const CsvFormats::ColumnRule* rule;
        int column; // -1: the file has no such column
    };
    struct BoundLayout {
        QString type;
        const CsvFormats::Layout* layout;
        std::vector<BoundRule> rules;
        std::vector<int> otherColumns; // named by no rule: kept as lines labelled by their header
        int titleColumn = -1;
    };
    struct Buffered {
        QStringList cells;
        qint64 line;
    };
    int columnOf(const QString& header) const;
    bool nextRow(QStringList& cells, qint64& line);
    const BoundLayout* layoutOf(const QStringList& cells, qint64 line) const;
    void map(const BoundLayout& layout, const QStringList& cells, qint64 line);
    void apply(const CsvFormats::ColumnRule& rule, int column, const QString& value, RecordBuilder& builder);
    void applyObject(const BoundLayout& layout, int column, const QString& value, RecordBuilder& builder);
    void addLine(int column, const QString& label, const QString& value, RecordBuilder& builder);

    CsvReader m_csv;
    Encoding m_encoding;
    bool m_skipBadLines;
    QStringList m_header;
    CsvFormats::Format m_format;
    std::vector<BoundLayout> m_layouts;
    QHash<QString, int> m_columns; // by the lower-case header
    int m_typeColumn = -1;
    QList<Buffered> m_buffered; // rows read to tell the format, not yet taken
    QList<Record> m_pending;    // the note of a card or a person, after its record

    // What the user is told.
    QMap<int, QStringList> m_lineLabels;     // a column's labels, each line it became
    QMap<QString, QStringList> m_passedOver; // the names of the rows passed over, by why
    QMap<QString, qint64> m_marked;
    QList<qint64> m_badLines;
    QStringList m_leftOut; // columns the user chose for no field and no line
    qint64 m_shortLines = 0;
};
