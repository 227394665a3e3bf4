// Hostile files for import and export: nothing but a regular file is read,
// nothing is read without bound, nothing is decoded by a silent guess, no
// message quotes a secret, and an export never lands on the program's own
// files nor leaves a folder half replaced.
#include "ExchangeHelpers.h"
#include "SmallDisk.h"
#include "exchange/ExchangeError.h"
#include "exchange/ExchangeLimits.h"
#include "exchange/Exporter.h"
#include "exchange/ImportFile.h"
#include "exchange/Importer.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>
#include <sys/stat.h>

namespace {

// Writes a large file a megabyte at a time, as a download would arrive.
void writeLarge(const QString& path, const QByteArray& head, char filler, qint64 fillerBytes, const QByteArray& tail,
                int lineEvery = 0) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(head), head.size());
    QByteArray block(1024 * 1024, filler);
    if (lineEvery > 0) {
        for (qsizetype i = lineEvery - 1; i < block.size(); i += lineEvery)
            block[i] = '\n';
    }
    for (qint64 written = 0; written < fillerBytes; written += block.size())
        QCOMPARE(file.write(block), block.size());
    QCOMPARE(file.write(tail), tail.size());
}

QByteArray encoded(const QByteArray& utf8, QStringConverter::Encoding encoding) {
    QStringEncoder encoder(encoding);
    return encoder.encode(QString::fromUtf8(utf8));
}

