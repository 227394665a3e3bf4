#pragma once

#include <QString>

// Creates an empty file readable and writable by its owner only, whatever the
// umask, so that nothing written into it is ever open to others. False when
// the file exists already or cannot be made.
bool createOwnerOnlyFile(const QString& path);
