#include "CsvRecordReader.h"

#include "CsvCells.h"
#include "ExchangeError.h"
#include "RecordBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

using namespace CsvFormats;

namespace {

// The lines of the wrong number of values a notice names one by one.
constexpr int LinesNamed = 20;

QString columnLabel(const QStringList& header, int column) {
    const QString name = header.value(column).trimmed();
    return name.isEmpty() ? QStringLiteral("Column %1").arg(column + 1) : name;
}

// "6 rows of ...", "1 row of ...": a count and the first "rows" or "lines" after it.
QString counted(qint64 count, const QString& text) {
    QString result = QString::number(count) + QLatin1Char(' ') + text;
    if (count == 1) {
        static const QRegularExpression plural(QStringLiteral("\\b(row|line)s\\b"));
        const QRegularExpressionMatch match = plural.match(result);
        if (match.hasMatch())
            result.remove(match.capturedEnd() - 1, 1);
    }
    return result;
}

QString quotedList(const QStringList& texts) {
    QStringList quoted;
    for (const QString& text : texts)
        quoted << QLatin1Char('"') + text + QLatin1Char('"');
    return quoted.join(QStringLiteral(", "));
}

} // namespace

namespace {

// The rows a format is told from: the header line alone when it is one the
// program knows, else the first few rows, as a file without a header shows
// itself by its records. Never more than a bounded amount of text.
template <typename Take> void readFirstRows(CsvReader& csv, Take take) {
    constexpr qsizetype MostCharacters = 1024 * 1024;
    QStringList cells;
    qint64 line = 0;
    qsizetype characters = 0;
    for (int rows = 0; rows < CsvRecordReader::RowsToTellFormat && csv.nextRow(cells, line); ++rows) {
        take(cells, line);
        if (rows == 0 && recognise(cells))
            return;
        for (const QString& cell : std::as_const(cells))
            characters += cell.size();
        if (characters > MostCharacters)
            return;
    }
}

} // namespace

QList<QStringList> CsvRecordReader::firstRows(const QString& path, Encoding encoding) {
    CsvReader csv(path, encoding);
    QList<QStringList> rows;
    readFirstRows(csv, [&](const QStringList& cells, qint64) { rows << cells; });
    return rows;
}

const Format* CsvRecordReader::formatOf(const QList<QStringList>& rows) {
    if (const Format* format = recognise(rows.value(0)))
        return format;
    return recogniseHeaderless(rows);
}

CsvRecordReader::CsvRecordReader(const QString& path, Encoding encoding, const std::optional<ColumnMapping>& mapping,
                                 bool skipBadLines)
    : m_csv(path, encoding), m_encoding(encoding), m_skipBadLines(skipBadLines) {
    QList<QStringList> rows;
    readFirstRows(m_csv, [&](const QStringList& cells, qint64 line) {
        m_buffered << Buffered{cells, line};
        rows << cells;
    });
    if (rows.isEmpty())
        throw ExchangeError(QStringLiteral("The file is empty."));
    const Format* known = formatOf(rows);
    // A file without a header line starts with a record.
    if (known && !known->columns.isEmpty())
        m_header = known->columns;
    else
        m_header = m_buffered.takeFirst().cells;
    if (mapping) {
        m_format = mappedFormat(*mapping, m_header);
    } else if (known) {
        m_format = *known;
    } else {
        throw ExchangeError(QStringLiteral("The %1 columns of this file are of no format the program knows: "
                                           "choose the section and the column of each field.")
                                .arg(m_header.size()));
    }
    for (int i = 0; i < m_header.size(); ++i)
        m_columns.insert(m_header.at(i).trimmed().toLower(), i);
    m_typeColumn = m_format.typeColumn.isEmpty() ? -1 : columnOf(m_format.typeColumn);
    for (const auto& [type, layout] : m_format.layouts) {
        BoundLayout bound{type, &layout, {}, {}, columnOf(layout.titleColumn)};
        QSet<int> named{m_typeColumn};
        for (const ColumnRule& rule : layout.rules) {
            const int column = rule.column >= 0 ? rule.column : columnOf(rule.header);
            bound.rules.push_back({&rule, column});
            named.insert(column);
        }
        for (int column = 0; column < m_header.size(); ++column) {
            if (named.contains(column))
                continue;
            if (m_format.keepsOtherColumns)
                bound.otherColumns.push_back(column);
            else
                m_leftOut << columnLabel(m_header, column);
        }
        m_layouts.push_back(std::move(bound));
    }
}

