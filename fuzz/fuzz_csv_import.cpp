// Any byte string as a CSV file to import: it is read to its end as records,
// or refused with an ExchangeError whose message is short; never a crash, a
// hang, or a record of the wrong shape. Read once in the detected encoding and
// once in an encoding the input picks; a file of no known format is read with
// its first two columns as a note.
#include "exchange/ExchangeError.h"
#include "exchange/ImportFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

// Short enough that no message can quote much of a file.
constexpr qsizetype LongestMessage = 400;

void readAll(const QString& path, const ImportOptions& options) {
    try {
        const std::unique_ptr<RecordReader> reader = openRecords(path, options);
        Record record;
        qint64 line = 0;
        while (reader->next(record)) {
            if (record.values.size() != tableOf(record.section).fields.size() || record.line < line || record.line < 1)
                std::abort();
            line = record.line;
        }
    } catch (const ExchangeError& e) {
        if (e.message().size() > LongestMessage)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.csv"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    ImportOptions options;
    try {
        const FileKind kind = inspectFile(path);
        options.encoding = kind.detected.encoding;
        if (kind.kind == FileKind::UnknownCsv)
            options.mapping = CsvFormats::ColumnMapping{Section::Notes, {0, 1}};
    } catch (const ExchangeError& e) {
        if (e.message().size() > LongestMessage)
            std::abort();
        options.mapping = CsvFormats::ColumnMapping{Section::Notes, {0, 1}};
    }
    readAll(path, options);
    if (size > 0) {
        options.encoding = static_cast<Encoding>(data[0] % 4);
        readAll(path, options);
    }
    return 0;
}
