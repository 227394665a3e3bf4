#pragma once

#include "store/Section.h"

#include <QHash>
#include <QJsonObject>
#include <QList>

// How the items of a Bitwarden export become the program's records, and back.
namespace BitwardenItems {

// Bitwarden's item types.
enum Type { Login = 1, SecureNote = 2, Card = 3, Identity = 4 };

// The custom field that marks a note as one of the program's reminders; its
// value is the reminder's date.
inline const QString ReminderDateField = QStringLiteral("Reminder date");

// Bitwarden's item types.
inline constexpr int SshKey = 5;

// The names of an export's folders and collections, by their ids.
struct Directory {
    QHash<QString, QString> folders;
    QHash<QString, QString> collections;
};

// The records one item makes: usually one, plus a note for what a card or a
// person has no field for. Whatever the item holds beyond the section's fields
// (further web addresses, TOTP, passkeys, former passwords, custom fields of
// every kind, folder, collections, favourite) becomes labelled lines. Throws
// ExchangeError for an item that is no object of a known shape.
void toRecords(const QJsonObject& item, const Directory& directory, qint64 line, QList<Record>& out);

// The texts of an item's part for its type ("card", "identity", ...) that
// become labelled lines: the member's name and the line's label.
QList<std::pair<QString, QString>> partLines(int type);

// The card type the program lists for a Bitwarden brand, and back.
QString cardTypeOfBrand(const QString& brand);
QString brandOfCardType(const QString& cardType);
// A card's year as imported: a two-digit year becomes this century's.
QString fourDigitYear(const QString& year);

} // namespace BitwardenItems
