// Bitwarden JSON kept whole: what an item holds beyond the fields comes in as
// labelled lines and goes out again as the same item, and password-protected
// exports are read and written.
#include "CliRun.h"
#include "ExchangeHelpers.h"
#include "exchange/CsvReader.h"
#include "exchange/ExchangeError.h"
#include "exchange/Exporter.h"
#include "exchange/ImportFile.h"
#include "exchange/Importer.h"
#include "exchange/ProtectedExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QString peers(const QString& file) {
    const QString folder = importFixtures();
    return folder.isEmpty() ? QString() : QDir(folder + QStringLiteral("-peers")).filePath(file);
}

QJsonObject jsonOf(const QString& path) {
    return QJsonDocument::fromJson(fileBytes(path)).object();
}

// Every record of every section, "section|field|field|...".
QStringList everything(const QString& database) {
    QStringList all;
    for (Section section : AllSections) {
        for (const QStringList& values : recordsOf(database, section))
            all << (QStringList{sectionWord(section)} + values).join(QLatin1Char('|'));
    }
    return all;
}

QStringList importedFrom(const QString& path, const ImportOptions& options = {}) {
    ProgramDirectory dir;
    emptyRecords(dir);
    Importer(dir.recordDatabase()).run(path, options);
    return everything(dir.recordDatabase());
}

// An item as a comparison of two exports sees it: without ids and dates, its
// folder and collections by name, members that say nothing (null, empty) left out.
QJsonValue comparable(const QJsonValue& value, const QJsonObject& names) {
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue& element : value.toArray())
            out.append(comparable(element, names));
        return out;
    }
    if (!value.isObject())
        return value;
    QJsonObject out;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        if (key == "id" || (key.endsWith("Date") && key != "lastUsedDate") || key == "organizationId")
            continue;
        QJsonValue member = comparable(it.value(), names);
        if (key == "folderId" && member.isString())
            member = names.value(member.toString());
        if (key == "collectionIds" && member.isArray()) {
            QJsonArray named;
            for (const QJsonValue& id : member.toArray())
                named.append(names.value(id.toString()));
            member = named;
        }
        if (member.isNull() || (member.isArray() && member.toArray().isEmpty()) ||
            (key == "reprompt" && member.toInt() == 0))
            continue;
        out.insert(key, member);
    }
    return out;
}

// The items of an export by type and name, each comparable.
QHash<QString, QJsonObject> itemsOf(const QJsonObject& file) {
    QJsonObject names;
    for (const char* list : {"folders", "collections"}) {
        for (const QJsonValue& entry : file.value(list).toArray())
            names.insert(entry["id"].toString(), entry["name"]);
    }
    QHash<QString, QJsonObject> items;
    for (const QJsonValue& item : file.value("items").toArray())
        items.insert(QString::number(item["type"].toInt()) + ' ' + item["name"].toString(),
                     comparable(item, names).toObject());
    return items;
}

} // namespace

class BitwardenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!QFile::exists(peers(QStringLiteral("README.md"))))
            QSKIP("the export files of other projects are not here");
    }

    // Bitwarden's own protected exports decrypt to the records of their plain content.
    void protectedExportsDecrypt_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("login");
        QTest::newRow("PBKDF2") << "keepassxc/bitwarden_encrypted_export.json"
                                << "passwords|KeePassXC|https://keepassxc.org|keepassxc|TYsbQUyeD3qrav|KeePassXC "
                                   "password manager\nURL: https://github.com/keepassxreboot/keepassxc\nTOTP: "
                                   "fsfsfsfsefefef\nFavourite: yes";
        QTest::newRow("Argon2id") << "keepassxc/bitwarden_encrypted_argon2id_export.json"
                                  << "passwords|KeePassXC|https://keepassxc.org|keepassxc|TYsbQUyeD3qrav|KeePassXC "
                                     "password manager\nURL: https://github.com/keepassxreboot/keepassxc\nTOTP: "
                                     "fsfsfsfsefefef\nFavourite: yes";
    }
    void protectedExportsDecrypt() {
        QFETCH(QString, file);
        QFETCH(QString, login);
        const QString path = peers(file);
        const FileKind kind = inspectFile(path);
        QVERIFY(kind.passwordProtected);
        ImportOptions options;
        options.unlocked = ProtectedExport::unlock(path, QStringLiteral("a"));
        const QStringList records = importedFrom(path, options);
        QVERIFY2(records.contains(login), qPrintable(records.join("\n---\n")));
    }

    // A wrong password, a file without its password and an account-restricted
    // export are refused, and nothing is written.
    void refusedWithNothingWritten_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("password"); // "-": none given
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong, PBKDF2") << peers("keepassxc/bitwarden_encrypted_export.json") << "b"
                                       << ProtectedExport::wrongPassword();
        QTest::newRow("wrong, Argon2id") << peers("keepassxc/bitwarden_encrypted_argon2id_export.json") << "A"
                                         << ProtectedExport::wrongPassword();
        QTest::newRow("none given") << peers("keepassxc/bitwarden_encrypted_export.json") << "-"
                                    << "encrypted with a password";
        QTest::newRow("account restricted")
            << QStringLiteral("{\"encrypted\": true, \"encKeyValidation_DO_NOT_EDIT\": \"2.x|y|z\", \"items\": []}")
            << "a"
            << "export type \"Password protected\"";
        QTest::newRow("memory past any export")
            << QStringLiteral("{\"encrypted\": true, \"passwordProtected\": true, \"salt\": \"s\", \"kdfType\": 1, "
                              "\"kdfIterations\": 3, \"kdfMemory\": 65536, \"kdfParallelism\": 4, "
                              "\"encKeyValidation_DO_NOT_EDIT\": \"2.x|y|z\", \"data\": \"2.a|b|c\"}")
            << "a"
            << "65536 MiB";
        QTest::newRow("damaged check")
            << QStringLiteral(
                   "{\"encrypted\": true, \"passwordProtected\": true, \"salt\": \"s\", \"kdfType\": 0, "
                   "\"kdfIterations\": 1, \"encKeyValidation_DO_NOT_EDIT\": \"2.x|y\", \"data\": \"2.a|b|c\"}")
            << "a"
            << "three parts";
    }
    void refusedWithNothingWritten() {
        QFETCH(QString, file);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QTemporaryDir files;
        QString path = file;
        if (file.startsWith('{')) {
            path = files.filePath("vault.json");
            writeBytes(path, file.toUtf8());
        }
        ProgramDirectory dir;
        const QByteArray before = dir.bytes("password.mdb");
        try {
            ImportOptions options;
            if (password != "-") {
                inspectFile(path);
                options.unlocked = ProtectedExport::unlock(path, password);
            }
            Importer(dir.recordDatabase()).run(path, options);
            QFAIL("the file was imported");
        } catch (const ExchangeError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    // Our protected export is Bitwarden's format, and its records come back exactly.
    void ownProtectedExportRoundTrips_data() {
        QTest::addColumn<int>("kdfType");
        QTest::newRow("Argon2id (the default)") << int(BitwardenCrypto::Argon2id);
        QTest::newRow("PBKDF2") << int(BitwardenCrypto::Pbkdf2Sha256);
    }
    void ownProtectedExportRoundTrips() {
        QFETCH(int, kdfType);
        ProgramDirectory from;
        QTemporaryDir out;
        const QString path = out.filePath("vault.json");
        const QString password = QStringLiteral("p\u00e4ss w\u00f6rd");
        BitwardenCrypto::Kdf kdf;
        if (kdfType == BitwardenCrypto::Pbkdf2Sha256)
            kdf = {BitwardenCrypto::Pbkdf2Sha256, 600000, 0, 0};
        Exporter(from.recordDatabase()).writeProtectedJson(path, password, kdf);
        QVERIFY(isOwnerOnly(path));
        const QJsonObject file = jsonOf(path);
        QCOMPARE(file.value("encrypted").toBool(), true);
        QCOMPARE(file.value("passwordProtected").toBool(), true);
        QCOMPARE(file.value("kdfType").toInt(), kdfType);
        QCOMPARE(file.value("kdfIterations").toInt(), kdfType == 1 ? 3 : 600000);
        QCOMPARE(file.value("kdfMemory").toInt(), kdfType == 1 ? 64 : 0);
        QVERIFY(file.value("data").toString().startsWith("2."));
        QVERIFY(!fileBytes(path).contains("\"items\""));

        QVERIFY(inspectFile(path).passwordProtected);
        QVERIFY_THROWS_EXCEPTION(ExchangeError, ProtectedExport::unlock(path, "password"));
        ImportOptions options;
        options.unlocked = ProtectedExport::unlock(path, password);
        QCOMPARE(importedFrom(path, options), everything(from.recordDatabase()));
    }

    // What an item holds beyond the fields comes in as labelled lines.
    void importKeepsEverything_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("line");
        QTest::newRow("password history with dates") << "keepassxc/bitwarden_timestamps_export.json"
                                                     << "Timestamp Entry"
                                                     << "Password history (2023-06-20T14:45:00.000Z): oldpassword2";
        QTest::newRow("folder") << "keepassxc/bitwarden_timestamps_export.json"
                                << "Timestamp Entry"
                                << "Folder: Test Folder";
        QTest::newRow("hidden field") << "bitwarden/sdk_json_export.json"
                                      << "Bitwarden"
                                      << "Hidden (hidden): B";
        QTest::newRow("boolean field") << "bitwarden/sdk_json_export.json"
                                       << "Bitwarden"
                                       << "Boolean (false) (yes/no): false";
        QTest::newRow("linked field") << "bitwarden/sdk_json_export.json"
                                      << "Bitwarden"
                                      << "Linked (linked): Password";
        QTest::newRow("favourite") << "bitwarden/sdk_json_export.json"
                                   << "Bitwarden"
                                   << "Favourite: yes";
        QTest::newRow("collection") << "passimport/bitwarden-org.json"
                                    << "empty entry"
                                    << "Collection: CornerCases";
        QTest::newRow("ssh key") << "keepassxc/bitwarden_export_ssh.json"
                                 << "SSH Ed25519 Key"
                                 << "Key fingerprint: SHA256:";
    }
    void importKeepsEverything() {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, line);
        QStringList remarks;
        for (const QString& record : importedFrom(peers(file))) {
            const QStringList values = record.split('|');
            if (values.at(1) == title)
                remarks << values.last().split('\n');
        }
        const bool found = std::any_of(remarks.begin(), remarks.end(), [&](const QString& l) {
            return line.endsWith(':') ? l.startsWith(line) : l == line;
        });
        QVERIFY2(found, qPrintable(remarks.join('\n')));
    }

    // A passkey's line holds its credential exactly: key material, ids, counter.
    void passkeyKeptExactly() {
        const QString path = peers("keepassxc/bitwarden_passkey_export.json");
        const QJsonArray items = jsonOf(path).value("items").toArray();
        const QStringList records = importedFrom(path);
        QCOMPARE(records.size(), items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QString remarks = records.at(i).section('|', 5);
            const QString line = remarks.split('\n').filter(QRegularExpression("^Passkey: ")).value(0);
            const QJsonObject kept = QJsonDocument::fromJson(line.mid(9).toUtf8()).object();
            QCOMPARE(kept, items.at(i)["login"]["fido2Credentials"][0].toObject());
        }
    }

    // Bitwarden -> this program -> Bitwarden gives the same items, ids and dates aside.
    void bitwardenRoundTrip_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("item");
        for (const char* file : {"bitwarden/sdk_json_export.json", "keepassxc/bitwarden_passkey_export.json",
                                 "keepassxc/bitwarden_timestamps_export.json", "passimport/bitwarden-other.json",
                                 "passimport/bitwarden-org.json", "keepassxc/bitwarden_export_ssh.json"}) {
            for (const QString& item : itemsOf(jsonOf(peers(file))).keys())
                QTest::newRow(qPrintable(QString(file).section('/', 1) + ": " + item)) << QString(file) << item;
        }
    }
    void bitwardenRoundTrip() {
        QFETCH(QString, file);
        QFETCH(QString, item);
        ProgramDirectory dir;
        emptyRecords(dir);
        Importer(dir.recordDatabase()).run(peers(file));
        QTemporaryDir out;
        Exporter(dir.recordDatabase()).writeJson(out.filePath("again.json"));
        const QHash<QString, QJsonObject> again = itemsOf(jsonOf(out.filePath("again.json")));
        const QJsonObject original = itemsOf(jsonOf(peers(file))).value(item);
        QVERIFY2(again.contains(item), qPrintable(again.keys().join(", ")));
        const QByteArray back = QJsonDocument(again.value(item)).toJson();
        QVERIFY2(back == QJsonDocument(original).toJson(), back.constData());
    }

    // The command line reads the file's password from the line after the sign-in password's.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("added");
        const QString file = peers("keepassxc/bitwarden_encrypted_argon2id_export.json");
        const QStringList both{"import", file, "--password-stdin", "--file-password-stdin"};
        QTest::newRow("import") << both << QByteArray("wren\na\n") << 0 << "Passwords: 1 imported" << 1;
        QTest::newRow("preview") << both + QStringList{"--preview"} << QByteArray("wren\na\n") << 0
                                 << "password-protected Bitwarden JSON" << 0;
        QTest::newRow("wrong file password")
            << both << QByteArray("wren\nab\n") << 1 << ProtectedExport::wrongPassword() << 0;
        QTest::newRow("no line for it") << both << QByteArray("wren\n") << 2 << "no file password on standard input"
                                        << 0;
        QTest::newRow("protected CSV") << QStringList{"export",
                                                      "--format",
                                                      "csv",
                                                      "--password-protected",
                                                      "{out}",
                                                      "--password-stdin",
                                                      "--file-password-stdin"}
                                       << QByteArray("wren\nx\n") << 2 << "--password-protected goes with --format json"
                                       << 0;
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QFETCH(int, added);
        ProgramDirectory dir;
        QTemporaryDir out;
        arguments.replaceInStrings("{out}", out.filePath("export"));
        const qint64 before = dir.count("account");
        const Run run = runCli(dir, arguments, input);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        QCOMPARE(dir.count("account"), before + added);
        QVERIFY(!QFile::exists(out.filePath("export")));
    }

    // export --password-protected writes what import reads back with the same password.
    void commandLineRoundTrip() {
        ProgramDirectory from;
        QTemporaryDir out;
        const QString path = out.filePath("vault.json");
        Run run = runCli(
            from,
            {"export", "--format", "json", "--password-protected", path, "--password-stdin", "--file-password-stdin"},
            "wren\nlong horse battery\n");
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.contains("encrypted with the password"));
        QVERIFY(jsonOf(path).value("passwordProtected").toBool());
        ProgramDirectory to;
        emptyRecords(to);
        run = runCli(to, {"import", path, "--password-stdin", "--file-password-stdin"}, "wren\nlong horse battery\n");
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(everything(to.recordDatabase()), everything(from.recordDatabase()));
    }

    // The KeePassXC CSV export: KeePassXC's own header, so its import keeps its
    // column choices, and each record in the columns KeePassXC reads.
    void keePassXcCsv_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("entry"); // Group, Title, Username, Password, URL, Notes, TOTP
        QTest::newRow("login with folder and TOTP")
            << "INSERT INTO account (Account, Website, User, Password, Notes) VALUES ('Mail', 'https://m', 'me', "
               "'p\"w,1', 'own\nTOTP: otpauth://totp/x?secret=AB\n"
               "Folder: Web/Work\nURL: https://n')"
            << QStringList{"Root/Web/Work",
                           "Mail",
                           "me",
                           "p\"w,1",
                           "https://m",
                           "own\nURL: https://n",
                           "otpauth://totp/x?secret=AB"};
        QTest::newRow("plain login")
            << "INSERT INTO account (Account, Website, User, Password, Notes) VALUES ('Bare', '', 'u', '', '')"
            << QStringList{"Root", "Bare", "u", "", "", "", ""};
        QTest::newRow("card") << "INSERT INTO \"Credit Card\" (\"Type Card\", \"Card Number\", \"Bank Name\") "
                                 "VALUES ('Visa', '4111', 'Chase')"
                              << QStringList{"Root/Credit Cards",
                                             "Chase",
                                             "",
                                             "4111",
                                             "",
                                             "Type Card: Visa\nCard "
                                             "Number: 4111",
                                             ""};
        QTest::newRow("note") << "INSERT INTO Notes (Title, Note) VALUES ('Wifi', 'key: 1234')"
                              << QStringList{"Root/Notes", "Wifi", "", "", "", "key: 1234", ""};
    }
    void keePassXcCsv() {
        QFETCH(QString, sql);
        QFETCH(QStringList, entry);
        ProgramDirectory dir;
        emptyRecords(dir);
        dir.exec("password.mdb", sql);
        QTemporaryDir out;
        const QString path = out.filePath("keepassxc.csv");
        Exporter(dir.recordDatabase()).writeKeePassXcCsv(path);
        QVERIFY(isOwnerOnly(path));
        // The header is the one KeePassXC 2.7 itself writes.
        QFile theirs(peers("keepassxc-csv/keepassxc-NewDatabase2.csv"));
        QVERIFY(theirs.open(QIODevice::ReadOnly));
        QCOMPARE(fileBytes(path).split('\n').first(), theirs.readLine().trimmed());
        CsvReader csv(path, Encoding::Utf8);
        QStringList cells;
        qint64 line = 0;
        QVERIFY(csv.nextRow(cells, line));
        QVERIFY(csv.nextRow(cells, line));
        QCOMPARE(cells.size(), 10);
        QCOMPARE(cells.mid(0, 7), entry);
        QCOMPARE(cells.at(7), QStringLiteral("0"));
        QVERIFY(QDateTime::fromString(cells.at(8), Qt::ISODate).isValid());
        QVERIFY(!csv.nextRow(cells, line));
    }
};

QTEST_GUILESS_MAIN(BitwardenTest)
#include "test_exchange_bitwarden.moc"
