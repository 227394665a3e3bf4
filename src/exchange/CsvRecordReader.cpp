#include "CsvRecordReader.h"

#include "ExchangeError.h"
#include "RecordBuilder.h"

#include <QUrl>

using namespace CsvFormats;

QStringList CsvRecordReader::readHeader(const QString& path, Encoding encoding) {
    CsvReader csv(path, encoding);
    QStringList header;
    qint64 line = 0;
    csv.nextRow(header, line);
    return header;
}

CsvRecordReader::CsvRecordReader(const QString& path, Encoding encoding, const std::optional<ColumnMapping>& mapping)
    : m_csv(path, encoding), m_encoding(encoding) {
    qint64 line = 0;
    if (!m_csv.nextRow(m_header, line))
        throw ExchangeError(QStringLiteral("The file is empty."));
    if (mapping) {
        m_format = mappedFormat(*mapping, m_header);
    } else if (const Format* known = recognise(m_header)) {
        m_format = *known;
    } else {
        throw ExchangeError(QStringLiteral("The %1 columns of this file are of no format the program knows: "
                                           "choose the section and the column of each field.")
                                .arg(m_header.size()));
    }
    for (const auto& [type, layout] : m_format.layouts) {
        BoundLayout bound{type, &layout, {}};
        for (const ColumnRule& rule : layout.rules)
            bound.rules.push_back({&rule, rule.column >= 0 ? rule.column : columnOf(rule.header)});
        m_layouts.push_back(std::move(bound));
    }
    m_typeColumn = m_format.typeColumn.isEmpty() ? -1 : columnOf(m_format.typeColumn);
    m_skipColumn = m_format.skipColumn.isEmpty() ? -1 : columnOf(m_format.skipColumn);
}

int CsvRecordReader::columnOf(const QString& header) const {
    for (int i = 0; i < m_header.size(); ++i) {
        if (m_header.at(i).trimmed().compare(header, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool CsvRecordReader::next(Record& record) {
    QStringList cells;
    qint64 line = 0;
    for (;;) {
        if (!m_csv.nextRow(cells, line))
            return false;
        if (cells.size() != m_header.size())
            throw ExchangeError(QStringLiteral("the line has %1 values where the header has %2.")
                                    .arg(cells.size())
                                    .arg(m_header.size()),
                                line);
        if (m_skipColumn >= 0 && cells.at(m_skipColumn).startsWith(m_format.skipPrefix))
            continue;
        const BoundLayout* layout = &m_layouts.front();
        if (m_typeColumn >= 0) {
            const QString type = cells.at(m_typeColumn);
            layout = nullptr;
            for (const BoundLayout& candidate : m_layouts) {
                if (candidate.type.compare(type, Qt::CaseInsensitive) == 0)
                    layout = &candidate;
            }
            if (!layout)
                throw ExchangeError(
                    QStringLiteral("the type \"%1\" is not one the program can import.").arg(shortQuote(type)), line);
        }
        record = map(*layout, cells, line);
        return true;
    }
}

Record CsvRecordReader::map(const BoundLayout& layout, const QStringList& cells, qint64 line) const {
    RecordBuilder builder(layout.layout->section);
    for (const BoundRule& bound : layout.rules) {
        if (bound.column < 0)
            continue;
        const ColumnRule& rule = *bound.rule;
        const QString& value = cells.at(bound.column);
        switch (rule.target) {
        case Target::Field:
            builder.set(rule.field, value);
            break;
        case Target::Remarks:
            builder.setRemarks(value);
            break;
        case Target::Line:
            builder.addLine(rule.label, value);
            break;
        case Target::Lines:
            builder.addLine({}, value);
            break;
        case Target::Uris: {
            const QStringList uris = value.split(QLatin1Char(','));
            builder.set(1, uris.first());
            for (qsizetype i = 1; i < uris.size(); ++i)
                builder.addLine(QStringLiteral("URL"), uris.at(i));
            break;
        }
        }
    }
    if (m_format.nameFromWebsite) {
        const QString website = builder.value(1);
        const QString host = QUrl(website).host();
        builder.set(0, host.isEmpty() ? website : host);
    }
    QList<Record> records;
    builder.finish(line, {}, records);
    return records.first();
}
