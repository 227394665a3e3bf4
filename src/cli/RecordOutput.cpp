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

ListingPrinter::ListingPrinter(const SectionView& view, bool json) : m_view(view), m_json(json) {
    if (json)
        m_array.emplace();
}

void ListingPrinter::add(qint64 id, const QList<QByteArrayView>& fields) {
    if (m_json) {
        const QStringList& names = tableOf(m_view.section).fields;
        QJsonObject object{{IdKey, id}};
        for (qsizetype i = 0; i < fields.size(); ++i)
            object.insert(names.at(m_view.listed.at(i)), QString::fromUtf8(fields.at(i)));
        m_array->add(object);
        return;
    }
    m_line.setNum(id);
    for (const QByteArrayView field : fields) {
        m_line += '\t';
        appendCell(m_line, field);
    }
    m_line += '\n';
    printBytes(m_line);
}

void ListingPrinter::finish() {
    if (m_array)
        m_array->finish();
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
