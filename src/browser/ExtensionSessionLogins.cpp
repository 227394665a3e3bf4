// The requests of a session that read or write records: a page's logins, a
// login saved from a page, a generated password.
#include "BrowserStore.h"
#include "ExtensionAsker.h"
#include "ExtensionSession.h"
#include "ProtocolErrors.h"
#include "SiteAddress.h"
#include "generator/PasswordGenerator.h"

#include <QJsonArray>
#include <algorithm>

namespace {

constexpr int GeneratedPasswordLength = 20;
// About 5.95 bits for each of the 62 letters and digits.
constexpr int GeneratedPasswordBits = 119;

QString sessionKey(const QString& site, qint64 record) {
    return site + QChar(0x1f) + QString::number(record);
}

// The record's key as the extension's entry id: 32 hexadecimal digits.
QString entryId(qint64 key) {
    return QStringLiteral("%1").arg(quint64(key), 32, 16, QLatin1Char('0'));
}

} // namespace

QJsonObject ExtensionSession::logins(const Request& request) {
    const QString name = knownLink(request.message);
    if (name.isEmpty())
        throw ProtocolRefusal{ProtocolError::AssociationFailed};
    const QString url = request.message.value(QStringLiteral("url")).toString();
    if (url.trimmed().isEmpty())
        throw ProtocolRefusal{ProtocolError::NoUrlProvided};
    const std::optional<SiteAddress> page = SiteAddress::ofPage(url);
    if (!page)
        throw ProtocolRefusal{ProtocolError::NoLoginsFound};
    const QString site = page->origin();
    QList<BrowserStore::Login> matching;
    for (const BrowserStore::Login& login : m_store->loginsAtHost(page->indexKeys())) {
        const std::optional<SiteAddress> website = SiteAddress::ofWebsite(login.website);
        if (website && website->serves(*page))
            matching.append(login);
    }
    if (matching.isEmpty())
        throw ProtocolRefusal{ProtocolError::NoLoginsFound};

    QList<BrowserStore::Login> allowed;
    QList<BrowserStore::Login> undecided;
    for (const BrowserStore::Login& login : std::as_const(matching)) {
        std::optional<bool> decided = m_store->decision(site, login.key);
        if (!decided && m_sessionAnswers.contains(sessionKey(site, login.key)))
            decided = m_sessionAnswers.value(sessionKey(site, login.key));
        if (!decided)
            undecided.append(login);
        else if (*decided)
            allowed.append(login);
    }
    if (!undecided.isEmpty()) {
        ExtensionAsker::AccessRequest question{name, site, url, {}};
        for (const BrowserStore::Login& login : std::as_const(undecided))
            question.records.append({login.key, login.account, login.user});
        const ExtensionAsker::AccessAnswer answer = m_asker.confirmAccess(question);
        for (const BrowserStore::Login& login : std::as_const(undecided)) {
            if (answer.remember)
                m_store->remember(site, login.key, answer.allowed);
            else
                m_sessionAnswers.insert(sessionKey(site, login.key), answer.allowed);
            if (answer.allowed)
                allowed.append(login);
        }
    }
    if (allowed.isEmpty())
        throw ProtocolRefusal{ProtocolError::ActionCancelledOrDenied};
    std::sort(allowed.begin(), allowed.end(), [](const auto& a, const auto& b) { return a.key < b.key; });

    QJsonArray entries;
    for (const BrowserStore::Login& login : std::as_const(allowed))
        entries.append(QJsonObject{{QStringLiteral("login"), login.user},
                                   {QStringLiteral("name"), login.account},
                                   {QStringLiteral("password"), login.password},
                                   {QStringLiteral("uuid"), entryId(login.key)},
                                   {QStringLiteral("group"), QStringLiteral("Passwords")},
                                   {QStringLiteral("stringFields"), QJsonArray()}});
    return {{QStringLiteral("count"), QString::number(entries.size())},
            {QStringLiteral("entries"), entries},
            {QStringLiteral("hash"), m_store->databaseHash()},
            {QStringLiteral("id"), name}};
}

QJsonObject ExtensionSession::saveLogin(const Request& request) {
    const QString name = request.message.value(QStringLiteral("id")).toString();
    // Only a connection this browser proved in this session may save.
    if (name.isEmpty() || !m_provenLinks.contains(name) || !m_store->link(name))
        throw ProtocolRefusal{ProtocolError::AssociationFailed};
    const QString url = request.message.value(QStringLiteral("url")).toString();
    const std::optional<SiteAddress> page = SiteAddress::ofPage(url);
    if (!page)
        throw ProtocolRefusal{ProtocolError::NoUrlProvided};
    const QString user = request.message.value(QStringLiteral("login")).toString();
    const QString password = request.message.value(QStringLiteral("password")).toString();
    if (!m_asker.confirmNewLogin({name, page->origin(), user}))
        throw ProtocolRefusal{ProtocolError::ActionCancelledOrDenied};
    const qint64 key = m_store->addLogin(page->host, page->origin(), user, password);
    // The user saved it from this page: it fills this page from now on without another question.
    m_store->remember(page->origin(), key, true);
    return {{QStringLiteral("count"), QJsonValue::Null},
            {QStringLiteral("entries"), QJsonValue::Null},
            {QStringLiteral("error"), QString()},
            {QStringLiteral("hash"), m_store->databaseHash()}};
}

QJsonObject ExtensionSession::generatePassword() {
    PasswordGenerator generator;
    const QString password =
        generator.make(PasswordGenerator::BothCases, GeneratedPasswordLength, PasswordGenerator::LettersAndDigits);
    return {{QStringLiteral("entries"), QJsonArray{QJsonObject{{QStringLiteral("login"), GeneratedPasswordBits},
                                                               {QStringLiteral("password"), password}}}}};
}
