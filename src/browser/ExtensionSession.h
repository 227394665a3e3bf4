#pragma once

#include "NaclBox.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

class BrowserStore;
class ExtensionAsker;

// One browser's conversation with the program: the keys exchanged for it, and
// the answer to each of its requests. Every reply that carries a record is
// sealed for the browser's key; only the key exchange, the error replies and
// the locked/unlocked notices travel in clear, and they carry no secret.
class ExtensionSession {
public:
    // The protocol version reported: the extension turns on what it uses by it,
    // and keeps the wrong key after a pairing with anything below 2.3.4.
    static inline const QString ProtocolVersion = QStringLiteral("2.3.4");

    explicit ExtensionSession(ExtensionAsker& asker);
    // The signed-in record database, or nullptr while nobody is signed in.
    void setStore(BrowserStore* store) { m_store = store; }

    // The reply to one request, as JSON; never throws.
    QByteArray reply(const QByteArray& request);

    // The notices sent unasked when the user signs in or the program signs out.
    static QByteArray lockedNotice(bool locked);

private:
    struct Request {
        QString action;
        QByteArray nonce;     // raw
        QByteArray nonceText; // as sent
        QJsonObject message;  // decrypted
    };

    QByteArray changeKeys(const QJsonObject& outer);
    QByteArray encrypted(const QJsonObject& outer);
    QJsonObject answer(const Request& request);
    QJsonObject databaseHash();
    QJsonObject associate(const Request& request);
    QJsonObject testAssociate(const Request& request);
    QJsonObject logins(const Request& request);
    QJsonObject saveLogin(const Request& request);
    QJsonObject generatePassword();
    // The name of the first pair of id and key that the user allowed, or empty.
    QString knownLink(const QJsonObject& message);
    QByteArray sealed(const Request& request, QJsonObject reply);

    ExtensionAsker& m_asker;
    BrowserStore* m_store = nullptr;
    NaclBox::KeyPair m_hostKeys;
    QByteArray m_clientKey; // empty until the keys are exchanged
    NaclBox::SharedKey m_shared;
    QSet<QByteArray> m_seenNonces;
    // Connections this browser proved it holds the key of, in this session.
    QSet<QString> m_provenLinks;
    // Answers given for this session only: "origin\x1frecord" to allowed.
    QHash<QString, bool> m_sessionAnswers;
};
