// The CSV exports of other password managers and browsers, as their own test
// suites write them: each lands in the right sections with the values those
// suites expect, and no value of a file is lost without a labelled line.
#include "ExchangeHelpers.h"
#include "exchange/CsvReader.h"
#include "exchange/ExchangeError.h"
#include "exchange/ImportFile.h"
#include "exchange/Importer.h"

#include <QTemporaryDir>

namespace {

QString peerFixtures() {
    for (const char* candidate :
         {SHARED_DIR "/fixtures/import-peers", SHARED_DIR "/../../shared/fixtures/import-peers"}) {
        const QString path = QDir::cleanPath(QString::fromUtf8(candidate));
        if (QDir(path).exists())
            return path;
    }
    return {};
}

// One entry of pass-import's reference lists: its keys and their values.
using Entry = QHash<QString, QString>;

QString unquoted(const QString& text) {
    if (text.startsWith('"')) {
        QString value = text.mid(1, text.size() - 2);
        value.replace(QStringLiteral("\\\\"), QStringLiteral("\x01")).replace(QStringLiteral("\\\""), "\"");
        return value.replace(QChar(1), QLatin1Char('\\'));
    }
    if (text.startsWith('\''))
        return text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return text;
}

// The small part of YAML the reference lists use: a list of flat maps, texts
// plain, quoted or as a literal block.
QList<Entry> referenceEntries(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Entry> entries;
    QString blockKey;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split('\n')) {
        if (!blockKey.isEmpty() && raw.startsWith(QStringLiteral("    "))) {
            QString& value = entries.last()[blockKey];
            value += (value.isEmpty() ? QString() : QStringLiteral("\n")) + raw.mid(4);
            continue;
        }
        blockKey.clear();
        if (!raw.startsWith(QStringLiteral("- ")) && !raw.startsWith(QStringLiteral("  ")))
            continue;
        if (raw.startsWith(QStringLiteral("- ")))
            entries << Entry();
        const QString item = raw.mid(2);
        const QString key = item.section(QStringLiteral(": "), 0, 0).trimmed();
        const QString value = item.section(QStringLiteral(": "), 1).trimmed();
        if (value == QLatin1String("|-"))
            blockKey = key;
        entries.last()[key] = value == QLatin1String("|-") ? QString() : unquoted(value);
    }
    return entries;
}

using Stored = std::array<QList<QStringList>, SectionCount>;

Stored storedRecords(const QString& database) {
    Stored stored;
    for (Section section : AllSections)
        stored[int(section)] = recordsOf(database, section);
    return stored;
}

bool hasLineEnding(const QString& text, const QString& value) {
    for (const QString& line : text.split('\n')) {
        if (line.endsWith(QStringLiteral(": ") + value))
            return true;
    }
    return false;
}

// The record of a login, or else of a note, of this title (and user name).
const QStringList* findRecord(const Stored& stored, const Entry& entry) {
    for (const QStringList& r : stored[int(Section::Passwords)]) {
        // A browser's file names a login after its website.
        if ((r.at(0) == entry.value("title") || r.at(1) == entry.value("title")) && r.at(2) == entry.value("login"))
            return &r;
    }
    for (const QStringList& r : stored[int(Section::Notes)]) {
        if (r.at(0) == entry.value("title"))
            return &r;
    }
    return nullptr;
}

// Every reference entry has its record, with the values the reference gives.
void checkReference(const Stored& stored, const QString& file, const QStringList& without, const QString& root) {
    const QList<Entry> entries = referenceEntries(QDir(peerFixtures()).filePath(file));
    QVERIFY(!entries.isEmpty());
    for (const Entry& entry : entries) {
        const QString what = entry.value("title") + " " + entry.value("login");
        const QStringList* record = findRecord(stored, entry);
        QVERIFY2(record, qPrintable("no record for " + what));
        const bool login = record->size() == 5;
        const QString remarks = QString(login ? record->at(4) : record->at(1)).replace("\r\n", "\n");
        if (login) {
            QCOMPARE(record->at(3), entry.value("password"));
            if (!without.contains("url"))
                QCOMPARE(record->at(1), entry.value("url"));
        }
        if (!without.contains("comments") && !entry.value("comments").isEmpty())
            QVERIFY2(remarks == entry.value("comments") || remarks.startsWith(entry.value("comments") + '\n'),
                     qPrintable(what + ": " + remarks));
        if (!without.contains("group") && entry.contains("group")) {
            const QString group = root + entry.value("group");
            QVERIFY2(hasLineEnding(QString(remarks).replace('\\', '/'), group), qPrintable(what + ": " + remarks));
        }
    }
}

