#include "BitwardenExport.h"

#include "BitwardenItems.h"
#include "BitwardenLines.h"

#include <QJsonDocument>
#include <cstring>

using ExportRows::Out;
using ExportRows::Rows;
using ExportRows::Text;

namespace {

void jsonString(QByteArray& out, const char* data, int size) {
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    int start = 0;
    for (int i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(data + start, i - start);
        start = i + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            out.append("\\u00").append(hex[c >> 4]).append(hex[c & 15]);
        }
    }
    out.append(data + start, size - start);
    out.append('"');
}

void json(QByteArray& out, const Text& text) {
    if (text.isNull())
        out.append("null");
    else
        jsonString(out, text.data, text.size);
}

void json(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    jsonString(out, utf8.constData(), int(utf8.size()));
}

void customField(QByteArray& out, bool& first, const QString& name, const Text& value) {
    out.append(first ? "\n      \"fields\": [" : ",");
    first = false;
    out.append("\n        {\"name\": ");
    json(out, name);
    out.append(", \"value\": ");
    json(out, value);
    out.append(", \"type\": 0}");
}

void endFields(QByteArray& out, bool first) {
    if (!first)
        out.append("\n      ],");
}

// An identity made of the section and the record's place.
QByteArray itemId(Section section, qint64 number) {
    char id[64];
    std::snprintf(id, sizeof id, "00000000-0000-4000-8%03d-%012lld", int(section), static_cast<long long>(number));
    return id;
}

void itemStart(QByteArray& out, bool& firstItem, int type, Section section, qint64 number, const Text& name,
               const Text& notes) {
    out.append(firstItem ? "\n    {" : ",\n    {");
    firstItem = false;
    const QByteArray id = itemId(section, number);
    out.append("\n      \"id\": \"")
        .append(id)
        .append("\",\n      \"organizationId\": null,\n      \"folderId\": null,");
    out.append("\n      \"type\": ").append(QByteArray::number(type)).append(",\n      \"name\": ");
    json(out, name);
    out.append(",\n      \"notes\": ");
    json(out, notes);
    out.append(",\n      \"favorite\": false,");
}

void itemEnd(QByteArray& out) {
    out.append("\n      \"collectionIds\": null\n    }");
}

// A rebuilt item, indented as the plain ones are.
void richItem(QByteArray& out, bool& firstItem, const QJsonObject& item) {
    out.append(firstItem ? "\n    " : ",\n    ");
    firstItem = false;
    QByteArray text = QJsonDocument(item).toJson(QJsonDocument::Indented).trimmed();
    text.replace("\n", "\n    ");
    out.append(text);
}

} // namespace

void BitwardenExport::writeItems(Section section, Out& out, qint64& count) {
    Rows rows(m_db, section, true);
    QByteArray& b = out.buffer();
    const QStringList& fields = tableOf(section).fields;
    const Text none;
    bool& firstItem = m_firstItem;
    while (rows.next()) {
        ++count;
        if (section == Section::Notes && m_companionNotes.contains(rows.key()))
            continue;
        if (writeRich(section, rows, count, out))
            continue;
        bool firstField = true;
        switch (section) {
        case Section::Passwords: // Account, Website, User, Password, Notes
            itemStart(b, firstItem, BitwardenItems::Login, section, count, rows[0], rows[4]);
            b.append("\n      \"login\": {\"uris\": [");
            if (!rows[1].isEmpty()) {
                b.append("{\"match\": null, \"uri\": ");
                json(b, rows[1]);
                b.append("}");
            }
            b.append("], \"username\": ");
            json(b, rows[2]);
            b.append(", \"password\": ");
            json(b, rows[3]);
            b.append(", \"totp\": null},");
            break;
        case Section::CreditCards: { // Type Card, Card Number, Security Code, Month, Year, Bank Name, ...
            const QString type = rows[0].toString();
            const QString brand = BitwardenItems::brandOfCardType(type);
            const Text& name = !rows[5].isEmpty() ? rows[5] : rows[0];
            itemStart(b, firstItem, BitwardenItems::Card, section, count, name, none);
            if (BitwardenItems::cardTypeOfBrand(brand) != type)
                customField(b, firstField, fields.at(0), rows[0]);
            if (BitwardenItems::fourDigitYear(rows[4].toString()) != rows[4].toString())
                customField(b, firstField, fields.at(4), rows[4]);
            for (int field = 5; field < fields.size(); ++field)
                customField(b, firstField, fields.at(field), rows[field]);
            endFields(b, firstField);
            b.append("\n      \"card\": {\"cardholderName\": null, \"brand\": ");
            json(b, brand);
            b.append(", \"number\": ");
            json(b, rows[1]);
            b.append(", \"expMonth\": ");
            json(b, rows[3]);
            b.append(", \"expYear\": ");
            json(b, rows[4]);
            b.append(", \"code\": ");
            json(b, rows[2]);
            b.append("},");
            break;
        }
        case Section::Personal: // Full Name, Address, Address1, City, State, Zip, Email
            itemStart(b, firstItem, BitwardenItems::Identity, section, count, rows[0], none);
            b.append("\n      \"identity\": {\"title\": null, \"firstName\": ");
            json(b, rows[0]);
            b.append(", \"middleName\": null, \"lastName\": null, \"address1\": ");
            json(b, rows[1]);
            b.append(", \"address2\": ");
            json(b, rows[2]);
            b.append(", \"address3\": null, \"city\": ");
            json(b, rows[3]);
            b.append(", \"state\": ");
            json(b, rows[4]);
            b.append(", \"postalCode\": ");
            json(b, rows[5]);
            b.append(", \"country\": null, \"company\": null, \"email\": ");
            json(b, rows[6]);
            b.append(", \"phone\": null, \"ssn\": null, \"username\": null, \"passportNumber\": null, "
                     "\"licenseNumber\": null},");
            break;
        case Section::Notes: // Title, Note
            itemStart(b, firstItem, BitwardenItems::SecureNote, section, count, rows[0], rows[1]);
            b.append("\n      \"secureNote\": {\"type\": 0},");
            break;
        case Section::Reminders: // Date, Reminder: a note titled with its date
            itemStart(b, firstItem, BitwardenItems::SecureNote, section, count, rows[0], rows[1]);
            customField(b, firstField, BitwardenItems::ReminderDateField, rows[0]);
            endFields(b, firstField);
            b.append("\n      \"secureNote\": {\"type\": 0},");
            break;
        }
        itemEnd(b);
        out.flushIfFull();
    }
}

