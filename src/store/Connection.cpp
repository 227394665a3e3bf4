#include "Connection.h"

#include "LockWait.h"
#include "MachineId.h"
#include "MachineStamp.h"
#include "Migration.h"
#include "RegularFile.h"
#include "Schema.h"
#include "StoreError.h"

#include <QFileInfo>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

namespace {
constexpr int BusyTimeoutMs = 5000;
}

Connection::Connection(const QString& path) : Connection(path, std::nullopt) {}

Connection::Connection(const QString& path, const std::optional<QString>& onlyTable) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw StoreError(QStringLiteral("The database file %1 is missing.").arg(path));
    if (const QString notFile = notRegularFile(path); !notFile.isEmpty())
        throw StoreError(notFile);
    if (!info.isReadable())
        throw StoreError(QStringLiteral("The database file %1 cannot be read.").arg(path));
    try {
        m_db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE, BusyTimeoutMs);
        waitForLocks(m_db->getHandle(), BusyTimeoutMs);
        // A write is done when its journal is deleted; EXTRA flushes that deletion
        // too, or a power cut soon after could bring the journal back and the next
        // start would roll the write back.
        m_db->exec("PRAGMA synchronous=EXTRA");
        // Each statement's own undo record (the statement journal) stays in memory:
        // it is a few pages, but past 64 KiB SQLite writes it to a temporary file, and
        // an import into a table of a few hundred thousand records reached that on
        // almost every insert. Set before the connection's triggers: a change of
        // this setting drops every temporary trigger.
        m_db->exec("PRAGMA temp_store=MEMORY");
        // Reading the header proves the file is a database at all; the version
        // says whether it has search indexes, without reading its schema.
        m_version = m_db->execAndGet("PRAGMA user_version").getInt();
        // A newer program's file may hold what this one does not know of: it is
        // only ever read, so no write of this program can spoil it.
        if (m_version > Migration::newestVersion()) {
            m_db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
            waitForLocks(m_db->getHandle(), BusyTimeoutMs);
            m_readOnly = true;
        }
        if (m_version >= 1)
            connectSearchIndexes(onlyTable);
        if (m_version >= 2 && !m_readOnly) {
            m_machine = MachineId::local();
            stampChangesWith(*m_db, m_machine, onlyTable);
        }
    } catch (const std::exception& e) {
        m_db.reset();
        throw StoreError(failure(QStringLiteral("cannot be opened"), e));
    }
}

Connection::~Connection() = default;

void Connection::connectSearchIndexes(const std::optional<QString>& onlyTable) {
    // A connection reads a virtual table's set-up from the file the first time a
    // statement uses it, and every write fires the search index's triggers. Done
    // here, no later write needs that read: while another program holds the file
    // it would fail as "vtable constructor failed" rather than say the file is locked.
    // Only a write to a table fires its index's triggers: a connection that
    // serves one table takes up that table's index alone.
    QStringList tables;
    for (const Schema::Table* table : Schema::recordTables())
        if (!onlyTable || *onlyTable == table->name)
            tables << table->name;
    for (const QString& table : tables) {
        const QString index = table + QStringLiteral(" search");
        // A file that lost an index still opens; the utility's repair rebuilds it.
        if (sqlite3_table_column_metadata(m_db->getHandle(), "main", index.toUtf8().constData(), nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
            continue;
        SQLite::Statement(*m_db,
                          QStringLiteral("SELECT rowid FROM %1 LIMIT 0").arg(Schema::quoted(index)).toStdString());
    }
}

StoreError::Reason Connection::reasonOf(const std::exception& failure) {
    const auto* sqlite = dynamic_cast<const SQLite::Exception*>(&failure);
    if (!sqlite)
        return StoreError::Reason::Unknown;
    switch (sqlite->getErrorCode()) {
    case SQLITE_FULL:
        return StoreError::Reason::DiskFull;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreError::Reason::Locked;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return StoreError::Reason::ReadOnly;
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return StoreError::Reason::DiskError;
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return StoreError::Reason::RefusedValue;
    default:
        return StoreError::Reason::Unknown;
    }
}

QString Connection::failure(const QString& what, const std::exception& reason) const {
    // Whatever SQLite says, the reason that matters is that this version only reads the file.
    if (m_readOnly)
        return QStringLiteral("The database file %1 %2.\n%3")
            .arg(m_path, what, Migration::newerFileNotice(m_path, m_version));
    return QStringLiteral("The database file %1 %2: %3.").arg(m_path, what, QString::fromUtf8(reason.what()));
}

QStringList Connection::columns(const QString& table) {
    QStringList names;
    try {
        SQLite::Statement query(*m_db, "SELECT name FROM pragma_table_info(?)");
        query.bind(1, table.toStdString());
        while (query.executeStep()) {
            const QString name = QString::fromStdString(query.getColumn(0).getString());
            // The key, the identity and the time and computer of the last change are the
            // program's own; no field of the five tables begins with "_".
            if (!name.startsWith(QLatin1Char('_')))
                names << name;
        }
    } catch (const std::exception& e) {
        throw StoreError(failure(QStringLiteral("cannot be read"), e));
    }
    return names;
}

void Connection::requireTable(const QString& table, const QStringList& fields) {
    const QStringList stored = columns(table);
    if (stored.isEmpty())
        throw StoreError(QStringLiteral("The database file %1 has no table \"%2\".").arg(m_path, table));
    // The hidden key is the bookmark every window relies on.
    bool hasKey = false;
    try {
        SQLite::Statement query(*m_db, "SELECT count(*) FROM pragma_table_info(?) WHERE name = ? AND pk = 1");
        query.bind(1, table.toStdString());
        query.bind(2, Schema::KeyColumn.toStdString());
        hasKey = query.executeStep() && query.getColumn(0).getInt() == 1;
    } catch (const std::exception& e) {
        throw StoreError(failure(QStringLiteral("cannot be read"), e));
    }
    if (!hasKey)
        throw StoreError(
            QStringLiteral("The table \"%1\" in the database file %2 has no record key.").arg(table, m_path));
    for (const QString& field : fields) {
        if (!stored.contains(field))
            throw StoreError(QStringLiteral("The table \"%1\" in the database file %2 has no field \"%3\".")
                                 .arg(table, m_path, field));
    }
}

void Connection::useRollbackJournal() {
    if (m_readOnly)
        return; // never written, so it needs no journal of its own
    try {
        // Only a no-op for the program's own files; another journal mode is switched,
        // which writes the file's header.
        if (m_db->execAndGet("PRAGMA journal_mode").getString() != "delete")
            m_db->exec("PRAGMA journal_mode=DELETE");
    } catch (const std::exception& e) {
        throw StoreError(failure(QStringLiteral("cannot be opened"), e));
    }
}

qint64 Connection::dataVersion() {
    return m_db->execAndGet("PRAGMA data_version").getInt64();
}

bool Connection::hasDeletedKeys() {
    try {
        return m_db->execAndGet("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('_deleted', "
                                "'_counts')")
                   .getInt() == 2;
    } catch (const std::exception& e) {
        throw StoreError(failure(QStringLiteral("cannot be read"), e));
    }
}

bool Connection::hasDeletedBlocks() {
    try {
        return m_db->execAndGet("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                                "('_deletedBlocks', '_deletions')")
                   .getInt() == 2;
    } catch (const std::exception& e) {
        throw StoreError(failure(QStringLiteral("cannot be read"), e));
    }
}
