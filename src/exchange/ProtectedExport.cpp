#include "ProtectedExport.h"

#include "ExchangeError.h"
#include "JsonStream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUuid>

namespace ProtectedExport {

namespace {

const QString ValidationMember = QStringLiteral("encKeyValidation_DO_NOT_EDIT");
// The sealed export is one text of the file; it may be larger than any item.
constexpr qint64 MaxSealedBytes = qint64(1) << 30;

// The members of a protected export's top-level object, up to the first array:
// a plain export's folders or items come there, and are not read.
struct Envelope {
    bool encrypted = false;
    bool passwordProtected = false;
    QJsonObject members;
    QByteArray data;
};

Envelope readEnvelope(const QString& path, bool withData) {
    JsonStream stream(path);
    stream.enterObject();
    Envelope envelope;
    QString member;
    while (stream.nextMember(member)) {
        if (member == QLatin1String("data") && withData) {
            const QJsonDocument text = QJsonDocument::fromJson("[" + stream.rawValue(MaxSealedBytes) + "]");
            envelope.data = text.array().at(0).toString().toLatin1();
            continue;
        }
        if (member == QLatin1String("folders") || member == QLatin1String("items") ||
            member == QLatin1String("collections"))
            break;
        const QByteArray raw = stream.rawValue();
        const QJsonValue value = QJsonDocument::fromJson("[" + raw + "]").array().at(0);
        envelope.members.insert(member, value);
    }
    envelope.encrypted = envelope.members.value(QStringLiteral("encrypted")).toBool();
    envelope.passwordProtected = envelope.members.value(QStringLiteral("passwordProtected")).toBool();
    return envelope;
}

QByteArray saltOf(const QJsonObject& members) {
    return members.value(QStringLiteral("salt")).toString().toUtf8();
}

BitwardenCrypto::Kdf kdfOf(const QJsonObject& members) {
    BitwardenCrypto::Kdf kdf;
    kdf.type = members.value(QStringLiteral("kdfType")).toInt(BitwardenCrypto::Pbkdf2Sha256);
    kdf.iterations = members.value(QStringLiteral("kdfIterations")).toInt(0);
    kdf.memoryMiB = members.value(QStringLiteral("kdfMemory")).toInt(0);
    kdf.parallelism = members.value(QStringLiteral("kdfParallelism")).toInt(0);
    return kdf;
}

} // namespace

QString wrongPassword() {
    return QStringLiteral("The password is not the one this export was protected with. Nothing has been read.");
}

bool isPasswordProtected(const QString& path) {
    const Envelope envelope = readEnvelope(path, false);
    if (envelope.encrypted && !envelope.passwordProtected)
        throw ExchangeError(QStringLiteral(
            "This Bitwarden export is encrypted with the key of the Bitwarden account that made it (\"account "
            "restricted\"), so only that account can read it. In Bitwarden, export the vault again with the file "
            "format \"JSON (Encrypted)\" and the export type \"Password protected\" (or as plain \"JSON\"), and "
            "import that file."));
    return envelope.passwordProtected;
}

QByteArray unlock(const QString& path, const QString& password) {
    const Envelope envelope = readEnvelope(path, true);
    if (!envelope.passwordProtected)
        throw ExchangeError(QStringLiteral("This file is no password-protected Bitwarden export."));
    const QByteArray validation = envelope.members.value(ValidationMember).toString().toLatin1();
    if (validation.isEmpty() || envelope.data.isEmpty())
        throw ExchangeError(QStringLiteral("This password-protected Bitwarden export is damaged: it lacks %1.")
                                .arg(validation.isEmpty() ? ValidationMember : QStringLiteral("data")));
    const BitwardenCrypto::Keys keys =
        BitwardenCrypto::deriveKeys(password.toUtf8(), saltOf(envelope.members), kdfOf(envelope.members));
    if (!BitwardenCrypto::open(validation, keys))
        throw ExchangeError(wrongPassword());
    const std::optional<QByteArray> plain = BitwardenCrypto::open(envelope.data, keys);
    if (!plain)
        throw ExchangeError(QStringLiteral("The records of this export do not match its password check: the file "
                                           "has been changed or damaged."));
    return *plain;
}

QByteArray protect(const QByteArray& plainExport, const QString& password, const BitwardenCrypto::Kdf& kdf) {
    const QByteArray salt = BitwardenCrypto::randomBytes(16).toBase64();
    const BitwardenCrypto::Keys keys = BitwardenCrypto::deriveKeys(password.toUtf8(), salt, kdf);
    const bool argon2 = kdf.type == BitwardenCrypto::Argon2id;
    QJsonObject file{
        {"encrypted", true},
        {"passwordProtected", true},
        {"salt", QString::fromLatin1(salt)},
        {"kdfType", kdf.type},
        {"kdfIterations", kdf.iterations},
        {"kdfMemory", argon2 ? QJsonValue(kdf.memoryMiB) : QJsonValue()},
        {"kdfParallelism", argon2 ? QJsonValue(kdf.parallelism) : QJsonValue()},
        {ValidationMember, QString::fromLatin1(BitwardenCrypto::seal(
                               QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1(), keys))},
        {"data", QString::fromLatin1(BitwardenCrypto::seal(plainExport, keys))},
    };
    return QJsonDocument(file).toJson(QJsonDocument::Indented);
}

} // namespace ProtectedExport
