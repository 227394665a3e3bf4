// Old Jet-format files: conversion at start, what is kept, and what is refused.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "store/DataBinder.h"
#include "store/Isolated.h"
#include "store/JetReader.h"
#include "store/LegacyConversion.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "utility/DatabaseFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Legacy = QStringLiteral(SHARED_DIR "/fixtures/legacy/");
const QString Samples = QStringLiteral(SHARED_DIR "/fixtures/jet-samples/");

void replaceWith(const ProgramDirectory& dir, const QString& name, const QString& source) {
    QFile::remove(dir.file(name));
    QVERIFY(QFile::copy(source, dir.file(name)));
    QFile::setPermissions(dir.file(name), QFile::ReadOwner | QFile::WriteOwner);
}

QStringList leftovers(const ProgramDirectory& dir) {
    return QDir(dir.path()).entryList({"*.converting", ".*"}, QDir::Files | QDir::Hidden);
}

} // namespace

class LegacyTest : public QObject {
    Q_OBJECT
private slots:
    void convertsTheLegacyFilesExactly() {
        QFile json(Legacy + "expected.json");
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonObject files = QJsonDocument::fromJson(json.readAll()).object().value("files").toObject();
        ProgramDirectory dir;
        for (const QString& name : {QStringLiteral("password.mdb"), QStringLiteral("pass2.mdb")}) {
            replaceWith(dir, name, Legacy + name);
            const LegacyConversion::Outcome outcome =
                LegacyConversion::convertIfNeeded(dir.file(name), name == "password.mdb");
            QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
            QVERIFY(outcome.converted);
            QCOMPARE(outcome.keptAs, dir.file(QFileInfo(name).completeBaseName() + ".jet.mdb"));
            QCOMPARE(fileBytes(outcome.keptAs), fileBytes(Legacy + name));
            QVERIFY(isOwnerOnly(dir.file(name)));
            const QJsonObject tables = files.value(name).toObject().value("tables").toObject();
            for (auto t = tables.begin(); t != tables.end(); ++t) {
                const QJsonArray columns = t.value().toObject().value("columns").toArray();
                const QJsonArray rows = t.value().toObject().value("rows").toArray();
                QCOMPARE(dir.query(name, QString("SELECT count(*) FROM \"%1\"").arg(t.key())).toInt(), rows.size());
                for (int r = 0; r < rows.size(); ++r) {
                    for (int c = 0; c < columns.size(); ++c) {
                        const QString column = columns[c].toObject().value("name").toString();
                        const QString expected = rows[r].toArray()[c].toString().replace("\r\n", "\n");
                        const QString stored =
                            dir.query(name, QString("SELECT ifnull(\"%1\", 'NULL') FROM \"%2\" ORDER BY _key "
                                                    "LIMIT 1 OFFSET %3")
                                                .arg(column, t.key())
                                                .arg(r));
                        QVERIFY2(stored == expected, qPrintable(QString("%1.%2 row %3: %4 != %5")
                                                                    .arg(t.key(), column)
                                                                    .arg(r)
                                                                    .arg(stored.left(60), expected.left(60))));
                    }
                }
            }
        }
        QVERIFY(leftovers(dir).isEmpty());
    }

    void startConvertsTellsOnceAndSignsIn() {
        ProgramDirectory dir;
        replaceWith(dir, "password.mdb", Legacy + "password.mdb");
        replaceWith(dir, "pass2.mdb", Legacy + "pass2.mdb");
        {
            FakeContext fake(dir.path());
            QVERIFY(convertLegacyFiles(fake.context));
            QCOMPARE(fake.prompter.calls.size(), 2);
            QCOMPARE(fake.prompter.calls[0].kind, QStringLiteral("info"));
            QVERIFY(fake.prompter.calls[0].text.contains("1 sign-in password"));
            QVERIFY(fake.prompter.calls[1].text.contains("6 passwords, 4 credit cards, 5 personal records, 6 notes, "
                                                         "5 reminders"));
            QVERIFY(fake.prompter.calls[1].text.contains(dir.file("password.jet.mdb")));
            auto* login = fake.windows.show<LoginWindow>(fake.context);
            login->Text2->setText("wren");
            click(login, "cmdLogin");
            auto* main = fake.windows.find<MainWindow>();
            QVERIFY(main);
            QCOMPARE(main->DatPassword->RecordCount(), 6);
            QCOMPARE(main->DatPassword->value("Account"), QStringLiteral("Webmail"));
        }
        FakeContext again(dir.path());
        QVERIFY(convertLegacyFiles(again.context));
        QVERIFY(again.prompter.calls.isEmpty()); // told once only
    }

