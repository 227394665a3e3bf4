#pragma once

#include "Schema.h"

#include <QString>

// Converts an old Jet-format database file into the program's own format, in
// place: the new file is made beside it under a temporary name, checked, and
// renamed over it; the original is kept beside it as NAME.jet.mdb.
class LegacyConversion {
public:
    struct Outcome {
        bool converted = false; // false: the file was not in the old format
        QString error;          // set when the conversion failed; the original is untouched
        QString report;         // what to tell the user after a conversion
        QString keptAs;         // where the original now lies
    };

    // Converts the record database (password.mdb) or the password store (pass2.mdb).
    // Reading the old file is given up after the timeout.
    static Outcome convertIfNeeded(const QString& path, bool recordDatabase, int readTimeoutSeconds = 300);

    // Reads every record of an old file into target, an empty file the caller has
    // made; the old file is only read. Returns why it failed, empty on success.
    static QString convertInto(const QString& path, const QString& target, bool recordDatabase,
                               int readTimeoutSeconds = 300);
};
