#include "ProtocolErrors.h"

#include <QJsonDocument>
#include <QJsonObject>

QString protocolErrorText(ProtocolError error) {
    switch (error) {
    case ProtocolError::DatabaseNotOpened:
        return QStringLiteral("Quillmere is not signed in");
    case ProtocolError::DatabaseHashNotReceived:
        return QStringLiteral("No database identity received");
    case ProtocolError::ClientPublicKeyNotReceived:
        return QStringLiteral("No public key received from the browser");
    case ProtocolError::CannotDecryptMessage:
        return QStringLiteral("The message cannot be decrypted");
    case ProtocolError::NotConnected:
        return QStringLiteral("Quillmere is not running");
    case ProtocolError::ActionCancelledOrDenied:
        return QStringLiteral("The user denied the request");
    case ProtocolError::CannotEncryptMessage:
        return QStringLiteral("The reply cannot be encrypted");
    case ProtocolError::AssociationFailed:
        return QStringLiteral("This browser is not connected to Quillmere");
    case ProtocolError::KeyChangeFailed:
        return QStringLiteral("The keys could not be exchanged");
    case ProtocolError::EncryptionKeyUnrecognized:
        return QStringLiteral("The encryption key is not recognized");
    case ProtocolError::NoSavedDatabasesFound:
        return QStringLiteral("No saved connection found");
    case ProtocolError::IncorrectAction:
        return QStringLiteral("Unknown or malformed request");
    case ProtocolError::EmptyMessageReceived:
        return QStringLiteral("The message is empty");
    case ProtocolError::NoUrlProvided:
        return QStringLiteral("No address given");
    case ProtocolError::NoLoginsFound:
        return QStringLiteral("No logins found");
    case ProtocolError::Unknown:
        break;
    }
    return QStringLiteral("Unknown error");
}

QByteArray protocolErrorReply(const QString& action, ProtocolError error, const QByteArray& requestNonce) {
    QJsonObject reply{{QStringLiteral("action"), action},
                      {QStringLiteral("errorCode"), int(error)},
                      {QStringLiteral("error"), protocolErrorText(error)},
                      {QStringLiteral("success"), QStringLiteral("false")}};
    const QByteArray nonce = QByteArray::fromBase64(requestNonce);
    if (!nonce.isEmpty()) {
        QByteArray next = nonce;
        // Little-endian plus one, as the library's increment; done here so the host needs no library.
        for (auto& byte : next) {
            byte = char(quint8(byte) + 1);
            if (byte != 0)
                break;
        }
        reply.insert(QStringLiteral("nonce"), QString::fromLatin1(next.toBase64()));
    }
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}
