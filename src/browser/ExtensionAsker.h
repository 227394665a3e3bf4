#pragma once

#include <QList>
#include <QString>
#include <optional>

// How the protocol asks the user. The desktop shows a window for each
// question; tests answer from a script.
class ExtensionAsker {
public:
    struct ConnectionRequest {
        QString clientId;       // the browser's own name for this session
        QString keyFingerprint; // a short hexadecimal digest of the key it wants to keep
    };
    struct Record {
        qint64 key = 0;
        QString account;
        QString user;
    };
    struct AccessRequest {
        QString connection; // the name the user gave the connection
        QString site;       // the page's origin
        QString page;       // the page's full address
        QList<Record> records;
    };
    struct AccessAnswer {
        bool allowed = false;
        bool remember = false;
    };
    struct NewLoginRequest {
        QString connection;
        QString site;
        QString user;
    };

    virtual ~ExtensionAsker() = default;
    // The name the user gives the new connection, or nothing when the user denies it.
    virtual std::optional<QString> confirmConnection(const ConnectionRequest& request) = 0;
    virtual AccessAnswer confirmAccess(const AccessRequest& request) = 0;
    virtual bool confirmNewLogin(const NewLoginRequest& request) = 0;
};
