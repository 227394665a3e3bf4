#include "BitwardenJsonReader.h"

#include "BitwardenItems.h"
#include "ExchangeError.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Qt's parser drops a byte-order mark at the start of a text, so U+FEFF at the
// start of a value would be lost; as an escape, which means the same, it stays.
QJsonDocument parsed(QByteArray element, QJsonParseError* error = nullptr) {
    element.replace("\xEF\xBB\xBF", "\\ufeff");
    return QJsonDocument::fromJson(element, error);
}

} // namespace

BitwardenJsonReader::BitwardenJsonReader(const QString& path) : m_stream(path) {
    readDirectory();
}

BitwardenJsonReader::BitwardenJsonReader(const QByteArray& content) : m_stream(content) {
    m_formatName = QStringLiteral("password-protected Bitwarden JSON");
    readDirectory();
}

void BitwardenJsonReader::readDirectory() {
    m_stream.enterObject();
    std::optional<JsonStream::Mark> items;
    bool encrypted = false;
    bool passwordProtected = false;
    QString member;
    while (m_stream.nextMember(member)) {
        if (member == QLatin1String("encrypted") || member == QLatin1String("passwordProtected")) {
            const bool set = m_stream.rawValue() == "true";
            encrypted = encrypted || set;
            passwordProtected = passwordProtected || (set && member == QLatin1String("passwordProtected"));
        } else if ((member == QLatin1String("folders") || member == QLatin1String("collections")) &&
                   m_stream.enterArray()) {
            QHash<QString, QString>& names =
                member == QLatin1String("folders") ? m_directory.folders : m_directory.collections;
            QByteArray element;
            qint64 line = 0;
            while (m_stream.nextElement(&element, line)) {
                const QJsonObject entry = parsed(element).object();
                names.insert(entry.value(QStringLiteral("id")).toString(),
                             entry.value(QStringLiteral("name")).toString());
            }
        } else if (member == QLatin1String("items")) {
            // Passed over item by item, so that a fault is found at its own line.
            items = m_stream.mark();
            if (m_stream.enterArray()) {
                qint64 line = 0;
                while (m_stream.nextElement(nullptr, line)) {
                }
            } else {
                m_stream.skipValue();
            }
        } else {
            m_stream.skipValue();
        }
    }
    m_stream.expectEnd();
    if (passwordProtected)
        throw ExchangeError(QStringLiteral(
            "This Bitwarden export is encrypted with a password: it is read once its password is given."));
    if (encrypted)
        throw ExchangeError(QStringLiteral(
            "This Bitwarden export is encrypted with the key of the Bitwarden account that made it (\"account "
            "restricted\"), so its records cannot be read. In Bitwarden, export the vault again as \"JSON "
            "(Encrypted)\" with the export type \"Password protected\", or as \"JSON\", and import that file."));
    if (!items)
        throw ExchangeError(QStringLiteral("This JSON file is not a Bitwarden export: it has no items."));
    m_stream.reset(*items);
    if (!m_stream.enterArray())
        throw ExchangeError(QStringLiteral("The items of this Bitwarden export are not a list."), items->line);
}

bool BitwardenJsonReader::next(Record& record) {
    while (m_pending.isEmpty()) {
        QByteArray element;
        qint64 line = 0;
        if (!m_stream.nextElement(&element, line))
            return false;
        QJsonParseError error;
        const QJsonDocument item = parsed(element, &error);
        if (error.error != QJsonParseError::NoError || !item.isObject())
            throw ExchangeError(QStringLiteral("an item cannot be read: %1.")
                                    .arg(item.isNull() ? error.errorString() : QStringLiteral("not an object")),
                                line);
        BitwardenItems::toRecords(item.object(), m_directory, line, m_pending);
    }
    record = m_pending.takeFirst();
    return true;
}
