#pragma once

#include "RecordCopyProgress.h"

#include <QString>
#include <SQLiteCpp/Database.h>
#include <vector>

// Copies the records of the five tables from one record database into a new one
// made from the program's layout. Records are inserted one by one in key order
// under new keys, so the new file's own triggers keep its bookkeeping; only the
// fields of the layout are read, always as text, so nothing but the records of a
// source (no table, trigger, view or column type of its own) reaches the new file.
// Each record keeps its identity, time and computer, and the source's deletions and
// merge history come along, so the new file merges with the copies on other
// computers as the old one did; a source without identities gives its records the
// derived ones (see RecordIdentity).
struct TableTally {
    QString table;
    qint64 expected = -1; // what the source says it holds; -1 when it cannot say
    qint64 copied = 0;    // whole or in part
    qint64 inPart = 0;    // copied without some text that could not be read
    qint64 lost() const { return expected < 0 ? -1 : qMax<qint64>(0, expected - copied); }
};

struct CopyResult {
    std::vector<TableTally> tables;
    bool complete() const;
};

// Every record or nothing: throws StoreError at the first that cannot be read.
CopyResult copyEveryRecord(SQLite::Database& source, SQLite::Database& target);

// Every record that can still be read: a damaged page or record is stepped
// over, and the copying goes on with the records after it. A record's keys come
// from the table's b-tree and from its index on the key, each walked in bounded
// time whatever is damaged (see RecordCopyKeys.h); its text is checked as
// SalvageReader tells, and what is not the text that was written is left out.
// Throws CopyCancelled when the progress's listener says stop.
CopyResult salvageRecords(SQLite::Database& source, SQLite::Database& target, CopyProgress& progress);

// True when every record of the five tables reads whole, as salvageRecords
// would check it: a file SQLite calls sound may still hold a page of garbage
// text whose structure is intact.
bool everyRecordReadsWhole(SQLite::Database& source, CopyProgress& progress);

// Checks a file just built: SQLite finds no damage, each table holds the records
// copied into it, and its kept counts agree. Throws StoreError.
void verifyCopy(SQLite::Database& target, const CopyResult& copied);