int CsvRecordReader::columnOf(const QString& header) const {
    if (header.isEmpty())
        return -1;
    return m_columns.value(header.trimmed().toLower(), -1);
}

bool CsvRecordReader::nextRow(QStringList& cells, qint64& line) {
    if (m_buffered.isEmpty())
        return m_csv.nextRow(cells, line);
    Buffered row = m_buffered.takeFirst();
    cells = std::move(row.cells);
    line = row.line;
    return true;
}

bool CsvRecordReader::next(Record& record) {
    QStringList cells;
    qint64 line = 0;
    while (m_pending.isEmpty()) {
        if (!nextRow(cells, line))
            return false;
        // Empty values past the header's last column hold nothing to lose.
        while (cells.size() > m_header.size() && cells.last().isEmpty())
            cells.removeLast();
        if (cells.size() != m_header.size()) {
            // Some programs leave out the empty values at a row's end.
            if (cells.size() < m_header.size() && m_format.shortestRow > 0 && cells.size() >= m_format.shortestRow) {
                ++m_shortLines;
                while (cells.size() < m_header.size())
                    cells << QString();
            } else if (m_skipBadLines) {
                m_badLines << line;
                continue;
            } else {
                throw BadLineError(QStringLiteral("the line has %1 values where the header has %2.")
                                       .arg(cells.size())
                                       .arg(m_header.size()),
                                   line);
            }
        }
        const BoundLayout* layout = layoutOf(cells, line);
        if (!layout->layout->passedOver.isEmpty()) {
            QStringList& names = m_passedOver[layout->layout->passedOver];
            names << (layout->titleColumn >= 0 ? cells.at(layout->titleColumn) : QString());
            continue;
        }
        map(*layout, cells, line);
    }
    record = m_pending.takeFirst();
    return true;
}

const CsvRecordReader::BoundLayout* CsvRecordReader::layoutOf(const QStringList& cells, qint64 line) const {
    if (m_typeColumn < 0 && !m_format.kindOf)
        return &m_layouts.front();
    const QString type = m_typeColumn >= 0 ? cells.at(m_typeColumn) : m_format.kindOf(Row(cells, m_columns));
    const BoundLayout* fallback = nullptr;
    for (const BoundLayout& candidate : m_layouts) {
        if (candidate.type.compare(type, Qt::CaseInsensitive) == 0)
            return &candidate;
        if (candidate.type.isEmpty())
            fallback = &candidate;
    }
    if (!fallback)
        throw ExchangeError(QStringLiteral("the type \"%1\" is not one the program can import.").arg(shortQuote(type)),
                            line);
    return fallback;
}

void CsvRecordReader::addLine(int column, const QString& label, const QString& value, RecordBuilder& builder) {
    if (value.isEmpty())
        return;
    builder.addLine(label, value);
    QStringList& labels = m_lineLabels[column];
    if (!labels.contains(label))
        labels << label;
}

void CsvRecordReader::apply(const ColumnRule& rule, int column, const QString& value, RecordBuilder& builder) {
    switch (rule.target) {
    case Target::Field:
        builder.set(rule.field, value);
        break;
    case Target::Remarks:
        builder.setRemarks(value);
        break;
    case Target::Line:
        if (value != rule.unless)
            addLine(column, rule.label, value, builder);
        break;
    case Target::Lines:
        addLine(column, {}, value, builder);
        break;
    case Target::Uris: {
        const QStringList uris = value.split(QLatin1Char(','));
        builder.set(1, uris.first().trimmed());
        for (qsizetype i = 1; i < uris.size(); ++i)
            addLine(column, QStringLiteral("URL"), uris.at(i).trimmed(), builder);
        break;
    }
    case Target::FieldOrLine:
        if (builder.value(rule.field).isEmpty())
            builder.set(rule.field, value);
        else if (value != builder.value(rule.field))
            addLine(column, rule.label, value, builder);
        break;
    case Target::Expiry:
        if (const auto date = CsvCells::expiry(value)) {
            builder.set(3, date->first);
            builder.set(4, date->second);
        } else {
            addLine(column, QStringLiteral("Expiry"), value, builder);
        }
        break;
    case Target::Time:
        addLine(column, rule.label, CsvCells::time(value, rule.field), builder);
        break;
    case Target::UriList: {
        const QJsonDocument list = QJsonDocument::fromJson(value.toUtf8());
        if (!list.isArray()) {
            addLine(column, rule.label, value, builder);
            break;
        }
        for (const QJsonValue& uri : list.array())
            addLine(column, rule.label, CsvCells::text(uri), builder);
        break;
    }
    case Target::Object:
        break; // read member by member
    }
}

