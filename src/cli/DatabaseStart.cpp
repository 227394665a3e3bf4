#include "DatabaseStart.h"

#include "store/Migration.h"
#include "sync/StartChecks.h"

#include <QDateTime>
#include <cstdio>

namespace {

void tell(const QStringList& lines) {
    for (const QString& line : lines)
        std::fprintf(stderr, "quillmere-cli: %s\n", line.toUtf8().constData());
}

void tell(const StartChecks::Notices& notices) {
    tell(notices.info);
    tell(notices.warnings);
}

} // namespace

bool prepareDatabase(const QString& databasePath) {
    const StartChecks::Notices before = StartChecks::beforeOpening(databasePath);
    tell(before);
    if (before.stop)
        return false;
    const Migration::State state = Migration::stateOf(databasePath);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (state == Migration::State::Older || state == Migration::State::Damaged) {
        const Migration::Outcome outcome = Migration::migrate(databasePath);
        if (!outcome.error.isEmpty())
            tell({outcome.error});
        tell(StartChecks::afterUpdate(databasePath, now));
    } else if (state == Migration::State::Current) {
        tell(StartChecks::afterUpdateOfCurrent(databasePath, now));
    }
    std::fflush(stderr);
    return true;
}
