#pragma once

#include <QString>
#include <optional>

// The sign-in password, typed on the terminal without being shown, or read as
// the first line of standard input for scripts. Nothing, with the reason in
// error, when there is no way to ask or the line is longer than 64 KB: no more
// than that is ever read.
std::optional<QString> readPassword(bool fromStandardInput, QString& error);

// Another secret read the same way: the password of an export file. what
// names it in the messages ("file password"); prompt is shown on the terminal.
std::optional<QString> readSecret(bool fromStandardInput, const QString& what, const char* prompt, QString& error);
