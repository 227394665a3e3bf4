#include "ImportFile.h"

#include "BitwardenJsonReader.h"
#include "CsvRecordReader.h"
#include "ExchangeError.h"
#include "ProtectedExport.h"

#include <QFile>

namespace {

// Whether the file starts with a JSON object, after blanks and a byte-order mark.
bool looksLikeJson(const QString& path) {
    QFile file;
    openForReading(file, path);
    QByteArray start = file.read(4096);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    // Text in UTF-16 or UTF-32 has a zero byte beside its first character, with or without a mark.
    const bool wide = start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF") ||
                      (start.size() >= 2 && (start.at(0) == '\0' || start.at(1) == '\0'));
    for (const char c : start) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || (wide && (c == '\0' || c == '\xFF' || c == '\xFE')))
            continue;
        if (c == '{' && wide)
            throw ExchangeError(QStringLiteral(
                "The file is JSON in UTF-16 or UTF-32: the program reads JSON files in UTF-8 only, as Bitwarden "
                "writes them. Save it as UTF-8 and import that file."));
        return c == '{';
    }
    return false;
}

Encoding chosenEncoding(const QString& path, const ImportOptions& options) {
    if (options.encoding)
        return *options.encoding;
    const DetectedEncoding detected = detectEncoding(path);
    // Never read as a guess the user has not confirmed.
    if (!detected.certain)
        throw ExchangeError(detected.doubt(), detected.line);
    return detected.encoding;
}

} // namespace

FileKind inspectFile(const QString& path, const ImportOptions& options) {
    FileKind kind;
    if (looksLikeJson(path)) {
        kind.kind = FileKind::BitwardenJson;
        kind.passwordProtected = ProtectedExport::isPasswordProtected(path);
        kind.formatName = kind.passwordProtected ? QStringLiteral("password-protected Bitwarden JSON")
                                                 : QStringLiteral("Bitwarden JSON");
        return kind;
    }
    if (options.encoding)
        kind.detected.encoding = *options.encoding;
    else
        kind.detected = detectEncoding(path);
    kind.encoding = kind.detected.encoding;
    const QList<QStringList> rows = CsvRecordReader::firstRows(path, kind.encoding);
    if (rows.isEmpty())
        throw ExchangeError(QStringLiteral("The file is empty."));
    kind.header = rows.first();
    if (const CsvFormats::Format* format = CsvRecordReader::formatOf(rows)) {
        kind.kind = FileKind::KnownCsv;
        kind.formatName = format->name;
        if (!format->columns.isEmpty())
            kind.header = format->columns;
    }
    return kind;
}

std::unique_ptr<RecordReader> openRecords(const QString& path, const ImportOptions& options) {
    if (options.unlocked)
        return std::make_unique<BitwardenJsonReader>(*options.unlocked);
    if (looksLikeJson(path))
        return std::make_unique<BitwardenJsonReader>(path);
    return std::make_unique<CsvRecordReader>(path, chosenEncoding(path, options), options.mapping,
                                             options.skipBadLines);
}
