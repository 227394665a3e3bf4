#pragma once

#include "StoreError.h"
#include <QString>

#include <QStringList>
#include <SQLiteCpp/Database.h>
#include <memory>
#include <optional>

// One SQLite connection to an existing database file, read-write and shared.
// It never creates the file: a missing file is an error, not an empty database.
class Connection {
public:
    explicit Connection(const QString& path); // throws StoreError
    // A connection that writes only to the given table of the record database.
    Connection(const QString& path, const std::optional<QString>& onlyTable);
    ~Connection();

    SQLite::Database& db() { return *m_db; }
    const QString& path() const { return m_path; }

    // The stored columns of a table, without the hidden ones ("_key", "_id", ...); throws
    // when the table is missing.
    QStringList columns(const QString& table);
    // Throws a StoreError naming the first missing table or field.
    void requireTable(const QString& table, const QStringList& fields);
    // True when the file records the keys of deleted records in "_deleted" and
    // each table's number of records in "_counts".
    bool hasDeletedKeys();
    // True when the file also counts its deleted keys per block of keys and numbers the deletions.
    bool hasDeletedBlocks();
    // A rollback journal keeps the file whole on its own, so a plain copy is a
    // complete backup. Switching writes the file: call it only once the file has
    // been found to be the program's own.
    void useRollbackJournal();
    // Changes whenever another connection has committed to the file.
    qint64 dataVersion();

    // A StoreError that names this file and the reason SQLite gave.
    QString failure(const QString& what, const std::exception& reason) const;
    // What SQLite's failure means for the user; Unknown for anything not from SQLite.
    static StoreError::Reason reasonOf(const std::exception& failure);

    // The file's layout version (PRAGMA user_version), read when it was opened.
    int version() const { return m_version; }
    // This computer's id, as the connection names it in what it changes (see MachineId).
    const QString& machine() const { return m_machine; }
    // True for a file of a newer program than this one: opened for reading only,
    // and every write fails with a StoreError that says why.
    bool readOnly() const { return m_readOnly; }

private:
    void connectSearchIndexes(const std::optional<QString>& onlyTable);

    QString m_path;
    std::unique_ptr<SQLite::Database> m_db;
    int m_version = 0;
    QString m_machine;
    bool m_readOnly = false;
};
