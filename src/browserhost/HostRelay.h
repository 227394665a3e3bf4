#pragma once

#include "browser/MessageFrames.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The browser host's work: messages from the browser (on input) go to the
// running program's socket, its replies and notices come back (on output).
// When the program cannot be reached, or goes away before it answered, each
// request is answered at once with the protocol's "not running" error, so the
// extension never waits in vain. Nothing it relays is ever written elsewhere.
class HostRelay {
public:
    HostRelay(int input, int output, QString socketFile);
    ~HostRelay();
    // Relays until the browser closes the input, or sends what cannot be a
    // message; the process's exit status.
    int run();

private:
    struct Pending {
        QString action;
        QByteArray nonce;
    };
    bool fromBrowser();
    void fromProgram();
    void relay(const QByteArray& message);
    bool connectToProgram();
    void closeProgram();
    bool writeAll(int fd, const QByteArray& bytes);
    void answerPendingWithError();

    int m_input;
    int m_output;
    QString m_socketFile;
    int m_program = -1;
    MessageFrames m_browserFrames;
    MessageFrames m_programFrames;
    QList<Pending> m_pending;
};
