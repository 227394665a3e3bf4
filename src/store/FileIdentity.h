#pragma once

#include <QString>
#include <QtGlobal>

// Which file a path names right now: its device and inode. A sync tool that
// brings another computer's version replaces the file (a new inode under the
// same name); a connection opened before still reads the old one.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool exists = false;

    static FileIdentity of(const QString& path);
    bool operator==(const FileIdentity& other) const = default;
};