void CsvRecordReader::applyObject(const BoundLayout& layout, int column, const QString& value, RecordBuilder& builder) {
    const QJsonDocument document = QJsonDocument::fromJson(value.toUtf8());
    if (!document.isObject()) {
        builder.setRemarks(value); // kept as it is
        return;
    }
    QJsonObject object = document.object();
    for (const BoundRule& bound : layout.rules) {
        const ColumnRule& rule = *bound.rule;
        if (bound.column != column || rule.member.isEmpty())
            continue;
        const QString text = CsvCells::text(object.take(rule.member));
        if (!text.isEmpty())
            apply(rule, column, text, builder);
    }
    QList<std::pair<QString, QString>> lines;
    for (auto it = object.begin(); it != object.end(); ++it)
        CsvCells::appendLines(it.key(), it.value(), lines);
    for (const auto& [label, text] : lines)
        addLine(column, label, text, builder);
}

void CsvRecordReader::map(const BoundLayout& layout, const QStringList& cells, qint64 line) {
    RecordBuilder builder(layout.layout->section);
    int objectColumn = -1;
    for (const BoundRule& bound : layout.rules) {
        if (bound.column < 0)
            continue;
        if (!bound.rule->member.isEmpty()) {
            if (bound.column != objectColumn)
                applyObject(layout, bound.column, cells.at(bound.column), builder);
            objectColumn = bound.column;
            continue;
        }
        apply(*bound.rule, bound.column, cells.at(bound.column), builder);
    }
    for (const int column : layout.otherColumns)
        addLine(column, columnLabel(m_header, column), cells.at(column), builder);
    if (!layout.layout->mark.isEmpty()) {
        builder.addLine({}, layout.layout->mark);
        ++m_marked[layout.layout->marked];
    }
    if (m_format.nameFromWebsite && builder.value(0).isEmpty()) {
        const QString website = builder.value(1);
        const QString host = QUrl(website).host();
        builder.set(0, host.isEmpty() ? website : host);
    }
    const QString title = layout.titleColumn >= 0 ? cells.at(layout.titleColumn) : builder.value(0);
    builder.finish(line, title, m_pending);
}

QStringList CsvRecordReader::notices() const {
    QStringList notices;
    if (!m_lineLabels.isEmpty()) {
        QStringList columns;
        for (auto it = m_lineLabels.begin(); it != m_lineLabels.end(); ++it) {
            const QString name = columnLabel(m_header, it.key());
            QStringList labels = it.value();
            labels.removeAll(QString());
            columns << (labels.isEmpty() || labels == QStringList{name}
                            ? QLatin1Char('"') + name + QLatin1Char('"')
                            : QStringLiteral("\"%1\" as %2").arg(name, quotedList(labels)));
        }
        notices << QStringLiteral("Columns kept as labelled lines in the remarks: %1.").arg(columns.join(", "));
    }
    if (!m_leftOut.isEmpty()) {
        QString named = quotedList(m_leftOut.mid(0, LinesNamed));
        if (m_leftOut.size() > LinesNamed)
            named += QStringLiteral(" and %1 more").arg(m_leftOut.size() - LinesNamed);
        notices << QStringLiteral("Columns left out, as chosen: %1.").arg(named);
    }
    for (auto it = m_marked.begin(); it != m_marked.end(); ++it)
        notices << QStringLiteral("Marked: %1.").arg(counted(it.value(), it.key()));
    for (auto it = m_passedOver.begin(); it != m_passedOver.end(); ++it) {
        // Their names, which are no secrets, so that none is lost unseen.
        QStringList names = it.value().mid(0, LinesNamed);
        names.removeAll(QString());
        notices << QStringLiteral("Not imported: %1%2.")
                       .arg(counted(it.value().size(), it.key()),
                            names.isEmpty() ? QString() : QStringLiteral(": ") + quotedList(names));
    }
    if (m_shortLines > 0)
        notices << counted(
            m_shortLines,
            QStringLiteral("lines ending before the header's last columns: their missing values are taken as empty."));
    if (!m_badLines.isEmpty()) {
        QStringList named;
        for (qsizetype i = 0; i < m_badLines.size() && i < LinesNamed; ++i)
            named << QString::number(m_badLines.at(i));
        if (m_badLines.size() > LinesNamed)
            named << QStringLiteral("\u2026");
        notices << QStringLiteral("Left out: %1 (line %2).")
                       .arg(counted(m_badLines.size(), QStringLiteral("lines of the wrong number of values")),
                            named.join(QStringLiteral(", ")));
    }
    return notices;
}
