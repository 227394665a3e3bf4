// The browser extension's protocol, in-process: a client sealing with libsodium
// on one side, the program's session on a copy of the delivered database on the
// other. Pairing, the matching of pages to records, remembered decisions,
// errors, and what is answered before sign-in.
#include "ExtensionClient.h"
#include "ProgramDirectory.h"
#include "ScriptedAsker.h"
#include "browser/BrowserStore.h"
#include "browser/ExtensionSession.h"
#include "store/Migration.h"

#include <QTest>
#include <SQLiteCpp/Database.h>

namespace {

// A copy of the delivered files with one account, a store on it, and a paired client.
struct Setup {
    explicit Setup(const QString& website = QStringLiteral("https://books.example.org")) {
        dir.exec("password.mdb", "DELETE FROM account");
        if (!website.isEmpty())
            addLogin("Books", website, "reader", "s3cret-books");
        store = std::make_unique<BrowserStore>(dir.recordDatabase());
        session.setStore(store.get());
    }
    void addLogin(const QString& account, const QString& website, const QString& user, const QString& password) {
        dir.exec("password.mdb", QStringLiteral("INSERT INTO account (Account, Website, User, Password) VALUES "
                                                "('%1', '%2', '%3', '%4')")
                                     .arg(account, website, user, password));
    }
    ExtensionClient pairedClient() {
        ExtensionClient client([this](const QByteArray& m) { return session.reply(m); });
        client.changeKeys();
        client.associate();
        return client;
    }
    ProgramDirectory dir;
    ScriptedAsker asker;
    ExtensionSession session{asker};
    std::unique_ptr<BrowserStore> store;
};

int errorCode(const QJsonObject& reply) {
    return reply.contains("errorCode") ? reply.value("errorCode").toInt() : -1;
}

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    // One pairing: the key exchange, the user's name for the connection, and
    // the hash the extension keeps the connection under.
    void pairingKeepsTheConnectionTheUserNamed() {
        Setup setup;
        ExtensionClient client([&](const QByteArray& m) { return setup.session.reply(m); });
        const QJsonObject keys = client.changeKeys();
        QCOMPARE(keys.value("success").toString(), "true");
        QVERIFY(keys.value("version").toString() >= "2.3.4");
        QCOMPARE(QByteArray::fromBase64(keys.value("publicKey").toString().toLatin1()).size(), 32);

        const QJsonObject hash = client.request({{"action", "get-databasehash"}});
        QCOMPARE(hash.value("hash").toString().size(), 64);
        const QJsonObject paired = client.associate();
        QCOMPARE(paired.value("success").toString(), "true");
        QCOMPARE(paired.value("id").toString(), "Firefox");
        QCOMPARE(paired.value("hash").toString(), hash.value("hash").toString());
        QCOMPARE(setup.asker.connectionRequests.size(), 1);
        QCOMPARE(setup.store->link("Firefox")->idKey, ExtensionClient::b64(client.idPublic));
        QCOMPARE(client.testAssociate().value("id").toString(), "Firefox");

        // A later session of the same browser proves the kept key, without a question.
        ExtensionSession later(setup.asker);
        later.setStore(setup.store.get());
        ExtensionClient again([&](const QByteArray& m) { return later.reply(m); });
        again.idPublic = client.idPublic;
        again.id = client.id;
        again.changeKeys();
        QCOMPARE(again.testAssociate().value("success").toString(), "true");
        QCOMPARE(again.logins("https://books.example.org/login").value("count").toString(), "1");
        QCOMPARE(setup.asker.connectionRequests.size(), 1);
        // The hash stays the same across sessions and program starts.
        QCOMPARE(BrowserStore(setup.dir.recordDatabase()).databaseHash(), hash.value("hash").toString());
    }

