#include "BitwardenLines.h"

#include <QStringList>
#include <utility>

namespace BitwardenLines {

namespace {

// The fields a linked custom field can stand for, by Bitwarden's ids.
const std::pair<int, const char*> LinkedFields[] = {
    {100, "Username"},
    {101, "Password"},
    {300, "Cardholder name"},
    {301, "Expiration month"},
    {302, "Expiration year"},
    {303, "Security code"},
    {304, "Brand"},
    {305, "Number"},
    {400, "Title"},
    {401, "Middle name"},
    {402, "Address 1"},
    {403, "Address 2"},
    {404, "Address 3"},
    {405, "City"},
    {406, "State"},
    {407, "Postal code"},
    {408, "Country"},
    {409, "Company"},
    {410, "Email"},
    {411, "Phone"},
    {412, "SSN"},
    {413, "Username"},
    {414, "Passport number"},
    {415, "License number"},
    {416, "First name"},
    {417, "Last name"},
    {418, "Full name"},
};

const std::pair<int, const char*> TypeSuffixes[] = {
    {Hidden, " (hidden)"},
    {Boolean, " (yes/no)"},
    {Linked, " (linked)"},
};

const QString HistoryLabel = QStringLiteral("Password history");

} // namespace

QString fieldLabel(const QString& name, int type) {
    for (const auto& [kind, suffix] : TypeSuffixes) {
        if (kind == type)
            return name + QLatin1String(suffix);
    }
    return name;
}

CustomField fieldOfLabel(const QString& label) {
    for (const auto& [kind, suffix] : TypeSuffixes) {
        if (label.endsWith(QLatin1String(suffix)))
            return {label.chopped(qsizetype(qstrlen(suffix))), kind};
    }
    return {label, Text};
}

QString linkedName(int linkedId) {
    for (const auto& [id, name] : LinkedFields) {
        if (id == linkedId)
            return QString::fromUtf8(name);
    }
    return QString::number(linkedId);
}

std::optional<int> linkedIdOf(int itemType, const QString& name) {
    // Ids run by hundreds per item type: logins 1xx, cards 3xx, identities 4xx.
    for (const auto& [id, field] : LinkedFields) {
        if (id / 100 == itemType && name == QLatin1String(field))
            return id;
    }
    bool isNumber = false;
    const int id = name.toInt(&isNumber);
    return isNumber ? std::optional<int>(id) : std::nullopt;
}

QString historyLabel(const QString& lastUsed) {
    return lastUsed.isEmpty() ? HistoryLabel : HistoryLabel + QStringLiteral(" (") + lastUsed + QLatin1Char(')');
}

std::optional<QString> historyTime(const QString& label) {
    if (label == HistoryLabel)
        return QString();
    if (label.startsWith(HistoryLabel + QStringLiteral(" (")) && label.endsWith(QLatin1Char(')')))
        return label.mid(HistoryLabel.size() + 2).chopped(1);
    return std::nullopt;
}

NameParts splitName(const QString& fullName) {
    const QStringList words = fullName.split(QLatin1Char(' '));
    if (fullName.isEmpty())
        return {};
    switch (words.size()) {
    case 1:
        return {words.at(0), {}, {}};
    case 2:
        return {words.at(0), {}, words.at(1)};
    case 3:
        return {words.at(0), words.at(1), words.at(2)};
    default:
        return {fullName, {}, {}};
    }
}

} // namespace BitwardenLines
