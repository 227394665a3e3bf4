#pragma once

#include "ExtensionSession.h"
#include "MessageFrames.h"

#include <QObject>
#include <QString>
#include <map>
#include <memory>

class BrowserStore;
class ExtensionAsker;
class QLocalServer;
class QLocalSocket;

// The running program's side of the browser extension: listens on the
// user's private socket file for browser hosts, one session each. Before
// sign-in every request that needs the records is answered "not signed in".
class ExtensionServer : public QObject {
    Q_OBJECT
public:
    ExtensionServer(ExtensionAsker& asker, const QString& socketFile, QObject* parent = nullptr);
    ~ExtensionServer() override;

    // Starts listening; false, with error() telling why, when it cannot.
    bool listen();
    QString error() const { return m_error; }
    // Opens the record database for the sessions; false, with error(), when it cannot.
    bool signIn(const QString& databasePath);
    void signOut();
    int sessionCount() const { return int(m_clients.size()); }

private:
    struct Client {
        QLocalSocket* socket = nullptr;
        MessageFrames frames;
        std::unique_ptr<ExtensionSession> session;
        bool busy = false;
        bool gone = false;
    };

    void accept();
    void read(QLocalSocket* socket);
    void drop(QLocalSocket* socket);
    void notifyAll(bool locked);

    ExtensionAsker& m_asker;
    QString m_socketFile;
    QString m_error;
    QLocalServer* m_server = nullptr;
    std::unique_ptr<BrowserStore> m_store;
    std::map<QLocalSocket*, std::unique_ptr<Client>> m_clients;
};
