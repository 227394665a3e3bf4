#include "ProgramDirectory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

const char* const SearchTables[] = {"account search", "Credit Card search", "Personal search", "Notes search",
                                    "Reminder search"};

struct Entries {
    qint64 count = 0;
    QByteArray digest;
    bool operator==(const Entries&) const = default;
};

// Every token the index holds, with its record, field and place, as a count and
// a digest: the index gives them in the order of its terms, then records.
Entries indexEntries(SQLite::Database& db, const QString& table) {
    db.exec("DROP TABLE IF EXISTS temp.entries");
    db.exec(QStringLiteral("CREATE VIRTUAL TABLE temp.entries USING fts5vocab(main, '%1', 'instance')")
                .arg(table)
                .toStdString());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    Entries entries;
    {
        SQLite::Statement all(db, "SELECT term || '|' || doc || '|' || col || '|' || offset FROM temp.entries");
        while (all.executeStep()) {
            ++entries.count;
            hash.addData(QByteArrayView(all.getColumn(0).getText()));
            hash.addData(QByteArrayView("\n", 1));
        }
    }
    entries.digest = hash.result();
    db.exec("DROP TABLE temp.entries");
    return entries;
}

} // namespace

QString searchIndexProblem(const QString& path) {
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("copy.mdb"));
    if (!QFile::copy(path, copy))
        return QStringLiteral("%1 cannot be copied").arg(path);
    try {
        SQLite::Database db(copy.toStdString(), SQLite::OPEN_READWRITE);
        for (const char* name : SearchTables) {
            const QString table = QString::fromLatin1(name);
            const Entries kept = indexEntries(db, table);
            const QString quoted = QLatin1Char('"') + table + QLatin1Char('"');
            db.exec(QStringLiteral("INSERT INTO %1 (%1) VALUES ('rebuild')").arg(quoted).toStdString());
            const Entries rebuilt = indexEntries(db, table);
            if (!(kept == rebuilt))
                return QStringLiteral("%1 holds %2 entries where its records give %3, or other ones")
                    .arg(table)
                    .arg(kept.count)
                    .arg(rebuilt.count);
        }
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}
