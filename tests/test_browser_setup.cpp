// quillmere-cli's browser commands: the manifests that point the browsers at
// the host, and the connections and decisions kept in the records.
#include "CliRun.h"
#include "browser/BrowserStore.h"

#include <QFile>
#include <QJsonObject>
#include <QTest>

namespace {

const QString ManifestName = "org.keepassxc.keepassxc_browser.json";

QJsonObject manifestAt(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class TestBrowserSetup : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString firefox() const { return m_home.filePath(".mozilla/native-messaging-hosts/" + ManifestName); }
    QString chromium() const { return m_home.filePath(".config/chromium/NativeMessagingHosts/" + ManifestName); }
    QString chrome() const { return m_home.filePath(".config/google-chrome/NativeMessagingHosts/" + ManifestName); }

private slots:
    void init() {
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.path());
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }

    // The three manifests name the host beside the program and the extension's
    // ids, each browser in its own form.
    void setupWritesTheManifestOfEachBrowser() {
        ProgramDirectory dir;
        const Run run = runCli(dir, {"browser-setup"}, "");
        QCOMPARE(run.exitCode, 0);
        const QString host = QStringLiteral(DELIVERED_DIR "/quillmere-browser-host");
        const QJsonObject ofFirefox = manifestAt(firefox());
        QCOMPARE(ofFirefox.value("name").toString(), "org.keepassxc.keepassxc_browser");
        QCOMPARE(ofFirefox.value("type").toString(), "stdio");
        QCOMPARE(ofFirefox.value("path").toString(), host);
        QCOMPARE(ofFirefox.value("allowed_extensions").toArray(), QJsonArray{"keepassxc-browser@keepassxc.org"});
        QVERIFY(!ofFirefox.contains("allowed_origins"));
        for (const QString& path : {chromium(), chrome()}) {
            const QJsonObject ofChromium = manifestAt(path);
            QCOMPARE(ofChromium.value("path").toString(), host);
            QCOMPARE(ofChromium.value("allowed_origins").toArray(),
                     QJsonArray({"chrome-extension://oboonakemofpalcgghocfoadofidjkkk/",
                                 "chrome-extension://pdffhmdngciaglkoonimfcmckehcpafo/"}));
        }
    }

    // Another program's manifest stays unless the user says --replace; --remove
    // takes only the program's own away.
    void anotherProgramsManifestIsKeptUnlessReplaced() {
        ProgramDirectory dir;
        QDir().mkpath(QFileInfo(firefox()).path());
        const QByteArray other = R"({"name":"org.keepassxc.keepassxc_browser","path":"/usr/bin/keepassxc-proxy"})";
        QFile file(firefox());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(other);
        file.close();

        const Run kept = runCli(dir, {"browser-setup"}, "");
        QCOMPARE(kept.exitCode, 0);
        QVERIFY2(kept.out.contains("keepassxc-proxy") && kept.out.contains("--replace"), qPrintable(kept.out));
        QCOMPARE(fileBytes(firefox()), other);
        QVERIFY(QFileInfo::exists(chromium()));

        QCOMPARE(runCli(dir, {"browser-setup", "--remove"}, "").exitCode, 0);
        QCOMPARE(fileBytes(firefox()), other);
        QVERIFY(!QFileInfo::exists(chromium()) && !QFileInfo::exists(chrome()));

        QCOMPARE(runCli(dir, {"browser-setup", "--replace"}, "").exitCode, 0);
        QVERIFY(manifestAt(firefox()).value("path").toString().endsWith("/quillmere-browser-host"));
        QCOMPARE(runCli(dir, {"browser-setup", "--replace", "--remove"}, "").exitCode, 2);
    }

    // Connections and decisions are listed, and forgotten one by one.
    void connectionsAndDecisionsAreListedAndForgotten() {
        ProgramDirectory dir;
        {
            BrowserStore store(dir.recordDatabase());
            store.addLink("Firefox", "aWQta2V5");
            store.remember("https://books.example.org", 1, true);
            store.remember("https://news.example.org", 1, false);
        }
        const Run listed = runCli(dir, {"browser-list", "--password-stdin"});
        QCOMPARE(listed.exitCode, 0);
        QVERIFY2(listed.out.contains("Firefox\tmade ") && listed.out.contains("https://books.example.org\t1\t") &&
                     listed.out.contains("allowed") && listed.out.contains("denied"),
                 qPrintable(listed.out));
        QVERIFY(!listed.out.contains("aWQta2V5"));
        const QJsonObject json =
            QJsonDocument::fromJson(runCli(dir, {"browser-list", "--json", "--password-stdin"}).out.toUtf8()).object();
        QCOMPARE(json.value("decisions").toArray().size(), 2);

        QCOMPARE(runCli(dir, {"browser-forget", "--site", "https://books.example.org", "--password-stdin"}).exitCode,
                 0);
        QCOMPARE(runCli(dir, {"browser-forget", "Firefox", "--password-stdin"}).exitCode, 0);
        QCOMPARE(runCli(dir, {"browser-forget", "Firefox", "--password-stdin"}).exitCode, 1);
        QCOMPARE(runCli(dir, {"browser-list", "extra", "--password-stdin"}).exitCode, 2);
        BrowserStore store(dir.recordDatabase());
        QVERIFY(store.links().isEmpty());
        QCOMPARE(store.decisions().size(), 1);
        QCOMPARE(store.decisions().first().site, "https://news.example.org");
    }
};

QTEST_GUILESS_MAIN(TestBrowserSetup)
#include "test_browser_setup.moc"
