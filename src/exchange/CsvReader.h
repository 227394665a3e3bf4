#pragma once

#include "TextFile.h"

#include <QStringList>

// Reads comma-separated values as RFC 4180 writes them, and as real programs
// write them: quoted fields holding commas, quotes and line breaks, CR LF, LF or
// a lone CR between lines, blank lines, and no line break after the last line.
// Text is kept exactly, line breaks inside quoted fields included.
class CsvReader {
public:
    CsvReader(const QString& path, Encoding encoding); // throws ExchangeError
    // The next row's cells and the line it starts on; false at the end. Blank
    // lines are passed over. Throws ExchangeError for a quote never closed, and
    // for a record longer than MaxRecordSize or of more than MaxColumns values.
    bool nextRow(QStringList& cells, qint64& line);

private:
    // The next character, or -1 at the end of the file.
    int get();
    int peek();
    bool fill();
    // Appends the run of characters at the position that mean nothing to the
    // reader (no quote or line break, and no comma outside quotes); its length.
    qsizetype takePlain(QString& field, bool quoted);

    TextFile m_file;
    QString m_chunk;
    qsizetype m_pos = 0;
    bool m_ended = false;
    qint64 m_line = 1;
};
