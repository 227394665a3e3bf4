#pragma once

#include <QString>
#include <QStringList>
#include <SQLiteCpp/Database.h>

// Keeps a table's search index in step with many added records at once, inside
// the caller's write transaction. Record by record, the index's trigger makes
// the index write its pending words at every statement, one small piece per
// record that must be merged again later: an import of 100,000 records spent
// most of its time there. Here the trigger is set aside while the records are
// added and the index takes them all in one statement at finish(), which then
// puts the trigger back as it was stored. All of it belongs to the caller's
// transaction: a rollback, or a kill at any moment, leaves the file with its
// trigger and its index as they were.
//
// A file without a search index (not yet migrated) is left alone.
class BulkIndexing {
public:
    // Call inside a write transaction, before the first record is added to the table.
    BulkIndexing(SQLite::Database& db, const QString& table);
    // Indexes every record added since the construction and restores the
    // trigger; throws SQLite::Exception. Without it the transaction must roll back.
    void finish();

    bool active() const { return !m_triggerSql.isEmpty(); }

    // The index's memory for words not yet written, while the records are
    // indexed: larger means fewer, larger pieces to merge. Bounded, whatever the
    // number of records.
    static constexpr qint64 BulkHashBytes = 16 * 1024 * 1024;

private:
    // The value the file stores, null when unset.
    QString setting(const QString& name);
    void set(const QString& name, const QString& value);
    void unset(const QString& name);

    SQLite::Database& m_db;
    QString m_table;
    QString m_index;
    QString m_trigger;
    QString m_triggerSql;
    QStringList m_columns;
    QString m_hashSize;
    qint64 m_lastKeyBefore = 0;
};
