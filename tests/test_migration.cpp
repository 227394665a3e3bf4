// Bringing record databases of older layout versions up to date at start: the
// search index is added and filled, nothing else changes, a failure or a kill
// leaves the old file as it was.
#include "Fakes.h"
#include "ProgramDirectory.h"
#include "app/Startup.h"
#include "platform/AppWindow.h"
#include "search/SearchQuery.h"
#include "store/DataBinder.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "utility/DatabaseFiles.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <unistd.h>

namespace {

const QString OldFile = QStringLiteral(FIXTURES_DIR "/version0.mdb");

// A file as the program made them before the search index: the tables of version
// 0, each with the given number of records in several scripts.
void makeOldDatabase(const QString& path, int records) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("PRAGMA journal_mode=DELETE");
    db.exec(Migration::schemaOfVersion(0).toStdString());
    if (records == 0)
        return;
    const std::string rows =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(records) + ") ";
    const std::string text = "'Zeile ' || i || ' Müller Straße' || char(10) || hex(randomblob(40)) || ' Ελλάδα'";
    db.exec(rows +
            "INSERT INTO account (Account, Website, User, Password, Notes) SELECT 'Konto ' || i, "
            "'https://example.com/' || i, 'user' || i, 'secret' || i, " +
            text + " FROM n");
    db.exec(rows + "INSERT INTO \"Credit Card\" (\"Type Card\", \"Card Number\", \"Security Code\", \"Bank Name\") "
                   "SELECT 'Visa', '4111' || i, '123', 'Bank ' || i FROM n");
    db.exec(rows + "INSERT INTO Personal (\"Full Name\", City) SELECT 'Person ' || i, 'Köln' FROM n");
    db.exec(rows + "INSERT INTO Notes (Title, Note) SELECT 'Notiz ' || i, " + text + " FROM n");
    db.exec(rows + "INSERT INTO Reminder (Date, Reminder) SELECT '1/' || (i % 28 + 1) || '/2027', " + text + " FROM n");
}

// A digest of every record of the five tables, keys included (the identities a
// migration adds are not part of it).
QByteArray recordsDigest(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const Schema::Table* table : Schema::recordTables()) {
        QStringList columns{"_key"};
        for (const QString& field : table->fields)
            columns << Schema::quoted(field);
        SQLite::Statement all(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY _key")
                                      .arg(columns.join(", "), Schema::quoted(table->name))
                                      .toStdString());
        while (all.executeStep()) {
            for (int c = 0; c < all.getColumnCount(); ++c) {
                hash.addData(QByteArray::fromStdString(all.getColumn(c).getString()));
                hash.addData(QByteArrayView("\x1f", 1));
            }
        }
    }
    return hash.result();
}

// The file's tables, indexes and triggers with their SQL, blanks collapsed.
QStringList layoutOf(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement all(db, "SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_master ORDER BY type, name");
    QStringList layout;
    while (all.executeStep()) {
        QStringList entry;
        for (int c = 0; c < 4; ++c)
            entry << QString::fromStdString(all.getColumn(c).getString()).simplified();
        layout << entry.join('|');
    }
    return layout;
}

