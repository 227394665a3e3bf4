#pragma once

#include "Arguments.h"
#include "store/Schema.h"

#include <QDir>
#include <QList>
#include <QString>

// What one run of a command works with: its arguments and the data folder.
struct Context {
    Arguments arguments;
    QString folder; // holds password.mdb and pass2.mdb
    QString database() const { return QDir(folder).filePath(Schema::RecordDatabaseFile); }
};

// Generated lists the help of a command ends with.
enum class HelpAppendix {
    None,
    MapFields,    // the fields of each section, as --map names them
    ListedFields, // the fields a listing shows of each section
};

// One command of the program: the parser reads its line from this, and its
// --help text and the manual page are written from it, so the three never
// disagree. Adding an option is one line in options.
struct CommandDefinition {
    QString name;
    QString arguments;   // the plain arguments, as the usage line shows them: "SECTION NAME|ID"
    QString summary;     // one line, for the list of commands
    QString description; // what it does, in a few sentences
    QList<OptionDefinition> options;
    QString example; // one command line, as typed
    HelpAppendix appendix = HelpAppendix::None;
    bool signIn = true;
    int (*run)(Context&) = nullptr;
};

// Every command, in the order the help lists them.
const QList<CommandDefinition>& commandDefinitions();
// The options every command takes besides its own.
const QList<OptionDefinition>& commonOptions();
const CommandDefinition* findCommand(const QString& name);
