#pragma once

#include "CommandDefinition.h"

#include <QString>

// The help the program prints, written from the commands' definitions.

// "show SECTION NAME|ID [--secrets]": the command as it is typed.
QString usageLine(const CommandDefinition& command);
// "--folder DIR", "-h, --help".
QString optionWords(const OptionDefinition& option);
// The lists a command's help ends with: "passwords: Account, Website, User", ...
QString appendixTitle(HelpAppendix appendix);
QStringList appendixLines(HelpAppendix appendix);
// The list of commands and the options they share: "quillmere-cli --help".
QString overviewText();
// One command in short: "quillmere-cli COMMAND --help".
QString commandHelpText(const CommandDefinition& command);
QString versionText();
