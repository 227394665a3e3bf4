#pragma once

#include <QByteArray>
#include <QString>

// The error replies of the browser extension's protocol, with the codes the
// extension knows them by.
enum class ProtocolError {
    Unknown = 0,
    DatabaseNotOpened = 1,
    DatabaseHashNotReceived = 2,
    ClientPublicKeyNotReceived = 3,
    CannotDecryptMessage = 4,
    NotConnected = 5,
    ActionCancelledOrDenied = 6,
    CannotEncryptMessage = 7,
    AssociationFailed = 8,
    KeyChangeFailed = 9,
    EncryptionKeyUnrecognized = 10,
    NoSavedDatabasesFound = 11,
    IncorrectAction = 12,
    EmptyMessageReceived = 13,
    NoUrlProvided = 14,
    NoLoginsFound = 15,
};

// Thrown inside the handling of a request that is answered with an error.
struct ProtocolRefusal {
    ProtocolError error;
};

// What the extension is told beside the code.
QString protocolErrorText(ProtocolError error);

// The unencrypted error reply to a request with this action and nonce (both
// base64 text as the request gave them; the nonce may be empty): the reply's
// nonce is the request's plus one, as for every reply.
QByteArray protocolErrorReply(const QString& action, ProtocolError error, const QByteArray& requestNonce = {});
