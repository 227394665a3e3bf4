#pragma once

// Runs the command-line program as a user or a script does.
#include "ProgramDirectory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

inline const QString Cli = QStringLiteral(DELIVERED_DIR "/quillmere-cli");

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program with the input given, or, for an input that starts with
// "file:", the rest of it as the file of its standard input.
inline Run runCli(const ProgramDirectory& dir, QStringList arguments, const QByteArray& input = "wren\n") {
    QProcess process;
    if (input.startsWith("file:"))
        process.setStandardInputFile(QString::fromUtf8(input.mid(5)));
    // Before the command, where options that every command takes may stand too.
    process.start(Cli, QStringList{"--folder", dir.path()} + arguments);
    if (!input.startsWith("file:"))
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

inline QJsonArray jsonArrayOf(const Run& run) {
    return QJsonDocument::fromJson(run.out.toUtf8()).array();
}
