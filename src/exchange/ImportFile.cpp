#include "ImportFile.h"

#include "BitwardenJsonReader.h"
#include "CsvRecordReader.h"
#include "ExchangeError.h"

#include <QFile>

namespace {

bool looksLikeJson(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    QByteArray start = file.read(4096);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    for (const char c : start) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{';
    }
    return false;
}

} // namespace

FileKind inspectFile(const QString& path, const ImportOptions& options) {
    FileKind kind;
    if (looksLikeJson(path)) {
        kind.kind = FileKind::BitwardenJson;
        kind.formatName = QStringLiteral("Bitwarden JSON");
        return kind;
    }
    kind.encoding = options.encoding ? *options.encoding : detectEncoding(path);
    kind.header = CsvRecordReader::readHeader(path, kind.encoding);
    if (kind.header.isEmpty())
        throw ExchangeError(QStringLiteral("The file is empty."));
    if (const CsvFormats::Format* format = CsvFormats::recognise(kind.header)) {
        kind.kind = FileKind::KnownCsv;
        kind.formatName = format->name;
    }
    return kind;
}

std::unique_ptr<RecordReader> openRecords(const QString& path, const ImportOptions& options) {
    if (looksLikeJson(path))
        return std::make_unique<BitwardenJsonReader>(path);
    const Encoding encoding = options.encoding ? *options.encoding : detectEncoding(path);
    return std::make_unique<CsvRecordReader>(path, encoding, options.mapping);
}
