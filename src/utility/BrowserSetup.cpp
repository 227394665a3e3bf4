#include "BrowserSetup.h"

#include "browser/HostManifests.h"
#include "platform/AppContext.h"

void setUpBrowsers(AppContext& context, const QString& home, const QString& hostPath) {
    HostManifests::Outcome outcome = HostManifests::install(home, hostPath, false);
    if (!outcome.kept.isEmpty() &&
        context.prompter.ask(QStringLiteral("Another program serves the KeePassXC-Browser extension in:\n%1\n\nOnly "
                                            "one program can serve it in a browser. Let Quillmere serve it there "
                                            "instead?")
                                 .arg(outcome.kept.join(QLatin1Char('\n'))))) {
        const HostManifests::Outcome replaced = HostManifests::install(home, hostPath, true);
        outcome.written = replaced.written;
        outcome.kept.clear();
        outcome.error = replaced.error;
    }
    if (!outcome.error.isEmpty()) {
        context.prompter.warn(outcome.error);
        return;
    }
    if (outcome.written.isEmpty())
        return;
    context.prompter.info(
        QStringLiteral("%1 can now fill your logins through the KeePassXC-Browser extension while Quillmere is open "
                       "and you are signed in. Restart the browser, then connect the extension from its icon.")
            .arg(outcome.written.join(QStringLiteral(", "))));
}
