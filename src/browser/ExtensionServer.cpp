#include "ExtensionServer.h"

#include "BrowserStore.h"
#include "SocketPath.h"
#include "store/StoreError.h"

#include <QLocalServer>
#include <QLocalSocket>

ExtensionServer::ExtensionServer(ExtensionAsker& asker, const QString& socketFile, QObject* parent)
    : QObject(parent), m_asker(asker), m_socketFile(socketFile) {}

ExtensionServer::~ExtensionServer() {
    for (auto& [socket, client] : m_clients)
        socket->disconnect(this);
    m_clients.clear();
}

bool ExtensionServer::listen() {
    if (m_socketFile.isEmpty()) {
        m_error = QStringLiteral("XDG_RUNTIME_DIR is not set: the browser extension cannot reach the program.");
        return false;
    }
    if (m_error = SocketPath::preparePrivateFolder(m_socketFile); !m_error.isEmpty())
        return false;
    // Another running copy keeps its socket; a socket left by a program that ended is replaced.
    QLocalSocket probe;
    probe.connectToServer(m_socketFile);
    if (probe.waitForConnected(200)) {
        m_error = QStringLiteral("Another Quillmere already serves the browser extension.");
        return false;
    }
    QLocalServer::removeServer(m_socketFile);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketFile)) {
        m_error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &ExtensionServer::accept);
    return true;
}

bool ExtensionServer::signIn(const QString& databasePath) {
    try {
        m_store = std::make_unique<BrowserStore>(databasePath);
    } catch (const StoreError& e) {
        m_error = e.message();
        return false;
    }
    for (auto& [socket, client] : m_clients)
        client->session->setStore(m_store.get());
    notifyAll(false);
    return true;
}

void ExtensionServer::signOut() {
    for (auto& [socket, client] : m_clients)
        client->session->setStore(nullptr);
    m_store.reset();
    notifyAll(true);
}

void ExtensionServer::notifyAll(bool locked) {
    for (auto& [socket, client] : m_clients)
        if (!client->gone)
            socket->write(MessageFrames::framed(ExtensionSession::lockedNotice(locked)));
}

void ExtensionServer::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->session = std::make_unique<ExtensionSession>(m_asker);
        client->session->setStore(m_store.get());
        m_clients[socket] = std::move(client);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        read(socket);
    }
}

void ExtensionServer::read(QLocalSocket* socket) {
    const auto found = m_clients.find(socket);
    if (found == m_clients.end())
        return;
    Client& client = *found->second;
    // A question to the user runs an event loop: what arrives meanwhile waits for this turn.
    if (client.busy || client.gone)
        return;
    client.busy = true;
    do {
        client.frames.append(socket->readAll());
        while (client.frames.hasNext() && !client.gone)
            socket->write(MessageFrames::framed(client.session->reply(client.frames.next())));
        if (client.frames.failed())
            client.gone = true;
    } while (!client.gone && socket->bytesAvailable() > 0);
    client.busy = false;
    if (client.gone)
        drop(socket);
}

void ExtensionServer::drop(QLocalSocket* socket) {
    const auto found = m_clients.find(socket);
    if (found == m_clients.end())
        return;
    found->second->gone = true;
    if (found->second->busy)
        return; // read() drops it when its turn ends
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_clients.erase(found);
}
