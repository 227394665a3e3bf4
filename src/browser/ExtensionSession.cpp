#include "ExtensionSession.h"

#include "BrowserStore.h"
#include "ExtensionAsker.h"
#include "ProtocolErrors.h"
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Nonces a session remembers, so a request read off the pipe cannot be sent again.
constexpr qsizetype MaxRememberedNonces = 100000;
QByteArray keyFrom(const QJsonValue& value) {
    const QByteArray key = QByteArray::fromBase64(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return key.size() == NaclBox::KeyBytes ? key : QByteArray();
}

QString fingerprint(const QByteArray& key) {
    const QString hash = NaclBox::sha256Hex(key);
    QStringList groups;
    for (int i = 0; i < 16; i += 4)
        groups << hash.mid(i, 4);
    return groups.join(QLatin1Char(' '));
}

} // namespace

ExtensionSession::ExtensionSession(ExtensionAsker& asker) : m_asker(asker) {}

QByteArray ExtensionSession::lockedNotice(bool locked) {
    return QJsonDocument(QJsonObject{{QStringLiteral("action"), locked ? QStringLiteral("database-locked")
                                                                       : QStringLiteral("database-unlocked")}})
        .toJson(QJsonDocument::Compact);
}

QByteArray ExtensionSession::reply(const QByteArray& request) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return protocolErrorReply(QString(), request.isEmpty() ? ProtocolError::EmptyMessageReceived
                                                               : ProtocolError::IncorrectAction);
    const QJsonObject outer = document.object();
    const QString action = outer.value(QStringLiteral("action")).toString();
    if (!NaclBox::ready())
        return protocolErrorReply(action, ProtocolError::CannotEncryptMessage);
    if (action == QLatin1String("change-public-keys"))
        return changeKeys(outer);
    return encrypted(outer);
}

