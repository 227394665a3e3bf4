#include "StartChecks.h"

#include "ConflictCopies.h"
#include "JournalCheck.h"
#include "Retention.h"
#include "store/Migration.h"
#include "store/StoreError.h"

#include <QFileInfo>

namespace StartChecks {

Notices beforeOpening(const QString& databasePath) {
    Notices notices;
    const JournalCheck::Outcome journal = JournalCheck::settle(databasePath);
    if (journal.verdict == JournalCheck::Verdict::Foreign) {
        notices.stop = journal.setAsideAs.isEmpty();
        (notices.stop ? notices.warnings : notices.info) << journal.notice;
    }
    return notices;
}

Notices afterUpdate(const QString& databasePath, qint64 nowMs) {
    // A newer program's file is never written; one not yet up to date cannot merge.
    if (!QFileInfo(databasePath).isFile() || Migration::stateOf(databasePath) != Migration::State::Current)
        return {};
    return afterUpdateOfCurrent(databasePath, nowMs);
}

Notices afterUpdateOfCurrent(const QString& databasePath, qint64 nowMs) {
    Notices notices;
    try {
        Retention::pruneOld(databasePath, nowMs);
    } catch (const StoreError& e) {
        notices.warnings << e.message();
    }
    const ConflictCopies::Report copies = ConflictCopies::mergeAll(databasePath);
    if (!copies.mergedNotice.isEmpty())
        notices.info << copies.mergedNotice;
    if (!copies.problemNotice.isEmpty())
        notices.warnings << copies.problemNotice;
    return notices;
}

} // namespace StartChecks
