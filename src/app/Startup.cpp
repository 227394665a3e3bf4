#include "Startup.h"

#include "MigrationWindow.h"
#include "platform/Windows.h"

#include "core/DataLocation.h"
#include "platform/AppContext.h"
#include "store/LegacyConversion.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "sync/StartChecks.h"

#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>

bool dataFolderUsable(const DataLocation& data, Prompter& prompter) {
    if (data.error.isEmpty())
        return true;
    // A program started from the menu has no terminal: the session's log keeps this line.
    std::fprintf(stderr, "quillmere: %s\n", qUtf8Printable(data.error));
    std::fflush(stderr);
    prompter.critical(data.error);
    return false;
}

bool convertLegacyFiles(AppContext& context) {
    const std::pair<QString, bool> files[] = {{Schema::PasswordStoreFile, false}, {Schema::RecordDatabaseFile, true}};
    for (const auto& [name, recordDatabase] : files) {
        const LegacyConversion::Outcome outcome = LegacyConversion::convertIfNeeded(context.file(name), recordDatabase);
        if (!outcome.error.isEmpty()) {
            context.prompter.critical(outcome.error);
            // Without the password store nobody can sign in. An unreadable record
            // database is left in place: after sign-in the main window cannot open
            // it and offers the utility, to restore a backup over it.
            if (!recordDatabase)
                return false;
            continue;
        }
        if (outcome.converted)
            context.prompter.info(outcome.report);
    }
    return true;
}

namespace {

void tell(AppContext& context, const StartChecks::Notices& notices) {
    if (!notices.info.isEmpty())
        context.prompter.info(notices.info.join(QStringLiteral("\n\n")));
    if (!notices.warnings.isEmpty())
        context.prompter.warn(notices.warnings.join(QStringLiteral("\n\n")));
}

} // namespace

bool settleRecordJournal(AppContext& context) {
    const StartChecks::Notices notices = StartChecks::beforeOpening(context.file(Schema::RecordDatabaseFile));
    tell(context, notices);
    return !notices.stop;
}

void mergeChangesFromElsewhere(AppContext& context) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const StartChecks::Notices notices =
        StartChecks::afterUpdate(context.file(Schema::RecordDatabaseFile), QDateTime::currentMSecsSinceEpoch());
    QGuiApplication::restoreOverrideCursor();
    tell(context, notices);
}

void updateRecordDatabase(AppContext& context, int windowAfterMs) {
    const QString path = context.file(Schema::RecordDatabaseFile);
    // The usual start: a few rows read from a file that is whole and of the newest version.
    const Migration::State state = Migration::stateOf(path);
    if (state == Migration::State::Newer) {
        context.prompter.warn(Migration::newerFileNotice(path));
        return;
    }
    if (state != Migration::State::Older && state != Migration::State::Damaged)
        return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    Migration::Progress progress;
    Migration::Outcome outcome;
    // The work runs on a thread of its own, so the windows keep painting.
    std::unique_ptr<QThread> worker(QThread::create([&] { outcome = Migration::migrate(path, &progress); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    // A small file is done before a window would be worth showing.
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, &loop,
                     [&] { context.windows.show<MigrationWindow>(context, progress); });
    later.start(windowAfterMs);
    worker->start();
    loop.exec();
    worker->wait();
    later.stop();
    if (AppWindow* window = context.windows.find(MigrationWindow::Name))
        window->close();
    QGuiApplication::restoreOverrideCursor();
    if (!outcome.error.isEmpty())
        context.prompter.warn(outcome.error);
}

void removeStrayFiles(const QString& dataDirectory) {
    const QDir dir(dataDirectory);
    const QStringList strays = dir.entryList({QStringLiteral(".password.mdb.*"), QStringLiteral("*.mdb.converting*")},
                                             QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : strays)
        QFile::remove(dir.filePath(name));
    // Private copies a restore reads a backup's log in.
    for (const QString& name :
         dir.entryList({QStringLiteral(".password.mdb.log-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        QDir(dir.filePath(name)).removeRecursively();
}
