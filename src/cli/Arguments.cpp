#include "Arguments.h"

#include <QCommandLineParser>

namespace {

const QString EndOfOptions = QStringLiteral("--");

bool isOption(const QString& word) {
    return word.size() > 1 && word.startsWith(QLatin1Char('-'));
}

QString dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const OptionDefinition* optionNamed(const QList<OptionDefinition>& options, const QString& name) {
    for (const OptionDefinition& option : options) {
        if (option.name == name || (!option.shortName.isEmpty() && option.shortName == name))
            return &option;
    }
    return nullptr;
}

// The name in "--name", "--name=value" or "-n".
QString nameIn(const QString& word) {
    const QString name = word.startsWith(EndOfOptions) ? word.mid(2) : word.mid(1);
    return name.section(QLatin1Char('='), 0, 0);
}

} // namespace

QString Arguments::commandOf(const QStringList& words, const QList<OptionDefinition>& options) {
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (word == EndOfOptions)
            return words.value(i + 1);
        if (!isOption(word))
            return word;
        const OptionDefinition* option = optionNamed(options, nameIn(word));
        if (option && !option->valueName.isEmpty() && !word.contains(QLatin1Char('=')))
            ++i; // its value
    }
    return {};
}

bool Arguments::mentions(const QStringList& words, const OptionDefinition& flag) {
    for (const QString& word : words) {
        if (word == EndOfOptions)
            return false;
        if (word == QStringLiteral("--") + flag.name ||
            (!flag.shortName.isEmpty() && word == QStringLiteral("-") + flag.shortName))
            return true;
    }
    return false;
}

Arguments Arguments::parse(const QStringList& words, const QList<OptionDefinition>& options) {
    Arguments arguments;
    arguments.command = commandOf(words, options);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const OptionDefinition& option : options) {
        QStringList names{option.name};
        if (!option.shortName.isEmpty())
            names.prepend(option.shortName);
        parser.addOption(QCommandLineOption(names, option.description, option.valueName));
    }
    // The parser skips the first word, the program's name.
    if (!parser.parse(QStringList{QString()} + words)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            arguments.error = QStringLiteral("unknown option %1.").arg(dashed(unknown.first()));
        } else if (const OptionDefinition* last = optionNamed(options, nameIn(words.value(words.size() - 1)));
                   last && isOption(words.last()) && !last->valueName.isEmpty() && !words.contains(EndOfOptions)) {
            arguments.error = QStringLiteral("%1 needs a value.").arg(dashed(last->name));
        } else {
            // "Unexpected value after '--json'.", as Qt says it
            arguments.error = parser.errorText();
            if (!arguments.error.isEmpty())
                arguments.error[0] = arguments.error.at(0).toLower();
        }
        return arguments;
    }
    arguments.positional = parser.positionalArguments();
    if (!arguments.command.isEmpty() && !arguments.positional.isEmpty())
        arguments.positional.removeFirst(); // the command itself
    for (const OptionDefinition& option : options) {
        if (!parser.isSet(option.name))
            continue;
        if (option.valueName.isEmpty())
            arguments.flags.insert(option.name);
        else
            arguments.values.insert(option.name, parser.value(option.name));
    }
    return arguments;
}
