#include "RecordBuilder.h"

RecordBuilder::RecordBuilder(Section section) : m_section(section) {
    const qsizetype fields = tableOf(section).fields.size();
    m_values.reserve(fields);
    for (qsizetype i = 0; i < fields; ++i)
        m_values << QString();
}

int RecordBuilder::remarksField(Section section) {
    switch (section) {
    case Section::Passwords:
        return 4;
    case Section::Notes:
    case Section::Reminders:
        return 1;
    default:
        return -1;
    }
}

void RecordBuilder::set(int field, const QString& value) {
    // The remarks field is composed at the end, from its own text and the lines.
    if (field == remarksField(m_section))
        m_remarks = value;
    else
        m_values[field] = value;
}

void RecordBuilder::addLine(const QString& label, const QString& value) {
    if (value.isEmpty())
        return;
    m_lines << (label.isEmpty() ? value : label + QStringLiteral(": ") + value);
}

QString RecordBuilder::composedRemarks() const {
    QString text = m_remarks;
    for (const QString& line : m_lines) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += line;
    }
    return text;
}

void RecordBuilder::finish(qint64 line, const QString& noteTitle, QList<Record>& out) const {
    Record record{m_section, m_values, line};
    const int remarks = remarksField(m_section);
    if (remarks >= 0) {
        record.values[remarks] = composedRemarks();
        out << record;
        return;
    }
    out << record;
    if (!m_remarks.isEmpty() || !m_lines.isEmpty())
        out << Record{Section::Notes, {noteTitle, composedRemarks()}, line};
}