QByteArray ExtensionSession::changeKeys(const QJsonObject& outer) {
    const QByteArray nonceText = outer.value(QStringLiteral("nonce")).toString().toLatin1();
    const QByteArray nonce = QByteArray::fromBase64(nonceText, QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray clientKey = keyFrom(outer.value(QStringLiteral("publicKey")));
    if (clientKey.isEmpty())
        return protocolErrorReply(QStringLiteral("change-public-keys"), ProtocolError::ClientPublicKeyNotReceived,
                                  nonceText);
    if (nonce.size() != NaclBox::NonceBytes)
        return protocolErrorReply(QStringLiteral("change-public-keys"), ProtocolError::KeyChangeFailed, nonceText);
    NaclBox::makeKeyPair(m_hostKeys);
    if (!NaclBox::share(clientKey, m_hostKeys.secretKey, m_shared)) {
        m_clientKey.clear();
        return protocolErrorReply(QStringLiteral("change-public-keys"), ProtocolError::KeyChangeFailed, nonceText);
    }
    m_clientKey = clientKey;
    m_seenNonces.clear();
    const QJsonObject reply{{QStringLiteral("action"), QStringLiteral("change-public-keys")},
                            {QStringLiteral("version"), ProtocolVersion},
                            {QStringLiteral("publicKey"), QString::fromLatin1(m_hostKeys.publicKey.toBase64())},
                            {QStringLiteral("nonce"), QString::fromLatin1(NaclBox::incremented(nonce).toBase64())},
                            {QStringLiteral("success"), QStringLiteral("true")}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

QByteArray ExtensionSession::encrypted(const QJsonObject& outer) {
    Request request;
    request.action = outer.value(QStringLiteral("action")).toString();
    request.nonceText = outer.value(QStringLiteral("nonce")).toString().toLatin1();
    request.nonce = QByteArray::fromBase64(request.nonceText, QByteArray::AbortOnBase64DecodingErrors);
    const auto refuse = [&](ProtocolError error) {
        return protocolErrorReply(request.action, error, request.nonceText);
    };
    if (m_clientKey.isEmpty())
        return refuse(ProtocolError::ClientPublicKeyNotReceived);
    const QByteArray box = QByteArray::fromBase64(outer.value(QStringLiteral("message")).toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (box.isEmpty())
        return refuse(request.action.isEmpty() ? ProtocolError::IncorrectAction : ProtocolError::EmptyMessageReceived);
    if (request.nonce.size() != NaclBox::NonceBytes || m_seenNonces.contains(request.nonce))
        return refuse(ProtocolError::CannotDecryptMessage);
    const std::optional<QByteArray> plain = NaclBox::open(box, request.nonce, m_shared);
    if (!plain)
        return refuse(ProtocolError::CannotDecryptMessage);
    if (m_seenNonces.size() >= MaxRememberedNonces)
        m_seenNonces.clear();
    m_seenNonces.insert(request.nonce);
    const QJsonDocument inner = QJsonDocument::fromJson(*plain);
    request.message = inner.object();
    if (!inner.isObject() || request.message.value(QStringLiteral("action")).toString() != request.action)
        return refuse(ProtocolError::IncorrectAction);
    try {
        return sealed(request, answer(request));
    } catch (const ProtocolRefusal& refusal) {
        return refuse(refusal.error);
    } catch (const std::exception&) {
        // The store failed (a locked or damaged file): the user sees it in the program, the browser a plain error.
        return refuse(ProtocolError::Unknown);
    }
}

QByteArray ExtensionSession::sealed(const Request& request, QJsonObject reply) {
    const QByteArray nonce = NaclBox::incremented(request.nonce);
    reply.insert(QStringLiteral("nonce"), QString::fromLatin1(nonce.toBase64()));
    reply.insert(QStringLiteral("version"), ProtocolVersion);
    reply.insert(QStringLiteral("success"), QStringLiteral("true"));
    const QByteArray box = NaclBox::seal(QJsonDocument(reply).toJson(QJsonDocument::Compact), nonce, m_shared);
    if (box.isEmpty())
        return protocolErrorReply(request.action, ProtocolError::CannotEncryptMessage, request.nonceText);
    const QJsonObject outer{{QStringLiteral("action"), request.action},
                            {QStringLiteral("message"), QString::fromLatin1(box.toBase64())},
                            {QStringLiteral("nonce"), QString::fromLatin1(nonce.toBase64())}};
    return QJsonDocument(outer).toJson(QJsonDocument::Compact);
}

QJsonObject ExtensionSession::answer(const Request& request) {
    const QString& action = request.action;
    if (action == QLatin1String("generate-password"))
        return generatePassword();
    const bool known = action == QLatin1String("get-databasehash") || action == QLatin1String("associate") ||
                       action == QLatin1String("test-associate") || action == QLatin1String("get-logins") ||
                       action == QLatin1String("set-login");
    if (!known)
        throw ProtocolRefusal{ProtocolError::IncorrectAction};
    if (!m_store)
        throw ProtocolRefusal{ProtocolError::DatabaseNotOpened};
    if (action == QLatin1String("get-databasehash"))
        return databaseHash();
    if (action == QLatin1String("associate"))
        return associate(request);
    if (action == QLatin1String("test-associate"))
        return testAssociate(request);
    if (action == QLatin1String("get-logins"))
        return logins(request);
    return saveLogin(request);
}

QJsonObject ExtensionSession::databaseHash() {
    return {{QStringLiteral("action"), QStringLiteral("hash")}, {QStringLiteral("hash"), m_store->databaseHash()}};
}

QJsonObject ExtensionSession::associate(const Request& request) {
    const QByteArray key = keyFrom(request.message.value(QStringLiteral("key")));
    const QByteArray idKey = keyFrom(request.message.value(QStringLiteral("idKey")));
    // The key sent inside the box must be the one the keys were exchanged with.
    if (key.isEmpty() || key != m_clientKey || idKey.isEmpty())
        throw ProtocolRefusal{ProtocolError::AssociationFailed};
    const std::optional<QString> name =
        m_asker.confirmConnection({request.message.value(QStringLiteral("clientID")).toString(), fingerprint(idKey)});
    if (!name || name->trimmed().isEmpty())
        throw ProtocolRefusal{ProtocolError::ActionCancelledOrDenied};
    m_store->addLink(name->trimmed(), QString::fromLatin1(idKey.toBase64()));
    m_provenLinks.insert(name->trimmed());
    return {{QStringLiteral("hash"), m_store->databaseHash()}, {QStringLiteral("id"), name->trimmed()}};
}

QString ExtensionSession::knownLink(const QJsonObject& message) {
    QJsonArray pairs = message.value(QStringLiteral("keys")).toArray();
    if (message.contains(QStringLiteral("id")))
        pairs.prepend(QJsonObject{{QStringLiteral("id"), message.value(QStringLiteral("id"))},
                                  {QStringLiteral("key"), message.value(QStringLiteral("key"))}});
    for (const QJsonValue& pair : pairs) {
        const QString name = pair.toObject().value(QStringLiteral("id")).toString();
        const QByteArray key = keyFrom(pair.toObject().value(QStringLiteral("key")));
        if (name.isEmpty() || key.isEmpty())
            continue;
        const std::optional<BrowserStore::Link> link = m_store->link(name);
        if (link && QByteArray::fromBase64(link->idKey.toLatin1()) == key) {
            m_provenLinks.insert(name);
            return name;
        }
    }
    return {};
}

QJsonObject ExtensionSession::testAssociate(const Request& request) {
    const QString name = knownLink(request.message);
    if (name.isEmpty())
        throw ProtocolRefusal{ProtocolError::AssociationFailed};
    m_store->markUsed(name);
    return {{QStringLiteral("hash"), m_store->databaseHash()}, {QStringLiteral("id"), name}};
}
