#pragma once

#include <QString>

// Creates an empty file readable and writable by its owner only, whatever the
// umask, so that nothing written into it is ever open to others. False when
// the file exists already or cannot be made.
bool createOwnerOnlyFile(const QString& path);
// Forces a file's contents to the disk; false when the disk cannot promise them.
bool syncFile(const QString& path);
// Makes a rename in the folder durable: the directory entry reaches the disk too.
void syncDirectory(const QString& directory);
