#include "LockWaitPointer.h"
#include "LoginWindow.h"
#include "Startup.h"
#include "core/CoreDumps.h"
#include "platform/AppContext.h"
#include "platform/Look.h"
#include "platform/QtReportViewer.h"
#include "platform/QtSeams.h"
#include "platform/ShownMarks.h"
#include "platform/Windows.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    // Before anything is read: a crash must never write the records to disk.
    disableCoreDumps();
    QApplication app(argc, argv);
    QApplication::setApplicationName(ProgramTitle);
    // Ties the windows to the installed desktop entry, for the task bar's name and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.quillmere.Quillmere"));
    applyProgramLook(app);
    showBusyPointerDuringLockWaits();
    installShownMarks(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/app.svg")));

    QtPrompter prompter;
    QtClipboard clipboard;
    QtBrowser browser;
    QtFileDialogs fileDialogs;
    QtReportViewer reportViewer;
    Windows windows;
    const DataLocation data =
        DataLocation::decide(DataLocation::currentEnvironment(QApplication::applicationDirPath()));
    if (!dataFolderUsable(data, prompter))
        return 1;
    AppContext context{.dataDirectory = data.dataDirectory,
                       .prompter = prompter,
                       .clipboard = clipboard,
                       .browser = browser,
                       .fileDialogs = fileDialogs,
                       .reportViewer = reportViewer,
                       .windows = windows,
                       .templateDirectory = data.templateDirectory};

    removeStrayFiles(context.dataDirectory);
    if (!settleRecordJournal(context))
        return 1;
    if (!convertLegacyFiles(context))
        return 1;
    updateRecordDatabase(context);
    mergeChangesFromElsewhere(context);
    if (!windows.show<LoginWindow>(context))
        return 1;
    return app.exec();
}
