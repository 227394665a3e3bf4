// Import and export: the files of other programs, field by field, one
// transaction per import, duplicates skipped, and files that round-trip.
#include "ExchangeHelpers.h"
#include "SmallDisk.h"
#include "exchange/CsvReader.h"
#include "exchange/ExchangeError.h"
#include "exchange/Exporter.h"
#include "exchange/ImportFile.h"
#include "exchange/Importer.h"
#include "search/SearchQuery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

const QString Database = QStringLiteral("password.mdb");

// Reads every row of a CSV text written to a file.
QList<QStringList> csvRows(const QByteArray& bytes, std::optional<Encoding> encoding = std::nullopt) {
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.csv");
    writeBytes(path, bytes);
    CsvReader reader(path, encoding ? *encoding : detectEncoding(path).encoding);
    QList<QStringList> rows;
    QStringList cells;
    qint64 line = 0;
    while (reader.nextRow(cells, line))
        rows << cells;
    return rows;
}

bool hasLine(const QString& text, const QString& line) {
    return text.split(QLatin1Char('\n')).contains(line);
}

// Remarks start with the item's own text; labelled lines follow it.
bool startsWithOwnText(const QString& remarks, const QString& own) {
    if (own.isEmpty())
        return remarks.isEmpty() || remarks.section(QLatin1Char('\n'), 0, 0).contains(QStringLiteral(": "));
    return remarks == own || remarks.startsWith(own + QLatin1Char('\n'));
}

// The records of a table whose indexed text holds the words.
qint64 indexHits(const QString& database, const QString& table, const QString& words) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READONLY);
    const QString index = Schema::quoted(table + QStringLiteral(" search"));
    SQLite::Statement query(db, QStringLiteral("SELECT count(*) FROM %1 WHERE %1 MATCH ?").arg(index).toStdString());
    query.bind(1, SearchQuery::piecesOf(words).join(' ').toStdString());
    query.executeStep();
    return query.getColumn(0).getInt64();
}

} // namespace