    // A key that was never paired, or was paired and then denied, gets nothing.
    void unpairedKeysGetNothing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("never paired") << "never";
        QTest::newRow("pairing denied") << "denied";
        QTest::newRow("right name, other key") << "other key";
        QTest::newRow("connection forgotten") << "forgotten";
    }
    void unpairedKeysGetNothing() {
        QFETCH(QString, how);
        Setup setup;
        ExtensionClient client([&](const QByteArray& m) { return setup.session.reply(m); });
        client.changeKeys();
        if (how == "denied") {
            setup.asker.connectionName.reset();
            QCOMPARE(errorCode(client.associate()), 6);
            client.id = "Firefox";
        } else if (how == "other key") {
            client.associate();
            client.idPublic = ExtensionClient::randomNonce().left(32);
        } else if (how == "forgotten") {
            client.associate();
            QVERIFY(setup.store->removeLink("Firefox"));
        } else {
            client.id = "Firefox";
        }
        QCOMPARE(errorCode(client.testAssociate()), 8);
        const QJsonObject logins = client.logins("https://books.example.org/");
        QCOMPARE(errorCode(logins), 8);
        QVERIFY(!client.lastReplyText.contains("s3cret"));
        QVERIFY(setup.asker.accessRequests.isEmpty());
        QCOMPARE(setup.store->links().size(), how == "other key" ? 1 : 0);
    }

    // Which pages a record's Website fills: scheme, host and port, never a page
    // that only looks like the site. A page that gets nothing asks nothing.
    void pagesFillOnlyFromTheirOwnSite_data() {
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("fills");
        const QString site = "https://books.example.org";
        QTest::newRow("same site") << site << "https://books.example.org/" << true;
        QTest::newRow("another path") << site << "https://books.example.org/account/login?next=1#top" << true;
        QTest::newRow("www. on the page") << site << "https://www.books.example.org/login" << true;
        QTest::newRow("www. in the record") << "https://www.books.example.org"
                                            << "https://books.example.org/" << true;
        QTest::newRow("letter case") << "HTTPS://Books.Example.ORG/"
                                     << "https://books.example.org/x" << true;
        QTest::newRow("the scheme's own port") << site << "https://books.example.org:443/" << true;
        QTest::newRow("no scheme, https page") << "books.example.org"
                                               << "https://books.example.org/" << true;
        QTest::newRow("no scheme, http page") << "books.example.org/login"
                                              << "http://books.example.org/" << true;
        QTest::newRow("port in the record") << "books.example.org:8443"
                                            << "https://books.example.org:8443/" << true;
        QTest::newRow("http page, https record") << site << "http://books.example.org/" << false;
        QTest::newRow("another port") << site << "https://books.example.org:8443/" << false;
        QTest::newRow("no scheme, another port") << "books.example.org"
                                                 << "https://books.example.org:8443/" << false;
        QTest::newRow("record's port, page without") << "books.example.org:8443"
                                                     << "https://books.example.org/" << false;
        QTest::newRow("host as a prefix") << site << "https://books.example.org.attacker.test/" << false;
        QTest::newRow("host in the path") << site << "https://attacker.test/books.example.org" << false;
        QTest::newRow("host in the query") << site << "https://attacker.test/?u=https://books.example.org" << false;
        QTest::newRow("host as the user") << site << "https://books.example.org@attacker.test/" << false;
        QTest::newRow("a sub-domain") << site << "https://evil.books.example.org/" << false;
        QTest::newRow("a parent domain") << site << "https://example.org/" << false;
        QTest::newRow("a longer host") << site << "https://xbooks.example.org/" << false;
        QTest::newRow("ftp page") << "books.example.org"
                                  << "ftp://books.example.org/" << false;
        QTest::newRow("file page") << site << "file:///books.example.org" << false;
    }
    void pagesFillOnlyFromTheirOwnSite() {
        QFETCH(QString, website);
        QFETCH(QString, page);
        QFETCH(bool, fills);
        Setup setup(website);
        ExtensionClient client = setup.pairedClient();
        const QJsonObject reply = client.logins(page);
        if (fills) {
            QCOMPARE(reply.value("count").toString(), "1");
            const QJsonObject entry = reply.value("entries").toArray().first().toObject();
            QCOMPARE(entry.value("login").toString(), "reader");
            QCOMPARE(entry.value("password").toString(), "s3cret-books");
            QCOMPARE(setup.asker.accessRequests.size(), 1);
        } else {
            QCOMPARE(errorCode(reply), 15);
            QVERIFY(setup.asker.accessRequests.isEmpty());
        }
        // The password never crosses the pipe in clear.
        QVERIFY(!client.lastReplyText.contains("s3cret"));
        QVERIFY(!client.lastReplyText.contains("reader"));
    }

    // Several records of one site all go to the extension's chooser; a record
    // of another site is not among them.
    void everyMatchingRecordIsReturned() {
        Setup setup;
        setup.addLogin("Books 2", "books.example.org/other", "second", "pw2");
        setup.addLogin("Other", "https://news.example.org", "third", "pw3");
        ExtensionClient client = setup.pairedClient();
        const QJsonObject reply = client.logins("https://books.example.org/login");
        QCOMPARE(reply.value("count").toString(), "2");
        QStringList users;
        for (const QJsonValue& entry : reply.value("entries").toArray())
            users << entry.toObject().value("login").toString();
        QCOMPARE(users, QStringList({"reader", "second"}));
        QCOMPARE(setup.asker.accessRequests.first().records.size(), 2);
        QCOMPARE(setup.asker.accessRequests.first().site, "https://books.example.org");
    }

    // The first request of a site asks; a remembered answer is kept in the
    // record database for every later session, one not remembered lasts
    // for the session only.
    void decisionsAreRememberedWhenTheUserSaysSo_data() {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("remember");
        QTest::newRow("allowed, remembered") << true << true;
        QTest::newRow("denied, remembered") << false << true;
        QTest::newRow("allowed once") << true << false;
        QTest::newRow("denied once") << false << false;
    }
    void decisionsAreRememberedWhenTheUserSaysSo() {
        QFETCH(bool, allowed);
        QFETCH(bool, remember);
        Setup setup;
        setup.asker.access = {allowed, remember};
        ExtensionClient client = setup.pairedClient();
        for (int i = 0; i < 2; ++i) {
            const QJsonObject reply = client.logins("https://books.example.org/");
            QCOMPARE(allowed ? reply.value("count").toString() : QString::number(errorCode(reply)),
                     allowed ? "1" : "6");
        }
        QCOMPARE(setup.asker.accessRequests.size(), 1);

        ExtensionSession later(setup.asker);
        later.setStore(setup.store.get());
        ExtensionClient again([&](const QByteArray& m) { return later.reply(m); });
        again.idPublic = client.idPublic;
        again.id = client.id;
        again.changeKeys();
        setup.asker.access = {!allowed, false};
        const QJsonObject reply = again.logins("https://books.example.org/");
        const bool filled = reply.value("success").toString() == "true";
        QCOMPARE(filled, remember ? allowed : !allowed);
        QCOMPARE(setup.asker.accessRequests.size(), remember ? 1 : 2);
        QCOMPARE(setup.store->decisions().size(), remember ? 1 : 0);
        // Another site of the same record is asked about on its own.
        if (remember)
            QCOMPARE(setup.store->decision("http://books.example.org", setup.store->decisions().first().record),
                     std::nullopt);
    }

    // A record whose website changes, or that is deleted, loses its decisions.
    void aChangedRecordIsAskedAboutAgain() {
        Setup setup;
        ExtensionClient client = setup.pairedClient();
        QCOMPARE(client.logins("https://books.example.org/").value("count").toString(), "1");
        QCOMPARE(setup.store->decisions().size(), 1);
        setup.dir.exec("password.mdb", "UPDATE account SET Website = 'https://books.example.org/new'");
        QCOMPARE(setup.store->decisions().size(), 0);
        QCOMPARE(client.logins("https://books.example.org/").value("count").toString(), "1");
        QCOMPARE(setup.asker.accessRequests.size(), 2);
        setup.dir.exec("password.mdb", "DELETE FROM account");
        QCOMPARE(setup.store->decisions().size(), 0);
        QCOMPARE(errorCode(client.logins("https://books.example.org/")), 15);
    }

    // Bad requests get the protocol's error, never a crash nor a record.
    void badRequestsGetTheProtocolsError_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("code");
        QTest::newRow("not JSON") << "garbage" << 12;
        QTest::newRow("empty") << "empty" << 13;
        QTest::newRow("before the key exchange") << "no keys" << 3;
        QTest::newRow("short public key") << "short key" << 3;
        QTest::newRow("short nonce") << "short nonce" << 4;
        QTest::newRow("nonce sent again") << "replay" << 4;
        QTest::newRow("wrong nonce") << "wrong nonce" << 4;
        QTest::newRow("box changed") << "tampered" << 4;
        QTest::newRow("sealed for another key") << "other sender" << 4;
        QTest::newRow("unknown action") << "unknown" << 12;
        QTest::newRow("inner action differs") << "mismatch" << 12;
        QTest::newRow("get-logins without an address") << "no url" << 14;
        QTest::newRow("associate with another session's key") << "foreign key" << 8;
    }
    void badRequestsGetTheProtocolsError() {
        QFETCH(QString, kind);
        QFETCH(int, code);
        Setup setup;
        ExtensionClient client([&](const QByteArray& m) { return setup.session.reply(m); });
        QJsonObject reply;
        if (kind == "garbage") {
            reply = QJsonDocument::fromJson(setup.session.reply("\x01{not json")).object();
        } else if (kind == "empty") {
            reply = QJsonDocument::fromJson(setup.session.reply("")).object();
        } else if (kind == "no keys") {
            reply = client.request({{"action", "get-databasehash"}});
        } else if (kind == "short key") {
            reply = client.send({{"action", "change-public-keys"},
                                 {"publicKey", ExtensionClient::b64(QByteArray(31, 'k'))},
                                 {"nonce", ExtensionClient::b64(ExtensionClient::randomNonce())}});
        } else {
            client.changeKeys();
            client.associate();
            const QByteArray nonce = ExtensionClient::randomNonce();
            QJsonObject sealed = client.sealedRequest({{"action", "get-databasehash"}}, nonce);
            if (kind == "short nonce")
                sealed["nonce"] = ExtensionClient::b64(nonce.left(16));
            else if (kind == "wrong nonce")
                sealed["nonce"] = ExtensionClient::b64(ExtensionClient::randomNonce());
            else if (kind == "tampered") {
                QByteArray box = QByteArray::fromBase64(sealed["message"].toString().toLatin1());
                box[box.size() - 1] = char(box[box.size() - 1] ^ 1);
                sealed["message"] = ExtensionClient::b64(box);
            } else if (kind == "other sender") {
                ExtensionClient stranger([&](const QByteArray& m) { return setup.session.reply(m); });
                stranger.changeKeys();
                // The session keeps the keys of the last exchange: the stranger's box no longer opens.
                client.changeKeys();
                sealed = stranger.sealedRequest({{"action", "get-databasehash"}}, nonce);
            } else if (kind == "replay") {
                QCOMPARE(client.opened(client.send(sealed), nonce).value("success").toString(), "true");
            } else if (kind == "unknown") {
                sealed = client.sealedRequest({{"action", "delete-everything"}}, nonce);
            } else if (kind == "mismatch") {
                sealed = client.sealedRequest({{"action", "get-databasehash"}}, nonce);
                sealed["action"] = "get-logins";
            } else if (kind == "no url") {
                reply = client.request(
                    {{"action", "get-logins"},
                     {"keys",
                      QJsonArray{QJsonObject{{"id", client.id}, {"key", ExtensionClient::b64(client.idPublic)}}}}});
            } else if (kind == "foreign key") {
                reply = client.request({{"action", "associate"},
                                        {"key", ExtensionClient::b64(ExtensionClient::randomNonce().left(32))},
                                        {"idKey", ExtensionClient::b64(client.idPublic)}});
            }
            if (reply.isEmpty())
                reply = client.send(sealed);
        }
        QCOMPARE(errorCode(reply), code);
        QVERIFY(!reply.value("error").toString().isEmpty());
        QVERIFY(!reply.contains("message"));
        QVERIFY(setup.asker.accessRequests.isEmpty());
    }

    // Before sign-in the key exchange works and every request of the records is
    // answered "not signed in"; after it the same session is served.
    void requestsBeforeSignInAreAnsweredNotSignedIn() {
        Setup setup;
        ExtensionSession session(setup.asker);
        ExtensionClient client([&](const QByteArray& m) { return session.reply(m); });
        QCOMPARE(client.changeKeys().value("success").toString(), "true");
        for (const char* action : {"get-databasehash", "associate", "test-associate", "get-logins", "set-login"})
            QCOMPARE(errorCode(client.request({{"action", action}})), 1);
        QVERIFY(setup.asker.connectionRequests.isEmpty());
        session.setStore(setup.store.get());
        QCOMPARE(client.associate().value("success").toString(), "true");
        QCOMPARE(client.logins("https://books.example.org/").value("count").toString(), "1");
        session.setStore(nullptr);
        QCOMPARE(errorCode(client.logins("https://books.example.org/")), 1);
        QCOMPARE(QJsonDocument::fromJson(ExtensionSession::lockedNotice(true)).object().value("action").toString(),
                 "database-locked");
    }

    // A login the browser offers to save becomes an account after the user
    // agrees, and fills its page from then on; refused, nothing is written.
    void savedLoginBecomesAnAccount_data() {
        QTest::addColumn<bool>("agreed");
        QTest::addColumn<bool>("proven");
        QTest::newRow("agreed") << true << true;
        QTest::newRow("refused") << false << true;
        QTest::newRow("connection not proven in this session") << true << false;
    }
    void savedLoginBecomesAnAccount() {
        QFETCH(bool, agreed);
        QFETCH(bool, proven);
        Setup setup{QString()};
        ExtensionClient client = setup.pairedClient();
        if (!proven) {
            // A new session that only knows the connection's name.
            ExtensionSession other(setup.asker);
            other.setStore(setup.store.get());
            ExtensionClient stranger([&](const QByteArray& m) { return other.reply(m); });
            stranger.changeKeys();
            const QJsonObject reply = stranger.request({{"action", "set-login"},
                                                        {"url", "https://shop.example.net/signup"},
                                                        {"id", "Firefox"},
                                                        {"login", "buyer"},
                                                        {"password", "n3w-pass"}});
            QCOMPARE(errorCode(reply), 8);
            QVERIFY(setup.asker.newLogins.isEmpty());
            QCOMPARE(setup.dir.count("account"), 0);
            return;
        }
        setup.asker.saveLogin = agreed;
        const QJsonObject reply = client.request({{"action", "set-login"},
                                                  {"url", "https://shop.example.net/signup"},
                                                  {"id", client.id},
                                                  {"login", "buyer"},
                                                  {"password", "n3w-pass"}});
        QCOMPARE(setup.asker.newLogins, QStringList{"https://shop.example.net buyer"});
        QCOMPARE(reply.value("success").toString(), agreed ? "true" : "false");
        QCOMPARE(setup.dir.count("account"), agreed ? 1 : 0);
        if (!agreed)
            return;
        QCOMPARE(setup.dir.query("password.mdb", "SELECT Website || ' ' || User || ' ' || Password FROM account"),
                 "https://shop.example.net buyer n3w-pass");
        const QJsonObject logins = client.logins("https://shop.example.net/login");
        QCOMPARE(logins.value("entries").toArray().first().toObject().value("password").toString(), "n3w-pass");
        QVERIFY(setup.asker.accessRequests.isEmpty());
    }

    // A generated password arrives sealed, and differs each time.
    void generatedPasswordsAreSealed() {
        Setup setup;
        ExtensionClient client = setup.pairedClient();
        const QString first = client.request({{"action", "generate-password"}})
                                  .value("entries")
                                  .toArray()
                                  .first()
                                  .toObject()
                                  .value("password")
                                  .toString();
        QCOMPARE(first.size(), 20);
        QVERIFY(!client.lastReplyText.contains(first.toLatin1()));
        const QString second = client.request({{"action", "generate-password"}})
                                   .value("entries")
                                   .toArray()
                                   .first()
                                   .toObject()
                                   .value("password")
                                   .toString();
        QVERIFY(first != second);
    }

    // A file of the earlier layout gets the website index of the accounts it
    // holds from the start's migration, and its pages fill.
    void migratedFileFindsItsAccounts() {
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        {
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(1).toStdString());
            db.exec("INSERT INTO account (Account, Website, User, Password) VALUES "
                    "('Books', 'https://www.Books.example.org:443/x', 'reader', 'pw')");
        }
        QVERIFY(Migration::migrate(path).migrated);
        QCOMPARE(Migration::versionOf(path), Migration::newestVersion());
        BrowserStore store(path);
        QCOMPARE(store.loginsAtHost({"books.example.org"}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestBrowser)
#include "test_browser.moc"
