#pragma once

#include <QByteArray>
#include <optional>

// The cryptography of Bitwarden's password-protected exports, all of it from
// OpenSSL and libargon2: a key made from the password (PBKDF2-SHA256 or
// Argon2id), stretched by HKDF into an encryption key and a MAC key, and texts
// sealed as "2.iv|data|mac" (AES-256-CBC, then HMAC-SHA256 over iv and data).
namespace BitwardenCrypto {

enum KdfType { Pbkdf2Sha256 = 0, Argon2id = 1 };

// How the key is made from the password. The defaults are Bitwarden's own
// for Argon2id: 3 passes over 64 MiB with 4 lanes.
struct Kdf {
    int type = Argon2id;
    int iterations = 3;
    int memoryMiB = 64;
    int parallelism = 4;
};

struct Keys {
    QByteArray encryption; // 32 bytes
    QByteArray authentication;
};

// The settings a file may ask for: enough for any real export, never so much
// that a file alone could exhaust the computer. Empty when acceptable, else why not.
QString refusedKdf(const Kdf& kdf);
// The salt is the text the file holds, taken as its UTF-8 bytes.
Keys deriveKeys(const QByteArray& password, const QByteArray& salt, const Kdf& kdf); // throws ExchangeError

// Nothing when the MAC does not match, which is what a wrong password gives.
// Throws ExchangeError when the text is no sealed text at all.
std::optional<QByteArray> open(const QByteArray& sealed, const Keys& keys);
QByteArray seal(const QByteArray& plain, const Keys& keys);

QByteArray randomBytes(int count); // throws ExchangeError

} // namespace BitwardenCrypto
