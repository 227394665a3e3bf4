#include "BrowserStore.h"

#include "NaclBox.h"

#include <QDateTime>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

namespace {

std::string text(const QString& value) {
    return value.toStdString();
}

QString column(SQLite::Statement& statement, int index) {
    return QString::fromStdString(statement.getColumn(index).getString());
}

} // namespace

BrowserStore::BrowserStore(const QString& databasePath) : m_connection(databasePath) {
    if (m_connection.version() < 2)
        throw StoreError(QStringLiteral("The database file %1 has no place for browser connections yet; start the "
                                        "program once to bring it up to date.")
                             .arg(databasePath));
}

QString BrowserStore::now() const {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString BrowserStore::databaseHash() {
    if (!m_hash.isEmpty())
        return m_hash;
    try {
        SQLite::Database& db = m_connection.db();
        SQLite::Statement read(db, R"(SELECT "id" FROM "_browserIdentity" LIMIT 1)");
        if (read.executeStep())
            return m_hash = NaclBox::sha256Hex(QByteArray::fromStdString(read.getColumn(0).getString()));
        const QByteArray id = NaclBox::randomBytes(32).toHex();
        SQLite::Statement write(db, R"(INSERT INTO "_browserIdentity" ("id") VALUES (?))");
        write.bind(1, id.toStdString());
        write.exec();
        return m_hash = NaclBox::sha256Hex(id);
    } catch (const StoreError&) {
        throw;
    } catch (const std::exception& e) {
        throw StoreError(m_connection.failure(QStringLiteral("cannot keep its identity"), e));
    }
}

QList<BrowserStore::Link> BrowserStore::links() {
    QList<Link> all;
    SQLite::Statement read(m_connection.db(),
                           R"(SELECT "name", "idKey", "created", coalesce("lastUsed", '') FROM "_browserConnections"
                              ORDER BY "name")");
    while (read.executeStep())
        all.append({column(read, 0), column(read, 1), column(read, 2), column(read, 3)});
    return all;
}

std::optional<BrowserStore::Link> BrowserStore::link(const QString& name) {
    SQLite::Statement read(m_connection.db(),
                           R"(SELECT "name", "idKey", "created", coalesce("lastUsed", '') FROM "_browserConnections"
                              WHERE "name" = ?)");
    read.bind(1, text(name));
    if (!read.executeStep())
        return std::nullopt;
    return Link{column(read, 0), column(read, 1), column(read, 2), column(read, 3)};
}

void BrowserStore::addLink(const QString& name, const QString& idKey) {
    try {
        SQLite::Statement write(m_connection.db(),
                                R"(INSERT OR REPLACE INTO "_browserConnections" ("name", "idKey", "created")
                                   VALUES (?, ?, ?))");
        write.bind(1, text(name));
        write.bind(2, text(idKey));
        write.bind(3, text(now()));
        write.exec();
    } catch (const std::exception& e) {
        throw StoreError(m_connection.failure(QStringLiteral("cannot keep the connection"), e));
    }
}

bool BrowserStore::removeLink(const QString& name) {
    SQLite::Statement write(m_connection.db(), R"(DELETE FROM "_browserConnections" WHERE "name" = ?)");
    write.bind(1, text(name));
    return write.exec() > 0;
}

void BrowserStore::markUsed(const QString& name) {
    SQLite::Statement write(m_connection.db(), R"(UPDATE "_browserConnections" SET "lastUsed" = ? WHERE "name" = ?)");
    write.bind(1, text(now()));
    write.bind(2, text(name));
    write.exec();
}

QList<BrowserStore::Login> BrowserStore::loginsAtHost(const QStringList& hostKeys) {
    QList<Login> found;
    SQLite::Statement read(m_connection.db(), R"(SELECT a."_key", a."Account", a."Website", a."User", a."Password"
        FROM "_accountSites" s JOIN "account" a ON a."_key" = s."record" WHERE s."site" = ? ORDER BY a."_key")");
    for (const QString& host : hostKeys) {
        read.reset();
        read.bind(1, text(host));
        while (read.executeStep())
            found.append(
                {read.getColumn(0).getInt64(), column(read, 1), column(read, 2), column(read, 3), column(read, 4)});
    }
    return found;
}

std::optional<bool> BrowserStore::decision(const QString& site, qint64 record) {
    SQLite::Statement read(m_connection.db(),
                           R"(SELECT "allowed" FROM "_browserDecisions" WHERE "site" = ? AND "record" = ?)");
    read.bind(1, text(site));
    read.bind(2, int64_t(record));
    if (!read.executeStep())
        return std::nullopt;
    return read.getColumn(0).getInt() != 0;
}

void BrowserStore::remember(const QString& site, qint64 record, bool allowed) {
    try {
        SQLite::Statement write(m_connection.db(),
                                R"(INSERT OR REPLACE INTO "_browserDecisions" ("site", "record", "allowed", "decided")
                                   VALUES (?, ?, ?, ?))");
        write.bind(1, text(site));
        write.bind(2, int64_t(record));
        write.bind(3, allowed ? 1 : 0);
        write.bind(4, text(now()));
        write.exec();
    } catch (const std::exception& e) {
        throw StoreError(m_connection.failure(QStringLiteral("cannot keep the decision"), e));
    }
}

QList<BrowserStore::Decision> BrowserStore::decisions() {
    QList<Decision> all;
    SQLite::Statement read(m_connection.db(),
                           R"(SELECT d."site", d."record", coalesce(a."Account", ''), d."allowed", d."decided"
                              FROM "_browserDecisions" d LEFT JOIN "account" a ON a."_key" = d."record"
                              ORDER BY d."site", d."record")");
    while (read.executeStep())
        all.append({column(read, 0), read.getColumn(1).getInt64(), column(read, 2), read.getColumn(3).getInt() != 0,
                    column(read, 4)});
    return all;
}

int BrowserStore::forgetSite(const QString& site) {
    SQLite::Statement write(m_connection.db(), R"(DELETE FROM "_browserDecisions" WHERE "site" = ?)");
    write.bind(1, text(site));
    return write.exec();
}

qint64 BrowserStore::addLogin(const QString& account, const QString& website, const QString& user,
                              const QString& password) {
    try {
        SQLite::Statement write(m_connection.db(),
                                R"(INSERT INTO "account" ("Account", "Website", "User", "Password", "Notes")
                                   VALUES (?, ?, ?, ?, ''))");
        write.bind(1, text(account));
        write.bind(2, text(website));
        write.bind(3, text(user));
        write.bind(4, text(password));
        write.exec();
        return m_connection.db().getLastInsertRowid();
    } catch (const std::exception& e) {
        throw StoreError(m_connection.failure(QStringLiteral("cannot save the new login"), e));
    }
}
