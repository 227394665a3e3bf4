#pragma once

#include "store/Section.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <memory>
#include <unordered_map>

// Finds whether a record identical in every field is already stored, in
// constant time per record: the stored records of a table are hashed once, the
// first time the table is asked about, and a matching hash is confirmed by
// reading that one record by its key. An empty field and a missing one are the
// same, as the windows show them.
class DuplicateIndex {
public:
    explicit DuplicateIndex(SQLite::Database& db) : m_db(db) {}
    bool isStored(const Record& record);

    static size_t hashOf(const QStringList& values);

private:
    struct Table {
        std::unordered_multimap<size_t, qint64> keys;
        std::unique_ptr<SQLite::Statement> byKey;
    };
    Table& table(Section section);

    SQLite::Database& m_db;
    std::unordered_map<int, Table> m_tables;
};

// Every field of a section's table as "field", "field", ... for a query.
QString quotedFields(Section section);
QString textOf(const SQLite::Column& column);
