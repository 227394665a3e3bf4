#include "LockWaitPointer.h"
#include "LoginWindow.h"
#include "Startup.h"
#include "browser/ExtensionServer.h"
#include "browser/SocketPath.h"
#include "browserui/QtExtensionAsker.h"
#include "core/CoreDumps.h"
#include "platform/AppContext.h"
#include "platform/Look.h"
#include "platform/QtReportViewer.h"
#include "platform/QtSeams.h"
#include "platform/ShownMarks.h"
#include "platform/Windows.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

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

    // The browser extension reaches the program from the start, so a browser is
    // told at once that nobody is signed in yet; a program that cannot listen
    // works on without it, and the session's log says why.
    QtExtensionAsker extensionAsker(context);
    ExtensionServer extensionServer(extensionAsker, SocketPath::socketFile());
    if (extensionServer.listen())
        context.extensionServer = &extensionServer;
    else
        std::fprintf(stderr, "quillmere: %s\n", qUtf8Printable(extensionServer.error()));

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
