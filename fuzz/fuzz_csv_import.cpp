// Any byte string as a CSV file to import: it is read to its end as records,
// or refused with an ExchangeError whose message is short; never a crash, a
// hang, or a record of the wrong shape. Read once in the detected encoding and
// once in an encoding the input picks; a file of no known format is read with
// its first two columns as a note.
#include "FuzzImport.h"
#include "exchange/ImportFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = inputFile(data, size, QStringLiteral("export.csv"));
    if (path.isEmpty())
        return 0;
    ImportOptions options;
    try {
        const FileKind kind = inspectFile(path);
        options.encoding = kind.detected.encoding;
        if (kind.kind == FileKind::UnknownCsv)
            options.mapping = CsvFormats::ColumnMapping{Section::Notes, {0, 1}};
    } catch (const ExchangeError& e) {
        checkRefusal(e);
        options.mapping = CsvFormats::ColumnMapping{Section::Notes, {0, 1}};
    }
    const auto readAll = [&] { readEveryRecord([&] { return openRecords(path, options); }); };
    readAll();
    if (size > 0) {
        options.encoding = static_cast<Encoding>(data[0] % 4);
        readAll();
    }
    return 0;
}
