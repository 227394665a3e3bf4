#pragma once

#include <QFile>
#include <QString>

// Whether a path names a regular file once its symbolic links are followed. A
// named pipe blocks whoever opens it, and a device such as /dev/zero never
// ends, so the program reads neither. Empty when the path is a regular file;
// otherwise why it cannot be read, as a sentence for the user. Never opens it.
QString notRegularFile(const QString& path);

// Opens a regular file for reading, checked as above before it is opened and
// again once it is: a pipe or a device put in its place in between is never
// waited on. False, with the reason in error, when it is anything else.
bool openRegularFile(QFile& file, const QString& path, QString& error);
