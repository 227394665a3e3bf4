#pragma once

#include <QStringList>

// The command-line program: runs one command and returns the exit status.
// 0 done, 1 the command failed, 2 the command line is wrong, 3 the password
// is wrong. Every failure prints one line on standard error.
int runCommandLine(const QStringList& words, const QString& programDirectory);
