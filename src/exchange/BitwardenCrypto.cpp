#include "BitwardenCrypto.h"

#include "ExchangeError.h"

#include <QList>
#include <argon2.h>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

namespace BitwardenCrypto {

namespace {

constexpr int KeyBytes = 32;
constexpr int IvBytes = 16;
constexpr int MacBytes = 32;

// Bitwarden's own limits, with room above: a file past them is no export of theirs.
constexpr int MaxPbkdf2Iterations = 10'000'000;
constexpr int MaxArgon2Iterations = 10;
constexpr int MinArgon2MemoryMiB = 15;
constexpr int MaxArgon2MemoryMiB = 1024;
constexpr int MaxArgon2Parallelism = 16;

[[noreturn]] void cryptoFailure(const char* what) {
    throw ExchangeError(QStringLiteral("The cryptography library failed (%1).").arg(QLatin1String(what)));
}

auto* bytes(QByteArray& array) {
    return reinterpret_cast<unsigned char*>(array.data());
}
const auto* bytes(const QByteArray& array) {
    return reinterpret_cast<const unsigned char*>(array.constData());
}

QByteArray hkdfExpand(const QByteArray& key, const char* info) {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr),
                                                                        &EVP_PKEY_CTX_free);
    QByteArray out(KeyBytes, '\0');
    size_t length = size_t(out.size());
    if (!context || EVP_PKEY_derive_init(context.get()) <= 0 ||
        EVP_PKEY_CTX_set_hkdf_mode(context.get(), EVP_PKEY_HKDEF_MODE_EXPAND_ONLY) <= 0 ||
        EVP_PKEY_CTX_set_hkdf_md(context.get(), EVP_sha256()) <= 0 ||
        EVP_PKEY_CTX_set1_hkdf_key(context.get(), bytes(key), int(key.size())) <= 0 ||
        EVP_PKEY_CTX_add1_hkdf_info(context.get(), reinterpret_cast<const unsigned char*>(info), int(qstrlen(info))) <=
            0 ||
        EVP_PKEY_derive(context.get(), bytes(out), &length) <= 0 || length != size_t(KeyBytes))
        cryptoFailure("HKDF");
    return out;
}

QByteArray mac(const QByteArray& key, const QByteArray& iv, const QByteArray& data) {
    const QByteArray message = iv + data;
    QByteArray out(MacBytes, '\0');
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.constData(), int(key.size()), bytes(message), size_t(message.size()), bytes(out),
              &length) ||
        length != unsigned(MacBytes))
        cryptoFailure("HMAC-SHA256");
    return out;
}

QByteArray aes(const QByteArray& key, const QByteArray& iv, const QByteArray& in, bool encrypt) {
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    QByteArray out(in.size() + IvBytes, '\0');
    int written = 0;
    int last = 0;
    if (!context || EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, bytes(key), bytes(iv), encrypt) != 1 ||
        EVP_CipherUpdate(context.get(), bytes(out), &written, bytes(in), int(in.size())) != 1)
        cryptoFailure("AES-256-CBC");
    // The MAC was checked before: a padding that does not fit is a damaged file, not a wrong password.
    if (EVP_CipherFinal_ex(context.get(), bytes(out) + written, &last) != 1)
        throw ExchangeError(QStringLiteral("The encrypted content of the file is damaged."));
    out.truncate(written + last);
    return out;
}

} // namespace

