#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

// The NaCl box (Curve25519, XSalsa20, Poly1305) the browser extension speaks,
// from libsodium. Keys and nonces travel as raw bytes here; the protocol
// encodes them in base64.
namespace NaclBox {

constexpr int KeyBytes = 32;
constexpr int NonceBytes = 24;

// A secret key that is wiped when it goes.
class SecretKey {
public:
    SecretKey();
    ~SecretKey();
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;
    unsigned char* data() { return m_bytes.data(); }
    const unsigned char* data() const { return m_bytes.data(); }

private:
    std::array<unsigned char, KeyBytes> m_bytes{};
};

// The key two parties share, computed once from one's public key and the
// other's secret key: every box after the first costs no key agreement.
using SharedKey = SecretKey;

struct KeyPair {
    QByteArray publicKey;
    SecretKey secretKey;
};

// False when libsodium cannot start (no source of random numbers): nothing is sealed then.
bool ready();
// A new pair from the operating system's random source; the secret key is written into pair.
void makeKeyPair(KeyPair& pair);
// The key the holder of mine shares with the holder of theirPublic; false when
// theirPublic has the wrong length or is a weak key.
bool share(const QByteArray& theirPublic, const SecretKey& mine, SharedKey& shared);
// The box of plain between the two holders of the shared key.
QByteArray seal(const QByteArray& plain, const QByteArray& nonce, const SharedKey& shared);
// The plain text of a box, or nothing when it was not sealed with this shared
// key and nonce, or the nonce has the wrong length.
std::optional<QByteArray> open(const QByteArray& box, const QByteArray& nonce, const SharedKey& shared);
// The nonce plus one, as a little-endian number: the reply's nonce.
QByteArray incremented(const QByteArray& nonce);
QByteArray randomBytes(int count);
// SHA-256 in lower-case hexadecimal.
QString sha256Hex(const QByteArray& bytes);

} // namespace NaclBox
