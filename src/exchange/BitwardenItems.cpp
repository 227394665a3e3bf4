#include "BitwardenItems.h"

#include "BitwardenLines.h"
#include "ExchangeError.h"
#include "RecordBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace BitwardenItems {

namespace {

// One text of the item to one field of the record.
struct FieldFrom {
    const char* key; // in the item's part for its type ("login", "card", ...), or "/name" on the item itself
    int field;
};
// One text of the item to a labelled line of the remarks.
struct LineFrom {
    const char* key;
    const char* label;
};

struct TypeMapping {
    int type;
    const char* part; // the item's member that holds the type's texts
    Section section;
    std::vector<FieldFrom> fields;
    std::vector<LineFrom> lines;
};

// Passwords: Account, Website, User, Password, Notes. Credit Card: Type Card,
// Card Number, Security Code, Month, Year, Bank Name, ... Personal: Full Name,
// Address, Address1, City, State, Zip, Email. Notes: Title, Note.
const TypeMapping Mappings[] = {
    {Login, "login", Section::Passwords, {{"/name", 0}, {"username", 2}, {"password", 3}}, {{"totp", "TOTP"}}},
    {Card,
     "card",
     Section::CreditCards,
     {{"/name", 5}, {"number", 1}, {"code", 2}, {"expMonth", 3}},
     {{"cardholderName", "Cardholder"}}},
    {SshKey,
     "sshKey",
     Section::Notes,
     {{"/name", 0}},
     {{"privateKey", "Private key"}, {"publicKey", "Public key"}, {"keyFingerprint", "Key fingerprint"}}},
    {Identity,
     "identity",
     Section::Personal,
     {{"address1", 1}, {"address2", 2}, {"city", 3}, {"state", 4}, {"postalCode", 5}, {"email", 6}},
     {{"title", "Title"},
      {"address3", "Address line 3"},
      {"country", "Country"},
      {"phone", "Phone"},
      {"company", "Company"},
      {"ssn", "Social security number"},
      {"username", "Username"},
      {"passportNumber", "Passport number"},
      {"licenseNumber", "License number"}}},
    {SecureNote, "secureNote", Section::Notes, {{"/name", 0}}, {}},
};

// Bitwarden's card brands beside the program's card types.
const std::pair<const char*, const char*> Brands[] = {
    {"Visa", "Visa"},
    {"Mastercard", "MasterCard"},
    {"Amex", "American Express"},
    {"Discover", "Discover Card"},
};

// A member as text: JSON's null and a missing member give a null text.
QString text(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double: {
        const double number = value.toDouble();
        return number == qint64(number) ? QString::number(qint64(number)) : QString::number(number, 'g', 17);
    }
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return {};
    }
}

QString joinedNames(const QJsonObject& identity) {
    QStringList names;
    for (const char* key : {"firstName", "middleName", "lastName"}) {
        const QString name = text(identity, QLatin1String(key));
        if (!name.isEmpty())
            names << name;
    }
    return names.isEmpty() ? QString() : names.join(QLatin1Char(' '));
}

const TypeMapping* mappingOf(int type) {
    for (const TypeMapping& mapping : Mappings) {
        if (mapping.type == type)
            return &mapping;
    }
    return nullptr;
}

// An item of a type the program does not know becomes a note of all its texts.
void unknownTypeToNote(const QJsonObject& item, RecordBuilder& note) {
    for (const QJsonValue& partValue : item) {
        if (!partValue.isObject())
            continue;
        const QJsonObject part = partValue.toObject();
        for (auto it = part.begin(); it != part.end(); ++it)
            note.addLine(it.key(), text(part, it.key()));
    }
}

// A person's name: the parts joined into the full name, and the parts as lines
// when the full name would not be split back into them.
void identityNames(const QJsonObject& identity, const QString& itemName, RecordBuilder& record) {
    using namespace BitwardenLines;
    const QString names = joinedNames(identity);
    record.set(0, names.isNull() ? itemName : names);
    if (names.isNull())
        return;
    const NameParts parts{text(identity, QStringLiteral("firstName")), text(identity, QStringLiteral("middleName")),
                          text(identity, QStringLiteral("lastName"))};
    // The whole name as the first name is how a plain export writes a person: no lines either.
    const bool wholeAsFirst = parts.first == names && parts.middle.isEmpty() && parts.last.isEmpty();
    if (!wholeAsFirst && splitName(names) != NameParts{parts.first.isNull() ? QString() : parts.first,
                                                       parts.middle.isNull() ? QString() : parts.middle,
                                                       parts.last.isNull() ? QString() : parts.last}) {
        record.addLine(FirstName, parts.first);
        record.addLine(MiddleName, parts.middle);
        record.addLine(LastName, parts.last);
    }
    if (itemName != names)
        record.addLine(FullName, names);
}

// Each passkey whole, as one line of compact JSON: its key material is kept
// exactly, so that it can be exported again.
void passkeyLines(const QJsonObject& login, RecordBuilder& record) {
    for (const QJsonValue& passkey : login.value(QStringLiteral("fido2Credentials")).toArray()) {
        if (passkey.isObject())
            record.addLine(BitwardenLines::Passkey,
                           QString::fromUtf8(QJsonDocument(passkey.toObject()).toJson(QJsonDocument::Compact)));
    }
}

void historyLines(const QJsonObject& item, RecordBuilder& record) {
    for (const QJsonValue& entry : item.value(QStringLiteral("passwordHistory")).toArray()) {
        const QJsonObject former = entry.toObject();
        record.addLine(BitwardenLines::historyLabel(text(former, QStringLiteral("lastUsedDate"))),
                       text(former, QStringLiteral("password")));
    }
}

