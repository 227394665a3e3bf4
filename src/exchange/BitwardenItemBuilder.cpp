#include "BitwardenItemBuilder.h"

#include "BitwardenLines.h"
#include "ExchangeError.h"

#include <QJsonDocument>

namespace {

using namespace BitwardenLines;

struct Line {
    QString label;
    QString value;
};

// A text as an import composes it: the item's own text, then its labelled
// lines. A line without a label after the first labelled one goes on the
// value above it, as a value of several lines does.
struct Lines {
    QString own;
    QList<Line> lines;
};

Lines parsed(const QString& text) {
    Lines out;
    const QStringList rows = text.split(QLatin1Char('\n'));
    qsizetype first = 0;
    while (first < rows.size() && rows.at(first).indexOf(QStringLiteral(": ")) <= 0)
        ++first;
    out.own = rows.mid(0, first).join(QLatin1Char('\n'));
    for (qsizetype i = first; i < rows.size(); ++i) {
        const qsizetype colon = rows.at(i).indexOf(QStringLiteral(": "));
        if (colon > 0)
            out.lines.append({rows.at(i).left(colon), rows.at(i).mid(colon + 2)});
        else
            out.lines.last().value += QLatin1Char('\n') + rows.at(i);
    }
    return out;
}

QJsonValue orNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// The member of an item's part that a line's label names, or empty.
QString memberOf(const QList<std::pair<QString, QString>>& lines, const QString& label) {
    for (const auto& [member, partLabel] : lines) {
        if (partLabel == label)
            return member;
    }
    return {};
}

} // namespace

QString BitwardenItemBuilder::idOf(QHash<QString, QString>& ids, QHash<QString, QString>& names, const QString& name) {
    auto found = ids.constFind(name);
    if (found != ids.constEnd())
        return *found;
    const QString id = QStringLiteral("00000000-0000-4000-9000-%1").arg(m_nextId++, 12, 10, QLatin1Char('0'));
    ids.insert(name, id);
    names.insert(id, name);
    return id;
}

QJsonArray BitwardenItemBuilder::listOf(const QHash<QString, QString>& ids) {
    QList<std::pair<QString, QString>> sorted;
    for (auto it = ids.begin(); it != ids.end(); ++it)
        sorted.append({it.value(), it.key()});
    std::sort(sorted.begin(), sorted.end());
    QJsonArray list;
    for (const auto& [id, name] : sorted)
        list.append(QJsonObject{{"id", id}, {"name", name}});
    return list;
}

bool BitwardenItemBuilder::mayAccompany(Section section, const QString& noteText) {
    const int type = section == Section::CreditCards ? BitwardenItems::Card : BitwardenItems::Identity;
    QStringList labels;
    for (const auto& [member, label] : BitwardenItems::partLines(type))
        labels << label;
    if (type == BitwardenItems::Identity)
        labels << FirstName << MiddleName << LastName << FullName;
    for (const Line& line : parsed(noteText).lines) {
        if (labels.contains(line.label))
            return true;
    }
    return false;
}

