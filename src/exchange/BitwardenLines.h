#pragma once

#include <QString>
#include <optional>

// The labelled lines that keep what a Bitwarden item holds beyond the
// section's own fields ("Label: value" below the remarks). Import writes them,
// and export reads them back into the item, so both spell them from here.
namespace BitwardenLines {

inline const QString Url = QStringLiteral("URL");
inline const QString Totp = QStringLiteral("TOTP");
inline const QString Passkey = QStringLiteral("Passkey");
inline const QString Folder = QStringLiteral("Folder");
inline const QString Collection = QStringLiteral("Collection");
inline const QString Favourite = QStringLiteral("Favourite");
inline const QString Reprompt = QStringLiteral("Re-prompt");
inline const QString Cardholder = QStringLiteral("Cardholder");
inline const QString FirstName = QStringLiteral("First name");
inline const QString MiddleName = QStringLiteral("Middle name");
inline const QString LastName = QStringLiteral("Last name");
// Names the person a companion note belongs to, when the note's title is the item's own name.
inline const QString FullName = QStringLiteral("Full Name");
inline const QString Yes = QStringLiteral("yes");

// Bitwarden's kinds of custom field.
enum FieldType { Text = 0, Hidden = 1, Boolean = 2, Linked = 3 };

// "Name", "Name (hidden)", "Name (yes/no)", "Name (linked)": a custom field's
// label tells its kind, so that it goes back as the same kind.
QString fieldLabel(const QString& name, int type);
struct CustomField {
    QString name;
    int type = Text;
};
CustomField fieldOfLabel(const QString& label);

// A linked field's value is the name of the field it stands for ("Password");
// an id the program does not know stays a number.
QString linkedName(int linkedId);
std::optional<int> linkedIdOf(int itemType, const QString& name);

// "Password history (2023-01-15T10:30:00.000Z)": a former password with the
// time it was last used; without a time, "Password history".
QString historyLabel(const QString& lastUsed);
// The time of a history label, empty without one; nothing for another label.
std::optional<QString> historyTime(const QString& label);

// The name parts a full name is split into when nothing else tells them: one
// word is the first name, two are first and last, three first, middle and last.
struct NameParts {
    QString first, middle, last;
    bool operator==(const NameParts&) const = default;
};
NameParts splitName(const QString& fullName);

} // namespace BitwardenLines
