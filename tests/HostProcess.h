#pragma once

// quillmere-browser-host run as the browser runs it: messages framed on its
// input, replies read from its output, while this process's own event loop
// keeps serving (the program's side may live in the test).
#include "browser/MessageFrames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

inline const QString BrowserHost = QStringLiteral(DELIVERED_DIR "/quillmere-browser-host");

class HostProcess {
public:
    explicit HostProcess(const QString& runtimeDir,
                         const QStringList& arguments = {"/path/to/manifest.json", "keepassxc-browser@keepassxc.org"}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtimeDir);
        process.setProcessEnvironment(environment);
        process.start(BrowserHost, arguments);
        process.waitForStarted();
    }
    ~HostProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    void write(const QByteArray& bytes) {
        process.write(bytes);
        process.waitForBytesWritten(5000);
    }
    // The next message on the host's output, or empty after timeoutMs.
    QByteArray next(int timeoutMs = 5000) {
        QElapsedTimer timer;
        timer.start();
        while (!frames.hasNext() && timer.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            process.waitForReadyRead(5);
            // Data may have been taken in by the event loop already: read whatever is there.
            frames.append(process.readAllStandardOutput());
            if (process.state() == QProcess::NotRunning) {
                frames.append(process.readAllStandardOutput());
                break;
            }
        }
        return frames.hasNext() ? frames.next() : QByteArray();
    }
    QByteArray send(const QByteArray& message, int timeoutMs = 5000) {
        write(MessageFrames::framed(message));
        return next(timeoutMs);
    }
    // Closes the host's input as a browser that goes away; true when it ended within timeoutMs.
    bool closeAndWait(int timeoutMs) {
        process.closeWriteChannel();
        return waitForEnd(timeoutMs);
    }
    bool waitForEnd(int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            process.waitForFinished(5);
        }
        return process.state() == QProcess::NotRunning;
    }

    QProcess process;
    MessageFrames frames;
};
