#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace SQLite {
class Database;
}

// Whether what a file's version promises is really in it. A file can say it is
// of the newest version and still lack a search index (dropped by another tool,
// lost to a bad copy) or hold an index that was emptied: the version alone
// would leave it so for good. The start looks here first and, when something is
// amiss, lets the migration build it again.
namespace MigrationHealth {

// What one part of the schema makes: its tables (the search indexes' own tables
// counted too), triggers and indexes, by the type sqlite_master gives them.
struct SchemaObject {
    QString type; // "table", "trigger" or "index"
    QString name;
    bool virtualTable = false;
};
QList<SchemaObject> objectsOf(const QString& partSql);
// The names of what a part drops that an earlier one made (a search index's own
// tables with it): a later version may replace or take away what an earlier one made.
QStringList droppedBy(const QString& partSql);

// The tables FTS5 keeps for a search index of the program's kind (external
// content, no column sizes).
QStringList shadowTablesOf(const QString& index);

struct Damage {
    QList<int> incompleteParts; // versions some of whose tables, triggers or indexes are missing
    QStringList staleIndexes;   // search indexes that count other records than their table holds
    bool none() const { return incompleteParts.isEmpty() && staleIndexes.isEmpty(); }
};

// Looks at the parts up to the file's version (parts[0] is the tables every
// file has and is not looked at: without them the windows tell what is wrong).
// What a later part up to the version drops is the later part's to make again,
// or gone for good: the earlier part is not expected to hold it.
// Reads sqlite_master, then one row of each index and of the kept counts, or a
// table's count where those disagree: cheap at any number of records. Throws
// SQLite's exceptions.
Damage findDamage(SQLite::Database& db, const QStringList& parts, int version);

// The table and the number of records a search index says it holds.
qint64 indexedRecords(SQLite::Database& db, const QString& index);

} // namespace MigrationHealth
