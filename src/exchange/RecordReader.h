#pragma once

#include "TextFile.h"
#include "store/Section.h"

// Yields the records of an export file one at a time, in the file's order.
class RecordReader {
public:
    virtual ~RecordReader() = default;
    // The next record; false after the last. Throws ExchangeError naming the
    // line of a record that cannot be read.
    virtual bool next(Record& record) = 0;
    // How the user knows the format: "Bitwarden JSON", "KeePassXC CSV", ...
    virtual QString formatName() const = 0;
    // How its bytes are read as characters.
    virtual Encoding encoding() const = 0;
    // What the user is told of the records read so far beyond their counts:
    // rows passed over or marked, columns kept as labelled lines.
    virtual QStringList notices() const { return {}; }
};
