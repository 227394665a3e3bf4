#pragma once

#include <QString>

// How long a record database keeps its deletions ("_tombstones") and the versions
// that lost a merge ("_history").
//
// A deletion must outlive every copy that still holds the record: a copy that
// comes back after its deletion was forgotten brings the record back (nothing is
// lost, a deleted record reappears). 400 days covers a computer left unused for a
// year, a yearly backup or a laptop kept for travel, with a month to spare; each
// deletion costs some sixty bytes. A lost version is kept as long, so the user
// can find an edit that another computer's newer one replaced.
namespace Retention {

constexpr qint64 KeptDays = 400;

// Removes what is older than KeptDays before nowMs, in one transaction; the
// file is not written when there is nothing to remove, nor when it has no
// deletions kept (older layouts). Returns the number of rows removed. Throws StoreError.
qint64 pruneOld(const QString& databasePath, qint64 nowMs);

} // namespace Retention