// Values that say nothing, which a file may hold and the records leave out.
bool saysNothing(const QString& value) {
    return value.isEmpty() || value == QLatin1String("0") || value == QLatin1String("false") ||
           value == QLatin1String("http://sn");
}

} // namespace

class ImportPeersTest : public QObject {
    Q_OBJECT

private slots:
    void peerCsvFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QList<int>>("counts"); // passwords, cards, personal, notes
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QStringList>("without"); // what the reference check leaves out, as pass-import's tests do
        QTest::addColumn<QString>("root");
        // Section, title, then the field's index and its value, or "line" and a line of the remarks.
        QTest::addColumn<QList<QStringList>>("checks");
        QTest::addColumn<QStringList>("notices");     // texts the preview must hold
        QTest::addColumn<QStringList>("transformed"); // columns whose values are stored in another form
        using L = QList<QStringList>;
        const QString ref = QStringLiteral("passimport/ref-main.yml");
        const QStringList none;
        if (peerFixtures().isEmpty())
            QSKIP("the export files of other projects are not here");

        QTest::newRow("bitwarden sdk csv")
            << "bitwarden/sdk_csv_export.csv"
            << "Bitwarden CSV" << QList<int>{2, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "Steam Account", "3", "3Pvb8u7EfbV*nJ"},
                 {"passwords", "Steam Account", "line", "TOTP: steam://ABCD123"},
                 {"passwords", "Steam Account", "line", "Folder: Test Folder B"},
                 {"passwords", "Steam Account", "line", "Favorite: 1"},
                 {"passwords", "Steam Account", "line", "Hidden: asdfer"}}
            << QStringList{"\"favorite\" as \"Favorite\"", "\"login_totp\" as \"TOTP\""} << QStringList{"type"};
        QTest::newRow("bitwarden organisation csv")
            << "passimport/bitwarden-org.csv"
            << "Bitwarden CSV (organisation)" << QList<int>{12, 0, 0, 2} << ref << none << QString()
            << L{{"passwords", "aib", "line", "pin: 462916"}} << QStringList{"\"collections\" as \"Collections\""}
            << QStringList{"type"};
        QTest::newRow("bitwarden csv notes")
            << "passimport/bitwarden-other.csv"
            << "Bitwarden CSV" << QList<int>{2, 0, 0, 1} << QString() << none << QString()
            << L{{"passwords", "aib", "line", "TOTP: S3K3TPI5MYA2M67V"},
                 {"notes", "Some Note", "1", "This is a note sample."},
                 {"passwords", "Some note only item", "line", "Favorite: 1"}}
            << none << QStringList{"type"};
        QTest::newRow("chromium four columns")
            << "chromium/chromium-names-legacy-4col.csv"
            << "Chrome CSV" << QList<int>{2, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "Netflix", "1",
                  "android://Jzj5T2E45Hb33D-lk-EHZVCrb7a064dEicTwrTYQYGXO99JqE2YERhbMP1qLogwJiy87OsBzC09Gk094Z-U_"
                  "hg==@com.netflix.mediaclient"}}
            << none << none;
        QTest::newRow("chromium with notes") << "chromium/chromium-names-notes-linux.csv"
                                             << "Chrome CSV" << QList<int>{2, 0, 0, 0} << QString() << none << QString()
                                             << L{{"passwords", "example.com", "2", "a"}} << none << none;
        QTest::newRow("chromium note of two lines")
            << "chromium/chromium-single-note-windows.csv"
            << "Chrome CSV" << QList<int>{1, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "example.com", "3", "Secret"}} << none << none;
        QTest::newRow("chrome, notes left out at line ends")
            << "passimport/chrome.csv"
            << "Chrome CSV" << QList<int>{14, 0, 0, 0} << ref << QStringList{"group"} << QString() << L{}
            << QStringList{"11 lines ending before the header's last columns"} << none;
        QTest::newRow("chrome from proton") << "proton/chrome-windows.csv"
                                            << "Chrome CSV" << QList<int>{3, 0, 0, 0} << QString() << none << QString()
                                            << L{{"passwords", "missing url", "4", "somenote"}} << none << none;
        QTest::newRow("chrome password database")
            << "passimport/chromesqlite.csv"
            << "Chrome password database CSV" << QList<int>{14, 0, 0, 0} << ref << QStringList{"group", "comments"}
            << QString() << L{} << none << none;
        QTest::newRow("firefox form and realm")
            << "firefox/firefox-loginexport-form-auth-escape.csv"
            << "Firefox CSV" << QList<int>{3, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "example.com", "line", "HTTP realm: My realm"},
                 {"passwords", "example.com", "line", "Form address: https://action.example.com"},
                 {"passwords", "example.com", "line", "Created: 2020-05-16T08:30:14.635Z"}}
            << none << QStringList{"timeCreated", "timeLastUsed", "timePasswordChanged"};
        QTest::newRow("firefox logins of extensions")
            << "firefox/firefox-loginexport-multiple.csv"
            << "Firefox CSV" << QList<int>{27, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "example_extension", "1", "chrome://example_extension"},
                 {"passwords", "example_extension", "line", "HTTP realm: Example Login Two"}}
            << none << none;
        QTest::newRow("firefox") << "passimport/firefox.csv"
                                 << "Firefox CSV" << QList<int>{14, 0, 0, 0} << ref
                                 << QStringList{"group", "comments", "url"} << QString() << L{} << none
                                 << QStringList{"timeCreated", "timeLastUsed", "timePasswordChanged"};
        QTest::newRow("firefox password exporter")
            << "passimport/ff-password-exporter.csv"
            << "Firefox Password Exporter CSV" << QList<int>{14, 0, 0, 0} << ref
            << QStringList{"group", "comments", "url"} << QString() << L{} << none << none;
        for (const char* name :
             {"Format400", "NewDatabase2", "NewDatabaseBrowser", "NewDatabaseMulti", "ProtectedStrings"}) {
            const QHash<QString, int> counts{{"Format400", 1},
                                             {"NewDatabase2", 2},
                                             {"NewDatabaseBrowser", 2},
                                             {"NewDatabaseMulti", 4},
                                             {"ProtectedStrings", 1}};
            QTest::newRow(qPrintable(QStringLiteral("keepassxc %1").arg(name)))
                << QStringLiteral("keepassxc-csv/keepassxc-%1.csv").arg(name) << "KeePassXC CSV"
                << QList<int>{counts.value(name), 0, 0, 0} << QString() << none << QString() << L{}
                << QStringList{"\"Group\""} << none;
        }
        QTest::newRow("keepassxc unicode")
            << "keepassxc-csv/keepassxc-NewDatabase2.csv"
            << "KeePassXC CSV" << QList<int>{2, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "Unicode", "2", "\u00af\\_(\u30c4)_/\u00af"},
                 {"passwords", "Unicode", "line", "Group: NewDatabase/General"},
                 {"passwords", "Unicode", "line", "Created: 2021-04-06T02:33:26Z"}}
            << none << none;
        QTest::newRow("keepassx") << "passimport/keepassx2.csv"
                                  << "KeePassXC CSV" << QList<int>{14, 0, 0, 0} << ref << none << "Root/" << L{} << none
                                  << none;
        QTest::newRow("keepass") << "passimport/keepass.csv"
                                 << "KeePass CSV" << QList<int>{14, 0, 0, 0} << ref << QStringList{"group"} << QString()
                                 << L{} << none << none;
        QTest::newRow("lastpass") << "passimport/lastpass.csv"
                                  << "LastPass CSV" << QList<int>{14, 0, 0, 0} << ref << none << QString() << L{}
                                  << QStringList{"\"grouping\" as \"Group\""} << none;
        QTest::newRow("lastpass secure notes and totp")
            << "proton/lastpass.csv"
            << "LastPass CSV" << QList<int>{5, 0, 0, 7} << QString() << none << QString()
            << L{{"passwords", "Twitter", "line", "TOTP: base32secret"},
                 {"passwords", "Twitter", "4", "This is a twitter note\nTOTP: base32secret\nGroup: company services"},
                 {"notes", "Secure note", "1", "This is a secure note"},
                 {"notes", "wifi", "line", "SSID:my-ssid"}}
            << none << QStringList{"url"};
        QTest::newRow("lastpass lines ending in two returns")
            << "proton/lastpass.crcrlf.terminated.csv"
            << "LastPass CSV" << QList<int>{0, 0, 0, 3} << QString() << none << QString()
            << L{{"notes", "Duck Duck Go settings pw", "line", "yyyy"},
                 {"notes", "Canon Pro-1000 Admin PW", "line", "Group: Personal"}}
            << none << none;
        QTest::newRow("nordpass") << "passimport/nordpass.csv"
                                  << "NordPass CSV" << QList<int>{13, 0, 0, 1} << ref << none << QString() << L{}
                                  << QStringList{"Not imported: 6 folder rows", "\"folder\" as \"Folder\""} << none;
        QTest::newRow("nordpass folders and more addresses")
            << "proton/nordpass.csv"
            << "NordPass CSV" << QList<int>{3, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "nobody", "2", "nobody@proton.me"},
                 {"passwords", "Test[CustomFields]", "line", "Folder: sub-folder"},
                 {"passwords", "Test[CustomFields]", "line", "URL: https://test.me/lol"}}
            << QStringList{"Not imported: 3 folder rows"} << QStringList{"type", "additional_urls"};
        QTest::newRow("proton pass") << "proton/protonpass.csv"
                                     << "Proton Pass CSV" << QList<int>{2, 1, 1, 3} << QString() << none << QString()
                                     << L{{"passwords", "login title", "1", "https://example.com/"},
                                          {"passwords", "login title", "2", "john"},
                                          {"passwords", "login title", "line", "URL: https://proton.me/"},
                                          {"passwords", "login title", "line", "Email: example@example.com"},
                                          {"passwords", "login title", "line", "Vault: Personal"},
                                          {"passwords", "alias title", "2",
                                           "aliastitle.skipping290@passdevpremium.com"},
                                          {"cards", "credit card title", "1", "4242424242424242"},
                                          {"cards", "credit card title", "2", "123"},
                                          {"cards", "credit card title", "3", "2"},
                                          {"cards", "credit card title", "4", "2024"},
                                          {"notes", "credit card title", "line", "Cardholder: John Doe"},
                                          {"notes", "credit card title", "line", "PIN: 1234"},
                                          {"notes", "credit card title", "line", "Vault: Second vault"},
                                          {"personal", ":full-name:", "6", ":email:"},
                                          {"personal", ":full-name:", "1", ":street:"},
                                          {"notes", ":identity-title:", "line", ":hidden-field-1:: :hidden-text-1:"},
                                          {"notes", ":identity-title:", "line", ":field-section:: :text-value:"},
                                          {"notes", ":identity-title:", "line", "passportNumber: :passport-number:"},
                                          {"notes", "note title", "1",
                                           "this is my note\nCreated: 2024-01-30T13:37:11Z\nModified: "
                                           "2024-02-12T10:53:42Z\nVault: Personal"}}
                                     << QStringList{"\"email\" as \"Email\""}
                                     << QStringList{"type", "note", "createTime", "modifyTime", "url"};
        QTest::newRow("1password 8") << "passimport/1password8.csv"
                                     << "1Password 8 CSV" << QList<int>{14, 0, 0, 0} << ref << QStringList{"group"}
                                     << QString() << L{} << none << none;
        QTest::newRow("1password 4") << "passimport/1password4.csv"
                                     << "1Password 4 CSV" << QList<int>{14, 0, 0, 0} << ref << QStringList{"group"}
                                     << QString() << L{} << none << none;
        QTest::newRow("1password, all fields")
            << "passimport/1password.csv"
            << "1Password CSV (older, all fields)" << QList<int>{14, 0, 0, 0} << ref << none << QString()
            << L{{"passwords", "aib", "line", "Type: Bank"}} << QStringList{"\"Type\""} << none;
        QTest::newRow("dashlane")
            << "proton/dashlane-credentials.csv"
            << "Dashlane CSV" << QList<int>{8, 0, 0, 0} << QString() << none << QString()
            << L{{"passwords", "login with 2fa scanned from qr code", "line", "Username 2: john2"},
                 {"passwords", "login with 2fa scanned from qr code", "line", "TOTP: RL3FRZ5V3EBM7T4ZMGJWGO43MQSTTMIT"},
                 {"passwords", "password with comma , and quote \"", "3", "password,\"comma\""}}
            << none << none;
        QTest::newRow("dashlane without a header line")
            << "passimport/dashlane.csv"
            << "Dashlane CSV (without a header line)" << QList<int>{14, 0, 0, 0} << ref << QStringList{"group"}
            << QString() << L{} << none << none;
    }
    void peerCsvFiles() {
        QFETCH(QString, file);
        QFETCH(QString, format);
        QFETCH(QList<int>, counts);
        QFETCH(QString, reference);
        QFETCH(QStringList, without);
        QFETCH(QString, root);
        QFETCH(QList<QStringList>, checks);
        QFETCH(QStringList, notices);
        QFETCH(QStringList, transformed);
        const QString path = QDir(peerFixtures()).filePath(file);
        ProgramDirectory dir;
        emptyRecords(dir);
        const Importer importer(dir.recordDatabase());
        const Importer::Preview preview = importer.preview(path);
        const QString previewText = Importer::previewText(preview);
        QCOMPARE(preview.format, format);
        for (const QString& notice : notices)
            QVERIFY2(previewText.contains(notice), qPrintable(previewText));
        const Importer::Result result = importer.run(path);
        QCOMPARE(result.imported, preview.records);

        const Stored stored = storedRecords(dir.recordDatabase());
        const QList<int> storedCounts{int(stored[0].size()), int(stored[1].size()), int(stored[2].size()),
                                      int(stored[3].size())};
        QCOMPARE(storedCounts, counts);
        if (!reference.isEmpty())
            checkReference(stored, reference, without, root);
        for (const QStringList& check : checks) {
            // A card is known by its bank's name, where its item's name goes.
            const Section section = *sectionFromWord(check.at(0));
            const int title = section == Section::CreditCards ? 5 : 0;
            const bool line = check.at(2) == QLatin1String("line");
            const QList<QStringList>& records = stored[int(section)];
            const auto record = std::find_if(records.begin(), records.end(), [&](const QStringList& r) {
                return r.at(title) == check.at(1) &&
                       (line ? QString(r.last()).replace("\r\n", "\n").split('\n').contains(check.at(3))
                             : r.at(check.at(2).toInt()) == check.at(3));
            });
            QVERIFY2(record != records.end(), qPrintable(check.join(" | ")));
        }

        // Every value of the file is in some record, as a field or within a line.
        QString everything = previewText;
        for (const QList<QStringList>& records : stored) {
            for (const QStringList& record : records)
                everything += record.join('\n') + '\n';
        }
        CsvReader csv(path, Encoding::Utf8);
        QStringList header;
        QStringList cells;
        qint64 line = 0;
        const bool headerless = format.contains("without a header");
        if (!headerless)
            csv.nextRow(header, line);
        while (csv.nextRow(cells, line)) {
            for (qsizetype i = 0; i < cells.size(); ++i) {
                if (saysNothing(cells.at(i)) || transformed.contains(header.value(i)))
                    continue;
                QVERIFY2(everything.contains(cells.at(i)),
                         qPrintable(QStringLiteral("line %1, %2: %3").arg(line).arg(header.value(i), cells.at(i))));
            }
        }
    }

    // Rows that are no live logins are told apart: KeePassXC's Recycle Bin is
    // kept marked, Firefox's own account row is counted and left out.
    void rowsToldApart_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<int>("marked");
        QTest::addColumn<int>("logins");
        QTest::newRow("recycle bin") << "keepassxc-recyclebin.csv"
                                     << "Marked: 6 rows of the Recycle Bin, imported with the line \"Deleted: in the "
                                        "Recycle Bin of the exported database\"."
                                     << 6 << 11;
        QTest::newRow("firefox account")
            << "firefox-proton.csv"
            << "Not imported: 1 row of Firefox's own account sign-in (chrome://FirefoxAccounts), which is no "
               "website's login."
            << 0 << 6;
    }
    void rowsToldApart() {
        QFETCH(QString, file);
        QFETCH(QString, notice);
        QFETCH(int, marked);
        QFETCH(int, logins);
        if (importFixtures().isEmpty())
            QSKIP("the real export files are not here");
        ProgramDirectory dir;
        emptyRecords(dir);
        const QString path = QDir(importFixtures()).filePath(file);
        const Importer importer(dir.recordDatabase());
        QVERIFY2(importer.preview(path).notices.contains(notice),
                 qPrintable(importer.preview(path).notices.join('\n')));
        QVERIFY(importer.run(path).notices.contains(notice));
        const QList<QStringList> accounts = recordsOf(dir.recordDatabase(), Section::Passwords);
        QCOMPARE(accounts.size(), logins);
        const auto deleted = std::count_if(accounts.begin(), accounts.end(), [](const QStringList& r) {
            return r.at(4).split('\n').contains("Deleted: in the Recycle Bin of the exported database");
        });
        QCOMPARE(int(deleted), marked);
        for (const QStringList& account : accounts)
            QVERIFY(account.at(4).contains("Group: Root/Recycle Bin") == account.at(4).contains("Deleted: "));
    }
};

QTEST_GUILESS_MAIN(ImportPeersTest)
#include "test_import_peers.moc"
