#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The exit status of the program.
enum Status { Done = 0, Failed = 1, Usage = 2, Refused = 3 };

// Why a command ends without doing its work; the command line prints it once,
// as a line of text or, with --json, as a JSON object.
struct CommandFailure {
    QString message;
    Status status = Failed;
    QJsonObject details; // more for scripts, in the JSON form only
};

// Ends the command with the failure (throws CommandFailure); written as
// "return fail(...)" where a command gives up.
[[noreturn]] int fail(const QString& message, Status status = Failed, const QJsonObject& details = {});

// Writes to standard output, which is buffered: records are printed one by one.
void print(const QString& text);
void printBytes(const QByteArray& bytes);

QString jsonOf(const QJsonObject& object);

// "quillmere-cli: message" or {"error": "message", "code": status} on standard error.
void reportFailure(const CommandFailure& failure, bool json);
