#pragma once

#include "MachineNumbers.h"
#include "Schema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a copied record keeps besides its fields: its identity, the time of its
// last change and the computer that made it (see RecordIdentity). A source made
// before records had identities gives each the identity derived from its
// table, key and text, as bringing that file up to date would.
struct CopiedStamp {
    std::string identity; // as the source stores it: UUID text or its bytes
    qint64 modified = 0;
    std::optional<std::string> machine; // the computer's id; NULL stays NULL
};

// Reads the stamps of a source's records by key.
class StampReader {
public:
    StampReader(SQLite::Database& source, const Schema::Table& table);
    ~StampReader();
    // The record's own stamp, or the derived one when the source has none or
    // it cannot be read (a damaged record).
    CopiedStamp read(qint64 key, const std::vector<std::optional<std::string>>& fields);
    static CopiedStamp derived(const Schema::Table& table, qint64 key,
                               const std::vector<std::optional<std::string>>& fields);
    // True when the source's table has the identity columns.
    bool sourceHasStamps() const { return m_read != nullptr; }
    // The stamp from columns first.. of a row that read the identity, time and computer.
    CopiedStamp fromRow(SQLite::Statement& row, int first, qint64 key,
                        const std::vector<std::optional<std::string>>& fields) const;

private:
    // A computer as the source names it: by id, or by its number there.
    std::optional<std::string> machineOf(const SQLite::Column& column) const;

    const Schema::Table& m_table;
    std::unique_ptr<SQLite::Statement> m_read; // none when the source has no identities
    std::unique_ptr<MachineNumbers> m_machines;
};

// The deletions and the versions that lost a merge, where the source keeps
// them: without them the copies on other computers would bring deleted records
// back. Rows that cannot be read are left out.
void copySyncRecords(SQLite::Database& source, SQLite::Database& target);