QJsonObject BitwardenItemBuilder::item(const QString& id, Section section, const QStringList& values,
                                       const std::optional<Companion>& companion) {
    int type = BitwardenItems::SecureNote;
    QString name = values.value(0);
    QString text;
    if (section == Section::Passwords) {
        type = BitwardenItems::Login;
        text = values.at(4);
    } else if (section == Section::Notes) {
        text = values.at(1);
    } else if (section == Section::CreditCards) {
        type = BitwardenItems::Card;
        name = !values.at(5).isEmpty() ? values.at(5) : values.at(0);
    } else {
        type = BitwardenItems::Identity;
    }
    if (companion) {
        name = companion->title;
        text = companion->text;
    }
    const Lines lines = parsed(text);
    const QList<std::pair<QString, QString>> partLabels = BitwardenItems::partLines(type);
    const QList<std::pair<QString, QString>> sshLabels = BitwardenItems::partLines(BitwardenItems::SshKey);

    QJsonObject part;
    QJsonArray uris;
    QJsonArray passkeys;
    QJsonArray history;
    QJsonArray fields;
    QJsonArray collections;
    QJsonObject sshKey;
    QJsonValue folderId;
    QJsonValue totp;
    bool favourite = false;
    int reprompt = 0;
    NameParts parts;
    bool partsGiven = false;
    if (section == Section::Passwords && !values.at(1).isEmpty())
        uris.append(QJsonObject{{"match", QJsonValue()}, {"uri", values.at(1)}});

    for (const Line& line : lines.lines) {
        const std::optional<QString> historyTime = BitwardenLines::historyTime(line.label);
        const QString member = memberOf(partLabels, line.label);
        const QString sshMember = section == Section::Notes ? memberOf(sshLabels, line.label) : QString();
        if (type == BitwardenItems::Login && line.label == Url) {
            uris.append(QJsonObject{{"match", QJsonValue()}, {"uri", line.value}});
        } else if (type == BitwardenItems::Login && line.label == Totp && totp.isNull()) {
            totp = line.value;
        } else if (type == BitwardenItems::Login && line.label == Passkey &&
                   QJsonDocument::fromJson(line.value.toUtf8()).isObject()) {
            passkeys.append(QJsonDocument::fromJson(line.value.toUtf8()).object());
        } else if (historyTime) {
            history.append(QJsonObject{{"lastUsedDate", orNull(*historyTime)}, {"password", line.value}});
        } else if (line.label == Folder && folderId.isNull()) {
            folderId = idOf(m_folderIds, m_directory.folders, line.value);
        } else if (line.label == Collection) {
            collections.append(idOf(m_collectionIds, m_directory.collections, line.value));
        } else if (line.label == Favourite && line.value == Yes) {
            favourite = true;
        } else if (line.label == Reprompt && line.value == Yes) {
            reprompt = 1;
        } else if (!member.isEmpty() && !part.contains(member) && type != BitwardenItems::Login) {
            part.insert(member, line.value);
        } else if (!sshMember.isEmpty() && !sshKey.contains(sshMember)) {
            sshKey.insert(sshMember, line.value);
        } else if (type == BitwardenItems::Identity &&
                   (line.label == FirstName || line.label == MiddleName || line.label == LastName)) {
            partsGiven = true;
            (line.label == FirstName ? parts.first : line.label == MiddleName ? parts.middle : parts.last) = line.value;
        } else if (type == BitwardenItems::Identity && line.label == FullName) {
            // Tells which person the note belongs to: the person's own field says it.
        } else {
            const CustomField field = fieldOfLabel(line.label);
            const std::optional<int> linked =
                field.type == Linked ? linkedIdOf(type, line.value) : std::optional<int>();
            if (field.type == Linked && linked)
                fields.append(QJsonObject{
                    {"name", field.name}, {"value", QJsonValue()}, {"type", Linked}, {"linkedId", *linked}});
            else if (field.type == Linked)
                fields.append(QJsonObject{{"name", line.label}, {"value", line.value}, {"type", Text}});
            else
                fields.append(QJsonObject{{"name", field.name}, {"value", line.value}, {"type", field.type}});
        }
    }

    if (type == BitwardenItems::Login) {
        part.insert("uris", uris);
        part.insert("username", orNull(values.at(2)));
        part.insert("password", orNull(values.at(3)));
        part.insert("totp", totp);
        part.insert("fido2Credentials", passkeys);
    } else if (type == BitwardenItems::Card) {
        const QString brand = BitwardenItems::brandOfCardType(values.at(0));
        if (BitwardenItems::cardTypeOfBrand(brand) != values.at(0))
            fields.append(
                QJsonObject{{"name", tableOf(section).fields.at(0)}, {"value", values.at(0)}, {"type", Text}});
        if (BitwardenItems::fourDigitYear(values.at(4)) != values.at(4))
            fields.append(
                QJsonObject{{"name", tableOf(section).fields.at(4)}, {"value", values.at(4)}, {"type", Text}});
        // The bank's details have no place in a Bitwarden card: they go as custom fields of their names.
        for (int field = values.at(5).isEmpty() ? 5 : 6; field < values.size(); ++field) {
            if (!values.at(field).isEmpty() || field == 5)
                fields.append(QJsonObject{
                    {"name", tableOf(section).fields.at(field)}, {"value", orNull(values.at(field))}, {"type", Text}});
        }
        part.insert("brand", orNull(brand));
        part.insert("number", orNull(values.at(1)));
        part.insert("code", orNull(values.at(2)));
        part.insert("expMonth", orNull(values.at(3)));
        part.insert("expYear", orNull(values.at(4)));
        for (const auto& [member, label] : partLabels) {
            if (!part.contains(member))
                part.insert(member, QJsonValue());
        }
    } else if (type == BitwardenItems::Identity) {
        if (!partsGiven)
            parts = splitName(values.at(0));
        part.insert("firstName", orNull(parts.first));
        part.insert("middleName", orNull(parts.middle));
        part.insert("lastName", orNull(parts.last));
        const char* members[] = {"address1", "address2", "city", "state", "postalCode", "email"};
        for (int i = 0; i < 6; ++i)
            part.insert(QLatin1String(members[i]), orNull(values.at(i + 1)));
        for (const auto& [member, label] : partLabels) {
            if (!part.contains(member))
                part.insert(member, QJsonValue());
        }
        if (!companion)
            name = values.at(0);
    } else if (!sshKey.isEmpty()) {
        type = BitwardenItems::SshKey;
        for (const auto& [member, label] : sshLabels) {
            if (!sshKey.contains(member))
                sshKey.insert(member, QJsonValue());
        }
        part = sshKey;
    } else {
        part.insert("type", 0);
    }

    static const char* const Parts[] = {"", "login", "secureNote", "card", "identity", "sshKey"};
    QJsonObject out{
        {"id", id},
        {"organizationId", QJsonValue()},
        {"folderId", folderId},
        {"type", type},
        {"reprompt", reprompt},
        {"name", name},
        {"notes", orNull(lines.own)},
        {"favorite", favourite},
        {"collectionIds", collections.isEmpty() ? QJsonValue() : QJsonValue(collections)},
        {"passwordHistory", history.isEmpty() ? QJsonValue() : QJsonValue(history)},
        {QLatin1String(Parts[type]), part},
    };
    if (!fields.isEmpty())
        out.insert("fields", fields);
    return out;
}

bool BitwardenItemBuilder::givesBack(const QJsonObject& item, Section section, const QStringList& values,
                                     const std::optional<Companion>& companion) {
    QList<Record> records;
    try {
        BitwardenItems::toRecords(item, m_directory, 1, records);
    } catch (const ExchangeError&) {
        return false;
    }
    QList<std::pair<Section, QStringList>> expected{{section, values}};
    if (companion)
        expected.append({Section::Notes, {companion->title, companion->text}});
    if (records.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (records.at(i).section != expected.at(i).first || records.at(i).values != expected.at(i).second)
            return false;
    }
    return true;
}

std::optional<QJsonObject> BitwardenItemBuilder::build(const QString& id, Section section, const QStringList& values,
                                                       const std::optional<Companion>& companion) {
    if (section == Section::Reminders)
        return std::nullopt;
    // Folders and collections named only by an item that is not used are not listed.
    const auto folders = m_folderIds;
    const auto collections = m_collectionIds;
    const BitwardenItems::Directory directory = m_directory;
    const QJsonObject built = item(id, section, values, companion);
    if (givesBack(built, section, values, companion))
        return built;
    m_folderIds = folders;
    m_collectionIds = collections;
    m_directory = directory;
    return std::nullopt;
}
