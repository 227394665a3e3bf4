// The command-line program, run as a user runs it: exit codes, one-line
// failures, the sign-in password, secrets kept back, and an import killed
// half-way leaving the database as it was.
#include "ExchangeHelpers.h"
#include "search/RecordSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

namespace {

const QString Cli = QStringLiteral(DELIVERED_DIR "/quillmere-cli");

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCli(const ProgramDirectory& dir, QStringList arguments, const QByteArray& input = "wren\n") {
    QProcess process;
    arguments << "--folder" << dir.path();
    process.start(Cli, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void exitCodes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // in the output when it succeeds, the one error line when not
        const QByteArray wren = "wren\n";
        QTest::newRow("overview") << QStringList{"--help"} << wren << 0 << "export --format json|csv PATH";
        QTest::newRow("command help") << QStringList{"show", "--help"} << wren << 0 << "--secrets";
        QTest::newRow("unknown command") << QStringList{"list"} << wren << 2 << "unknown command";
        QTest::newRow("unknown option") << QStringList{"ls", "passwords", "--all", "--password-stdin"} << wren << 2
                                        << "unknown option --all";
        QTest::newRow("wrong password") << QStringList{"ls", "passwords", "--password-stdin"} << QByteArray("Wren\n")
                                        << 3 << "the password is not correct.";
        QTest::newRow("password with a blank") << QStringList{"ls", "passwords", "--password-stdin"}
                                               << QByteArray("wren \n") << 3 << "the password is not correct.";
        QTest::newRow("no password given")
            << QStringList{"ls", "passwords", "--password-stdin"} << QByteArray() << 2 << "no password";
        QTest::newRow("password with CR LF")
            << QStringList{"ls", "notes", "--password-stdin"} << QByteArray("wren\r\n") << 0 << "";
        QTest::newRow("no such section") << QStringList{"ls", "cars", "--password-stdin"} << wren << 2
                                         << "is no section";
        QTest::newRow("no such record") << QStringList{"show", "passwords", "nothing like it", "--password-stdin"}
                                        << wren << 1 << "no record named";
        QTest::newRow("export format") << QStringList{"export", "--format", "xml", "x", "--password-stdin"} << wren << 2
                                       << "--format json";
        QTest::newRow("missing file") << QStringList{"import", "/nonexistent/file.csv", "--password-stdin"} << wren << 1
                                      << "cannot be read";
        QTest::newRow("search finds every section")
            << QStringList{"search", "bank", "--password-stdin"} << wren << 0 << "Example Savings Bank";
        QTest::newRow("search of a short word")
            << QStringList{"search", "we", "--password-stdin"} << wren << 0 << "Webmail";
        QTest::newRow("search without a text")
            << QStringList{"search", " ", "--password-stdin"} << wren << 2 << "needs a text";
        QTest::newRow("generate needs no password")
            << QStringList{"generate", "--length", "12", "--characters", "digits"} << QByteArray() << 0 << "";
        QTest::newRow("generate length") << QStringList{"generate", "--length", "0"} << QByteArray() << 2 << "--length";
        QTest::newRow("generate characters")
            << QStringList{"generate", "--characters", "emoji"} << QByteArray() << 2 << "--characters";
        QTest::newRow("restore from a folder without a database")
            << QStringList{"restore", "/", "--password-stdin"} << wren << 1 << "";
    }
    void exitCodes() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        ProgramDirectory dir;
        const QByteArray before = dir.bytes("password.mdb");
        const Run run = runCli(dir, arguments, input);
        QCOMPARE(run.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY2(run.out.contains(message), qPrintable(run.out));
            QCOMPARE(run.err, QString());
        } else {
            QVERIFY2(run.err.startsWith("quillmere-cli: ") && run.err.endsWith('\n') && run.err.count('\n') == 1,
                     qPrintable(run.err));
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
            if (exitCode == 3)
                QCOMPARE(run.out, QString()); // nothing of the records
        }
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    void generatedPassword() {
        ProgramDirectory dir;
        const Run run = runCli(dir, {"generate", "--length", "12", "--characters", "upper,digits"}, {});
        QCOMPARE(run.exitCode, 0);
        const QString password = run.out.trimmed();
        QCOMPARE(password.size(), 12);
        for (const QChar c : password)
            QVERIFY2(c.isDigit() || (c >= 'A' && c <= 'Z'), qPrintable(password));
    }

    // The search finds records of every section by their text, never by a secret.
    void searchFindsRecordsNotSecrets() {
        ProgramDirectory dir;
        const Run bank = runCli(dir, {"search", "bank", "--json", "--password-stdin"}, "wren\n");
        QCOMPARE(bank.exitCode, 0);
        const QJsonArray hits = QJsonDocument::fromJson(bank.out.toUtf8()).array();
        QSet<QString> sections;
        for (const QJsonValue& hit : hits)
            sections.insert(hit.toObject().value("section").toString());
        QVERIFY2(sections.size() >= 2, qPrintable(bank.out)); // an account and a card
        for (const char* secret : {"Heron#2006", "4111 1111 1111", "Gr33n-Meadow"}) {
            const Run run = runCli(dir, {"search", secret, "--password-stdin"}, "wren\n");
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
        }
    }

    // A query of one or two characters finds what the Find window finds: the
    // records that hold it anywhere in their text, in the same order.
    void shortSearchFindsWhatFindFinds_data() {
        QTest::addColumn<QString>("query");
        QTest::newRow("inside a word") << "ai";
        QTest::newRow("one letter") << "s";
        QTest::newRow("two short words") << "s q";
    }
    void shortSearchFindsWhatFindFinds() {
        QFETCH(QString, query);
        ProgramDirectory dir;
        const Run run = runCli(dir, {"search", query, "--json", "--password-stdin"}, "wren\n");
        QCOMPARE(run.exitCode, 0);
        QStringList printed;
        for (const QJsonValue& hit : QJsonDocument::fromJson(run.out.toUtf8()).array())
            printed << hit.toObject().value("section").toString() + '|' + hit.toObject().value("name").toString() +
                           '|' + hit.toObject().value("text").toString();
        RecordSearch search(dir.recordDatabase());
        QStringList found;
        for (const SearchHit& hit : search.hits(SearchQuery::parse(query), 1000))
            found << searchedTables()[size_t(hit.tableIndex)].section + '|' + hit.name + '|' + hit.text;
        QVERIFY(!found.isEmpty());
        QCOMPARE(printed, found);
    }

    // Secrets are printed only when asked for.
    void showKeepsSecrets_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("secretShown");
        QTest::newRow("ls") << QStringList{"ls", "passwords"} << false;
        QTest::newRow("ls json") << QStringList{"ls", "passwords", "--json"} << false;
        QTest::newRow("show") << QStringList{"show", "passwords", "Mail box"} << false;
        QTest::newRow("show json") << QStringList{"show", "passwords", "mail BOX", "--json"} << false;
        QTest::newRow("show secrets") << QStringList{"show", "passwords", "Mail box", "--secrets"} << true;
        QTest::newRow("show secrets json")
            << QStringList{"show", "passwords", "Mail box", "--secrets", "--json"} << true;
        QTest::newRow("card") << QStringList{"show", "cards", "Visa"} << false;
    }
    void showKeepsSecrets() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, secretShown);
        ProgramDirectory dir;
        emptyRecords(dir);
        dir.exec("password.mdb", "INSERT INTO account (Account, Website, User, Password, Notes) VALUES "
                                 "('Mail box', 'https://mail', 'me', 'S3cr3t-pw', 'remark')");
        dir.exec("password.mdb", "INSERT INTO \"Credit Card\" (\"Type Card\", \"Card Number\", \"Security Code\") "
                                 "VALUES ('Visa', 'S3cr3t-pw', 'S3cr3t-pw')");
        const Run run = runCli(dir, arguments << "--password-stdin");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.contains("S3cr3t-pw"), secretShown);
        QVERIFY2(run.out.contains("Mail box") || run.out.contains("Visa"), qPrintable(run.out));
        if (arguments.contains("--json"))
            QVERIFY(QJsonDocument::fromJson(run.out.toUtf8()).isArray());
    }

    // Import, import again, export: what the desktop's utility does, from a script.
    void importAndExport() {
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("chrome.csv"), "name,url,username,password,note\na,https://a,u,p,\nb,,v,q,n\n");
        Run run = runCli(dir, {"import", files.filePath("chrome.csv"), "--password-stdin", "--json"});
        QCOMPARE(run.exitCode, 0);
        QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(result.value("imported").toObject().value("passwords").toInt(), 2);
        run = runCli(dir, {"import", files.filePath("chrome.csv"), "--password-stdin"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("Passwords: 0 imported, 2 skipped") && run.out.contains("plain text"),
                 qPrintable(run.out));
        QCOMPARE(dir.count("account"), 2);

        run = runCli(dir, {"export", "--format", "json", files.filePath("out.json"), "--password-stdin"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(isOwnerOnly(files.filePath("out.json")));
        const QJsonArray items =
            QJsonDocument::fromJson(fileBytes(files.filePath("out.json"))).object().value("items").toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(1).toObject().value("login").toObject().value("password").toString(), "q");

        // A CSV of no known kind needs its columns named.
        writeBytes(files.filePath("own.csv"), "site,login,secret\nc,w,r\n");
        run = runCli(dir, {"import", files.filePath("own.csv"), "--password-stdin"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("--map"));
        run = runCli(dir, {"import", files.filePath("own.csv"), "--section", "passwords", "--map",
                           "Account=site,User=login,Password=secret", "--password-stdin"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords).last(), (QStringList{"c", "", "w", "r", ""}));
    }

    void backupRestoreRepair() {
        ProgramDirectory dir;
        QTemporaryDir backups;
        QCOMPARE(runCli(dir, {"backup", backups.path(), "--password-stdin"}).exitCode, 0);
        QVERIFY(QFile::exists(backups.filePath("password.mdb")));
        const auto notes = recordsOf(dir.recordDatabase(), Section::Notes);
        QVERIFY(!notes.isEmpty());
        dir.exec("password.mdb", "DELETE FROM Notes");
        QCOMPARE(runCli(dir, {"restore", backups.path(), "--password-stdin"}).exitCode, 0);
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Notes), notes);
        const Run repaired = runCli(dir, {"repair", "--password-stdin"});
        QCOMPARE(repaired.exitCode, 0);
        QVERIFY(repaired.out.contains("repaired"));
        QVERIFY(!QFile::exists(dir.file("password2.mdb")));
        QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
    }

    // The command-line program runs without a desktop: no Qt Gui or Widgets.
    void noDesktopLibraries() {
        QProcess ldd;
        ldd.start("ldd", {Cli});
        QVERIFY(ldd.waitForFinished());
        const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
        QVERIFY2(libraries.contains("libQt6Core"), qPrintable(libraries));
        QVERIFY2(!libraries.contains("libQt6Gui") && !libraries.contains("libQt6Widgets"), qPrintable(libraries));
    }

    // Killed at any moment, an import leaves all of the file or none of it.
    void killDuringImport() {
        ProgramDirectory dir;
        const qint64 before = dir.count("account");
        QTemporaryDir files;
        const int rows = 60000;
        QByteArray csv = "name,url,username,password,note\n";
        for (int i = 0; i < rows; ++i)
            csv += "site " + QByteArray::number(i) + ",https://example.com/" + QByteArray::number(i) + ",user,pw,\n";
        writeBytes(files.filePath("big.csv"), csv);
        const QString layout = layoutOf(dir.recordDatabase());
        int killed = 0;
        for (int round = 0; round < 6; ++round) {
            QProcess process;
            process.start(Cli, {"import", files.filePath("big.csv"), "--password-stdin", "--folder", dir.path()});
            process.write("wren\n");
            process.closeWriteChannel();
            QVERIFY(process.waitForStarted());
            QTest::qWait(int(QRandomGenerator::global()->bounded(20, 400)));
            if (process.state() == QProcess::Running) {
                process.kill();
                ++killed;
            }
            process.waitForFinished();
            QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
            QCOMPARE(layoutOf(dir.recordDatabase()), layout);
            QCOMPARE(searchIndexProblem(dir.recordDatabase()), QString());
            const qint64 after = dir.count("account");
            QVERIFY2(after == before || after == before + rows, qPrintable(QString::number(after)));
            if (after != before)
                break; // all of it landed; importing again would add nothing
        }
        qInfo("%d imports killed, the database whole each time", killed);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
