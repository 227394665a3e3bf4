#pragma once

#include "browser/ExtensionAsker.h"

#include <QList>
#include <QStringList>

// Answers the protocol's questions from a script and records them.
class ScriptedAsker : public ExtensionAsker {
public:
    std::optional<QString> confirmConnection(const ConnectionRequest& request) override {
        connectionRequests << request.keyFingerprint;
        return connectionName;
    }
    AccessAnswer confirmAccess(const AccessRequest& request) override {
        accessRequests << request;
        return access;
    }
    bool confirmNewLogin(const NewLoginRequest& request) override {
        newLogins << request.site + QLatin1Char(' ') + request.user;
        return saveLogin;
    }

    std::optional<QString> connectionName = QStringLiteral("Firefox");
    AccessAnswer access{true, true};
    bool saveLogin = true;
    QStringList connectionRequests;
    QList<AccessRequest> accessRequests;
    QStringList newLogins;
};
