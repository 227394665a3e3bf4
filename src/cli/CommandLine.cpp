#include "CommandLine.h"
#include "CommandRuns.h"
#include "DatabaseStart.h"
#include "Help.h"
#include "Output.h"
#include "Terminal.h"
#include "core/DataLocationPermissions.h"
#include "core/SignIn.h"
#include "exchange/ExchangeError.h"
#include "search/RecordSearch.h"
#include "store/Migration.h"

#include <QFileInfo>

namespace {

const OptionDefinition& commonOption(const QString& name) {
    for (const OptionDefinition& option : commonOptions()) {
        if (option.name == name)
            return option;
    }
    Q_UNREACHABLE();
}

// A line without a command: the overview, or the version.
int withoutCommand(const QStringList& words) {
    const Arguments arguments = Arguments::parse(words, commonOptions());
    if (!arguments.error.isEmpty())
        return fail(arguments.error, Usage);
    if (arguments.has(QStringLiteral("version"))) {
        print(versionText());
        return Done;
    }
    print(overviewText());
    return arguments.has(QStringLiteral("help")) ? Done : Usage;
}

// Checks the sign-in password before a command reads or writes any record.
void signIn(const Context& context) {
    QString error;
    const std::optional<QString> stored =
        SignIn::storedPassword(QDir(context.folder).filePath(Schema::PasswordStoreFile), &error);
    if (!stored)
        fail(error);
    const std::optional<QString> typed = readPassword(context.arguments.has(QStringLiteral("password-stdin")), error);
    if (!typed)
        fail(error, Usage);
    if (!SignIn::matches(*stored, *typed))
        fail(QStringLiteral("the password is not correct."), Refused);
}

int run(const QStringList& words, const std::function<QString(QString& error)>& locate) {
    QString name = Arguments::commandOf(words, commonOptions());
    if (name.isEmpty())
        return withoutCommand(words);
    QStringList line = words;
    if (name == QLatin1String("help")) {
        // "help" alone is the overview; "help COMMAND" is that command's help.
        line.removeOne(name);
        name = Arguments::commandOf(line, commonOptions());
        line << QStringLiteral("--help");
        if (name.isEmpty())
            return withoutCommand(line);
    }
    const CommandDefinition* command = findCommand(name);
    if (!command)
        return fail(QStringLiteral("unknown command \"%1\"; quillmere-cli --help lists them.").arg(name), Usage);
    Context context;
    context.arguments = Arguments::parse(line, command->options + commonOptions());
    if (!context.arguments.error.isEmpty())
        return fail(context.arguments.error, Usage);
    if (context.arguments.has(QStringLiteral("help"))) {
        print(commandHelpText(*command));
        return Done;
    }
    if (context.arguments.has(QStringLiteral("version"))) {
        print(versionText());
        return Done;
    }
    if (context.arguments.values.contains(QStringLiteral("folder"))) {
        context.folder = context.arguments.values.value(QStringLiteral("folder"));
        // Any folder of records is kept as private as the program's own.
        const QString privacy =
            DataLocationPermissions::makePrivate(context.folder, DataLocationPermissions::Kind::ProgramFolder);
        if (QFileInfo(context.folder).isDir() && !privacy.isEmpty())
            return fail(privacy);
    } else {
        QString error;
        context.folder = locate(error);
        if (!error.isEmpty())
            return fail(error);
    }
    // What a newer program wrote is read, never written.
    if (name == QLatin1String("import") || name == QLatin1String("repair")) {
        const QString newer = Migration::newerFileNotice(context.database());
        if (!newer.isEmpty())
            return fail(newer + QStringLiteral(" %1 would write it, so it is refused.").arg(name));
    }
    if (command->signIn) {
        signIn(context);
        // As the program's start: a crash's journal rolled back, conflict copies merged.
        if (!prepareDatabase(context.database()))
            return Failed;
    }
    try {
        return command->run(context);
    } catch (const SearchIndexDamaged&) {
        return fail(QStringLiteral("the search index of %1 is damaged, so the search cannot be trusted; run "
                                   "quillmere-cli repair to build it again.")
                        .arg(context.database()));
    }
}

} // namespace

int runCommandLine(const QStringList& words, const std::function<QString(QString& error)>& locate) {
    const bool json = Arguments::mentions(words, commonOption(QStringLiteral("json")));
    int status = Failed;
    try {
        status = run(words, locate);
    } catch (const CommandFailure& failure) {
        reportFailure(failure, json);
        status = failure.status;
    } catch (const ExchangeError& e) {
        reportFailure({e.message()}, json);
    } catch (const std::exception& e) {
        reportFailure({QString::fromUtf8(e.what())}, json);
    }
    std::fflush(stdout);
    return status;
}
