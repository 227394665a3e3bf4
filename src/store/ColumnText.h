#pragma once

#include <QString>
#include <SQLiteCpp/Column.h>

// A stored value as the windows show it: UTF-8 text in full (NUL characters
// included), NULL as "".
inline QString columnText(const SQLite::Column& column) {
    if (column.isNull())
        return {};
    return QString::fromUtf8(static_cast<const char*>(column.getBlob()), column.getBytes());
}
