#include "RecordCopySearch.h"

#include "Schema.h"
#include "StoreError.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

namespace {

// FTS5's check of one index, against its records too; false when it finds damage.
bool checks(SQLite::Database& db, const QString& index) {
    try {
        const QString name = Schema::quoted(index);
        db.exec(QStringLiteral("INSERT INTO %1 (%1, rank) VALUES ('integrity-check', 1)").arg(name).toStdString());
        return true;
    } catch (const SQLite::Exception&) {
        return false;
    }
}

} // namespace

QStringList searchIndexesOf(SQLite::Database& db) {
    QStringList indexes;
    SQLite::Statement tables(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND sql LIKE 'CREATE VIRTUAL "
                                 "TABLE%' AND sql LIKE '%USING fts5%' ORDER BY name");
    while (tables.executeStep())
        indexes << QString::fromStdString(tables.getColumn(0).getString());
    return indexes;
}

QStringList damagedSearchIndexes(SQLite::Database& db) {
    QStringList damaged;
    for (const QString& index : searchIndexesOf(db)) {
        if (!checks(db, index))
            damaged << index;
    }
    return damaged;
}

void rebuildSearchIndexes(SQLite::Database& db) {
    const QStringList indexes = searchIndexesOf(db);
    try {
        SQLite::Transaction transaction(db);
        for (const QString& index : indexes) {
            const QString name = Schema::quoted(index);
            db.exec(QStringLiteral("INSERT INTO %1 (%1) VALUES ('rebuild')").arg(name).toStdString());
        }
        transaction.commit();
    } catch (const SQLite::Exception& e) {
        throw StoreError(QStringLiteral("the search index cannot be rebuilt: %1").arg(QString::fromUtf8(e.what())));
    }
    for (const QString& index : indexes) {
        if (!checks(db, index))
            throw StoreError(QStringLiteral("the search index \"%1\" fails its check after it was rebuilt").arg(index));
    }
}
