#pragma once

#include "Schema.h"

#include <QStringList>
#include <SQLiteCpp/Statement.h>

// The SQL pieces a binder builds its statements from.
inline void bindText(SQLite::Statement& statement, int index, const QString& value) {
    // As text, never as a blob: the file's values must compare and sort as text.
    statement.bind(index, value.toStdString());
}

inline QString fieldList(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields)
        quoted << Schema::quoted(f);
    return quoted.join(QStringLiteral(", "));
}
