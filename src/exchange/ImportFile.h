#pragma once

#include "CsvFormats.h"
#include "RecordReader.h"
#include "TextFile.h"

#include <memory>
#include <optional>

// What the user chose for a file, beyond its path.
struct ImportOptions {
    std::optional<Encoding> encoding;                 // nothing: detected
    std::optional<CsvFormats::ColumnMapping> mapping; // the columns the user chose, for any CSV file
    // A CSV line of more or fewer values than the header is left out, and
    // counted, instead of ending the import.
    bool skipBadLines = false;
    // The plain export inside a password-protected one, from ProtectedExport::unlock():
    // unlocked once, read by the preview and the import alike.
    std::optional<QByteArray> unlocked;
};

// What a file is, as far as its first bytes and its header tell.
struct FileKind {
    enum Kind { BitwardenJson, KnownCsv, UnknownCsv };
    Kind kind = UnknownCsv;
    QString formatName;
    bool passwordProtected = false; // read once unlocked with its password
    QStringList header;             // a CSV file's columns: its header line, or those of a format without one
    Encoding encoding = Encoding::Utf8;
    // How the encoding was found: a guess the user must confirm when not certain.
    DetectedEncoding detected;
};

// Tells the format from the file's content, not its name. Throws ExchangeError,
// also for anything but a regular file.
FileKind inspectFile(const QString& path, const ImportOptions& options = {});
// A reader for the file's records. Throws ExchangeError, for a CSV file of no
// known format too unless the options map its columns, and for a CSV file
// whose encoding is only a guess unless the options name it.
std::unique_ptr<RecordReader> openRecords(const QString& path, const ImportOptions& options = {});
