#pragma once

#include <QStringList>
#include <functional>

// The command-line program: runs one command and returns the exit status.
// 0 done, 1 the command failed, 2 the command line is wrong, 3 the password
// is wrong. Every failure prints one line on standard error.
// The data folder comes from locate (asked only when --folder names none): it
// gives the folder, or sets the reason why there is none.
int runCommandLine(const QStringList& words, const std::function<QString(QString& error)>& locate);
