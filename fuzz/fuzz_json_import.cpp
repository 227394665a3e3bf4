// Any byte string as a Bitwarden JSON export: its items are read to the end as
// records, or it is refused with an ExchangeError whose message is short;
// never a crash, a hang, or a record of the wrong shape.
#include "exchange/BitwardenJsonReader.h"
#include "exchange/ExchangeError.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.json"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        BitwardenJsonReader reader(path);
        Record record;
        qint64 line = 0;
        while (reader.next(record)) {
            if (record.values.size() != tableOf(record.section).fields.size() || record.line < line || record.line < 1)
                std::abort();
            line = record.line;
        }
    } catch (const ExchangeError& e) {
        // Short enough that no message can quote much of a file.
        if (e.message().size() > 400)
            std::abort();
    }
    return 0;
}
