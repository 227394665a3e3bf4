// Any byte string as an old Jet-format password.mdb: the conversion must end in
// a converted file or a clear error, with the original untouched. libmdb reads
// the file in a child process, so a crash inside it is such an error.
#include "store/LegacyConversion.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("password.mdb"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(bytes);
    }
    const LegacyConversion::Outcome outcome = LegacyConversion::convertIfNeeded(path, true, 10);
    if (!outcome.converted) {
        // A failed or skipped conversion leaves the file exactly as it was.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes)
            std::abort();
        if (QFile::exists(path + QStringLiteral(".converting")))
            std::abort();
    }
    return 0;
}