// Where the item lives and how it is marked: folder, collections, favourite, re-prompt.
void placeLines(const QJsonObject& item, const Directory& directory, RecordBuilder& record) {
    using namespace BitwardenLines;
    const QString folderId = text(item, QStringLiteral("folderId"));
    if (!folderId.isEmpty())
        record.addLine(Folder, directory.folders.value(folderId));
    for (const QJsonValue& id : item.value(QStringLiteral("collectionIds")).toArray()) {
        if (id.isString())
            record.addLine(Collection, directory.collections.value(id.toString(), id.toString()));
    }
    if (item.value(QStringLiteral("favorite")).toBool())
        record.addLine(Favourite, Yes);
    if (item.value(QStringLiteral("reprompt")).toInt() != 0)
        record.addLine(Reprompt, Yes);
}

} // namespace

QString fourDigitYear(const QString& year) {
    if (year.size() == 2 && year.at(0).isDigit() && year.at(1).isDigit())
        return QStringLiteral("20") + year;
    return year;
}

QList<std::pair<QString, QString>> partLines(int type) {
    QList<std::pair<QString, QString>> lines;
    if (const TypeMapping* mapping = mappingOf(type)) {
        for (const LineFrom& from : mapping->lines)
            lines.append({QString::fromUtf8(from.key), QString::fromUtf8(from.label)});
    }
    return lines;
}

QString cardTypeOfBrand(const QString& brand) {
    for (const auto& [bitwarden, ours] : Brands) {
        if (brand.compare(QLatin1String(bitwarden), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(ours);
    }
    return brand;
}

QString brandOfCardType(const QString& cardType) {
    for (const auto& [bitwarden, ours] : Brands) {
        if (cardType == QLatin1String(ours))
            return QString::fromUtf8(bitwarden);
    }
    return cardType;
}

void toRecords(const QJsonObject& item, const Directory& directory, qint64 line, QList<Record>& out) {
    const QJsonValue typeValue = item.value(QStringLiteral("type"));
    if (!typeValue.isDouble())
        throw ExchangeError(QStringLiteral("an item has no type."), line);
    const int type = typeValue.toInt();
    const QString name = text(item, QStringLiteral("name"));
    const TypeMapping* mapping = mappingOf(type);
    const QJsonArray customFields = item.value(QStringLiteral("fields")).toArray();

    // A note with the reminder mark is one of the program's reminders.
    QString reminderDate;
    bool isReminder = false;
    for (const QJsonValue& field : customFields) {
        if (type == SecureNote && text(field.toObject(), QStringLiteral("name")) == ReminderDateField) {
            isReminder = true;
            reminderDate = text(field.toObject(), QStringLiteral("value"));
        }
    }
    const Section section = isReminder ? Section::Reminders : mapping ? mapping->section : Section::Notes;
    RecordBuilder record(section);
    const QStringList& sectionFields = tableOf(section).fields;

    if (isReminder) {
        record.set(0, reminderDate);
    } else if (mapping) {
        const QJsonObject part = item.value(QLatin1String(mapping->part)).toObject();
        for (const FieldFrom& from : mapping->fields) {
            const QString key = QLatin1String(from.key);
            record.set(from.field, key.startsWith('/') ? text(item, key.mid(1)) : text(part, key));
        }
        if (type == Login) {
            const QJsonArray uris = part.value(QStringLiteral("uris")).toArray();
            for (qsizetype i = 0; i < uris.size(); ++i) {
                const QString uri = text(uris.at(i).toObject(), QStringLiteral("uri"));
                if (i == 0)
                    record.set(1, uri);
                else
                    record.addLine(QStringLiteral("URL"), uri);
            }
        } else if (type == Card) {
            const QString brand = text(part, QStringLiteral("brand"));
            record.set(0, brand.isNull() ? brand : cardTypeOfBrand(brand));
            record.set(4, fourDigitYear(text(part, QStringLiteral("expYear"))));
        }
        for (const LineFrom& from : mapping->lines)
            record.addLine(QLatin1String(from.label), text(part, QLatin1String(from.key)));
        if (type == Identity)
            identityNames(part, name, record);
        if (type == Login)
            passkeyLines(part, record);
    } else {
        record.set(0, name);
        unknownTypeToNote(item, record);
    }
    record.setRemarks(text(item, QStringLiteral("notes")));
    historyLines(item, record);

    // A custom field named like a field of the section fills it; the others are lines.
    for (const QJsonValue& fieldValue : customFields) {
        const QJsonObject field = fieldValue.toObject();
        const QString fieldName = text(field, QStringLiteral("name"));
        const int fieldType = field.value(QStringLiteral("type")).toInt(BitwardenLines::Text);
        const QString value = fieldType == BitwardenLines::Linked
                                  ? BitwardenLines::linkedName(field.value(QStringLiteral("linkedId")).toInt())
                                  : text(field, QStringLiteral("value"));
        if (isReminder && fieldName == ReminderDateField)
            continue;
        const qsizetype own = section == Section::CreditCards && fieldType == BitwardenLines::Text
                                  ? sectionFields.indexOf(fieldName)
                                  : -1;
        if (own >= 0)
            record.set(int(own), value);
        else
            record.addLine(BitwardenLines::fieldLabel(fieldName, fieldType), value);
    }
    placeLines(item, directory, record);
    record.finish(line, name, out);
}

} // namespace BitwardenItems
