#include "ManualPage.h"

#include "CommandDefinition.h"
#include "Help.h"
#include "RecordOutput.h"
#include "store/Section.h"

namespace {

// Text set as roff: backslashes and minus signs escaped, and a line never
// starting with a control character.
QString roff(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e")).replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

// A block kept as it is printed (the overview, in the program's own words):
// only backslashes and leading control characters are escaped.
QString verbatim(const QString& text) {
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
        if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
            line.prepend(QStringLiteral("\\&"));
        lines << line;
    }
    return QStringLiteral(".nf\n") + lines.join(QLatin1Char('\n')).trimmed() + QStringLiteral("\n.fi\n");
}

QString optionItems(const QList<OptionDefinition>& options) {
    QString text;
    for (const OptionDefinition& option : options)
        text += QStringLiteral(".TP\n.B %1\n%2\n").arg(roff(optionWords(option)), roff(option.description));
    return text;
}

QString commandSection(const CommandDefinition& command) {
    QString text = QStringLiteral(".SS \"%1\"\n%2\n").arg(roff(usageLine(command)), roff(command.description));
    if (command.appendix != HelpAppendix::None) {
        text += QStringLiteral(".PP\n%1\n.RS\n").arg(roff(appendixTitle(command.appendix)));
        for (const QString& line : appendixLines(command.appendix))
            text += roff(line) + QStringLiteral("\n.br\n");
        text += QStringLiteral(".RE\n");
    }
    if (!command.options.isEmpty())
        text += QStringLiteral(".PP\nOptions:\n.RS\n") + optionItems(command.options) + QStringLiteral(".RE\n");
    text += QStringLiteral(".PP\nExample:\n.RS\n.nf\n%1\n.fi\n.RE\n").arg(roff(command.example));
    return text;
}

QString sectionItems() {
    QString text;
    for (const Section section : AllSections) {
        const QStringList& fields = tableOf(section).fields;
        QStringList listed, secrets;
        for (const int field : viewOf(section).listed)
            listed << fields.at(field);
        for (const int field : viewOf(section).secrets)
            secrets << fields.at(field);
        text += QStringLiteral(".TP\n.BR %1 \" (%2)\"\nFields: %3.\n.br\nListed by ls, and looked for by show: %4.\n")
                    .arg(roff(sectionWord(section)), roff(sectionTitle(section)), roff(fields.join(", ")),
                         roff(listed.join(", ")));
        if (!secrets.isEmpty())
            text +=
                QStringLiteral(".br\nSecrets, hidden unless show \\-\\-secrets: %1.\n").arg(roff(secrets.join(", ")));
    }
    return text;
}

} // namespace

QString manualPage() {
    QString page =
        QStringLiteral(".TH QUILLMERE\\-CLI 1 \"December 2026\" \"Quillmere " QUILLMERE_VERSION "\" \"User Commands\"\n"
                       ".SH NAME\n"
                       "quillmere\\-cli \\- the records of Quillmere Password Storage from the command line\n"
                       ".SH SYNOPSIS\n");
    page += verbatim(overviewText());
    page += QStringLiteral(
        ".SH DESCRIPTION\n"
        ".B quillmere\\-cli\n"
        "works on the same records as the desktop program\n"
        ".BR quillmere (1),\n"
        "in the same data folder, without a window.\n"
        "Every command but\n"
        ".B generate\n"
        "asks for the sign\\-in password on the terminal (nothing typed is shown, and echo comes back on "
        "whatever ends the prompt), or reads it from the first line of standard input with\n"
        ".BR \\-\\-password\\-stdin .\n"
        "A password\\-protected Bitwarden export\n"
        "(import, and export with\n"
        ".BR \\-\\-password\\-protected )\n"
        "has a password of its own: it is asked on the terminal too, or read from the next line of standard "
        "input with\n"
        ".BR \\-\\-file\\-password\\-stdin ,\n"
        "the line after the sign\\-in password's when both come from standard input.\n"
        ".PP\n"
        "The desktop program finds records with its Find window (the magnifier, or Ctrl+F) and imports and "
        "exports the same files from its Import / Export window (the button beside the magnifier).\n"
        ".PP\n"
        "Every record has an id, a whole number no other record of its section has.\n"
        ".BR ls ,\n"
        ".B search\n"
        "and\n"
        ".B show\n"
        "print it, and every command that takes a record's name takes its id as well.\n"
        "Options may come anywhere after the command; \\-\\- ends them, so that a name may begin with a "
        "dash.\n"
        ".SH COMMANDS\n");
    for (const CommandDefinition& command : commandDefinitions())
        page += commandSection(command);
    page += QStringLiteral(".SH OPTIONS\nThese options are taken by every command.\n") + optionItems(commonOptions());
    page += QStringLiteral(".SH SECTIONS AND FIELDS\n"
                           "A section is named by one word; its fields, as\n"
                           ".B import \\-\\-map\n"
                           "and the JSON forms name them, are these.\n") +
            sectionItems();
    page += QStringLiteral(
        ".SH JSON\n"
        "With\n"
        ".BR \\-\\-json ,\n"
        "a result is printed on standard output as JSON: an array of objects for\n"
        ".BR ls ,\n"
        ".B show\n"
        "and\n"
        ".BR search ,\n"
        "each with its \"id\", and an object for the other commands.\n"
        "Every failure is then one line on standard error holding one JSON object:\n"
        ".PP\n"
        ".RS\n"
        ".nf\n"
        "{\"error\": \"...\", \"code\": 1}\n"
        ".fi\n"
        ".RE\n"
        ".PP\n"
        "where \"code\" is the exit status. When\n"
        ".B show\n"
        "meets a name that several records bear, the object also holds their \"ids\".\n"
        "Without\n"
        ".BR \\-\\-json ,\n"
        "a failure is one line of text after \"quillmere\\-cli: \".\n"
        ".SH EXIT STATUS\n"
        ".TP\n.B 0\nThe command was done.\n"
        ".TP\n.B 1\nThe command failed: a file that cannot be read or written, no record of that name or id, "
        "a name that several records bear.\n"
        ".TP\n.B 2\nThe command line is wrong (an unknown command or option, a missing argument or value), or no "
        "password could be read.\n"
        ".TP\n.B 3\nThe sign\\-in password is not correct; nothing of the records is printed.\n"
        ".PP\n"
        "A signal while the password is asked (Ctrl+C) ends the program as that signal does, after echo is "
        "back on.\n"
        ".SH FILES\n"
        ".TP\n"
        ".I $XDG_DATA_HOME/quillmere/\n"
        "(by default\n"
        ".IR ~/.local/share/quillmere/ )\n"
        "the data folder of an installed program, with the records in\n"
        ".I password.mdb\n"
        "and the sign\\-in password in\n"
        ".IR pass2.mdb ;\n"
        "see\n"
        ".BR quillmere (1)\n"
        "for how it is made at the first start.\n"
        "A portable copy keeps both files beside the program instead.\n"
        ".SH SEE ALSO\n"
        ".BR quillmere (1)\n");
    return page;
}
