#include "CsvFormats.h"

#include <QSet>

namespace CsvFormats {

namespace {

QString key(const QString& column) {
    return column.trimmed().toLower();
}

QSet<QString> columnsOf(const QStringList& header) {
    QSet<QString> columns;
    for (const QString& cell : header)
        columns.insert(key(cell));
    return columns;
}

// Every column a format's rows are read by: its signature, its optional
// columns and those its rules name.
QSet<QString> knownColumns(const Format& format) {
    QSet<QString> known = columnsOf(format.signature) + columnsOf(format.optional);
    for (const auto& layout : format.layouts) {
        for (const ColumnRule& rule : layout.second.rules)
            known.insert(key(rule.header));
    }
    if (!format.typeColumn.isEmpty())
        known.insert(key(format.typeColumn));
    return known;
}

bool matches(const Format& format, const QSet<QString>& header) {
    if (!header.contains(columnsOf(format.signature)))
        return false;
    return !format.exact || knownColumns(format).contains(header);
}

} // namespace

QString Row::operator()(const QString& column) const {
    const int index = m_columns.value(column.toLower(), -1);
    return index >= 0 && index < m_cells.size() ? m_cells.at(index) : QString();
}

Format ownFormat(Section section) {
    const QStringList& fields = tableOf(section).fields;
    Layout layout{section, {}, {}, {}, {}, {}};
    for (int i = 0; i < fields.size(); ++i)
        layout.rules.push_back({fields.at(i), Target::Field, i});
    Format format;
    format.name = QStringLiteral("Quillmere CSV (%1)").arg(sectionTitle(section));
    format.signature = fields;
    format.exact = true;
    format.layouts = {{{}, layout}};
    return format;
}

const Format* recognise(const QStringList& header) {
    static const std::vector<Format> own = [] {
        std::vector<Format> formats;
        for (Section section : AllSections)
            formats.push_back(ownFormat(section));
        return formats;
    }();
    const QSet<QString> columns = columnsOf(header);
    for (const Format& format : own) {
        if (matches(format, columns))
            return &format;
    }
    // Other programs share columns (Chrome's four are in many a header): the
    // format that names the most of the header's columns is the file's.
    const Format* best = nullptr;
    for (const Format& format : knownFormats()) {
        if (format.columns.isEmpty() && matches(format, columns) &&
            (!best || format.signature.size() > best->signature.size()))
            best = &format;
    }
    return best;
}

Format mappedFormat(const ColumnMapping& mapping, const QStringList& header) {
    Layout layout{mapping.section, {}, {}, {}, {}, {}};
    for (int field = 0; field < mapping.columns.size(); ++field) {
        const int column = mapping.columns.at(field);
        if (column >= 0 && column < header.size())
            layout.rules.push_back({header.at(column), Target::Field, field, {}, column});
    }
    for (const int column : mapping.lineColumns) {
        if (column < 0 || column >= header.size())
            continue;
        const QString label = header.at(column).trimmed();
        layout.rules.push_back({header.at(column), Target::Line, -1,
                                label.isEmpty() ? QStringLiteral("Column %1").arg(column + 1) : label, column});
    }
    Format format;
    format.name = QStringLiteral("CSV (columns chosen)");
    format.keepsOtherColumns = false;
    format.layouts = {{{}, layout}};
    return format;
}

QList<int> columnsFillingNoField(const ColumnMapping& mapping, qsizetype columnCount) {
    QList<int> columns;
    for (int column = 0; column < columnCount; ++column) {
        if (!mapping.columns.contains(column))
            columns << column;
    }
    return columns;
}

} // namespace CsvFormats
