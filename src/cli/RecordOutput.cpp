#include "RecordOutput.h"

#include "Output.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Passwords: Account, Website, User, Password, Notes. Credit Card: Type Card, Card
// Number, Security Code, Month, Year, Bank Name, ... Personal: Full Name, ..., Email.
const SectionView Views[] = {
    {Section::Passwords, {0, 1, 2}, {3}}, {Section::CreditCards, {0, 5, 3, 4}, {1, 2}},
    {Section::Personal, {0, 6}, {}},      {Section::Notes, {0}, {}},
    {Section::Reminders, {0, 1}, {}},
};

const QString Hidden = QStringLiteral("(hidden: show --secrets prints it)");
const QString IdKey = QStringLiteral("id");

// The bytes of a field on one line of the listing.
void appendCell(QByteArray& line, QByteArrayView text) {
    const qsizetype start = line.size();
    line.append(text);
    for (qsizetype i = start; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '\t' || c == '\n' || c == '\r')
            line[i] = ' ';
    }
}

// A JSON string of UTF-8 text; text that is not valid UTF-8 is read as
// QString reads it (a replacement character for each bad sequence).
void appendJsonString(QByteArray& out, QByteArrayView text) {
    QByteArray repaired;
    if (!QUtf8StringView(text.data(), text.size()).isValidUtf8()) {
        repaired = QString::fromUtf8(text).toUtf8();
        text = repaired;
    }
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

const SectionView& viewOf(Section section) {
    return Views[static_cast<int>(section)];
}

JsonArrayPrinter::JsonArrayPrinter() {
    printBytes("[\n");
}

void JsonArrayPrinter::add(const QJsonObject& object) {
    // Each line of the object indented one level, as inside a whole array.
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    QByteArray indented = m_empty ? QByteArray() : QByteArray(",\n");
    indented.reserve(text.size() * 2);
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype lineEnd = text.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        indented += "    ";
        indented += QByteArrayView(text).sliced(lineStart, lineEnd - lineStart);
        if (lineEnd + 1 < text.size())
            indented += '\n';
        lineStart = lineEnd + 1;
    }
    printBytes(indented);
    m_empty = false;
}

void JsonArrayPrinter::finish() {
    printBytes(m_empty ? "]\n" : "\n]\n");
}

ListingPrinter::ListingPrinter(const SectionView& view, bool json) : m_json(json) {
    for (const int field : view.listed)
        m_names << tableOf(view.section).fields.at(field).toUtf8();
}

void ListingPrinter::add(qint64 id, const QList<QByteArrayView>& fields) {
    m_line.clear();
    if (m_json) {
        // Written straight from the stored bytes, in the layout QJsonDocument gives
        // an array, the id first: the listing costs what its text form does.
        m_line += m_first ? "[\n    {\n        \"id\": " : ",\n    {\n        \"id\": ";
        m_line += QByteArray::number(id);
        for (qsizetype i = 0; i < fields.size(); ++i) {
            m_line += ",\n        ";
            appendJsonString(m_line, m_names.at(i));
            m_line += ": ";
            appendJsonString(m_line, fields.at(i));
        }
        m_line += "\n    }";
    } else {
        m_line.setNum(id);
        for (const QByteArrayView field : fields) {
            m_line += '\t';
            appendCell(m_line, field);
        }
        m_line += '\n';
    }
    printBytes(m_line);
    m_first = false;
}

void ListingPrinter::finish() {
    if (m_json)
        printBytes(m_first ? "[\n]\n" : "\n]\n");
}

QString oneCell(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

QString detailText(const ShownRecord& record, const SectionView& view, bool secrets) {
    const QStringList& names = tableOf(view.section).fields;
    QString text = QStringLiteral("%1: %2\n").arg(IdKey).arg(record.id);
    for (int field = 0; field < names.size(); ++field) {
        const QString& value = record.fields.at(field);
        const bool hide = !secrets && view.secrets.contains(field) && !value.isEmpty();
        text += names.at(field) + QStringLiteral(": ") + (hide ? Hidden : value) + QLatin1Char('\n');
    }
    return text;
}

QString detailJson(const ShownRecord& record, const SectionView& view, bool secrets) {
    const QStringList& names = tableOf(view.section).fields;
    QJsonObject object{{IdKey, record.id}};
    for (int field = 0; field < names.size(); ++field) {
        if (secrets || !view.secrets.contains(field))
            object.insert(names.at(field), record.fields.at(field));
    }
    return QString::fromUtf8(QJsonDocument(QJsonArray{object}).toJson(QJsonDocument::Indented));
}
