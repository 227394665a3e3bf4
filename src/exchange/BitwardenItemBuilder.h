#pragma once

#include "BitwardenItems.h"
#include "store/Section.h"

#include <QJsonArray>
#include <QJsonObject>
#include <optional>

// Rebuilds the Bitwarden item of a record from its fields and the labelled
// lines an import left in its remarks (or in the note that carries a card's or
// a person's extras): TOTP, further web addresses, passkeys, former
// passwords, custom fields, folder, collections, favourite, cardholder, name
// parts. An item is used only when importing it gives back exactly the record
// it was made from; otherwise the record goes out in its plain form.
class BitwardenItemBuilder {
public:
    // The note that carries a card's or a person's extras: its title and text.
    struct Companion {
        QString title;
        QString text;
    };

    // The item, or nothing when the plain form must be written.
    std::optional<QJsonObject> build(const QString& id, Section section, const QStringList& values,
                                     const std::optional<Companion>& companion);

    // Whether a note can carry a card's or a person's extras: it holds a line
    // only such a note has ("Cardholder: ...", "Company: ...").
    static bool mayAccompany(Section section, const QString& noteText);
    // Whether the remarks hold anything a plain item would not carry.
    static bool hasLines(const QString& remarks) { return remarks.contains(QStringLiteral(": ")); }

    // The folders and collections the items refer to, as the export lists them.
    QJsonArray folders() const { return listOf(m_folderIds); }
    QJsonArray collections() const { return listOf(m_collectionIds); }

private:
    QString idOf(QHash<QString, QString>& ids, QHash<QString, QString>& names, const QString& name);
    QJsonObject item(const QString& id, Section section, const QStringList& values,
                     const std::optional<Companion>& companion);
    static QJsonArray listOf(const QHash<QString, QString>& ids);
    bool givesBack(const QJsonObject& item, Section section, const QStringList& values,
                   const std::optional<Companion>& companion);

    QHash<QString, QString> m_folderIds; // name -> id
    QHash<QString, QString> m_collectionIds;
    BitwardenItems::Directory m_directory; // id -> name, as an import reads them
    int m_nextId = 1;
};
