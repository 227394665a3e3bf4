#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

// An option a command takes: a flag ("--json"), or one with a value ("--length 12").
struct OptionDefinition {
    QString name;        // the long name, without dashes
    QString valueName;   // how the help names its value; empty for a flag
    QString description; // one sentence for --help and the manual page
    QString shortName;   // a one-letter form ("-h"), if any
    bool required = false;
};

// A command line split into the command, its plain arguments and its options.
struct Arguments {
    QString command;
    QStringList positional;
    QHash<QString, QString> values; // "--length 12": "length" -> "12"
    QSet<QString> flags;            // "--json": "json"
    QString error;                  // why the line cannot be read; empty when it can

    bool has(const QString& flag) const { return flags.contains(flag); }

    // Reads the words that follow the program's name: options anywhere, "--"
    // ends them. The first plain word is the command; before it, only the
    // given options are known (enough to read them and find the command).
    static Arguments parse(const QStringList& words, const QList<OptionDefinition>& options);
    // The command of a line, read without knowing its options: the first plain
    // word, skipping the values of the options given. Empty when there is none.
    static QString commandOf(const QStringList& words, const QList<OptionDefinition>& options);
    // True when a flag is on the line before "--", whether or not the rest can be read.
    static bool mentions(const QStringList& words, const OptionDefinition& flag);
};
