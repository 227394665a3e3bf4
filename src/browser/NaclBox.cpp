#include "NaclBox.h"

#include <sodium.h>

namespace NaclBox {

static_assert(KeyBytes == crypto_box_PUBLICKEYBYTES && KeyBytes == crypto_box_SECRETKEYBYTES);
static_assert(NonceBytes == crypto_box_NONCEBYTES);

SecretKey::SecretKey() = default;

SecretKey::~SecretKey() {
    sodium_memzero(m_bytes.data(), m_bytes.size());
}

bool ready() {
    static const bool started = sodium_init() >= 0;
    return started;
}

void makeKeyPair(KeyPair& pair) {
    pair.publicKey.resize(KeyBytes);
    crypto_box_keypair(reinterpret_cast<unsigned char*>(pair.publicKey.data()), pair.secretKey.data());
}

bool share(const QByteArray& theirPublic, const SecretKey& mine, SharedKey& shared) {
    if (theirPublic.size() != KeyBytes)
        return false;
    static_assert(crypto_box_BEFORENMBYTES == KeyBytes);
    return crypto_box_beforenm(shared.data(), reinterpret_cast<const unsigned char*>(theirPublic.constData()),
                               mine.data()) == 0;
}

QByteArray seal(const QByteArray& plain, const QByteArray& nonce, const SharedKey& shared) {
    if (nonce.size() != NonceBytes)
        return {};
    QByteArray box(plain.size() + qsizetype(crypto_box_MACBYTES), Qt::Uninitialized);
    if (crypto_box_easy_afternm(reinterpret_cast<unsigned char*>(box.data()),
                                reinterpret_cast<const unsigned char*>(plain.constData()), quint64(plain.size()),
                                reinterpret_cast<const unsigned char*>(nonce.constData()), shared.data()) != 0)
        return {};
    return box;
}

std::optional<QByteArray> open(const QByteArray& box, const QByteArray& nonce, const SharedKey& shared) {
    if (nonce.size() != NonceBytes || box.size() < qsizetype(crypto_box_MACBYTES))
        return std::nullopt;
    QByteArray plain(box.size() - qsizetype(crypto_box_MACBYTES), Qt::Uninitialized);
    if (crypto_box_open_easy_afternm(reinterpret_cast<unsigned char*>(plain.data()),
                                     reinterpret_cast<const unsigned char*>(box.constData()), quint64(box.size()),
                                     reinterpret_cast<const unsigned char*>(nonce.constData()), shared.data()) != 0)
        return std::nullopt;
    return plain;
}

QByteArray incremented(const QByteArray& nonce) {
    QByteArray next = nonce;
    sodium_increment(reinterpret_cast<unsigned char*>(next.data()), size_t(next.size()));
    return next;
}

QByteArray randomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    randombytes_buf(bytes.data(), size_t(count));
    return bytes;
}

QString sha256Hex(const QByteArray& bytes) {
    QByteArray digest(crypto_hash_sha256_BYTES, Qt::Uninitialized);
    crypto_hash_sha256(reinterpret_cast<unsigned char*>(digest.data()),
                       reinterpret_cast<const unsigned char*>(bytes.constData()), quint64(bytes.size()));
    return QString::fromLatin1(digest.toHex());
}

} // namespace NaclBox