class ExchangeTest : public QObject {
    Q_OBJECT

private slots:
    void csvParsing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("rows");
        using Rows = QList<QStringList>;
        QTest::newRow("plain LF") << QByteArray("a,b\n1,2\n") << Rows{{"a", "b"}, {"1", "2"}};
        QTest::newRow("CR LF, no final break") << QByteArray("a,b\r\n1,2") << Rows{{"a", "b"}, {"1", "2"}};
        QTest::newRow("lone CR") << QByteArray("a,b\r1,2\r") << Rows{{"a", "b"}, {"1", "2"}};
        QTest::newRow("quoted comma and quote") << QByteArray("x\n\"a, \"\"b\"\"\"\n") << Rows{{"x"}, {"a, \"b\""}};
        QTest::newRow("line breaks kept exactly")
            << QByteArray("x,y\n\"1\r\n2\",\"3\n4\"\n") << Rows{{"x", "y"}, {"1\r\n2", "3\n4"}};
        QTest::newRow("blank lines and trailing empty line") << QByteArray("a\n\n1\n\n") << Rows{{"a"}, {"1"}};
        QTest::newRow("empty fields") << QByteArray("a,b,c\n,,\n") << Rows{{"a", "b", "c"}, {"", "", ""}};
        QTest::newRow("quoted empty line is a value") << QByteArray("a\n\"\"\n") << Rows{{"a"}, {""}};
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFname,x\n\xC3\xA9,1\n")
                                    << Rows{{"name", "x"}, {"\u00e9", "1"}};
        QTest::newRow("Windows-1252 detected")
            << QByteArray("name\nCaf\xE9 \x80\n") << Rows{{"name"}, {"Caf\u00e9 \u20ac"}};
        QTest::newRow("UTF-16 with its mark")
            << QByteArray("\xFF\xFEn\0a\0\n\0\xE9\0\n\0", 12) << Rows{{"na"}, {"\u00e9"}};
        QTest::newRow("spaces kept") << QByteArray(" a , b \n") << Rows{{" a ", " b "}};
        QTest::newRow("mark kept in a field")
            << QByteArray("\xEF\xBB\xBFname,x\n\xEF\xBB\xBFv,\xEF\xBB\xBF\n")
            << Rows{{"name", "x"}, {QStringLiteral("\ufeffv"), QStringLiteral("\ufeff")}};
        QTest::newRow("only the first of two marks is the file's")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFname\n") << Rows{{QStringLiteral("\ufeffname")}};
    }
    void csvParsing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, rows);
        QCOMPARE(csvRows(bytes), rows);
    }

    void encodingChosenByUser() {
        // Valid UTF-8 that the user says is Windows-1252 is read as such.
        QCOMPARE(csvRows("\xC3\xA9", Encoding::Windows1252), QList<QStringList>{{"\u00c3\u00a9"}});
    }

    void formatRecognised_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("format");
        QTest::newRow("bitwarden json") << QByteArray(" \n{\"items\": []}") << "Bitwarden JSON";
        QTest::newRow("bitwarden csv") << QByteArray("folder,favorite,type,name,notes,fields,reprompt,login_uri,"
                                                     "login_username,login_password,login_totp\n")
                                       << "Bitwarden CSV";
        QTest::newRow("keepassxc") << QByteArray("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\n")
                                   << "KeePassXC CSV";
        QTest::newRow("chrome") << QByteArray("name,url,username,password\n") << "Chrome CSV";
        QTest::newRow("firefox") << QByteArray("\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\","
                                               "\"guid\",\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n")
                                 << "Firefox CSV";
        QTest::newRow("own cards") << QByteArray("Type Card,Card Number,Security Code,Month,Year,Bank Name,Address,"
                                                 "Bank City,Bank State,Zip Code,Phone,Website\r\n")
                                   << "Quillmere CSV (Credit Cards)";
        QTest::newRow("own notes") << QByteArray("Title,Note\r\n") << "Quillmere CSV (Notes)";
        QTest::newRow("unknown") << QByteArray("site,login,secret\n") << "";
    }
    void formatRecognised() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, format);
        QTemporaryDir dir;
        // The name says nothing: the content decides.
        const QString path = dir.filePath("export.txt");
        writeBytes(path, bytes);
        const FileKind kind = inspectFile(path);
        QCOMPARE(kind.formatName, format);
        QCOMPARE(kind.kind == FileKind::UnknownCsv, format.isEmpty());
    }

    // Every real export file imports exactly, and a second import adds nothing.
    void realExports_data() {
        QTest::addColumn<QString>("file");
        const QString folder = importFixtures();
        if (folder.isEmpty())
            QSKIP("the real export files are not here");
        const QJsonObject expected =
            QJsonDocument::fromJson(fileBytes(QDir(folder).filePath("expected.json"))).object();
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key();
    }
    void realExports() {
        QFETCH(QString, file);
        const QDir folder(importFixtures());
        const QJsonObject expected =
            QJsonDocument::fromJson(fileBytes(folder.filePath("expected.json"))).object().value(file).toObject();
        const QString path = folder.filePath(file);
        const QByteArray before = fileBytes(path);
        ProgramDirectory dir;
        emptyRecords(dir);
        Importer importer(dir.recordDatabase());

        const Importer::Preview preview = importer.preview(path);
        QCOMPARE(dir.count("account"), 0); // a preview writes nothing
        const Importer::Result result = importer.run(path);
        QCOMPARE(result.format, preview.format);
        QCOMPARE(result.imported, preview.records);

        const auto accounts = recordsOf(dir.recordDatabase(), Section::Passwords);
        const auto cards = recordsOf(dir.recordDatabase(), Section::CreditCards);
        const auto persons = recordsOf(dir.recordDatabase(), Section::Personal);
        const auto notes = recordsOf(dir.recordDatabase(), Section::Notes);
        QCOMPARE(accounts.size(), expected.value("logins").toInt());
        QCOMPARE(cards.size(), expected.value("cards").toInt());
        QCOMPARE(persons.size(), expected.value("identities").toInt());
        // Cards and persons keep what they have no field for in a note of their name.
        const qsizetype companions = std::count_if(notes.begin(), notes.end(), [&](const QStringList& note) {
            for (const QJsonValue& check : expected.value("checks").toArray()) {
                const QJsonObject c = check.toObject();
                if ((c.value("kind") == "card" || c.value("kind") == "identity") && c.value("title") == note.at(0))
                    return true;
            }
            return false;
        });
        QCOMPARE(notes.size() - companions, expected.value("notes").toInt());

        const QJsonArray internalRows = expected.value("firefox_internal_rows").toArray();
        for (const QJsonValue& checkValue : expected.value("checks").toArray()) {
            const QJsonObject check = checkValue.toObject();
            const QString kind = check.value("kind").toString();
            const QString title = check.value("title").toString();
            const QString field = check.value("field").toString();
            const QJsonValue value = check.value("value");
            const QString what = file + " " + title + " " + field;
            if (kind == "login") {
                // By its name when that is unique, else by its row.
                QStringList record;
                const qsizetype named = std::count_if(accounts.begin(), accounts.end(),
                                                      [&](const QStringList& r) { return r.at(0) == title; });
                if (!title.isEmpty() && named == 1) {
                    record = *std::find_if(accounts.begin(), accounts.end(),
                                           [&](const QStringList& r) { return r.at(0) == title; });
                } else {
                    int row = check.value("row").toInt();
                    for (const QJsonValue& skipped : internalRows)
                        row -= skipped.toInt() < row ? 1 : 0;
                    QVERIFY2(row >= 1 && row <= accounts.size(), qPrintable(what));
                    record = accounts.at(row - 1);
                    if (!title.isEmpty())
                        QCOMPARE(record.at(0), title);
                }
                const QString remarks = record.at(4);
                if (field == "username") {
                    QCOMPARE(record.at(2), value.toString());
                } else if (field == "password") {
                    QCOMPARE(record.at(3), value.toString());
                } else if (field == "url") {
                    QCOMPARE(record.at(1), value.toString());
                } else if (field == "urls") {
                    const QJsonArray urls = value.toArray();
                    QCOMPARE(record.at(1), urls.at(0).toString());
                    for (qsizetype i = 1; i < urls.size(); ++i)
                        QVERIFY2(hasLine(remarks, "URL: " + urls.at(i).toString()), qPrintable(what));
                } else if (field == "notes") {
                    QVERIFY2(startsWithOwnText(remarks, value.toString()), qPrintable(what + ": " + remarks));
                } else if (field == "totp") {
                    QVERIFY2(hasLine(remarks, "TOTP: " + value.toString()), qPrintable(what));
                } else if (field == "folder") {
                    QVERIFY2(hasLine(remarks, "Folder: " + value.toString()), qPrintable(what));
                } else if (field == "group") {
                    QVERIFY2(hasLine(remarks, "Group: " + value.toString()), qPrintable(what));
                } else if (field == "custom_fields") {
                    QVERIFY2(remarks.contains(value.toString()), qPrintable(what));
                } else {
                    QFAIL(qPrintable("no check for " + what));
                }
            } else if (kind == "card") {
                const auto card =
                    std::find_if(cards.begin(), cards.end(), [&](const QStringList& r) { return r.at(5) == title; });
                QVERIFY2(card != cards.end(), qPrintable(what));
                const auto note =
                    std::find_if(notes.begin(), notes.end(), [&](const QStringList& r) { return r.at(0) == title; });
                const QHash<QString, int> fields{{"number", 1}, {"code", 2}, {"exp_month", 3}, {"exp_year", 4}};
                const QHash<QString, QString> lines{{"cardholder", "Cardholder"}, {"folder", "Folder"}};
                if (fields.contains(field)) {
                    QCOMPARE(card->at(fields.value(field)), value.toString());
                } else {
                    QVERIFY2(lines.contains(field) && note != notes.end(), qPrintable(what));
                    QVERIFY2(hasLine(note->at(1), lines.value(field) + ": " + value.toString()), qPrintable(what));
                }
            } else if (kind == "identity") {
                QCOMPARE(persons.size(), 1);
                const QStringList person = persons.first();
                const auto note =
                    std::find_if(notes.begin(), notes.end(), [&](const QStringList& r) { return r.at(0) == title; });
                const QHash<QString, QString> lines{{"ssn", "Social security number"},
                                                    {"passport_number", "Passport number"}};
                if (field == "address1") {
                    QCOMPARE(person.at(1), value.toString());
                } else if (field == "email") {
                    QCOMPARE(person.at(6), value.toString());
                } else if (field == "last_name" || field == "middle_name") {
                    QVERIFY2(person.at(0).split(' ').contains(value.toString()), qPrintable(what));
                } else {
                    QVERIFY2(lines.contains(field) && note != notes.end(), qPrintable(what));
                    QVERIFY2(hasLine(note->at(1), lines.value(field) + ": " + value.toString()), qPrintable(what));
                }
            } else if (kind == "note") {
                const auto note =
                    std::find_if(notes.begin(), notes.end(), [&](const QStringList& r) { return r.at(0) == title; });
                QVERIFY2(note != notes.end() && field == "notes", qPrintable(what));
                QVERIFY2(startsWithOwnText(note->at(1), value.toString()), qPrintable(what + ": " + note->at(1)));
            }
        }

        // Again: every record is already stored.
        const Importer::Result again = importer.run(path);
        QCOMPARE(again.imported, SectionCounts{});
        QCOMPARE(again.skipped, result.imported);
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords), accounts);
        QCOMPARE(fileBytes(path), before); // the file is only read
    }

    // Each format's columns land in the right fields; sample files written here.
    void fieldMapping_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("records"); // section word, then the fields
        using R = QList<QStringList>;
        QTest::newRow("bitwarden csv login")
            << QByteArray("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
                          "login_totp\r\nWork,1,login,Mail,my notes,\"pin: 1\r\nold: 2\",0,"
                          "\"https://a.example,https://b.example\",me,\"p,w\",SECRET\r\n")
            << R{{"passwords", "Mail", "https://a.example", "me", "p,w",
                  "my notes\nURL: https://b.example\nTOTP: SECRET\npin: 1\r\nold: 2\nFolder: Work\nFavorite: 1"}};
        QTest::newRow("bitwarden csv note")
            << QByteArray("folder,favorite,type,name,notes,fields,login_uri,login_username,login_password,login_totp\n"
                          ",,note,Shopping,\"eggs\nmilk\",,,,,\n")
            << R{{"notes", "Shopping", "eggs\nmilk"}};
        QTest::newRow("keepassxc")
            << QByteArray("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\","
                          "\"Last Modified\",\"Created\"\n\"Root/Web\",\"Bank \xC3\xBC\",\"jo\",\"se\"\"cret\","
                          "\"https://bank\",\"line1\nline2\",\"otpauth://x\",\"0\",\"2020\",\"2020\"\n")
            << R{{"passwords", "Bank \u00fc", "https://bank", "jo", "se\"cret",
                  "line1\nline2\nTOTP: otpauth://x\nGroup: Root/Web\nLast modified: 2020\nCreated: 2020"}};
        QTest::newRow("chrome with note") << QByteArray("name,url,username,password,note\nsite,https://s/,u,p,n\n")
                                          << R{{"passwords", "site", "https://s/", "u", "p", "n"}};
        QTest::newRow("chrome without note") << QByteArray("name,url,username,password\nsite,https://s/,u,p\n")
                                             << R{{"passwords", "site", "https://s/", "u", "p", ""}};
        QTest::newRow("firefox")
            << QByteArray("\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
                          "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n"
                          "\"https://login.example.com:8443/p\",\"u\",\"p\",\"Realm\",,\"{1}\",\"1\",\"2\",\"3\"\r\n"
                          "\"chrome://FirefoxAccounts\",\"x\",\"y\",,,\"{2}\",\"1\",\"2\",\"3\"\r\n"
                          "\"\",\"nobody\",\"q\",,,\"{3}\",\"1\",\"2\",\"3\"")
            << R{{"passwords", "login.example.com", "https://login.example.com:8443/p", "u", "p",
                  "HTTP realm: Realm\nGUID: {1}\nCreated: 1970-01-01T00:00:00.001Z\nLast used: "
                  "1970-01-01T00:00:00.002Z\nPassword changed: 1970-01-01T00:00:00.003Z"},
                 {"passwords", "", "", "nobody", "q",
                  "GUID: {3}\nCreated: 1970-01-01T00:00:00.001Z\nLast used: 1970-01-01T00:00:00.002Z\nPassword "
                  "changed: 1970-01-01T00:00:00.003Z"}};
        QTest::newRow("own reminders") << QByteArray("Date,Reminder\r\n1/2/2025,\"a\r\nb\"\r\n")
                                       << R{{"reminders", "1/2/2025", "a\r\nb"}};
        QTest::newRow("own columns in another order")
            << QByteArray("Note,Title\nbody,subject\n") << R{{"notes", "subject", "body"}};
        QTest::newRow("bitwarden json login")
            << QByteArray("{\"encrypted\": false, \"folders\": [{\"id\": \"f1\", \"name\": \"Web\"}], \"items\": ["
                          " {\"type\": 1, \"name\": \"Mail\", \"notes\": \"n\\u00e9\", \"folderId\": \"f1\", "
                          "\"favorite\": true,"
                          " \"fields\": [{\"name\": \"PIN\", \"value\": \"12\", \"type\": 1}, {\"name\": \"Linked\", "
                          "\"value\": null, \"type\": 3}],"
                          " \"login\": {\"uris\": [{\"match\": null, \"uri\": \"https://a\"}, {\"uri\": "
                          "\"https://b\"}, {\"uri\": \"https://c\"}],"
                          " \"username\": \"me\", \"password\": \" pw \", \"totp\": \"T\"}}]}")
            << R{{"passwords", "Mail", "https://a", "me", " pw ",
                  "n\u00e9\nURL: https://b\nURL: https://c\nTOTP: T\nPIN (hidden): 12\nLinked (linked): 0\nFolder: "
                  "Web\nFavourite: yes"}};
        QTest::newRow("bitwarden json login without anything")
            << QByteArray("{\"items\": [{\"type\": 1, \"name\": \"Bare\", \"notes\": null, \"login\": {}}]}")
            << R{{"passwords", "Bare", "", "", "", ""}};
        QTest::newRow("bitwarden json card")
            << QByteArray("{\"items\": [{\"type\": 3, \"name\": \"Chase\", \"notes\": \"call first\","
                          " \"card\": {\"cardholderName\": \"Jo Doe\", \"brand\": \"Mastercard\", \"number\": \"5555\","
                          " \"expMonth\": \"7\", \"expYear\": \"27\", \"code\": \"321\"}}]}")
            << R{{"cards", "MasterCard", "5555", "321", "7", "2027", "Chase", "", "", "", "", "", ""},
                 {"notes", "Chase", "call first\nCardholder: Jo Doe"}};
        QTest::newRow("bitwarden json identity")
            << QByteArray("{\"items\": [{\"type\": 4, \"name\": \"Me\", \"notes\": null,"
                          " \"identity\": {\"title\": \"Dr\", \"firstName\": \"Ann\", \"middleName\": null, "
                          "\"lastName\": \"Lee\","
                          " \"address1\": \"1 Road\", \"address2\": \"Flat 2\", \"address3\": \"Wing\", \"city\": "
                          "\"Town\", \"state\": \"ST\","
                          " \"postalCode\": \"12345\", \"country\": \"NZ\", \"company\": \"Acme\", \"email\": \"a@b\", "
                          "\"phone\": \"555\","
                          " \"ssn\": \"1-2\", \"username\": \"ann\", \"passportNumber\": \"P1\", \"licenseNumber\": "
                          "\"L1\"}}]}")
            << R{{"personal", "Ann Lee", "1 Road", "Flat 2", "Town", "ST", "12345", "a@b"},
                 {"notes", "Me",
                  "Title: Dr\nAddress line 3: Wing\nCountry: NZ\nPhone: 555\nCompany: Acme\nSocial security number: "
                  "1-2\nUsername: ann\nPassport number: P1\nLicense number: L1\nFull Name: Ann Lee"}};
        QTest::newRow("bitwarden json secure note")
            << QByteArray("{\"items\": [{\"type\": 2, \"name\": \"Codes\", \"notes\": \"1\\n2\", \"secureNote\": "
                          "{\"type\": 0}}],"
                          " \"folders\": []}")
            << R{{"notes", "Codes", "1\n2"}};
        QTest::newRow("bitwarden json reminder")
            << QByteArray("{\"items\": [{\"type\": 2, \"name\": \"3/4/2025\", \"notes\": \"dentist\","
                          " \"fields\": [{\"name\": \"Reminder date\", \"value\": \"3/4/2025\", \"type\": 0}], "
                          "\"secureNote\": {\"type\": 0}}]}")
            << R{{"reminders", "3/4/2025", "dentist"}};
        QTest::newRow("bitwarden json ssh key")
            << QByteArray("{\"items\": [{\"type\": 5, \"name\": \"Key\", \"notes\": null,"
                          " \"sshKey\": {\"publicKey\": \"ssh-ed25519 AAA\", \"keyFingerprint\": \"SHA256:x\"}}]}")
            << R{{"notes", "Key", "Public key: ssh-ed25519 AAA\nKey fingerprint: SHA256:x"}};
        QTest::newRow("bitwarden json unknown type")
            << QByteArray("{\"items\": [{\"type\": 99, \"name\": \"Key\", \"notes\": null,"
                          " \"sshKey\": {\"publicKey\": \"ssh-ed25519 AAA\", \"keyFingerprint\": \"SHA256:x\"}}]}")
            << R{{"notes", "Key", "keyFingerprint: SHA256:x\npublicKey: ssh-ed25519 AAA"}};
        {
            // Texts longer than a read of the file, with escapes and brackets where one read ends.
            QByteArray raw = QByteArray(262144 - 64, 'x');
            QString text = QString(262144 - 64, 'x');
            for (int i = 0; i < 24; ++i) {
                raw += "\\\"}]\\\\\\n[\\u00e9";
                text += "\"}]\\\n[\u00e9";
            }
            QTest::newRow("bitwarden json texts longer than a read")
                << QByteArray("{\"items\": [{\"type\": 2, \"name\": \"Long\", \"notes\": \"" + raw +
                              "\"},\n{\"type\": 2, \"name\": \"After\", \"notes\": \"" + raw + raw + "\"}]}")
                << R{{"notes", "Long", text}, {"notes", "After", text + text}};
        }
        QTest::newRow("bitwarden json with blanks after its end")
            << QByteArray("{\"items\": [{\"type\": 2, \"name\": \"N\", \"notes\": \"b\"}]}\r\n \t\n")
            << R{{"notes", "N", "b"}};
        QTest::newRow("bitwarden json folders after items")
            << QByteArray("{\"items\": [{\"type\": 2, \"name\": \"N\", \"notes\": \"b\", \"folderId\": \"x\"}],"
                          " \"folders\": [{\"id\": \"x\", \"name\": \"Late\"}]}")
            << R{{"notes", "N", "b\nFolder: Late"}};
    }
    void fieldMapping() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, records);
        ProgramDirectory dir;
        emptyRecords(dir);
        QTemporaryDir files;
        const QString path = files.filePath("export");
        writeBytes(path, bytes);
        Importer(dir.recordDatabase()).run(path);
        QList<QStringList> stored;
        for (Section section : AllSections) {
            for (const QStringList& values : recordsOf(dir.recordDatabase(), section))
                stored << (QStringList{sectionWord(section)} + values);
        }
        QCOMPARE(stored, records);
    }

    void encryptedExportRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("password protected")
            << QByteArray("{\"encrypted\": true, \"passwordProtected\": true, \"salt\": \"c2FsdA==\","
                          " \"kdfType\": 0, \"kdfIterations\": 600000, \"encKeyValidation_DO_NOT_EDIT\": \"2.x|y|z\", "
                          "\"data\": \"2.a|b|c\"}");
        QTest::newRow("account key") << QByteArray(
            "{\"encrypted\": true, \"encKeyValidation_DO_NOT_EDIT\": \"2.x|y|z\","
            " \"folders\": [{\"id\": \"f\", \"name\": \"2.q|r|s\"}], \"items\": [{\"type\": 1, \"name\": "
            "\"2.a|b|c\"}]}");
    }
    void encryptedExportRefused() {
        QFETCH(QByteArray, bytes);
        ProgramDirectory dir;
        const qint64 before = dir.count("account");
        QTemporaryDir files;
        writeBytes(files.filePath("vault.json"), bytes);
        try {
            Importer(dir.recordDatabase()).run(files.filePath("vault.json"));
            QFAIL("an encrypted export was imported");
        } catch (const ExchangeError& e) {
            QVERIFY2(e.message().contains("encrypted"), qPrintable(e.message()));
        }
        QCOMPARE(dir.count("account"), before);
    }

    // A bad line anywhere imports nothing, and the message names it.
    void badLineImportsNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("line");
        QTest::newRow("too many values") << QByteArray(
                                                "name,url,username,password\na,b,c,d\n\"e\nf\",g,h,i\nj,k,l,m,n\n")
                                         << qint64(5);
        QTest::newRow("too few values") << QByteArray("name,url,username,password\na,b,c,d\nx,y\n") << qint64(3);
        QTest::newRow("quote never closed")
            << QByteArray("name,url,username,password\na,b,c,d\n\"x,y,z,w\nmore\n") << qint64(3);
        QTest::newRow("unknown bitwarden type")
            << QByteArray("folder,favorite,type,name,notes,fields,login_uri,login_username,login_password,login_totp\n"
                          ",,login,a,,,,,,\n,,card,b,,,,,,\n")
            << qint64(3);
        QTest::newRow("broken json item")
            << QByteArray(
                   "{\"items\": [\n{\"type\": 1, \"name\": \"a\", \"login\": {}},\n{\"type\": 1, \"name\": }\n]}")
            << qint64(3);
        QTest::newRow("json item without type")
            << QByteArray("{\"items\": [\n{\"type\": 2, \"name\": \"a\"},\n\n{\"name\": \"b\"}]}") << qint64(4);
        QTest::newRow("broken json item after a text longer than a read")
            << ("{\"items\": [\n{\"type\": 2, \"name\": \"a\", \"notes\": \"" + QByteArray(300000, 'y') +
                "\\n\"},\n{\"type\": 1, \"name\": }\n]}")
            << qint64(3);
        QTest::newRow("json cut off") << QByteArray("{\"items\": [\n{\"type\": 2, \"name\": \"a\"},\n{\"type\"")
                                      << qint64(3);
        QTest::newRow("two json exports in one file")
            << QByteArray(
                   "{\"items\": [{\"type\": 2, \"name\": \"a\"}]}\n{\"items\": [{\"type\": 2, \"name\": \"b\"}]}\n")
            << qint64(2);
        QTest::newRow("json item with a byte that is not UTF-8")
            << QByteArray("{\"items\": [\n{\"type\": 2, \"name\": \"a\"},\n{\"type\": 2, \"notes\": \"p\x96w\"}]}")
            << qint64(3);
        QTest::newRow("text after a json export") << QByteArray("{\"items\": []}\r\n\r\n  ]") << qint64(3);
    }
    void badLineImportsNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, line);
        ProgramDirectory dir;
        const auto before = recordsOf(dir.recordDatabase(), Section::Passwords);
        const auto notesBefore = recordsOf(dir.recordDatabase(), Section::Notes);
        QTemporaryDir files;
        writeBytes(files.filePath("bad"), bytes);
        Importer importer(dir.recordDatabase());
        for (bool previewOnly : {true, false}) {
            try {
                if (previewOnly)
                    importer.preview(files.filePath("bad"));
                else
                    importer.run(files.filePath("bad"));
                QFAIL("a bad file was accepted");
            } catch (const ExchangeError& e) {
                QCOMPARE(e.line(), line);
                QVERIFY2(e.message().startsWith(QStringLiteral("Line %1: ").arg(line)), qPrintable(e.message()));
            }
        }
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Passwords), before);
        QCOMPARE(recordsOf(dir.recordDatabase(), Section::Notes), notesBefore);
        QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
    }

    // However many records an import adds, the search index finds each of
    // them, and the file keeps its triggers and index settings exactly as
    // before, whether the import lands or fails half-way.
    void importKeepsTheSearchIndex_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("many logins in CSV") << "csv";
        QTest::newRow("every item type in Bitwarden JSON") << "json";
        QTest::newRow("a bad line after many good ones") << "bad";
    }
    void importKeepsTheSearchIndex() {
        QFETCH(QString, kind);
        ProgramDirectory dir;
        const QString layout = layoutOf(dir.recordDatabase());
        QTemporaryDir files;
        QString path = files.filePath("logins.csv");
        const int logins = 3000;
        if (kind == "json") {
            if (importFixtures().isEmpty())
                QSKIP("the real export files are not here");
            path = QDir(importFixtures()).filePath("bitwarden-json-all-types.json");
        } else {
            QByteArray csv = "name,url,username,password,note\n";
            for (int i = 0; i < logins; ++i) {
                const QByteArray n = QByteArray::number(i);
                csv += "Ünïcode site qx" + n + "qz,https://example.org/" + n + ",user" + n + ",secret" + n +
                       ",\"first line\nqy" + n + "qy\"\n";
            }
            if (kind == "bad")
                csv += "too,few\n";
            writeBytes(path, csv);
        }
        bool landed = false;
        try {
            const Importer::Result result = Importer(dir.recordDatabase()).run(path);
            landed = true;
            if (kind == "csv")
                QCOMPARE(at(result.imported, Section::Passwords), logins);
        } catch (const ExchangeError& e) {
            QVERIFY2(kind == "bad", qPrintable(e.message()));
        }
        QCOMPARE(landed, kind != "bad");
        QCOMPARE(layoutOf(dir.recordDatabase()), layout);
        QCOMPARE(searchIndexProblem(dir.recordDatabase()), QString());
        if (kind != "json") {
            for (int i : {0, 1234, logins - 1}) {
                const QString n = QString::number(i);
                QCOMPARE(indexHits(dir.recordDatabase(), "account", "Ünïcode site qx" + n + "qz"), qint64(landed));
                QCOMPARE(indexHits(dir.recordDatabase(), "account", "qy" + n + "qy"), qint64(landed));
                QCOMPARE(indexHits(dir.recordDatabase(), "account", "user" + n), qint64(landed));
                QCOMPARE(indexHits(dir.recordDatabase(), "account", "secret" + n), qint64(0));
            }
        }
        // The index follows the writes after the import too.
        dir.exec(Database, "INSERT INTO account (Account) VALUES ('Harbourmaster'); INSERT INTO Notes (Title) VALUES "
                           "('Harbourmaster'); DELETE FROM account WHERE _key = (SELECT max(_key) - 1 FROM account)");
        QCOMPARE(indexHits(dir.recordDatabase(), "account", "harbourmaster"), qint64(1));
        QCOMPARE(indexHits(dir.recordDatabase(), "Notes", "harbourmaster"), qint64(1));
        QCOMPARE(searchIndexProblem(dir.recordDatabase()), QString());
    }

    // A record identical in every field to a stored one is skipped; one that
    // differs anywhere, even by a blank, is not. A mark (U+FEFF) first in a
    // field is part of it, stored or imported.
    void duplicatesSkipped() {
        ProgramDirectory dir;
        emptyRecords(dir);
        dir.exec(Database, "INSERT INTO account (Account, Website, User, Password, Notes) VALUES "
                           "('same', 'https://s', 'u', 'p', ''), ('nulls', NULL, 'u', 'p', NULL), "
                           "(char(65279) || 'marked', 'https://m', 'u', 'p', '')");
        QTemporaryDir files;
        writeBytes(files.filePath("c.csv"), "name,url,username,password,note\n"
                                            "same,https://s,u,p,\n"
                                            "same,https://s,u,p ,\n"
                                            "nulls,,u,p,\n"
                                            "same,https://s,u,p,\n"
                                            "new,,,,\n"
                                            "\xEF\xBB\xBFmarked,https://m,u,p,\n");
        Importer importer(dir.recordDatabase());
        const Importer::Preview preview = importer.preview(files.filePath("c.csv"));
        QCOMPARE(at(preview.records, Section::Passwords), 6);
        QCOMPARE(at(preview.duplicates, Section::Passwords), 4);
        const Importer::Result result = importer.run(files.filePath("c.csv"));
        QCOMPARE(at(result.imported, Section::Passwords), 2);
        QCOMPARE(at(result.skipped, Section::Passwords), 4);
        QCOMPARE(dir.count("account"), 5);
        const QString message = Importer::resultText(result);
        QVERIFY(message.contains("Passwords: 2 imported, 4 skipped as already stored"));
        QVERIFY(message.contains("plain text"));
    }

    // Export, then import into an empty database: every record comes back exactly.
    void roundTrip_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("json") << "json";
        QTest::newRow("csv") << "csv";
    }
    void roundTrip() {
        QFETCH(QString, format);
        ProgramDirectory from;
        emptyRecords(from);
        const QStringList awkward{"a,b",      "say \"hi\"",
                                  "l1\r\nl2", "l1\nl2\n",
                                  " lead",    "trail ",
                                  "",         "\u00fc \u79d8\u5bc6 \U0001F697",
                                  "\ttab",    "Folder: not a folder",
                                  "\\back\\", QStringLiteral("\ufeffmark first")};
        for (Section section : AllSections) {
            const Schema::Table& table = tableOf(section);
            for (int row = 0; row < awkward.size(); ++row) {
                QStringList values, fields;
                for (int f = 0; f < table.fields.size(); ++f) {
                    values << "'" + QString(awkward.at((row + f) % awkward.size())).replace("'", "''") + "'";
                    fields << Schema::quoted(table.fields.at(f));
                }
                from.exec(Database, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                        .arg(Schema::quoted(table.name), fields.join(','), values.join(',')));
            }
        }
        // Card types and years the card format spells its own way, and fields never set.
        from.exec(Database, "INSERT INTO \"Credit Card\" (\"Type Card\", \"Year\") VALUES ('MasterCard', '15'), "
                            "('Diners', '2031'), ('Visa', NULL), ('American Express', '7')");
        from.exec(Database, "INSERT INTO account (Account) VALUES ('only a name')");
        from.exec(Database, "INSERT INTO Personal (\"Full Name\") VALUES (NULL)");

        ProgramDirectory to;
        emptyRecords(to);
        QTemporaryDir out;
        Exporter exporter(from.recordDatabase());
        Importer importer(to.recordDatabase());
        if (format == "json") {
            const SectionCounts counts = exporter.writeJson(out.filePath("vault.json"));
            QCOMPARE(at(counts, Section::CreditCards), awkward.size() + 4);
            const Importer::Result result = importer.run(out.filePath("vault.json"));
            QCOMPARE(result.imported, counts);
        } else {
            const SectionCounts counts = exporter.writeCsv(out.path());
            for (Section section : AllSections) {
                const Importer::Result result = importer.run(out.filePath(Exporter::csvFileName(section)));
                QCOMPARE(at(result.imported, section), at(counts, section));
            }
        }
        for (Section section : AllSections)
            QCOMPARE(recordsOf(to.recordDatabase(), section), recordsOf(from.recordDatabase(), section));
    }

    // Export files are new, owner-only, written whole, and never the database.
    void exportFiles() {
        ProgramDirectory dir;
        QTemporaryDir out;
        Exporter exporter(dir.recordDatabase());
        writeBytes(out.filePath("old.json"), "old");
        QFile::setPermissions(out.filePath("old.json"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        exporter.writeJson(out.filePath("old.json"));
        exporter.writeCsv(out.path());
        QStringList expected{"old.json"};
        for (Section section : AllSections)
            expected << Exporter::csvFileName(section);
        expected.sort();
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        for (const QString& name : expected)
            QVERIFY2(isOwnerOnly(out.filePath(name)), qPrintable(name));
        QVERIFY(QJsonDocument::fromJson(fileBytes(out.filePath("old.json"))).isObject());

        const QByteArray database = dir.bytes(Database);
        for (const QString& target : {dir.recordDatabase(), dir.passwordStore()}) {
            QVERIFY_THROWS_EXCEPTION(ExchangeError, exporter.writeJson(target));
        }
        QVERIFY_THROWS_EXCEPTION(ExchangeError, Exporter(dir.recordDatabase()).writeCsv(out.filePath("missing")));
        QCOMPARE(dir.bytes(Database), database);
        QCOMPARE(QDir(dir.path()).entryList({".*tmp"}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(ExchangeTest)
#include "test_exchange.moc"
