// The browser extension from the command line: the manifests that point the
// browsers at the host, and the connections and decisions kept in the records.
#include "CommandRuns.h"
#include "Output.h"
#include "browser/BrowserStore.h"
#include "browser/HostManifests.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>

namespace {

QString hostPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(HostManifests::HostExecutable);
}

BrowserStore openStore(Context& context) {
    try {
        return BrowserStore(context.database());
    } catch (const StoreError& e) {
        fail(e.message());
    }
}

} // namespace

int browserSetup(Context& context) {
    const Arguments& a = context.arguments;
    if (!a.positional.isEmpty())
        return fail(QStringLiteral("browser-setup takes no arguments."), Usage);
    if (a.has(QStringLiteral("remove")) && a.has(QStringLiteral("replace")))
        return fail(QStringLiteral("--remove and --replace cannot go together."), Usage);
    const bool removing = a.has(QStringLiteral("remove"));
    const HostManifests::Outcome outcome =
        removing ? HostManifests::remove(QDir::homePath())
                 : HostManifests::install(QDir::homePath(), hostPath(), a.has(QStringLiteral("replace")));
    if (a.has(QStringLiteral("json"))) {
        print(jsonOf({{QStringLiteral("written"), QJsonArray::fromStringList(outcome.written)},
                      {QStringLiteral("kept"), QJsonArray::fromStringList(outcome.kept)},
                      {QStringLiteral("removed"), QJsonArray::fromStringList(outcome.removed)}}) +
              QLatin1Char('\n'));
    } else {
        for (const QString& browser : outcome.written)
            print(QStringLiteral("%1: set up for Quillmere.\n").arg(browser));
        for (const QString& browser : outcome.removed)
            print(QStringLiteral("%1: Quillmere's set-up removed.\n").arg(browser));
        for (const QString& other : outcome.kept)
            print(QStringLiteral("%1: another program serves the extension there; kept (--replace replaces it).\n")
                      .arg(other));
        if (removing && outcome.removed.isEmpty())
            print(QStringLiteral("No browser was set up for Quillmere.\n"));
    }
    if (!outcome.error.isEmpty())
        return fail(outcome.error);
    // Another program kept in every browser: nothing was done.
    if (!removing && outcome.written.isEmpty())
        return Refused;
    return Done;
}

int browserList(Context& context) {
    if (!context.arguments.positional.isEmpty())
        return fail(QStringLiteral("browser-list takes no arguments."), Usage);
    BrowserStore store = openStore(context);
    const QList<BrowserStore::Link> links = store.links();
    const QList<BrowserStore::Decision> decisions = store.decisions();
    if (context.arguments.has(QStringLiteral("json"))) {
        QJsonArray linkArray;
        for (const BrowserStore::Link& link : links)
            linkArray.append(QJsonObject{{QStringLiteral("name"), link.name},
                                         {QStringLiteral("created"), link.created},
                                         {QStringLiteral("lastUsed"), link.lastUsed}});
        QJsonArray decisionArray;
        for (const BrowserStore::Decision& decision : decisions)
            decisionArray.append(QJsonObject{{QStringLiteral("site"), decision.site},
                                             {QStringLiteral("id"), decision.record},
                                             {QStringLiteral("account"), decision.account},
                                             {QStringLiteral("allowed"), decision.allowed},
                                             {QStringLiteral("decided"), decision.decided}});
        print(jsonOf({{QStringLiteral("connections"), linkArray}, {QStringLiteral("decisions"), decisionArray}}) +
              QLatin1Char('\n'));
        return Done;
    }
    print(QStringLiteral("Connections:\n"));
    for (const BrowserStore::Link& link : links)
        print(QStringLiteral("%1\tmade %2\tlast used %3\n")
                  .arg(link.name, link.created, link.lastUsed.isEmpty() ? QStringLiteral("never") : link.lastUsed));
    print(QStringLiteral("Remembered decisions:\n"));
    for (const BrowserStore::Decision& decision : decisions)
        print(QStringLiteral("%1\t%2\t%3\t%4\n")
                  .arg(decision.site)
                  .arg(decision.record)
                  .arg(decision.account, decision.allowed ? QStringLiteral("allowed") : QStringLiteral("denied")));
    return Done;
}

int browserForget(Context& context) {
    const Arguments& a = context.arguments;
    if (a.positional.size() != 1)
        return fail(QStringLiteral("browser-forget needs the name of a connection, or a site with --site."), Usage);
    BrowserStore store = openStore(context);
    const QString name = a.positional.first();
    if (a.has(QStringLiteral("site"))) {
        const int forgotten = store.forgetSite(name);
        if (forgotten == 0)
            return fail(QStringLiteral("no decision is remembered for %1.").arg(name));
        print(QStringLiteral("%1 decisions for %2 forgotten.\n").arg(forgotten).arg(name));
        return Done;
    }
    if (!store.removeLink(name))
        return fail(QStringLiteral("there is no connection named \"%1\".").arg(name));
    print(QStringLiteral("The connection \"%1\" is forgotten; that browser must connect again.\n").arg(name));
    return Done;
}
