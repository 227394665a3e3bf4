#pragma once

#include "store/Connection.h"

#include <QList>
#include <QString>
#include <optional>

// What the browser extension's protocol reads and writes in the record
// database: the connections the user allowed, the remembered decisions, the
// accounts whose website serves a page, and a new account saved from a page.
// Throws StoreError on a failure, as the rest of the store.
class BrowserStore {
public:
    struct Link {
        QString name;  // what the user called the connection
        QString idKey; // the extension's identification key, base64
        QString created;
        QString lastUsed;
    };
    struct Login {
        qint64 key = 0;
        QString account, website, user, password;
    };
    struct Decision {
        QString site; // the page's origin, as SiteAddress::origin() gives it
        qint64 record = 0;
        QString account;
        bool allowed = false;
        QString decided;
    };

    explicit BrowserStore(const QString& databasePath);

    // The SHA-256 of this database's identity, made at the first call.
    QString databaseHash();

    QList<Link> links();
    std::optional<Link> link(const QString& name);
    void addLink(const QString& name, const QString& idKey);
    bool removeLink(const QString& name);
    void markUsed(const QString& name);

    // The accounts whose website's host is one of these, website not yet checked
    // against the page; a few rows read through the website index.
    QList<Login> loginsAtHost(const QStringList& hostKeys);
    std::optional<bool> decision(const QString& site, qint64 record);
    void remember(const QString& site, qint64 record, bool allowed);
    QList<Decision> decisions();
    // Forgets the decisions of a site; the number forgotten.
    int forgetSite(const QString& site);

    // A new account record; its key.
    qint64 addLogin(const QString& account, const QString& website, const QString& user, const QString& password);

private:
    QString now() const;

    Connection m_connection;
    QString m_hash; // read once: the identity never changes
};
