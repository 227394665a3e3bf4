// Any byte string as the backup to restore: the restore ends with the database
// rebuilt and sound, or refused with the database byte for byte as it was.
#include "store/RecordDatabaseCheck.h"
#include "utility/DatabaseFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir root;
    static const QByteArray delivered = readAll(QStringLiteral(DELIVERED_DIR "/password.mdb"));
    const QString program = root.filePath(QStringLiteral("program"));
    const QString backup = root.filePath(QStringLiteral("backup"));
    QDir(program).removeRecursively();
    QDir(backup).removeRecursively();
    QDir().mkpath(program);
    QDir().mkpath(backup);
    const QString live = QDir(program).filePath(QStringLiteral("password.mdb"));
    if (!writeAll(live, delivered) || !writeAll(QDir(backup).filePath(QStringLiteral("password.mdb")),
                                                QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        return 0;
    const DatabaseFiles files(program);
    const DatabaseFiles::Outcome outcome = files.restore(QDir(backup).filePath(QStringLiteral("password.mdb")));
    if (outcome.ok) {
        if (!checkRecordDatabase(live).isEmpty() || readAll(files.beforeRestorePath()) != delivered)
            std::abort();
    } else if (readAll(live) != delivered || QDir(program).entryList(QDir::Files | QDir::Hidden).size() != 1) {
        std::abort();
    }
    return 0;
}