    // A broken old record database is refused untouched; the start goes on to the
    // sign-in, after which the main window offers the utility. A broken old
    // password store ends the start, since nobody could sign in.
    void brokenOldFilesAreRefusedUntouched_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("truncated") << "truncated"
                                   << "password.mdb";
        QTest::newRow("garbage after the signature") << "garbage"
                                                     << "password.mdb";
        QTest::newRow("missing a table") << "table"
                                         << "password.mdb";
        QTest::newRow("password store truncated") << "truncated"
                                                  << "pass2.mdb";
    }
    void brokenOldFilesAreRefusedUntouched() {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        ProgramDirectory dir;
        QByteArray bytes = fileBytes(Legacy + name);
        if (kind == "truncated")
            bytes.truncate(bytes.size() / 3);
        else if (kind == "garbage")
            bytes = bytes.left(0x80) + QByteArray(20000, '\xA5');
        else
            bytes = fileBytes(Samples + "V1997__testV1997.mdb");
        QFile::remove(dir.file(name));
        {
            QFile f(dir.file(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        FakeContext fake(dir.path());
        QCOMPARE(convertLegacyFiles(fake.context), name == "password.mdb");
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.prompter.last().text.contains(dir.file(name)));
        if (kind == "table")
            QVERIFY(fake.prompter.last().text.contains("no table \"account\""));
        QCOMPARE(fileBytes(dir.file(name)), bytes);
        QVERIFY(leftovers(dir).isEmpty());
        QVERIFY(!QFile::exists(dir.file(QFileInfo(name).completeBaseName() + ".jet.mdb")));
        if (name == "password.mdb") {
            fake.prompter.answers = {true};
            QVERIFY(!fake.windows.show<MainWindow>(fake.context));
            QCOMPARE(fake.prompter.last().kind, QStringLiteral("ask"));
            QVERIFY(fake.prompter.last().text.endsWith(MainWindow::OfferUtility));
            QCOMPARE(fake.windows.openWindows().size(), 1);
            QCOMPARE(fileBytes(dir.file(name)), bytes);
        }
    }

    void genericSamplesReadCompletely() {
        const QStringList files = QDir(Samples).entryList({"*.mdb"}, QDir::Files);
        QCOMPARE(files.size(), 14);
        int memoValues = 0;
        for (const QString& file : files) {
            JetReader jet(Samples + file);
            QCOMPARE(jet.jetVersion(), file.startsWith("V1997") ? 3 : 4);
            for (const QString& table : jet.tables()) {
                const qint64 read = jet.readRows(table, [&](const QStringList& values) {
                    for (const QString& v : values)
                        memoValues += v.size() > 255;
                });
                QCOMPARE(read, jet.storedRowCount(table));
            }
        }
        QVERIFY(memoValues > 0);
        // The legacy note that spans several pages comes over whole.
        JetReader legacy(Legacy + "password.mdb");
        int longest = 0;
        legacy.readRows("Notes", [&](const QStringList& v) { longest = std::max<int>(longest, v.value(1).size()); });
        QVERIFY(longest > 5000);
    }

    void restoreConvertsAJetBackupAndRefusesAnUnreadableOne() {
        ProgramDirectory dir;
        QTemporaryDir backup;
        QVERIFY(QFile::copy(Legacy + "password.mdb", backup.filePath("password.mdb")));
        QVERIFY(DatabaseFiles(dir.path()).restore(backup.filePath("password.mdb")).ok);
        QVERIFY(!JetReader::isJetFile(dir.recordDatabase()));
        FakeContext fake(dir.path());
        QVERIFY(convertLegacyFiles(fake.context));
        QVERIFY(fake.prompter.calls.isEmpty());
        QCOMPARE(dir.count("account"), 6);

        const QByteArray restored = dir.bytes("password.mdb");
        QFile garbage(backup.filePath("password.mdb"));
        QVERIFY(garbage.open(QIODevice::ReadWrite));
        garbage.resize(3000);
        garbage.close();
        QVERIFY(!DatabaseFiles(dir.path()).restore(backup.filePath("password.mdb")).ok);
        QCOMPARE(dir.bytes("password.mdb"), restored);
    }

    void isolatedWorkContainsCrashesAndHangs() {
        const IsolatedResult fine = runIsolated(
            [](int out) {
                (void)::write(out, "said", 4);
                return 0;
            },
            10);
        QVERIFY(fine.succeeded());
        QCOMPARE(fine.output, QByteArray("said"));
        const IsolatedResult crashed = runIsolated(
            [](int) {
                ::raise(SIGSEGV);
                return 0;
            },
            10);
        QCOMPARE(crashed.ending, IsolatedResult::Crashed);
        const IsolatedResult hung = runIsolated(
            [](int) {
                ::sleep(30);
                return 0;
            },
            1);
        QCOMPARE(hung.ending, IsolatedResult::TimedOut);
        const IsolatedResult refused = runIsolated([](int) -> int { throw std::runtime_error("no"); }, 10);
        QCOMPARE(refused.exitCode, 1);
    }

    // A named pipe in place of either file: the start-up goes on (the file is then
    // refused as unreadable) instead of waiting for a writer forever.
    void namedPipesDoNotHangTheStart_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("password.mdb") << "password.mdb";
        QTest::newRow("pass2.mdb") << "pass2.mdb";
    }
    void namedPipesDoNotHangTheStart() {
        QFETCH(QString, name);
        ProgramDirectory dir;
        QFile::remove(dir.file(name));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.file(name)).constData(), 0600), 0);
        const IsolatedResult started = runIsolated(
            [&](int) {
                FakeContext fake(dir.path());
                return convertLegacyFiles(fake.context) && fake.prompter.calls.isEmpty() ? 0 : 3;
            },
            10);
        QCOMPARE(started.ending, IsolatedResult::Exited);
        QCOMPARE(started.exitCode, 0);
        DataBinder binder;
        binder.setDatabaseName(dir.file(name));
        binder.setRecordSource(name == "pass2.mdb" ? "Pass" : "Notes");
        QVERIFY(binder.tryOpen().value_or(QString()).contains("cannot be read"));
    }

    // The reader dies while its new file is half written: the message comes and
    // nothing of the attempt is left beside the original.
    void readerCrashLeavesNothingBehind() {
        ProgramDirectory dir;
        replaceWith(dir, "password.mdb", Legacy + "password.mdb");
        const QString building = dir.recordDatabase() + ".converting";
        std::atomic<bool> killed = false;
        std::atomic<bool> done = false;
        // Strikes the reading child down the moment it has begun to write its new file.
        QThread* striker = QThread::create([&] {
            while (!done && !killed) {
                if (QFileInfo(building).size() > 0) {
                    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                        const QByteArray children =
                            fileBytes(QString("/proc/self/task/%1/children").arg(task)).trimmed();
                        for (const QByteArray& child : children.split(' ')) {
                            if (!child.isEmpty() && ::kill(child.toInt(), SIGSEGV) == 0)
                                killed = true;
                        }
                    }
                }
                QThread::usleep(50);
            }
        });
        striker->start();
        FakeContext fake(dir.path());
        const bool goesOn = convertLegacyFiles(fake.context);
        done = true;
        striker->wait();
        delete striker;
        if (!killed)
            QSKIP("the reader finished before it could be struck");
        QVERIFY(goesOn); // to the sign-in, after which the utility is offered
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("critical"));
        QVERIFY(fake.prompter.last().text.contains("damaged"));
        QCOMPARE(fileBytes(dir.recordDatabase()), fileBytes(Legacy + "password.mdb"));
        QCOMPARE(QDir(dir.path()).entryList({"*.mdb*"}, QDir::Files | QDir::Hidden),
                 (QStringList{"pass2.mdb", "password.mdb"}));
    }

    void ownFormatIsLeftAlone() {
        ProgramDirectory dir;
        const QByteArray before = dir.bytes("password.mdb");
        const LegacyConversion::Outcome outcome = LegacyConversion::convertIfNeeded(dir.recordDatabase(), true);
        QVERIFY(!outcome.converted && outcome.error.isEmpty());
        QCOMPARE(dir.bytes("password.mdb"), before);
    }
};

QTEST_MAIN(LegacyTest)
#include "test_legacy.moc"
