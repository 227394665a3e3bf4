#pragma once

#include "RecordCopyProgress.h"

#include <QString>
#include <SQLiteCpp/Database.h>
#include <vector>

// The keys of a table of a damaged file that a b-tree still gives, ascending:
// the table's own b-tree when index is empty, else that index on the key alone
// (which never touches the table). A damaged page stops a walk; the walk goes on
// from the lowest start past it that it finds by probing.
//
// Each failure costs at most 130 probes (a doubling search over the 64-bit keys,
// then halving), and a walk fails at most once for every key it gives and once
// more at its end, so a table whose every page is damaged costs a few hundred
// probes and a walk always ends. Records on a good page between two damaged ones
// can be stepped over by the probing: the index's walk gives their keys.
std::vector<qint64> walkKeys(SQLite::Database& db, const QString& table, const QString& index, CopyProgress& progress);

// The name of an index of the table on its key column alone; empty when it has none.
QString keyIndexOf(SQLite::Database& db, const QString& table);
