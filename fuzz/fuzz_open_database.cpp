// Any byte string as password.mdb or pass2.mdb: opening it, walking its records
// and checking it must end in records or in a clear error, never in a crash.
#include "store/DataBinder.h"
#include "store/RecordDatabaseCheck.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("password.mdb"));
    QFile::remove(path + QStringLiteral("-journal"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    std::vector<const Schema::Table*> tables = Schema::recordTables();
    tables.push_back(&Schema::pass());
    for (const Schema::Table* table : tables) {
        DataBinder binder;
        binder.setDatabaseName(path);
        binder.setRecordSource(table->name);
        binder.setRequiredFields(table->fields);
        try {
            binder.open();
            for (int i = 0; i < 50 && !binder.isEOF(); ++i) {
                for (const QString& field : table->fields)
                    (void)binder.value(field);
                binder.MoveNext();
            }
            binder.MoveLast();
            (void)binder.storedCount();
        } catch (const StoreError&) {
            // A clear error is a good outcome for a broken file.
        }
    }
    (void)checkRecordDatabase(path);
    (void)checkPasswordStore(path);
    return 0;
}
