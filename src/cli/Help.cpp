#include "Help.h"

#include "RecordOutput.h"
#include "store/Section.h"

namespace {

constexpr qsizetype Width = 79;
constexpr qsizetype OptionColumn = 30;

// The words in lines of at most Width characters, each line after the first
// indented as given; a word is never broken.
QString wrapped(const QStringList& words, qsizetype firstIndent, qsizetype indent) {
    QString result;
    qsizetype column = firstIndent;
    for (const QString& word : words) {
        if (column > indent && column + 1 + word.size() > Width) {
            result += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent || (column == indent && !result.isEmpty())) {
            result += QLatin1Char(' ');
            ++column;
        }
        result += word;
        column += word.size();
    }
    return result;
}

QString wrapped(const QString& text, qsizetype firstIndent, qsizetype indent) {
    return wrapped(text.split(QLatin1Char(' '), Qt::SkipEmptyParts), firstIndent, indent);
}

// "show SECTION NAME|ID [--secrets]" in pieces that a line never breaks.
QStringList usageParts(const CommandDefinition& command) {
    QStringList parts{command.name};
    for (const OptionDefinition& option : command.options) {
        if (option.required)
            parts << QStringLiteral("--%1 %2").arg(option.name, option.valueName);
    }
    if (!command.arguments.isEmpty())
        parts << command.arguments.split(QLatin1Char(' '));
    for (const OptionDefinition& option : command.options) {
        if (!option.required)
            parts << QLatin1Char('[') + optionWords(option) + QLatin1Char(']');
    }
    return parts;
}

QString optionLines(const QList<OptionDefinition>& options) {
    QString text;
    for (const OptionDefinition& option : options) {
        QString line = QStringLiteral("  ") + optionWords(option);
        if (line.size() + 2 > OptionColumn)
            line += QLatin1Char('\n') + QString(OptionColumn, QLatin1Char(' '));
        else
            line = line.leftJustified(OptionColumn);
        text += line + wrapped(option.description, OptionColumn, OptionColumn) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString optionWords(const OptionDefinition& option) {
    QString words = QStringLiteral("--") + option.name;
    if (!option.shortName.isEmpty())
        words = QStringLiteral("-%1, %2").arg(option.shortName, words);
    if (!option.valueName.isEmpty())
        words += QLatin1Char(' ') + option.valueName;
    return words;
}

QString usageLine(const CommandDefinition& command) {
    return usageParts(command).join(QLatin1Char(' '));
}

QString appendixTitle(HelpAppendix appendix) {
    switch (appendix) {
    case HelpAppendix::MapFields:
        return QStringLiteral("The fields of each section, as --map names them:");
    case HelpAppendix::ListedFields:
        return QStringLiteral("The fields listed after the id:");
    case HelpAppendix::None:
        break;
    }
    return {};
}

QStringList appendixLines(HelpAppendix appendix) {
    QStringList lines;
    if (appendix == HelpAppendix::None)
        return lines;
    for (const Section section : AllSections) {
        QStringList fields = tableOf(section).fields;
        if (appendix == HelpAppendix::ListedFields) {
            fields.clear();
            for (const int field : viewOf(section).listed)
                fields << tableOf(section).fields.at(field);
        }
        lines << QStringLiteral("%1: %2").arg(sectionWord(section), fields.join(QStringLiteral(", ")));
    }
    return lines;
}

QString overviewText() {
    QString text = QStringLiteral("Usage: quillmere-cli COMMAND [ARGUMENTS] [OPTIONS]\n\nCommands:\n");
    for (const CommandDefinition& command : commandDefinitions())
        text += QStringLiteral("  %1\n").arg(usageLine(command));
    text += QStringLiteral("\nOptions of every command:\n") + optionLines(commonOptions());
    text += QLatin1Char('\n') +
            wrapped(QStringLiteral("Every command but generate asks for the sign-in password on the terminal, or "
                                   "reads it from the first line of standard input with --password-stdin. "
                                   "quillmere-cli COMMAND --help tells more of a command, man quillmere-cli tells "
                                   "all."),
                    0, 0) +
            QStringLiteral("\nExit status: 0 done, 1 failed, 2 wrong command line, 3 wrong password.\n");
    return text;
}

QString commandHelpText(const CommandDefinition& command) {
    QString text = QStringLiteral("Usage: quillmere-cli %1\n\n%2\n")
                       .arg(wrapped(usageParts(command), 20, 22), wrapped(command.description, 0, 0));
    if (command.appendix != HelpAppendix::None) {
        text += QLatin1Char('\n') + appendixTitle(command.appendix) + QLatin1Char('\n');
        for (const QString& line : appendixLines(command.appendix))
            text += QStringLiteral("  ") + wrapped(line, 2, 4) + QLatin1Char('\n');
    }
    if (!command.options.isEmpty())
        text += QStringLiteral("\nOptions:\n") + optionLines(command.options);
    QStringList common;
    for (const OptionDefinition& option : commonOptions())
        common << optionWords(option);
    text +=
        QLatin1Char('\n') + wrapped(QStringLiteral("Options of every command: %1 (quillmere-cli --help tells them).")
                                        .arg(common.join(QStringLiteral("; "))),
                                    0, 0);
    text += QStringLiteral("\n\nExample:\n  %1\n").arg(command.example);
    return text;
}

QString versionText() {
    return QStringLiteral("quillmere-cli " QUILLMERE_VERSION "\n");
}