// The records the index finds for the text that hold it: the index keeps which
// records hold each three-letter piece, so all of the text's pieces are looked up
// and each record found is read for the text itself.
qint64 matches(const QString& path, const QString& table, const QString& query) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    const QString fts = Schema::quoted(table + " search");
    const QString text = QString(query).remove('"');
    SQLite::Statement found(db, QStringLiteral("SELECT * FROM %1 WHERE %1 MATCH ?").arg(fts).toStdString());
    found.bind(1, SearchQuery::piecesOf(text).join(' ').toStdString());
    qint64 count = 0;
    while (found.executeStep()) {
        for (int c = 0; c < found.getColumnCount(); ++c) {
            if (QString::fromUtf8(found.getColumn(c).getText()).contains(text, Qt::CaseInsensitive)) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Records of the five tables together.
qint64 recordCount(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    qint64 count = 0;
    for (const Schema::Table* table : Schema::recordTables())
        count += db.execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(Schema::quoted(table->name)).toStdString())
                     .getInt64();
    return count;
}

// The settings the search indexes keep in the file, other than their version.
QStringList indexSettings(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    QStringList settings;
    for (const Schema::Table* table : Schema::recordTables()) {
        SQLite::Statement all(db, QStringLiteral("SELECT k FROM %1 WHERE k <> 'version'")
                                      .arg(Schema::quoted(table->name + " search_config"))
                                      .toStdString());
        while (all.executeStep())
            settings << table->name + ": " + QString::fromStdString(all.getColumn(0).getString());
    }
    return settings;
}

bool hasSearchIndex(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    return db.execAndGet("SELECT count(*) FROM sqlite_master WHERE name = 'account search'").getInt() == 1;
}

class PaintCounter : public QObject {
public:
    explicit PaintCounter(int& paints) : m_paints(paints) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    int& m_paints;
};

void copyOwnerOnly(const QString& from, const QString& to) {
    QFile::remove(to);
    QVERIFY(QFile::copy(from, to));
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

class MigrationTest : public QObject {
    Q_OBJECT
private slots:
    void migratesOlderFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("query");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("file of the earlier program") << "fixture"
                                                     << "Personal"
                                                     << "\"müll\"" << qint64(1);
        QTest::newRow("earlier program, greek") << "fixture"
                                                << "Notes"
                                                << "\"ΞΕΝΟΔ\"" << qint64(1);
        QTest::newRow("earlier program, edited record") << "fixture"
                                                        << "account"
                                                        << "\"robin.h\"" << qint64(1);
        QTest::newRow("no records") << "empty"
                                    << "account"
                                    << "\"Konto\"" << qint64(0);
        QTest::newRow("many records") << "many"
                                      << "Notes"
                                      << "\"Notiz 1234\"" << qint64(1);
        QTest::newRow("many records, every one") << "many"
                                                 << "Reminder"
                                                 << "\"ελλάδα\"" << qint64(3000);
    }
    void migratesOlderFiles() {
        QFETCH(QString, kind);
        QFETCH(QString, table);
        QFETCH(QString, query);
        QFETCH(qint64, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        if (kind == "fixture")
            copyOwnerOnly(OldFile, path);
        else
            makeOldDatabase(path, kind == "many" ? 3000 : 0);
        QCOMPARE(Migration::versionOf(path), 0);
        QVERIFY(Migration::needed(path));
        const QByteArray before = recordsDigest(path);

        Migration::Progress progress;
        const Migration::Outcome outcome = Migration::migrate(path, &progress);
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QVERIFY(outcome.migrated);
        QCOMPARE(outcome.fromVersion, 0);
        QVERIFY(progress.finished);
        QCOMPARE(progress.done.load(), progress.total.load());
        QCOMPARE(progress.total.load(), recordCount(path));
        QVERIFY(!Migration::needed(path));
        // The settings that speed the filling up are not left in the file.
        QCOMPARE(indexSettings(path), QStringList());
        QCOMPARE(Migration::versionOf(path), Migration::newestVersion());
        QCOMPARE(recordsDigest(path), before);
        QCOMPARE(integrityOf(path), QStringLiteral("ok"));
        QCOMPARE(searchIndexProblem(path), QString());
        QCOMPARE(matches(path, table, query), expected);
        QVERIFY(isOwnerOnly(path) || kind != "fixture");
    }

    // What the versions after the first add to a new file, a migrated file has
    // the same: tables, indexes and triggers with the same SQL.
    void migratedFileHasWhatLaterVersionsAdd() {
        QTemporaryDir dir;
        const QString migrated = dir.filePath("old.mdb");
        copyOwnerOnly(OldFile, migrated);
        QVERIFY(Migration::migrate(migrated).migrated);
        const auto make = [&](const QString& name, int version) {
            const QString path = dir.filePath(name);
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(version).toStdString());
            return path;
        };
        const QString made = make("new.mdb", Migration::newestVersion());
        const QStringList base = layoutOf(make("base.mdb", 0));
        const QStringList migratedLayout = layoutOf(migrated);
        int added = 0;
        for (const QString& entry : layoutOf(made)) {
            if (base.contains(entry))
                continue;
            ++added;
            QVERIFY2(migratedLayout.contains(entry), qPrintable(entry));
        }
        QVERIFY(added > 0);
        QCOMPARE(Migration::versionOf(made), Migration::newestVersion());
    }

    // A file of the first indexed layout (an index that kept where each piece lies,
    // and indexes of name beginnings) gets the smaller one: the layout of a new
    // file, the same hits, and the pages it no longer needs given back.
    void firstIndexedLayoutShrinks() {
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        {
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(1).toStdString());
            db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                    "INSERT INTO Notes (Title, Note) SELECT 'Notiz ' || i, 'über ' || replace(hex(randomblob(30)), "
                    "'1', 'x') FROM n");
        }
        const qint64 sizeBefore = QFileInfo(path).size();
        QCOMPARE(Migration::versionOf(path), 1);
        const Migration::Outcome outcome = Migration::migrate(path);
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QVERIFY(outcome.migrated);
        QCOMPARE(Migration::versionOf(path), Migration::newestVersion());
        const QString made = dir.filePath("new.mdb");
        {
            SQLite::Database db(made.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(Migration::newestVersion()).toStdString());
        }
        QCOMPARE(layoutOf(path), layoutOf(made));
        QCOMPARE(searchIndexProblem(path), QString());
        QCOMPARE(matches(path, "Notes", "Notiz 1234"), qint64(1));
        QCOMPARE(matches(path, "Notes", "über"), qint64(3000));
        QVERIFY2(QFileInfo(path).size() * 10 < sizeBefore * 8,
                 qPrintable(QStringLiteral("%1 bytes, %2 before").arg(QFileInfo(path).size()).arg(sizeBefore)));
        QVERIFY(!Migration::needed(path));
    }

    // The build makes the delivered file from the schema: it is of the newest
    // version with its index filled from the sample entries.
    void deliveredFileIsOfTheNewestVersion() {
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        QCOMPARE(
            QProcess::execute(QStringLiteral(MAKE_DATABASE), {path, QStringLiteral(DATA_DIR "/schema/password.sql"),
                                                              QStringLiteral(DATA_DIR "/samples/password.sql")}),
            0);
        QCOMPARE(Migration::versionOf(path), Migration::newestVersion());
        QCOMPARE(searchIndexProblem(path), QString());
        QCOMPARE(matches(path, "account", "\"bank\""), qint64(1));
        const Migration::Outcome outcome = Migration::migrate(path);
        QVERIFY(!outcome.migrated);
        QVERIFY(outcome.error.isEmpty());
    }

    void leavesOtherFilesAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("newest version") << "newest";
        QTest::newRow("a version this program does not know") << "newer";
        QTest::newRow("no file") << "missing";
    }
    void leavesOtherFilesAlone() {
        QFETCH(QString, kind);
        ProgramDirectory dir;
        if (kind == "newer")
            dir.exec("password.mdb", "PRAGMA user_version = 99");
        if (kind == "missing")
            QFile::remove(dir.recordDatabase());
        const QByteArray before = dir.bytes("password.mdb");
        // The start's quick check agrees: nothing to do.
        QVERIFY(!Migration::needed(dir.recordDatabase()));
        const Migration::Outcome outcome = Migration::migrate(dir.recordDatabase());
        QVERIFY(!outcome.migrated);
        QCOMPARE(outcome.error, QString());
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(QFile::exists(dir.recordDatabase()), kind != "missing");
    }

    // A file that says it is of the newest version but lost what that version
    // added, or whose index was emptied: the start finds it by the file's own
    // layout and counts, not by the version, and builds the index again.
    void startHealsWhatTheVersionPromises_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("index dropped") << "DROP TABLE \"account search\"";
        QTest::newRow("every index dropped") << "DROP TABLE \"account search\"; DROP TABLE \"Credit Card search\"; "
                                                "DROP TABLE \"Personal search\"; DROP TABLE \"Notes search\"; "
                                                "DROP TABLE \"Reminder search\"";
        QTest::newRow("index's data table dropped") << "DROP TABLE \"Notes search_data\"";
        QTest::newRow("index's settings dropped") << "DROP TABLE \"Personal search_config\"";
        QTest::newRow("trigger dropped") << "DROP TRIGGER \"Personal search added\"";
        QTest::newRow("first version's trigger dropped") << "DROP TRIGGER \"Reminder search changed\"";
        QTest::newRow("website index's trigger dropped") << "DROP TRIGGER \"account site added\"";
        QTest::newRow("website index dropped") << "DROP TABLE \"_accountSites\"";
        QTest::newRow("index emptied") << "INSERT INTO \"account search\" (\"account search\") VALUES ('delete-all')";
        QTest::newRow("index's rows deleted") << "DELETE FROM \"Notes search_data\"";
        QTest::newRow("records added past the index")
            << "DROP TRIGGER \"Notes search added\"; INSERT INTO Notes (Title) VALUES ('Unindexed kingfisher'); "
               "CREATE TRIGGER \"Notes search added\" AFTER INSERT ON \"Notes\" BEGIN INSERT INTO \"Notes search\" "
               "(rowid, \"Title\", \"Note\") VALUES (new.\"_key\", new.\"Title\", new.\"Note\"); END";
    }
    void startHealsWhatTheVersionPromises() {
        QFETCH(QString, damage);
        ProgramDirectory dir;
        const QStringList layout = layoutOf(dir.recordDatabase());
        dir.exec("password.mdb", damage);
        const QByteArray records = recordsDigest(dir.recordDatabase());
        QCOMPARE(Migration::versionOf(dir.recordDatabase()), Migration::newestVersion());
        QCOMPARE(Migration::stateOf(dir.recordDatabase()), Migration::State::Damaged);

        FakeContext fake(dir.path());
        updateRecordDatabase(fake.context);
        QVERIFY2(fake.prompter.calls.isEmpty(), qPrintable(fake.prompter.last().text));
        QCOMPARE(Migration::stateOf(dir.recordDatabase()), Migration::State::Current);
        QCOMPARE(layoutOf(dir.recordDatabase()), layout);
        QCOMPARE(searchIndexProblem(dir.recordDatabase()), QString());
        QCOMPARE(recordsDigest(dir.recordDatabase()), records);
        QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
        QCOMPARE(indexSettings(dir.recordDatabase()), QStringList());
        // The next start has nothing to do.
        const QByteArray healed = dir.bytes("password.mdb");
        updateRecordDatabase(fake.context);
        QCOMPARE(dir.bytes("password.mdb"), healed);
    }

    // A file of a newer program is told of once at start and never written:
    // not migrated, not healed, and every save refused with the reason.
    void newerFileIsReadNeverWritten_data() {
        QTest::addColumn<QString>("extra");
        QTest::newRow("newer, whole") << "";
        QTest::newRow("newer, without the index this version knows") << "DROP TABLE \"account search\"";
    }
    void newerFileIsReadNeverWritten() {
        QFETCH(QString, extra);
        ProgramDirectory dir;
        dir.exec("password.mdb", "PRAGMA user_version = 99");
        if (!extra.isEmpty())
            dir.exec("password.mdb", extra);
        const QByteArray before = dir.bytes("password.mdb");
        QCOMPARE(Migration::stateOf(dir.recordDatabase()), Migration::State::Newer);

        FakeContext fake(dir.path());
        updateRecordDatabase(fake.context);
        QCOMPARE(fake.prompter.calls.size(), 1);
        QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
        QVERIFY2(fake.prompter.last().text.contains("newer version") && fake.prompter.last().text.contains("99") &&
                     fake.prompter.last().text.contains("reading only"),
                 qPrintable(fake.prompter.last().text));
        QCOMPARE(dir.bytes("password.mdb"), before);

        DataBinder binder;
        binder.setDatabaseName(dir.recordDatabase());
        binder.setRecordSource("account");
        binder.open();
        QVERIFY(binder.RecordCount() > 0);
        QString typed = "written anyway";
        binder.bind(
            "Account", this, [&] { return typed; }, [](const QString&) {});
        for (const bool adding : {true, false}) {
            adding ? binder.AddNew() : binder.Edit();
            try {
                binder.Update();
                QFAIL("a newer program's file was written");
            } catch (const StoreError& e) {
                QVERIFY2(e.message().contains("newer version"), qPrintable(e.message()));
            }
            binder.CancelUpdate();
        }
        try {
            binder.Delete();
            QFAIL("a record of a newer program's file was deleted");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains("newer version"), qPrintable(e.message()));
        }
        binder.close();
        // Nor does the utility's repair build it anew in this program's layout.
        const DatabaseFiles::Outcome repaired = DatabaseFiles(dir.path()).repair();
        QVERIFY(!repaired.ok);
        QVERIFY2(repaired.error.contains("newer version"), qPrintable(repaired.error));
        QCOMPARE(dir.bytes("password.mdb"), before);
        QCOMPARE(QDir(dir.path()).entryList({"password.mdb*"}, QDir::Files | QDir::Hidden),
                 QStringList{"password.mdb"});
    }

    void failedStepLeavesTheFileAsItWas_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a table missing") << "DROP TABLE Notes"
                                         << "no such table";
        QTest::newRow("an index name taken") << "CREATE TABLE \"account search\" (x)"
                                             << "already exists";
        QTest::newRow("an unknown version") << "PRAGMA user_version = -3"
                                            << "unknown version";
    }
    void failedStepLeavesTheFileAsItWas() {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        copyOwnerOnly(OldFile, path);
        {
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
            db.exec(damage.toStdString());
        }
        const QByteArray before = fileBytes(path);
        const Migration::Outcome outcome = Migration::migrate(path);
        QVERIFY(!outcome.migrated);
        QVERIFY2(outcome.error.contains(path) && outcome.error.contains(reason), qPrintable(outcome.error));
        QCOMPARE(fileBytes(path), before);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) == QStringList{"password.mdb"});
    }

    // The start migrates quietly; a failure is a warning and the program goes on.
    void startTellsOnlyOfAFailure_data() {
        QTest::addColumn<bool>("broken");
        QTest::newRow("old file") << false;
        QTest::newRow("file that cannot be updated") << true;
    }
    void startTellsOnlyOfAFailure() {
        QFETCH(bool, broken);
        ProgramDirectory dir;
        copyOwnerOnly(OldFile, dir.recordDatabase());
        if (broken)
            dir.exec("password.mdb", "DROP TABLE Reminder");
        FakeContext fake(dir.path());
        updateRecordDatabase(fake.context);
        if (broken) {
            QCOMPARE(fake.prompter.calls.size(), 1);
            QCOMPARE(fake.prompter.last().kind, QStringLiteral("warn"));
            QVERIFY(fake.prompter.last().text.contains("could not be brought up to date"));
            QCOMPARE(Migration::versionOf(dir.recordDatabase()), 0);
        } else {
            QCOMPARE(fake.prompter.calls.size(), 0);
            QCOMPARE(Migration::versionOf(dir.recordDatabase()), Migration::newestVersion());
        }
    }

    // A long migration shows a window that keeps painting and moves on while the
    // work runs; the window goes when the work is done and the file is migrated.
    void longMigrationShowsItsProgress() {
        ProgramDirectory dir;
        QFile::remove(dir.recordDatabase());
        makeOldDatabase(dir.recordDatabase(), 6000);
        FakeContext fake(dir.path());
        QPointer<QWidget> window;
        QList<int> values;
        int paints = 0;
        PaintCounter counter(paints);
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!window && (window = static_cast<QWidget*>(fake.windows.find(QStringLiteral("frmUpdating")))))
                window->installEventFilter(&counter);
            if (window && window->isVisible())
                values << window->findChild<QProgressBar*>(QStringLiteral("progressBar"))->value();
        });
        watch.start();
        updateRecordDatabase(fake.context, 0);
        watch.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(!window);
        QCOMPARE(fake.prompter.calls.size(), 0);
        QCOMPARE(Migration::versionOf(dir.recordDatabase()), Migration::newestVersion());
        QVERIFY(paints > 0);
        QVERIFY2(values.size() >= 3, qPrintable(QString::number(values.size())));
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QVERIFY2(std::any_of(values.begin(), values.end(), [](int v) { return v > 0 && v < 1000; }),
                 qPrintable(QString::number(values.last())));
    }

    // Killed at random moments, the migration leaves either the old file whole
    // and usable, or the migrated one; the next start finishes the work.
    void killDuringMigrationKeepsTheOldFileUsable() {
        QTemporaryDir dir;
        const QString original = dir.filePath("original.mdb");
        constexpr int Records = 2000;
        makeOldDatabase(original, Records);
        const QByteArray digest = recordsDigest(original);
        const QString path = dir.filePath("password.mdb");

        // How long one whole migration takes here, so the kills fall inside it.
        copyOwnerOnly(original, path);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(Migration::migrate(path).migrated);
        const int wholeMs = int(std::max<qint64>(timer.elapsed(), 20));

        int cutShort = 0;
        const int rounds = 6;
        for (int round = 0; round < rounds; ++round) {
            copyOwnerOnly(original, path);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--worker", path});
            QVERIFY(child.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(wholeMs / 10 + 1, wholeMs + 5));
            child.kill();
            child.waitForFinished();

            QCOMPARE(integrityOf(path), QStringLiteral("ok"));
            QCOMPARE(recordsDigest(path), digest);
            const int version = Migration::versionOf(path);
            QVERIFY(version == 0 || version == Migration::newestVersion());
            QCOMPARE(hasSearchIndex(path), version != 0);
            if (version == 0) {
                ++cutShort;
                // The old file still serves the windows.
                DataBinder binder;
                binder.setDatabaseName(path);
                binder.setRecordSource(QStringLiteral("Notes"));
                binder.open();
                QCOMPARE(binder.RecordCount(), qint64(Records));
                QCOMPARE(binder.value("Title"), QStringLiteral("Notiz 1"));
                binder.close();
                QVERIFY(Migration::migrate(path).migrated);
            }
            QCOMPARE(Migration::versionOf(path), Migration::newestVersion());
            QCOMPARE(matches(path, "Notes", "\"Notiz 1234\""), qint64(1));
            QCOMPARE(matches(path, "Reminder", "\"müller\""), qint64(Records));
        }
        QCOMPARE(searchIndexProblem(path), QString());
        qInfo("migration: %d kills, %d cut short and migrated again at the next start", rounds, cutShort);
        QVERIFY(cutShort > 0);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--worker") {
        QCoreApplication app(argc, argv);
        return Migration::migrate(QString::fromLocal8Bit(argv[2])).migrated ? 0 : 1;
    }
    QApplication app(argc, argv);
    MigrationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_migration.moc"
