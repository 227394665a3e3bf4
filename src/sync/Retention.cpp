#include "Retention.h"

#include "store/LockWait.h"
#include "store/StoreError.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

namespace Retention {

qint64 pruneOld(const QString& databasePath, qint64 nowMs) {
    constexpr int BusyTimeoutMs = 5000;
    const qint64 before = nowMs - KeptDays * 24 * 3600 * 1000;
    try {
        SQLite::Database db(databasePath.toStdString(), SQLite::OPEN_READWRITE, BusyTimeoutMs);
        waitForLocks(db.getHandle(), BusyTimeoutMs);
        if (db.execAndGet("SELECT count(*) FROM sqlite_master WHERE name IN ('_tombstones', '_history')").getInt() != 2)
            return 0;
        SQLite::Statement old(db, "SELECT (SELECT count(*) FROM \"_tombstones\" WHERE \"deleted\" < ?1) + "
                                  "(SELECT count(*) FROM \"_history\" WHERE \"kept\" < ?1)");
        old.bind(1, static_cast<int64_t>(before));
        if (!old.executeStep() || old.getColumn(0).getInt64() == 0)
            return 0;
        db.exec("PRAGMA synchronous=EXTRA"); // as every write: see Connection
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        qint64 removed = 0;
        for (const char* sql : {"DELETE FROM \"_tombstones\" WHERE \"deleted\" < ?", "DELETE FROM \"_history\" WHERE "
                                                                                     "\"kept\" < ?"}) {
            SQLite::Statement prune(db, sql);
            prune.bind(1, static_cast<int64_t>(before));
            removed += prune.exec();
        }
        transaction.commit();
        return removed;
    } catch (const std::exception& e) {
        throw StoreError(QStringLiteral("The database file %1 cannot be tidied: %2.")
                             .arg(databasePath, QString::fromUtf8(e.what())));
    }
}

} // namespace Retention
