#include "CsvReader.h"

#include "ExchangeError.h"
#include "ExchangeLimits.h"

namespace {

[[noreturn]] void refuseLongRecord(qint64 line) {
    throw ExchangeError(QStringLiteral("the record is longer than %1, more than any export holds.")
                            .arg(QLatin1String(MaxRecordSizeText)),
                        line);
}

} // namespace

CsvReader::CsvReader(const QString& path, Encoding encoding) : m_file(path, encoding) {}

bool CsvReader::fill() {
    while (!m_ended && m_pos >= m_chunk.size()) {
        m_pos = 0;
        if (!m_file.read(m_chunk)) {
            m_chunk.clear();
            m_ended = true;
        }
    }
    return m_pos < m_chunk.size();
}

int CsvReader::peek() {
    if (m_pos >= m_chunk.size() && !fill())
        return -1;
    return m_chunk.at(m_pos).unicode();
}

int CsvReader::get() {
    const int c = peek();
    if (c >= 0)
        ++m_pos;
    return c;
}

qsizetype CsvReader::takePlain(QString& field, bool quoted) {
    if (m_pos >= m_chunk.size() && !fill())
        return 0;
    const QChar* data = m_chunk.constData();
    const qsizetype size = m_chunk.size();
    qsizetype end = m_pos;
    for (; end < size; ++end) {
        const char16_t c = data[end].unicode();
        if (c == '"' || c == '\n' || c == '\r' || (c == ',' && !quoted))
            break;
    }
    const qsizetype length = end - m_pos;
    field.append(data + m_pos, length);
    m_pos = end;
    return length;
}

bool CsvReader::nextRow(QStringList& cells, qint64& line) {
    for (;;) {
        cells.clear();
        line = m_line;
        if (peek() < 0)
            return false;
        QString field;
        bool quotedAnywhere = false;
        bool rowEnded = false;
        // Characters taken into the row, whether a line or many in quotes.
        qint64 taken = 0;
        while (!rowEnded) {
            taken += takePlain(field, false);
            int c = get();
            if (++taken > MaxRecordSize)
                refuseLongRecord(line);
            if (c == '"' && field.isEmpty()) {
                quotedAnywhere = true;
                const qint64 opened = m_line;
                for (;;) {
                    taken += takePlain(field, true);
                    c = get();
                    if (++taken > MaxRecordSize)
                        refuseLongRecord(line);
                    if (c < 0)
                        throw ExchangeError(QStringLiteral("a quoted field is never closed."), opened);
                    if (c == '"') {
                        if (peek() == '"') {
                            get();
                            field += QLatin1Char('"');
                            continue;
                        }
                        break;
                    }
                    if (c == '\n' || (c == '\r' && peek() != '\n'))
                        ++m_line;
                    field += QChar(c);
                }
                continue; // what follows the closing quote belongs to the same field
            }
            switch (c) {
            case ',':
                // This value and at least one more after the comma.
                if (cells.size() + 2 > MaxColumns)
                    throw ExchangeError(QStringLiteral("the line has more than %1 values.").arg(MaxColumns), line);
                cells << field;
                field.clear();
                break;
            case '\r':
                if (peek() == '\n')
                    get();
                [[fallthrough]];
            case '\n':
                ++m_line;
                [[fallthrough]];
            case -1:
                cells << field;
                rowEnded = true;
                break;
            default:
                field += QChar(c);
            }
        }
        const bool blank = cells.size() == 1 && cells.first().isEmpty() && !quotedAnywhere;
        if (!blank)
            return true;
    }
}