// Every attempt of the import on the path, each expected to throw.
QList<ExchangeError> importFailures(const QString& path, const QString& database) {
    const Importer importer(database);
    const std::function<void()> attempts[] = {
        [&] { inspectFile(path); },
        [&] { importer.preview(path); },
        [&] { importer.run(path); },
    };
    QList<ExchangeError> failures;
    for (const auto& attempt : attempts) {
        try {
            attempt();
        } catch (const ExchangeError& e) {
            failures << e;
        }
    }
    return failures;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

class ExchangeInputsTest : public QObject {
    Q_OBJECT

private slots:
    // A pipe blocks whoever opens it and /dev/zero never ends: neither is opened.
    void onlyRegularFilesRead_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("link to /dev/zero") << "zero"
                                           << "(a link to /dev/zero) is not a file but a device";
        QTest::newRow("named pipe") << "pipe"
                                    << "is not a file but a named pipe";
        QTest::newRow("link to a named pipe") << "pipe link"
                                              << "is not a file but a named pipe";
        QTest::newRow("folder") << "folder"
                                << "is not a file but a folder";
        QTest::newRow("missing") << "missing"
                                 << "cannot be read: No such file";
    }
    void onlyRegularFilesRead() {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir files;
        const QString path = files.filePath("export.csv");
        if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "pipe link") {
            QCOMPARE(::mkfifo(QFile::encodeName(files.filePath("pipe")).constData(), 0600), 0);
            QVERIFY(QFile::link(files.filePath("pipe"), path));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(path));
        }
        ProgramDirectory dir;
        const QList<ExchangeError> failures = importFailures(path, dir.recordDatabase());
        QCOMPARE(failures.size(), 3);
        for (const ExchangeError& e : failures)
            QVERIFY2(e.message().startsWith(path) && e.message().contains(says), qPrintable(e.message()));
    }

    // A record, a field or a JSON value past the limit is refused where it
    // starts, after reading no more than the limit.
    void oversizedRecordsRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<QString>("says");
        QTest::newRow("CSV line without a break") << "line" << qint64(2) << "the record is longer than 64 MB";
        QTest::newRow("quoted CSV field over many lines") << "field" << qint64(3) << "the record is longer than 64 MB";
        QTest::newRow("CSV line of too many values") << "values" << qint64(1) << "more than 1048576 values";
        QTest::newRow("JSON text") << "json" << qint64(2) << "a value is larger than 64 MB";
        QTest::newRow("JSON number") << "number" << qint64(2) << "a value is larger than 64 MB";
    }
    void oversizedRecordsRefused() {
        QFETCH(QString, kind);
        QFETCH(qint64, line);
        QFETCH(QString, says);
        QTemporaryDir files;
        const QString path = files.filePath("big");
        const qint64 over = MaxRecordSize + 1024 * 1024;
        const QByteArray header = "name,url,username,password\n";
        if (kind == "line")
            writeLarge(path, header + "a,b,c,", 'x', over, "\n");
        else if (kind == "field")
            writeLarge(path, header + "a,b,c,d\ne,f,g,\"", 'y', over, "\"\n", 1000);
        else if (kind == "values")
            writeBytes(path, "a" + QByteArray(MaxColumns, ',') + "\n");
        else if (kind == "json")
            writeLarge(path, "{\"items\": [\n{\"type\": 2, \"name\": \"a\", \"notes\": \"", 'z', over, "\"}]}");
        else
            writeLarge(path, "{\"items\": [\n{\"type\": 2,\n\"name\": ", '7', over, "}]}");
        ProgramDirectory dir;
        const QByteArray before = dir.bytes("password.mdb");
        const Importer importer(dir.recordDatabase());
        for (bool previewOnly : {true, false}) {
            try {
                previewOnly ? void(importer.preview(path)) : void(importer.run(path));
                QFAIL("an oversized record was read");
            } catch (const ExchangeError& e) {
                QCOMPARE(e.line(), line);
                QVERIFY2(e.message().contains(says), qPrintable(e.message()));
                QVERIFY2(e.message().size() < 200, qPrintable(e.message().left(200)));
            }
        }
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    // A failure names its line, never a value of the file that may be a secret.
    void messagesQuoteNoSecrets_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        const QByteArray vault =
            "{\"items\": [{\"type\": 1, \"name\": \"n\", \"login\": {\"password\": \"S3cr3t-pw\"}}]}";
        QTest::newRow("JSON in UTF-16 with its mark")
            << "\xFF\xFE" + encoded(vault, QStringConverter::Utf16LE) << "JSON in UTF-16";
        QTest::newRow("JSON in UTF-16 without a mark") << encoded(vault, QStringConverter::Utf16LE) << "JSON in UTF-16";
        QTest::newRow("JSON in UTF-16BE") << "\xFE\xFF" + encoded(vault, QStringConverter::Utf16BE) << "JSON in UTF-16";
        QTest::newRow("pretty JSON in UTF-16")
            << "\xFF\xFE" + encoded("  \r\n" + vault, QStringConverter::Utf16LE) << "JSON in UTF-16";
        QTest::newRow("CSV whose first line is a record")
            << QByteArray("mail,https://m,me,S3cr3t-pw\nbank,https://b,you,pw2\n") << "The 4 columns";
        QTest::newRow("CSV of a type longer than a quote")
            << QByteArray("folder,favorite,type,name,notes,fields,login_uri,login_username,login_password\n"
                          ",,login,a,,,,,\n,,a type far longer than any that Bitwarden writes S3cr3t-pw,b,,,,,\n")
            << QStringLiteral("Line 3: the type \"a type far longer than any tha\u2026\" is not one");
    }
    void messagesQuoteNoSecrets() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        QTemporaryDir files;
        writeBytes(files.filePath("vault"), bytes);
        ProgramDirectory dir;
        try {
            Importer(dir.recordDatabase()).run(files.filePath("vault"));
            QFAIL("the file was imported");
        } catch (const ExchangeError& e) {
            QVERIFY2(e.message().contains(says), qPrintable(e.message()));
            QVERIFY2(!e.message().contains("S3cr3t-pw"), qPrintable(e.message()));
        }
    }

    // A file that is not valid UTF-8 is read only as the user says: the guess
    // names the first stray byte by its line and its place in the line.
    void encodingGuessed_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("certain");
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<qint64>("column");
        QTest::addColumn<int>("byte");
        const QByteArray header = "name,url,username,password\n";
        QTest::newRow("valid UTF-8") << header + "Jos\xC3\xA9,,jo,p\xF0\x9F\x94\x91w\n"
                                     << true << Encoding::Utf8 << qint64(0) << qint64(0) << 0;
        QTest::newRow("UTF-8 with a stray byte") << header + "Jos\xC3\xA9,https://j,jo,pw\nAnn,,ann,p\x96w\n"
                                                 << false << Encoding::Utf8 << qint64(3) << qint64(11) << 0x96;
        QTest::newRow("stray byte before any UTF-8") << header + "Ann,,ann,p\x96w\nJos\xC3\xA9,https://j,jo,pw\n"
                                                     << false << Encoding::Utf8 << qint64(2) << qint64(11) << 0x96;
        QTest::newRow("Windows-1252 throughout") << header + "Caf\xE9,,me,pw\r\n"
                                                 << false << Encoding::Windows1252 << qint64(2) << qint64(4) << 0xE9;
        QTest::newRow("stray byte far into a long line")
            << header + ",,," + QByteArray(1000, 'a') + "\x96\r\n"
            << false << Encoding::Windows1252 << qint64(2) << qint64(1004) << 0x96;
        QTest::newRow("CR LF between long lines")
            << "name,url,username,password\r\n,,," + QByteArray(37, 'b') + "\r\nx,,,\xE9\r\n"
            << false << Encoding::Windows1252 << qint64(3) << qint64(5) << 0xE9;
        QTest::newRow("lone CRs end lines") << QByteArray("name,url,username,password\rb,,,\r\rc\xE9,,,\r") << false
                                            << Encoding::Windows1252 << qint64(4) << qint64(2) << 0xE9;
        QTest::newRow("cut off at the end")
            << header + "Jos\xC3\xA9,,jo,p\xC3" << false << Encoding::Utf8 << qint64(2) << qint64(12) << 0xC3;
        QTest::newRow("overlong form") << header + "a\xC0\x80,,," << false << Encoding::Windows1252 << qint64(2)
                                       << qint64(2) << 0xC0;
        QTest::newRow("surrogate") << header + "\xED\xA0\x80,,," << false << Encoding::Windows1252 << qint64(2)
                                   << qint64(1) << 0xED;
        QTest::newRow("past U+10FFFF") << header + ",,,\xF4\x90\x80\x80" << false << Encoding::Windows1252 << qint64(2)
                                       << qint64(4) << 0xF4;
        QTest::newRow("UTF-8 mark with a stray byte") << "\xEF\xBB\xBF" + header + ",,,\xFF\n"
                                                      << false << Encoding::Utf8 << qint64(2) << qint64(4) << 0xFF;
        QTest::newRow("UTF-16 mark") << QByteArray("\xFF\xFEn\0", 4) << true << Encoding::Utf16LE << qint64(0)
                                     << qint64(0) << 0;
    }
    void encodingGuessed() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, certain);
        QFETCH(Encoding, encoding);
        QFETCH(qint64, line);
        QFETCH(qint64, column);
        QFETCH(int, byte);
        QTemporaryDir files;
        const QString path = files.filePath("logins.csv");
        writeBytes(path, bytes);
        const DetectedEncoding detected = detectEncoding(path);
        QCOMPARE(detected.certain, certain);
        QCOMPARE(detected.encoding, encoding);
        QCOMPARE(detected.line, line);
        QCOMPARE(detected.column, column);
        QCOMPARE(int(detected.byte), byte);
        if (certain)
            return;
        ProgramDirectory dir;
        emptyRecords(dir);
        const Importer importer(dir.recordDatabase());
        try {
            importer.run(path);
            QFAIL("a file of no certain encoding was imported");
        } catch (const ExchangeError& e) {
            QCOMPARE(e.line(), line);
            QVERIFY2(e.message().contains(QStringLiteral("byte %1 of the line").arg(column)), qPrintable(e.message()));
        }
        QCOMPARE(dir.count("account"), 0);
        // Named, the guess is used: the preview says which, and the import follows it.
        ImportOptions options;
        options.encoding = detected.encoding;
        const Importer::Preview preview = importer.preview(path, options);
        QVERIFY2(Importer::previewText(preview).contains(", read as " + encodingTitle(encoding) + ", "),
                 qPrintable(Importer::previewText(preview)));
        importer.run(path, options);
        const QList<QStringList> records = recordsOf(dir.recordDatabase(), Section::Passwords);
        if (bytes.contains("Jos\xC3\xA9"))
            QVERIFY(
                std::any_of(records.begin(), records.end(), [](const QStringList& r) { return r.at(0) == "José"; }));
        if (bytes.contains("p\x96w"))
            QVERIFY(std::any_of(records.begin(), records.end(),
                                [](const QStringList& r) { return r.at(3) == QStringLiteral("p\uFFFDw"); }));
    }

    // Neither the program's own files nor anything named like them, anywhere.
    void ownFilesNeverExportTargets_data() {
        QTest::addColumn<QString>("target");
        for (const char* name : {"password.mdb", "pass2.mdb", "password.mdb-journal", "password.mdb-wal",
                                 "password.mdb-shm", "pass2.mdb-journal", "pass2.mdb-wal", "pass2.mdb-shm"})
            QTest::newRow(name) << QStringLiteral("{program}/") + name;
        QTest::newRow("a journal's name in another folder") << "{out}/password.mdb-journal";
        QTest::newRow("a journal's name in capitals") << "{out}/PASSWORD.MDB-JOURNAL";
        QTest::newRow("a link to the database") << "{out}/link.json";
        QTest::newRow("the program folder through a link") << "{out}/program/password.mdb-journal";
        QTest::newRow("a path that climbs back") << "{out}/../out/pass2.mdb-wal";
    }
    void ownFilesNeverExportTargets() {
        QFETCH(QString, target);
        ProgramDirectory dir;
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkdir("out"));
        const QString out = root.filePath("out");
        QVERIFY(QFile::link(dir.recordDatabase(), out + "/link.json"));
        QVERIFY(QFile::link(dir.path(), out + "/program"));
        const QString path = QString(target).replace("{program}", dir.path()).replace("{out}", out);
        const QStringList programBefore = filesIn(dir.path());
        const QStringList outBefore = filesIn(out);
        const QByteArray database = dir.bytes("password.mdb");
        try {
            Exporter(dir.recordDatabase()).writeJson(path);
            QFAIL("an export was written over one of the program's own files");
        } catch (const ExchangeError& e) {
            QVERIFY2(e.message().contains("the program's own files"), qPrintable(e.message()));
        }
        QCOMPARE(filesIn(dir.path()), programBefore);
        QCOMPARE(filesIn(out), outBefore);
        QCOMPARE(dir.bytes("password.mdb"), database);
    }

    // The five files of a CSV export replace the old ones together or not at all.
    void csvExportAllOrNothing_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("full disk") << "full";
        QTest::newRow("a folder where a file goes") << "folder";
    }
    void csvExportAllOrNothing() {
        QFETCH(QString, fault);
        ProgramDirectory dir;
        // About 200 KB a file, so that three fit where four do not.
        for (Section section : AllSections)
            dir.exec("password.mdb",
                     QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                                    "INSERT INTO %1 (%2) SELECT printf('%.1000c', 'r') FROM n")
                         .arg(Schema::quoted(tableOf(section).name), Schema::quoted(tableOf(section).fields.first())));
        std::unique_ptr<SmallDisk> disk;
        QTemporaryDir plain;
        if (fault == "full") {
            disk = std::make_unique<SmallDisk>();
            if (!disk->mounted())
                QSKIP("no tmpfs can be mounted here");
        }
        const QDir folder(disk ? disk->path() : plain.path());
        for (Section section : AllSections)
            writeBytes(folder.filePath(Exporter::csvFileName(section)),
                       "older export of " + sectionWord(section).toUtf8());
        const QString failing = folder.filePath(Exporter::csvFileName(Section::Notes));
        if (fault == "full") {
            disk->leaveFree(700 * 1024);
        } else {
            QVERIFY(QFile::remove(failing));
            QVERIFY(folder.mkpath(failing + "/inside"));
        }
        try {
            Exporter(dir.recordDatabase()).writeCsv(folder.path());
            QFAIL("the export did not fail");
        } catch (const ExchangeError& e) {
            QVERIFY2(e.message().startsWith(failing) &&
                         e.message().endsWith("No file in the folder has been replaced."),
                     qPrintable(e.message()));
        }
        for (Section section : AllSections) {
            if (section != Section::Notes || disk)
                QCOMPARE(fileBytes(folder.filePath(Exporter::csvFileName(section))),
                         "older export of " + sectionWord(section).toUtf8());
        }
        QCOMPARE(folder.entryList({".*"}, QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(ExchangeInputsTest)
#include "test_exchange_inputs.moc"
