// The browser extension's get-logins, a whole round trip of the protocol: the
// request sealed as the extension seals it (libsodium), the program's session
// opening it, finding the page's logins through the website index, checking
// the remembered decision and sealing the reply, and the reply opened again.
// At 1,000, 100,000 and 1,000,000 accounts, each with a site of its own; the
// page asked for is one in the middle of the table. The other four tables take
// no part in a page's lookup and are left empty.
//
//   bench_browser [--benchmark_filter=...] [--cache DIR]   (DIR defaults to ./bench-data)
#include "BenchMain.h"
#include "browser/BrowserStore.h"
#include "browser/ExtensionAsker.h"
#include "browser/ExtensionSession.h"
#include "store/Migration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <SQLiteCpp/Database.h>
#include <sodium.h>

namespace {

QString g_cache;

class AllowingAsker : public ExtensionAsker {
public:
    std::optional<QString> confirmConnection(const ConnectionRequest&) override { return QStringLiteral("bench"); }
    AccessAnswer confirmAccess(const AccessRequest&) override { return {true, true}; }
    bool confirmNewLogin(const NewLoginRequest&) override { return false; }
};

// A record database of the newest layout with that many accounts, made once.
QString database(qint64 records) {
    const QString dir =
        QDir(g_cache).filePath(QStringLiteral("browser-%1-v%2").arg(records).arg(Migration::newestVersion()));
    const QString path = QDir(dir).filePath(QStringLiteral("password.mdb"));
    if (QFile::exists(QDir(dir).filePath(QStringLiteral("complete"))))
        return path;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec(Migration::schemaOfVersion(Migration::newestVersion()).toStdString());
        db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
        db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                               "INSERT INTO account (Account, Website, User, Password, Notes) SELECT 'Site ' || i, "
                               "'https://www.site' || i || '.example.com/login', 'user' || i, hex(randomblob(8)), "
                               "'' FROM n")
                    .arg(records)
                    .toStdString());
        db.exec("PRAGMA journal_mode=DELETE");
    }
    QFile complete(QDir(dir).filePath(QStringLiteral("complete")));
    complete.open(QIODevice::WriteOnly);
    return path;
}

QByteArray sealed(const QByteArray& plain, const QByteArray& nonce, const QByteArray& theirs, const QByteArray& mine) {
    QByteArray box(plain.size() + qsizetype(crypto_box_MACBYTES), 0);
    const auto* n = reinterpret_cast<const unsigned char*>(nonce.constData());
    if (crypto_box_easy(reinterpret_cast<unsigned char*>(box.data()),
                        reinterpret_cast<const unsigned char*>(plain.constData()), quint64(plain.size()), n,
                        reinterpret_cast<const unsigned char*>(theirs.constData()),
                        reinterpret_cast<const unsigned char*>(mine.constData())) != 0)
        return {};
    return box;
}

void getLogins(benchmark::State& state) {
    const qint64 records = state.range(0);
    BrowserStore store(database(records));
    AllowingAsker asker;
    ExtensionSession session(asker);
    session.setStore(&store);

    QByteArray clientPublic(crypto_box_PUBLICKEYBYTES, 0), clientSecret(crypto_box_SECRETKEYBYTES, 0);
    crypto_box_keypair(reinterpret_cast<unsigned char*>(clientPublic.data()),
                       reinterpret_cast<unsigned char*>(clientSecret.data()));
    QByteArray nonce(crypto_box_NONCEBYTES, 0);
    randombytes_buf(nonce.data(), size_t(nonce.size()));
    const QJsonObject keys =
        QJsonDocument::fromJson(session.reply(QJsonDocument(QJsonObject{{"action", "change-public-keys"},
                                                                        {"publicKey", QString(clientPublic.toBase64())},
                                                                        {"nonce", QString(nonce.toBase64())},
                                                                        {"clientID", "bench"}})
                                                  .toJson(QJsonDocument::Compact)))
            .object();
    const QByteArray hostPublic = QByteArray::fromBase64(keys.value("publicKey").toString().toLatin1());
    const auto request = [&](const QJsonObject& inner) {
        sodium_increment(reinterpret_cast<unsigned char*>(nonce.data()), size_t(nonce.size()));
        const QByteArray box =
            sealed(QJsonDocument(inner).toJson(QJsonDocument::Compact), nonce, hostPublic, clientSecret);
        const QJsonObject reply =
            QJsonDocument::fromJson(session.reply(QJsonDocument(QJsonObject{{"action", inner.value("action")},
                                                                            {"message", QString(box.toBase64())},
                                                                            {"nonce", QString(nonce.toBase64())},
                                                                            {"clientID", "bench"}})
                                                      .toJson(QJsonDocument::Compact)))
                .object();
        const QByteArray replyBox = QByteArray::fromBase64(reply.value("message").toString().toLatin1());
        const QByteArray replyNonce = QByteArray::fromBase64(reply.value("nonce").toString().toLatin1());
        QByteArray plain(qMax<qsizetype>(0, replyBox.size() - qsizetype(crypto_box_MACBYTES)), 0);
        if (replyBox.size() < qsizetype(crypto_box_MACBYTES) ||
            crypto_box_open_easy(reinterpret_cast<unsigned char*>(plain.data()),
                                 reinterpret_cast<const unsigned char*>(replyBox.constData()), quint64(replyBox.size()),
                                 reinterpret_cast<const unsigned char*>(replyNonce.constData()),
                                 reinterpret_cast<const unsigned char*>(hostPublic.constData()),
                                 reinterpret_cast<const unsigned char*>(clientSecret.constData())) != 0)
            return QJsonObject();
        return QJsonDocument::fromJson(plain).object();
    };
    const QString idKey = QString(clientPublic.toBase64());
    request({{"action", "associate"}, {"key", idKey}, {"idKey", idKey}});
    const QString page = QStringLiteral("https://site%1.example.com/account/login").arg(records / 2);
    const QJsonObject logins{
        {"action", "get-logins"}, {"url", page}, {"keys", QJsonArray{QJsonObject{{"id", "bench"}, {"key", idKey}}}}};
    // The first request asks, and the answer is remembered: every timed one finds it.
    if (request(logins).value("count").toString() != "1") {
        state.SkipWithError("the page's login was not found");
        return;
    }
    for (auto _ : state) {
        const QJsonObject reply = request(logins);
        if (reply.value("count").toString() != "1") {
            state.SkipWithError("the page's login was not found");
            return;
        }
    }
}

} // namespace

BENCHMARK(getLogins)->Name("browser/get_logins")->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (sodium_init() < 0)
        return 1;
    return runBenchmarks(argc, argv, g_cache);
}
