#pragma once

#include "BitwardenCrypto.h"

#include <QByteArray>
#include <QString>

// Bitwarden's password-protected JSON export: the plain export sealed with a
// key made from a password the user chose, with what it takes to make the key
// again (salt and key derivation) and a sealed text that tells a wrong
// password before anything is read.
namespace ProtectedExport {

// Whether the file is a password-protected export, from its first members.
// Throws ExchangeError for one encrypted with the key of a Bitwarden account,
// which no other program can read, saying how to export instead.
bool isPasswordProtected(const QString& path);

// The plain export inside. Throws ExchangeError: for a wrong password, a
// damaged file, or key settings no Bitwarden export has.
QByteArray unlock(const QString& path, const QString& password);

// The file that holds the plain export sealed with the password.
QByteArray protect(const QByteArray& plainExport, const QString& password, const BitwardenCrypto::Kdf& kdf = {});

// What the user is told of a file whose password is not the one given.
QString wrongPassword();

} // namespace ProtectedExport
