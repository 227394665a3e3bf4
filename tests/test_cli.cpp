// The command-line program, run as a user runs it: exit codes, one-line
// failures and their JSON form, the sign-in password, records found by id and
// by name, secrets kept back, and an import killed half-way leaving the
// database as it was.
#include "CliRun.h"
#include "ExchangeHelpers.h"
#include "search/RecordSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

// Accounts for finding records by name: each (Account, Website, User).
void addAccounts(const ProgramDirectory& dir, const QList<QStringList>& accounts) {
    for (const QStringList& a : accounts)
        dir.exec("password.mdb", QStringLiteral("INSERT INTO account (Account, Website, User, Password) VALUES "
                                                "('%1', '%2', '%3', 'pw')")
                                     .arg(QString(a.at(0)).replace('\'', "''"), QString(a.at(1)).replace('\'', "''"),
                                          QString(a.at(2)).replace('\'', "''")));
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
        QTest::newRow("overview") << QStringList{"--help"} << wren << 0
                                  << "export --format json|csv|keepassxc-csv PATH";
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
        QTest::newRow("password line longer than 64 KB")
            << QStringList{"ls", "passwords", "--password-stdin"} << "wren" + QByteArray(70000, 'x') + "\n"
            << 2 << "the first line of standard input is longer than 64 KB";
        QTest::newRow("password from /dev/zero") << QStringList{"ls", "passwords", "--password-stdin"}
                                                 << QByteArray("file:/dev/zero") << 2 << "longer than 64 KB";
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
        QTest::newRow("version") << QStringList{"--version"} << QByteArray() << 0 << "quillmere-cli 1.";
        QTest::newRow("short help") << QStringList{"ls", "-h"} << QByteArray() << 0
                                    << "Usage: quillmere-cli ls SECTION";
        QTest::newRow("help of a command")
            << QStringList{"help", "show"} << QByteArray() << 0 << "show SECTION NAME|ID [--secrets]";
        QTest::newRow("unknown short option")
            << QStringList{"ls", "passwords", "-x", "--password-stdin"} << wren << 2 << "unknown option -x.";
        QTest::newRow("option without its value")
            << QStringList{"generate", "--length"} << QByteArray() << 2 << "--length needs a value.";
        QTest::newRow("flag with a value")
            << QStringList{"ls", "notes", "--json=yes", "--password-stdin"} << wren << 2 << "--json";
        QTest::newRow("options end at --")
            << QStringList{"ls", "--password-stdin", "--", "--json"} << wren << 2 << "\"--json\" is no section";
        QTest::newRow("generate takes no arguments")
            << QStringList{"generate", "twelve"} << QByteArray() << 2 << "generate takes no arguments";
        QTest::newRow("generate count") << QStringList{"generate", "--count", "0"} << QByteArray() << 2 << "--count";
        QTest::newRow("no record of that id")
            << QStringList{"show", "passwords", "987654", "--password-stdin"} << wren << 1 << "no record named";
        QTest::newRow("show without a name")
            << QStringList{"show", "passwords", "", "--password-stdin"} << wren << 2 << "needs a name or an id";
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

    // A pipe or a device where a file is expected is refused, never opened.
    void specialFilesRefused_data() {
        QTest::addColumn<QString>("where"); // which file is not a regular one
        QTest::addColumn<QString>("kind");  // "pipe" or "zero", a link to /dev/zero
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        for (const char* kind : {"pipe", "zero"}) {
            const QString says =
                QString(kind) == "pipe" ? "is not a file but a named pipe" : "is not a file but a device";
            const QString k = QString::fromLatin1(kind);
            QTest::addRow("import from a %s", kind) << "import" << k << QStringList{"import", "{file}"} << says;
            QTest::addRow("import --preview from a %s", kind)
                << "import" << k << QStringList{"import", "{file}", "--preview", "--encoding", "utf-8"} << says;
            QTest::addRow("ls with the database a %s", kind)
                << "database" << k << QStringList{"ls", "passwords"} << says;
            QTest::addRow("show with the database a %s", kind)
                << "database" << k << QStringList{"show", "notes", "x"} << says;
            QTest::addRow("search with the database a %s", kind)
                << "database" << k << QStringList{"search", "bank"} << says;
            QTest::addRow("export with the database a %s", kind)
                << "database" << k << QStringList{"export", "--format", "json", "{out}"} << says;
            QTest::addRow("restore from a %s", kind) << "backup" << k << QStringList{"restore", "{backup}"} << says;
        }
    }
    void specialFilesRefused() {
        QFETCH(QString, where);
        QFETCH(QString, kind);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        ProgramDirectory dir;
        QTemporaryDir files;
        QVERIFY(QDir(files.path()).mkdir("backup"));
        const QString special = where == "import"     ? files.filePath("export.csv")
                                : where == "database" ? dir.recordDatabase()
                                                      : files.filePath("backup/password.mdb");
        QFile::remove(special);
        if (kind == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(special).constData(), 0600), 0);
        else
            QVERIFY(QFile::link("/dev/zero", special));
        for (QString& argument : arguments)
            argument.replace("{file}", special)
                .replace("{out}", files.filePath("out.json"))
                .replace("{backup}", files.filePath("backup"));
        const Run run = runCli(dir, arguments << "--password-stdin");
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith("quillmere-cli: ") && run.err.contains(message) && run.err.count('\n') == 1,
                 qPrintable(run.err));
    }

    // A file that is not valid UTF-8 is imported only in the encoding named.
    void encodingNamedOrRefused_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("accounts");
        QTest::newRow("not named") << QStringList{} << 1
                                   << "Line 3: byte 11 of the line (0x96) is not UTF-8, so the file's encoding must be "
                                      "named. Name it with --encoding utf-8"
                                   << QStringList{};
        QTest::newRow("preview, not named") << QStringList{"--preview"} << 1 << "Line 3: byte 11" << QStringList{};
        QTest::newRow("preview as UTF-8") << QStringList{"--preview", "--encoding", "utf-8"} << 0
                                          << "Chrome CSV export, read as UTF-8, and holds" << QStringList{};
        QTest::newRow("UTF-8") << QStringList{"--encoding", "utf-8"} << 0 << "Passwords: 2 imported"
                               << QStringList{"José", "p\uFFFDw"};
        QTest::newRow("Windows-1252") << QStringList{"--encoding", "windows-1252"} << 0 << "Passwords: 2 imported"
                                      << QStringList{"JosÃ©", "p\u2013w"};
    }
    void encodingNamedOrRefused() {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QStringList, accounts);
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("logins.csv"), "name,url,username,password\nJos\xC3\xA9,https://j,jo,pw\n"
                                                 "Ann,,ann,p\x96w\n");
        const Run run = runCli(dir, QStringList{"import", files.filePath("logins.csv"), "--password-stdin"} + options);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? run.out : run.err).contains(message), qPrintable(run.out + run.err));
        const QList<QStringList> stored = recordsOf(dir.recordDatabase(), Section::Passwords);
        QCOMPARE(stored.size(), accounts.isEmpty() ? 0 : 2);
        if (!accounts.isEmpty()) {
            QCOMPARE(stored.at(0).at(0), accounts.at(0));
            QCOMPARE(stored.at(1).at(3), accounts.at(1));
        }
    }

    // A line of the wrong number of values stops the import unless the user
    // leaves such lines out; the columns of any CSV may be named, the others
    // kept as labelled lines.
    void importLinesAndColumns_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<QStringList>>("accounts");
        const QByteArray bad("name,url,username,password\na,b,c,d\ne,f\ng,h,i,j\n");
        const QByteArray lastPass("url,username,password,extra,name,grouping,fav\nhttps://m,me,pw,note,Mail,Work,1\n");
        QTest::newRow("bad line refused")
            << bad << QStringList{} << 1
            << "Line 3: the line has 2 values where the header has 4. Nothing has been imported; --skip-bad-lines"
            << QList<QStringList>{};
        QTest::newRow("bad line left out")
            << bad << QStringList{"--skip-bad-lines"} << 0 << "Left out: 1 line of the wrong number of values (line 3)."
            << QList<QStringList>{{"a", "b", "c", "d", ""}, {"g", "h", "i", "j", ""}};
        QTest::newRow("known file, its columns named")
            << lastPass << QStringList{"--section", "passwords", "--map", "Account=name,Password=password,Line=fav"}
            << 0 << "Columns kept as labelled lines in the remarks: \"url\", \"username\", \"extra\""
            << QList<QStringList>{
                   {"Mail", "", "", "pw", "url: https://m\nusername: me\nextra: note\ngrouping: Work\nfav: 1"}};
        QTest::newRow("known file read by its format")
            << lastPass << QStringList{} << 0
            << "Columns kept as labelled lines in the remarks: \"grouping\" as \"Group\", \"fav\" as \"Favorite\"."
            << QList<QStringList>{{"Mail", "https://m", "me", "pw", "note\nGroup: Work\nFavorite: 1"}};
    }
    void importLinesAndColumns() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QList<QStringList>, accounts);
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        writeBytes(files.filePath("file.csv"), bytes);
        const Run run = runCli(dir, QStringList{"import", files.filePath("file.csv"), "--password-stdin"} + options);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? run.out : run.err).contains(message), qPrintable(run.out + run.err));
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords), accounts);
    }

    // A failure is one short line that quotes no secret, however the file is made.
    void failuresAreShortAndKeepSecrets_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("first line of a record") << QByteArray("mail,https://m,me,S3cr3t-pw\n") << "the 4 columns of";
        QTest::newRow("first line of 65 MB") << QByteArray("S3cr3t-pw,") + QByteArray(65 * 1024 * 1024, 'x')
                                             << "Line 1: the record is longer than 64 MB";
        QTest::newRow("JSON in UTF-16") << QByteArray(
                                               "\xFF\xFE{\0\"\0p\0\"\0:\0\"\0S\0\x33\0c\0r\0\x33\0t\0-\0p\0w\0\"\0}\0",
                                               36)
                                        << "JSON in UTF-16";
    }
    void failuresAreShortAndKeepSecrets() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        ProgramDirectory dir;
        QTemporaryDir files;
        writeBytes(files.filePath("vault"), bytes);
        const Run run = runCli(dir, {"import", files.filePath("vault"), "--password-stdin"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message) && run.err.size() < 400, qPrintable(run.err.left(400)));
        QVERIFY2(!run.err.contains("S3cr3t-pw"), qPrintable(run.err.left(400)));
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
            printed << hit.toObject().value("name").toString() + '|' + hit.toObject().value("text").toString();
        RecordSearch search(dir.recordDatabase());
        QStringList found;
        for (const SearchHit& hit : search.hits(SearchQuery::parse(query), 1000))
            found << hit.name + '|' + hit.text;
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

    // With --json every failure is one JSON object on standard error, its code the exit status.
    void jsonErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        const QByteArray wren = "wren\n";
        QTest::newRow("unknown command") << QStringList{"list", "--json"} << wren << 2;
        QTest::newRow("--json before the command") << QStringList{"--json", "list"} << wren << 2;
        QTest::newRow("unknown option") << QStringList{"ls", "passwords", "--all", "--json"} << wren << 2;
        QTest::newRow("wrong password") << QStringList{"ls", "passwords", "--json", "--password-stdin"}
                                        << QByteArray("Wren\n") << 3;
        QTest::newRow("no password") << QStringList{"ls", "passwords", "--json", "--password-stdin"} << QByteArray()
                                     << 2;
        QTest::newRow("no such section") << QStringList{"ls", "cars", "--json", "--password-stdin"} << wren << 2;
        QTest::newRow("no such record") << QStringList{"show", "passwords", "nothing like it", "--json",
                                                       "--password-stdin"}
                                        << wren << 1;
        QTest::newRow("unreadable file") << QStringList{"import", "/nonexistent/file.csv", "--json", "--password-stdin"}
                                         << wren << 1;
        QTest::newRow("generate") << QStringList{"generate", "--length", "0", "--json"} << QByteArray() << 2;
    }
    void jsonErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        ProgramDirectory dir;
        const Run run = runCli(dir, arguments, input);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.endsWith('\n') && run.err.count('\n') == 1, qPrintable(run.err));
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(run.err.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), qPrintable(run.err));
        QVERIFY2(!document.object().value("error").toString().isEmpty(), qPrintable(run.err));
        QCOMPARE(document.object().value("code").toInt(-1), exitCode);
    }

    // A record is named by its id or by a listed field: exactly, else in any letter
    // case; a name several records bear is refused with their ids. The same with
    // the search indexes and without them (a file the desktop has not migrated).
    void showFindsOneRecord_data() {
        QTest::addColumn<QStringList>("words"); // after "show passwords"; "#Name" stands for that record's id
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("found"); // the Account shown, or what the failure says
        QTest::newRow("name") << QStringList{"Mail box"} << 0 << "Mail box";
        QTest::newRow("name in other letters") << QStringList{"mAIL BOX"} << 0 << "Mail box";
        QTest::newRow("website") << QStringList{"https://mail.example"} << 0 << "Mail box";
        QTest::newRow("user name") << QStringList{"robin"} << 0 << "Mail box";
        QTest::newRow("other scripts") << QStringList{"café straße"} << 0 << "Café Straße";
        QTest::newRow("quotes") << QStringList{"My \"quoted\" site"} << 0 << "My \"quoted\" site";
        QTest::newRow("two letters") << QStringList{"go"} << 0 << "Go";
        QTest::newRow("one letter") << QStringList{"x"} << 0 << "X";
        QTest::newRow("long name") << QStringList{"The same beginning of two long names, the second"} << 0
                                   << "The same beginning of two long names, the second";
        QTest::newRow("part of a name") << QStringList{"Mail"} << 1 << "no record named \"Mail\"";
        QTest::newRow("id") << QStringList{"#Mail box"} << 0 << "Mail box";
        QTest::newRow("a name of digits") << QStringList{"987654"} << 0 << "987654";
        QTest::newRow("a name after --") << QStringList{"--", "--secrets"} << 0 << "--secrets";
        QTest::newRow("two records of one name") << QStringList{"Twin"} << 1 << "2 records of Passwords";
    }
    void showFindsOneRecord() {
        QFETCH(QStringList, words);
        QFETCH(int, exitCode);
        QFETCH(QString, found);
        ProgramDirectory dir;
        emptyRecords(dir);
        addAccounts(dir, {{"Mail box", "https://mail.example", "robin"},
                          {"Twin", "", "first"},
                          {"Café Straße", "", ""},
                          {"My \"quoted\" site", "", ""},
                          {"Go", "", ""},
                          {"Good", "", ""},
                          {"X", "", ""},
                          {"987654", "", ""},
                          {"--secrets", "", ""},
                          {"The same beginning of two long names, the first", "", ""},
                          {"The same beginning of two long names, the second", "", ""},
                          {"Twin", "", "second"}});
        for (QString& word : words) {
            if (word.startsWith('#'))
                word = dir.query("password.mdb",
                                 QStringLiteral("SELECT _key FROM account WHERE Account = '%1'").arg(word.mid(1)));
        }
        const QStringList twins{dir.query("password.mdb", "SELECT min(_key) FROM account WHERE Account = 'Twin'"),
                                dir.query("password.mdb", "SELECT max(_key) FROM account WHERE Account = 'Twin'")};
        for (const bool indexes : {true, false}) {
            if (!indexes)
                dir.exec("password.mdb", "DROP TABLE \"account search\"; DROP INDEX IF EXISTS \"account name 2\"");
            const Run run = runCli(dir, QStringList{"show", "passwords", "--json", "--password-stdin"} + words);
            QCOMPARE(run.exitCode, exitCode);
            if (exitCode != 0) {
                const QJsonObject error = QJsonDocument::fromJson(run.err.toUtf8()).object();
                QVERIFY2(error.value("error").toString().contains(found), qPrintable(run.err));
                if (found.contains("records of")) {
                    QVERIFY2(run.err.contains(twins.join(", ")), qPrintable(run.err));
                    QCOMPARE(error.value("ids").toArray(),
                             (QJsonArray{twins.at(0).toLongLong(), twins.at(1).toLongLong()}));
                }
                continue;
            }
            const QJsonArray shown = jsonArrayOf(run);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.at(0).toObject().value("Account").toString(), found);
            QCOMPARE(shown.at(0).toObject().value("Password"), QJsonValue(QJsonValue::Undefined));
        }
    }

    // Every record listed or found carries its id, and show takes it back.
    void idsRoundTrip() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "INSERT INTO Notes (Title, Note) VALUES ('tab' || char(9) || 'and' || char(10) || "
                                 "'line', 'x')");
        for (const QString section : {"passwords", "cards", "personal", "notes", "reminders"}) {
            const Run json = runCli(dir, {"ls", section, "--json", "--password-stdin"});
            const Run text = runCli(dir, {"ls", section, "--password-stdin"});
            QCOMPARE(json.exitCode, 0);
            QCOMPARE(text.exitCode, 0);
            const QJsonArray listed = jsonArrayOf(json);
            const QStringList lines = text.out.split('\n', Qt::SkipEmptyParts);
            QVERIFY(!listed.isEmpty());
            QCOMPARE(lines.size(), listed.size()); // tabs and line ends within a field never break a line
            for (qsizetype i = 0; i < listed.size(); ++i) {
                const QJsonObject record = listed.at(i).toObject();
                const QString id = QString::number(record.value("id").toInteger());
                QVERIFY2(record.value("id").toInteger() > 0, qPrintable(json.out));
                QCOMPARE(lines.at(i).section('\t', 0, 0), id);
                QCOMPARE(lines.at(i).count('\t'), record.size() - 1);
                const Run shown = runCli(dir, {"show", section, id, "--json", "--password-stdin"});
                QCOMPARE(shown.exitCode, 0);
                const QJsonObject detail = jsonArrayOf(shown).at(0).toObject();
                for (auto field = record.begin(); field != record.end(); ++field)
                    QCOMPARE(detail.value(field.key()), field.value());
            }
        }
        QVERIFY(runCli(dir, {"ls", "notes", "--password-stdin"}).out.contains("\ttab and line\n"));
        // A search's hits: tab-separated section, id, name, field and text, the section and id as show takes them.
        const Run hits = runCli(dir, {"search", "bank", "--password-stdin"});
        const QStringList lines = hits.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 2, qPrintable(hits.out));
        for (const QString& line : lines) {
            const QStringList columns = line.split('\t');
            QCOMPARE(columns.size(), 5);
            QVERIFY2(columns.at(4).contains("bank", Qt::CaseInsensitive), qPrintable(line));
            const Run shown = runCli(dir, {"show", columns.at(0), columns.at(1), "--password-stdin"});
            QCOMPARE(shown.exitCode, 0);
            QVERIFY2(shown.out.startsWith("id: " + columns.at(1) + '\n'), qPrintable(shown.out));
        }
        const QJsonArray found = jsonArrayOf(runCli(dir, {"search", "bank", "--json", "--password-stdin"}));
        QCOMPARE(found.size(), lines.size());
        QCOMPARE(found.at(0).toObject().value("id").toInteger(), lines.at(0).section('\t', 1, 1).toLongLong());
    }

    // export --format csv and backup make the folder they are given, readable by its owner only.
    void exportAndBackupMakeTheirFolder() {
        ProgramDirectory dir;
        QTemporaryDir files;
        const QString exported = files.filePath("new/export");
        Run run = runCli(dir, {"export", "--format", "csv", exported, "--password-stdin"});
        QCOMPARE(run.exitCode, 0);
        const QString backups = files.filePath("backups/today");
        run = runCli(dir, {"backup", backups, "--password-stdin"});
        QCOMPARE(run.exitCode, 0);
        for (const QString& folder : {files.filePath("new"), exported, files.filePath("backups"), backups})
            QCOMPARE(QFileInfo(folder).permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                                   QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(QDir(exported).entryList(QDir::Files).size(), 5);
        QVERIFY(QFile::exists(QDir(backups).filePath("password.mdb")));
        // A folder that exists keeps its permissions.
        QVERIFY(QFile::setPermissions(files.path(), QFileInfo(files.path()).permissions() | QFile::ReadOther));
        QCOMPARE(runCli(dir, {"export", "--format", "csv", files.path(), "--password-stdin"}).exitCode, 0);
        QVERIFY(QFileInfo(files.path()).permissions() & QFile::ReadOther);
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
