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

// Runs the program with these arguments and the input given, or, for an input
// that starts with "file:", the rest of it as the file of its standard input.
// A configuration folder given stands for the computer's own (its identity).
inline Run runProgram(const QStringList& arguments, const QByteArray& input, const QString& configHome = {}) {
    QProcess process;
    if (!configHome.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", configHome);
        process.setProcessEnvironment(environment);
    }
    if (input.startsWith("file:"))
        process.setStandardInputFile(QString::fromUtf8(input.mid(5)));
    process.start(Cli, arguments);
    if (!input.startsWith("file:"))
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// The program on a directory's files, its folder given before the command, where
// options that every command takes may stand too.
inline Run runCli(const ProgramDirectory& dir, const QStringList& arguments, const QByteArray& input = "wren\n") {
    return runProgram(QStringList{"--folder", dir.path()} + arguments, input);
}

inline QJsonArray jsonArrayOf(const Run& run) {
    return QJsonDocument::fromJson(run.out.toUtf8()).array();
}
