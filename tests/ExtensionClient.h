#pragma once

// The browser extension's side of the protocol, written against libsodium
// directly, so the program's side is checked against the library and not
// against itself.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <sodium.h>

class ExtensionClient {
public:
    // Sends one message and returns the reply's JSON text.
    using Transport = std::function<QByteArray(const QByteArray&)>;

    explicit ExtensionClient(Transport transport) : m_transport(std::move(transport)) {
        if (sodium_init() < 0)
            qFatal("libsodium cannot start");
        m_public.resize(crypto_box_PUBLICKEYBYTES);
        m_secret.resize(crypto_box_SECRETKEYBYTES);
        crypto_box_keypair(bytes(m_public), bytes(m_secret));
        idPublic.resize(crypto_box_PUBLICKEYBYTES);
        QByteArray idSecret(crypto_box_SECRETKEYBYTES, 0);
        crypto_box_keypair(bytes(idPublic), bytes(idSecret));
    }

    static QByteArray randomNonce() {
        QByteArray nonce(crypto_box_NONCEBYTES, 0);
        randombytes_buf(nonce.data(), size_t(nonce.size()));
        return nonce;
    }
    static QString b64(const QByteArray& raw) { return QString::fromLatin1(raw.toBase64()); }

    QJsonObject send(const QJsonObject& outer) {
        lastReplyText = m_transport(QJsonDocument(outer).toJson(QJsonDocument::Compact));
        return QJsonDocument::fromJson(lastReplyText).object();
    }

    QJsonObject changeKeys() {
        const QByteArray nonce = randomNonce();
        const QJsonObject reply = send({{"action", "change-public-keys"},
                                        {"publicKey", b64(m_public)},
                                        {"nonce", b64(nonce)},
                                        {"clientID", "client-1"}});
        m_hostPublic = QByteArray::fromBase64(reply.value("publicKey").toString().toLatin1());
        return reply;
    }

    // The outer message of an encrypted request, sealed with the given nonce.
    QJsonObject sealedRequest(const QJsonObject& inner, const QByteArray& nonce) {
        const QByteArray plain = QJsonDocument(inner).toJson(QJsonDocument::Compact);
        QByteArray box(plain.size() + qsizetype(crypto_box_MACBYTES), 0);
        if (crypto_box_easy(bytes(box), reinterpret_cast<const unsigned char*>(plain.constData()),
                            quint64(plain.size()), reinterpret_cast<const unsigned char*>(nonce.constData()),
                            bytes(m_hostPublic), bytes(m_secret)) != 0)
            return {};
        return {
            {"action", inner.value("action")}, {"message", b64(box)}, {"nonce", b64(nonce)}, {"clientID", "client-1"}};
    }

    // Sends an encrypted request; the decrypted reply, or the clear error reply
    // as it came. outerReply keeps the reply's envelope.
    QJsonObject request(const QJsonObject& inner) {
        const QByteArray nonce = randomNonce();
        outerReply = send(sealedRequest(inner, nonce));
        return opened(outerReply, nonce);
    }

    QJsonObject opened(const QJsonObject& reply, const QByteArray& requestNonce) {
        if (!reply.contains("message"))
            return reply;
        QByteArray expected = requestNonce;
        sodium_increment(bytes(expected), size_t(expected.size()));
        const QByteArray nonce = QByteArray::fromBase64(reply.value("nonce").toString().toLatin1());
        const QByteArray box = QByteArray::fromBase64(reply.value("message").toString().toLatin1());
        if (nonce != expected || box.size() < qsizetype(crypto_box_MACBYTES))
            return {{"clientSideError", "reply nonce is not the request's plus one"}};
        QByteArray plain(box.size() - qsizetype(crypto_box_MACBYTES), 0);
        if (crypto_box_open_easy(bytes(plain), bytes(box), quint64(box.size()), bytes(nonce), bytes(m_hostPublic),
                                 bytes(m_secret)) != 0)
            return {{"clientSideError", "reply does not open"}};
        const QJsonObject inner = QJsonDocument::fromJson(plain).object();
        if (inner.value("nonce").toString() != b64(expected))
            return {{"clientSideError", "sealed nonce is not the request's plus one"}};
        return inner;
    }

    QJsonObject associate() {
        const QJsonObject reply = request({{"action", "associate"}, {"key", b64(m_public)}, {"idKey", b64(idPublic)}});
        if (reply.value("success").toString() == "true")
            id = reply.value("id").toString();
        return reply;
    }
    QJsonObject testAssociate() { return request({{"action", "test-associate"}, {"id", id}, {"key", b64(idPublic)}}); }
    QJsonObject logins(const QString& url) {
        return request({{"action", "get-logins"},
                        {"url", url},
                        {"keys", QJsonArray{QJsonObject{{"id", id}, {"key", b64(idPublic)}}}}});
    }

    QByteArray idPublic;
    QString id;
    QByteArray lastReplyText;
    QJsonObject outerReply;

private:
    static unsigned char* bytes(QByteArray& raw) { return reinterpret_cast<unsigned char*>(raw.data()); }
    static const unsigned char* bytes(const QByteArray& raw) {
        return reinterpret_cast<const unsigned char*>(raw.constData());
    }

    Transport m_transport;
    QByteArray m_public, m_secret, m_hostPublic;
};