bool BitwardenExport::writeRich(Section section, const Rows& rows, qint64 number, Out& out) {
    const QString id = QString::fromLatin1(itemId(section, number));
    std::optional<QJsonObject> item;
    if (section == Section::CreditCards || section == Section::Personal) {
        if (m_candidates.isEmpty())
            return false;
        const QStringList values = rows.values();
        const auto found = m_candidates.find(nameOf(section, values));
        if (found == m_candidates.end())
            return false;
        for (Companion& companion : *found) {
            if (companion.taken)
                continue;
            item =
                m_builder.build(id, section, values, BitwardenItemBuilder::Companion{companion.title, companion.text});
            if (item) {
                companion.taken = true;
                m_companionNotes.insert(companion.key);
                break;
            }
        }
    } else if (section == Section::Passwords || section == Section::Notes) {
        const Text& remarks = rows[section == Section::Passwords ? 4 : 1];
        // Most records hold no labelled line: they take the quick way.
        if (remarks.isNull() || !std::memchr(remarks.data, ':', size_t(remarks.size)))
            return false;
        const QStringList values = rows.values();
        if (BitwardenItemBuilder::hasLines(values.at(section == Section::Passwords ? 4 : 1)))
            item = m_builder.build(id, section, values, std::nullopt);
    }
    if (!item)
        return false;
    richItem(out.buffer(), m_firstItem, *item);
    out.flushIfFull();
    return true;
}

QString BitwardenExport::nameOf(Section section, const QStringList& values) {
    if (section == Section::CreditCards)
        return !values.at(5).isEmpty() ? values.at(5) : values.at(0);
    return values.at(0);
}

void BitwardenExport::findCompanions() {
    // Only a note with a line a card's or a person's note has can be one: most
    // notes hold no labelled line at all, and are passed over at once.
    Rows notes(m_db, Section::Notes, true);
    const QString fullNameLine = BitwardenLines::FullName + QStringLiteral(": ");
    while (notes.next()) {
        const Text& raw = notes[1];
        if (raw.isNull() || !std::memchr(raw.data, ':', size_t(raw.size)))
            continue;
        const QString text = raw.toString();
        if (!BitwardenItemBuilder::mayAccompany(Section::CreditCards, text) &&
            !BitwardenItemBuilder::mayAccompany(Section::Personal, text))
            continue;
        const QString title = notes[0].toString();
        // A person's note names the person when its title is the item's own name.
        QString owner = title;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            if (line.startsWith(fullNameLine))
                owner = line.mid(fullNameLine.size());
        }
        m_candidates[owner].append({notes.key(), title, text});
    }
}

SectionCounts BitwardenExport::write(Out& out) {
    SectionCounts counts{};
    findCompanions();
    out << "{\n  \"encrypted\": false,\n  \"items\": [";
    for (Section section : AllSections)
        writeItems(section, out, at(counts, section));
    out << "\n  ],\n  \"folders\": ";
    QByteArray lists = QJsonDocument(m_builder.folders()).toJson(QJsonDocument::Compact);
    out.buffer().append(lists);
    const QJsonArray collections = m_builder.collections();
    if (!collections.isEmpty()) {
        out << ",\n  \"collections\": ";
        out.buffer().append(QJsonDocument(collections).toJson(QJsonDocument::Compact));
    }
    out << "\n}\n";
    return counts;
}
