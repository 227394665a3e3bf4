// Any byte string as a Bitwarden JSON export: its items are read to the end as
// records, or it is refused with an ExchangeError whose message is short;
// never a crash, a hang, or a record of the wrong shape.
#include "FuzzImport.h"
#include "exchange/BitwardenJsonReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = inputFile(data, size, QStringLiteral("export.json"));
    if (!path.isEmpty())
        readEveryRecord([&] { return std::make_unique<BitwardenJsonReader>(path); });
    return 0;
}
