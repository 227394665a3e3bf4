#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>

// A command line split into the command, its plain arguments and its options.
struct Arguments {
    QString command;
    QStringList positional;
    QHash<QString, QString> values; // "--length 12": "length" -> "12"
    QSet<QString> flags;            // "--json": "json"
    QString error;                  // why the line cannot be read; empty when it can

    bool has(const QString& flag) const { return flags.contains(flag); }
    // Options that take a value, and options that are flags, for the command.
    static Arguments parse(const QStringList& words, const QSet<QString>& valueOptions,
                           const QSet<QString>& flagOptions);
};