QString refusedKdf(const Kdf& kdf) {
    if (kdf.type == Pbkdf2Sha256) {
        if (kdf.iterations < 1 || kdf.iterations > MaxPbkdf2Iterations)
            return QStringLiteral("its PBKDF2 iterations (%1) are not from 1 to %2")
                .arg(kdf.iterations)
                .arg(MaxPbkdf2Iterations);
        return {};
    }
    if (kdf.type != Argon2id)
        return QStringLiteral("its key derivation (kdfType %1) is none Bitwarden writes").arg(kdf.type);
    if (kdf.iterations < 1 || kdf.iterations > MaxArgon2Iterations || kdf.memoryMiB < MinArgon2MemoryMiB ||
        kdf.memoryMiB > MaxArgon2MemoryMiB || kdf.parallelism < 1 || kdf.parallelism > MaxArgon2Parallelism)
        return QStringLiteral("its Argon2id settings (%1 iterations, %2 MiB, %3 lanes) are outside what Bitwarden "
                              "writes (1 to %4 iterations, %5 to %6 MiB, 1 to %7 lanes)")
            .arg(kdf.iterations)
            .arg(kdf.memoryMiB)
            .arg(kdf.parallelism)
            .arg(MaxArgon2Iterations)
            .arg(MinArgon2MemoryMiB)
            .arg(MaxArgon2MemoryMiB)
            .arg(MaxArgon2Parallelism);
    return {};
}

Keys deriveKeys(const QByteArray& password, const QByteArray& salt, const Kdf& kdf) {
    const QString refused = refusedKdf(kdf);
    if (!refused.isEmpty())
        throw ExchangeError(QStringLiteral("The file cannot be decrypted: %1.").arg(refused));
    QByteArray key(KeyBytes, '\0');
    if (kdf.type == Pbkdf2Sha256) {
        if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()), bytes(salt), int(salt.size()), kdf.iterations,
                              EVP_sha256(), KeyBytes, bytes(key)) != 1)
            cryptoFailure("PBKDF2");
    } else {
        // Argon2id takes the SHA-256 of the salt text, as Bitwarden does.
        QByteArray hashedSalt(SHA256_DIGEST_LENGTH, '\0');
        SHA256(bytes(salt), size_t(salt.size()), bytes(hashedSalt));
        if (argon2id_hash_raw(uint32_t(kdf.iterations), uint32_t(kdf.memoryMiB) * 1024u, uint32_t(kdf.parallelism),
                              password.constData(), size_t(password.size()), hashedSalt.constData(),
                              size_t(hashedSalt.size()), key.data(), size_t(key.size())) != ARGON2_OK)
            cryptoFailure("Argon2id");
    }
    Keys keys{hkdfExpand(key, "enc"), hkdfExpand(key, "mac")};
    OPENSSL_cleanse(key.data(), size_t(key.size()));
    return keys;
}

std::optional<QByteArray> open(const QByteArray& sealed, const Keys& keys) {
    const QList<QByteArray> parts = sealed.startsWith("2.") ? sealed.mid(2).split('|') : QList<QByteArray>();
    if (parts.size() != 3)
        throw ExchangeError(QStringLiteral("The encrypted content of the file is not of the kind Bitwarden writes "
                                           "(\"2.\" followed by three parts)."));
    const QByteArray iv = QByteArray::fromBase64(parts.at(0));
    const QByteArray data = QByteArray::fromBase64(parts.at(1));
    const QByteArray expected = QByteArray::fromBase64(parts.at(2));
    if (iv.size() != IvBytes || expected.size() != MacBytes || data.isEmpty() || data.size() % IvBytes != 0)
        throw ExchangeError(QStringLiteral("The encrypted content of the file is damaged."));
    const QByteArray actual = mac(keys.authentication, iv, data);
    if (CRYPTO_memcmp(actual.constData(), expected.constData(), size_t(MacBytes)) != 0)
        return std::nullopt;
    return aes(keys.encryption, iv, data, false);
}

QByteArray seal(const QByteArray& plain, const Keys& keys) {
    const QByteArray iv = randomBytes(IvBytes);
    const QByteArray data = aes(keys.encryption, iv, plain, true);
    return "2." + iv.toBase64() + '|' + data.toBase64() + '|' + mac(keys.authentication, iv, data).toBase64();
}

QByteArray randomBytes(int count) {
    QByteArray out(count, '\0');
    if (RAND_bytes(bytes(out), count) != 1)
        cryptoFailure("random numbers");
    return out;
}

} // namespace BitwardenCrypto
