// Identities of records: the same on every computer for records older than
// them, random for new ones; the time of the last change and the computer that
// made it kept by the file's triggers and the program's connections; deletions
// kept; and every file the program builds from another keeps them.
#include "Fakes.h"
#include "ProgramDirectory.h"
#include "StampText.h"
#include "exchange/Importer.h"
#include "store/DataBinder.h"
#include "store/LegacyConversion.h"
#include "store/MachineId.h"
#include "store/MachineStamp.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "sync/Retention.h"
#include "utility/DatabaseFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

const QString OldFile = QStringLiteral(FIXTURES_DIR "/version0.mdb");
const QString LegacyFile = QStringLiteral(SHARED_DIR "/fixtures/legacy/password.mdb");

// Every record of the five tables as "table|identity|time|computer|fields", by table and identity.
QStringList identities(const QString& path, bool withKeys = false) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    QStringList rows;
    for (const Schema::Table* table : Schema::recordTables()) {
        QStringList fields;
        for (const QString& f : table->fields)
            fields << QStringLiteral("coalesce(%1, '<null>')").arg(Schema::quoted(f));
        SQLite::Statement all(
            db, QStringLiteral("SELECT _key, %3, _modified, %4, %1 FROM %2 ORDER BY _id")
                    .arg(fields.join(" || '|' || "), Schema::quoted(table->name), identityText(), machineText())
                    .toStdString());
        while (all.executeStep()) {
            QStringList row{table->name};
            for (int c = withKeys ? 0 : 1; c < 5; ++c)
                row << QString::fromStdString(all.getColumn(c).getString());
            rows << row.join('|');
        }
    }
    return rows;
}

QString copied(const QTemporaryDir& dir, const QString& from, const QString& name) {
    const QString path = dir.filePath(name);
    QFile::remove(path);
    QFile::copy(from, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

void run(const QString& path, const QString& sql) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec(sql.toStdString());
}

QString value(const QString& path, const QString& sql) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    return QString::fromStdString(db.execAndGet(sql.toStdString()).getString());
}

const QRegularExpression
    DerivedForm(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
const QRegularExpression
    RandomForm(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));

} // namespace

class IdentityTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The program's connections name this computer from the user's configuration folder.
        QStandardPaths::setTestModeEnabled(true);
    }

    // Two computers that had the same file and bring it up to date apart agree on
    // every record; each record's identity is derived, its time 0, no computer.
    void olderRecordsGetTheSameIdentityEverywhere_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("file of the earlier program, version 0") << "fixture";
        QTest::newRow("file of version 1 with the sample entries") << "samples";
    }
    void olderRecordsGetTheSameIdentityEverywhere() {
        QFETCH(QString, source);
        QTemporaryDir dir;
        QString original = OldFile;
        if (source == "samples") {
            original = dir.filePath("v1.mdb");
            SQLite::Database db(original.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(1).toStdString());
            QFile samples(DATA_DIR "/samples/password.sql");
            QVERIFY(samples.open(QIODevice::ReadOnly));
            db.exec(samples.readAll().toStdString());
        }
        const QString first = copied(dir, original, "first.mdb");
        const QString second = copied(dir, original, "second.mdb");
        QVERIFY(Migration::migrate(first).migrated);
        // Another day, another computer: the same file gets the same identities.
        run(second, "INSERT INTO Notes (Title) VALUES ('x'); DELETE FROM Notes WHERE Title = 'x'");
        QVERIFY(Migration::migrate(second).migrated);
        const QStringList records = identities(first, true);
        QVERIFY(records.size() > 10);
        QCOMPARE(identities(second, true), records);
        for (const QString& record : records) {
            const QStringList parts = record.split('|');
            QVERIFY2(DerivedForm.match(parts[2]).hasMatch(), qPrintable(record));
            QCOMPARE(parts[3], QStringLiteral("0"));
            QCOMPARE(parts[4], QString());
        }
        // The delivered file made by the build gives its sample entries the identities a
        // file of the older version gets by its migration.
        if (source == "samples") {
            const QString delivered = dir.filePath("delivered.mdb");
            QCOMPARE(QProcess::execute(QStringLiteral(MAKE_DATABASE),
                                       {delivered, DATA_DIR "/schema/password.sql", DATA_DIR "/samples/password.sql"}),
                     0);
            QCOMPARE(identities(delivered, true), records);
        }
    }

    // A record that differs in any field, or sits under another key, is another record.
    void derivedIdentitiesTellRecordsApart() {
        QTemporaryDir dir;
        const QString a = copied(dir, OldFile, "a.mdb");
        const QString b = copied(dir, OldFile, "b.mdb");
        run(b, "UPDATE account SET Notes = Notes || ' ' WHERE _key = (SELECT min(_key) FROM account)");
        QVERIFY(Migration::migrate(a).migrated);
        QVERIFY(Migration::migrate(b).migrated);
        const QStringList listedA = identities(a);
        const QSet<QString> inA(listedA.begin(), listedA.end());
        const QStringList inB = identities(b);
        QCOMPARE(std::count_if(inB.begin(), inB.end(), [&](const QString& r) { return !inA.contains(r); }), 1);
        QCOMPARE(value(a, "SELECT count(DISTINCT _id) = count(*) FROM account"), QStringLiteral("1"));
    }

    // The file's triggers keep identities and times for any writer; the program's
    // connections name the computer too.
    void changesCarryTheirTimeAndComputer_data() {
        QTest::addColumn<bool>("program");
        QTest::newRow("through the program") << true;
        QTest::newRow("another program writes the file") << false;
    }
    void changesCarryTheirTimeAndComputer() {
        QFETCH(bool, program);
        ProgramDirectory dir;
        const QString path = dir.recordDatabase();
        const QString machine = program ? MachineId::local() : QString();
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        DataBinder binder;
        QString text;
        binder.setDatabaseName(path);
        binder.setRecordSource("Notes");
        binder.open();
        binder.bind(
            "Title", &binder, [&] { return text; }, [](const QString&) {});
        const auto write = [&](const QString& sql, const std::function<void()>& throughProgram) {
            if (program)
                throughProgram();
            else
                run(path, sql);
        };
        write("INSERT INTO Notes (Title) VALUES ('new')", [&] {
            binder.AddNew();
            text = "new";
            binder.Update();
        });
        const QString where = QStringLiteral(" FROM Notes WHERE Title = 'new'");
        const QString identity = value(path, "SELECT " + identityText() + where);
        QVERIFY2(RandomForm.match(identity).hasMatch(), qPrintable(identity));
        QVERIFY(value(path, "SELECT _modified" + where).toLongLong() >= start);
        QCOMPARE(value(path, "SELECT " + machineText() + where), machine);

        // A time ahead of this computer's clock (set by another computer) still moves on.
        const qint64 ahead = start + 3600 * 1000;
        const QString named = QStringLiteral("%1 = '%2'").arg(identityText(), identity);
        run(path, QStringLiteral("UPDATE Notes SET _modified = %1 WHERE %2;").arg(ahead).arg(named) +
                      stampedBy("Notes", "elsewhere", named));
        write("UPDATE Notes SET Title = 'changed' WHERE Title = 'new'", [&] {
            binder.MoveLast();
            binder.Edit();
            text = "changed";
            binder.Update();
        });
        const QString byIdentity = " FROM Notes WHERE " + named;
        QCOMPARE(value(path, "SELECT Title" + byIdentity), QStringLiteral("changed"));
        QCOMPARE(value(path, "SELECT _modified" + byIdentity).toLongLong(), ahead + 1);
        QCOMPARE(value(path, "SELECT " + machineText() + byIdentity), program ? machine : QStringLiteral("elsewhere"));
        // A save that changes nothing is no change.
        write("UPDATE Notes SET Title = Title WHERE Title = 'changed'", [&] {
            binder.Edit();
            binder.Update();
        });
        QCOMPARE(value(path, "SELECT _modified" + byIdentity).toLongLong(), ahead + 1);

        write("DELETE FROM Notes WHERE Title = 'changed'", [&] { binder.Delete(); });
        const QString tombstone =
            QStringLiteral(" FROM _tombstones WHERE %1 = '%2'").arg(identityText("identity"), identity);
        QCOMPARE(value(path, "SELECT tableName" + tombstone), QStringLiteral("Notes"));
        QCOMPARE(value(path, "SELECT deleted" + tombstone).toLongLong(), ahead + 2);
        QCOMPARE(value(path, "SELECT machine" + tombstone), machine);
    }

    // An import gives each record its own identity, the time and this computer,
    // in the insert itself.
    void importedRecordsCarryIdentities() {
        ProgramDirectory dir;
        QTemporaryDir in;
        QFile csv(in.filePath("export.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("name,url,username,password\nOne,https://one.example,a,1\nTwo,https://two.example,b,2\n");
        csv.close();
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        Importer(dir.recordDatabase()).run(csv.fileName());
        const QString path = dir.recordDatabase();
        const QString imported = " FROM account WHERE Account IN ('One', 'Two')";
        QCOMPARE(value(path, "SELECT count(DISTINCT _id)" + imported), QStringLiteral("2"));
        QVERIFY(RandomForm.match(value(path, "SELECT min(" + identityText() + ")" + imported)).hasMatch());
        QVERIFY(value(path, "SELECT min(_modified)" + imported).toLongLong() >= start);
        QCOMPARE(value(path, "SELECT group_concat(DISTINCT " + machineText() + ")" + imported), MachineId::local());
    }

    // The computer's id is made once and kept in the configuration folder given.
    void machineIdIsMadeOnceAndKept() {
        QTemporaryDir first, second;
        const QString id = MachineId::inFolder(first.path());
        QVERIFY(!QUuid(id).isNull());
        QCOMPARE(MachineId::inFolder(first.path()), id);
        QVERIFY(QFile::exists(first.filePath("quillmere/machine-id")));
        QVERIFY(MachineId::inFolder(second.path()) != id);
        // A folder that cannot be written gives an id that is the same at every start.
        QFile blocker(second.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString fallback = MachineId::inFolder(second.filePath("blocked"));
        QVERIFY(!QUuid(fallback).isNull());
        QCOMPARE(MachineId::inFolder(second.filePath("blocked")), fallback);
    }

    // Restore, repair and conversion build new files: the records keep their
    // identities, times and computers, and the deletions and history come along;
    // a source without identities gives the derived ones.
    void rebuiltFilesKeepIdentities_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("restore") << "restore";
        QTest::newRow("restore of a backup made before identities") << "restore old";
        QTest::newRow("repair of a sound file") << "compact";
        QTest::newRow("repair of a damaged file") << "salvage";
        QTest::newRow("conversion of an old-format file") << "convert";
    }
    void rebuiltFilesKeepIdentities() {
        QFETCH(QString, operation);
        ProgramDirectory dir;
        const QString path = dir.recordDatabase();
        run(path, stampedBy("account", "other", "_key = 2") +
                      "UPDATE account SET _modified = 1234 WHERE _key = 2;"
                      "DELETE FROM Notes WHERE _key = 1;"
                      "INSERT INTO _history VALUES ('account', 'x', 5, 'm', '{}', 6)");
        QStringList expected = identities(path);
        const QString tombstones =
            "SELECT group_concat(" + identityText("identity") + " || deleted, ',') FROM _tombstones";
        QString expectedTombstones = value(path, tombstones);
        QTemporaryDir backup;
        DatabaseFiles files(dir.path());
        if (operation == "restore" || operation == "restore old") {
            QVERIFY(files.backup(backup.filePath("password.mdb")).ok);
            if (operation == "restore old") {
                copied(backup, OldFile, "password.mdb");
                const QString migrated = copied(backup, OldFile, "migrated.mdb");
                QVERIFY(Migration::migrate(migrated).migrated);
                expected = identities(migrated);
                expectedTombstones = QString();
            }
            run(path, "DELETE FROM account");
            const DatabaseFiles::Outcome outcome = files.restore(backup.filePath("password.mdb"));
            QVERIFY2(outcome.ok, qPrintable(outcome.error));
        } else if (operation == "compact" || operation == "salvage") {
            if (operation == "salvage") {
                // The passwords' identity index overwritten, as a failing disk would: every record is still read.
                const qint64 page =
                    value(path, "SELECT rootpage FROM sqlite_master WHERE name = 'account identities'").toLongLong();
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadWrite));
                QVERIFY(file.seek((page - 1) * 4096));
                file.write(QByteArray(4096, '\xEE'));
            }
            const DatabaseFiles::Outcome outcome = files.repair();
            QVERIFY2(outcome.ok, qPrintable(outcome.error));
            QCOMPARE(outcome.report.contains("damaged"), operation == "salvage");
        } else {
            QTemporaryDir jet;
            const QString first = copied(jet, LegacyFile, "first.mdb");
            const QString second = copied(jet, LegacyFile, "second.mdb");
            QVERIFY(LegacyConversion::convertInto(first, jet.filePath("one.mdb"), true).isEmpty());
            QVERIFY(LegacyConversion::convertInto(second, jet.filePath("two.mdb"), true).isEmpty());
            expected = identities(jet.filePath("one.mdb"));
            QVERIFY(expected.size() > 5);
            QVERIFY(DerivedForm.match(expected.first().section('|', 1, 1)).hasMatch());
            QCOMPARE(identities(jet.filePath("two.mdb")), expected);
            return;
        }
        QCOMPARE(identities(path), expected);
        QCOMPARE(value(path, tombstones), expectedTombstones);
        if (operation != "restore old")
            QCOMPARE(value(path, "SELECT count(*) FROM _history"), QStringLiteral("1"));
    }

    // A file that kept identities and computers as text gets the compact forms:
    // every record, deletion and lost version keeps the same identity and
    // computer as the program shows them, and the browser's sites still follow
    // the records' changes without their index by record.
    void compactLayoutKeepsIdentitiesAndComputers() {
        QTemporaryDir dir;
        const QString path = dir.filePath("password.mdb");
        {
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(4).toStdString());
            stampChangesWith(db, "computer-one", std::nullopt);
            db.exec("INSERT INTO account (Account, Website) VALUES ('Bank', 'https://www.bank.example/login'), "
                    "('Mail', 'mail.example:8443'), ('Gone', 'https://gone.example');"
                    "INSERT INTO Notes (Title) VALUES ('note');"
                    "UPDATE account SET _machine = '' WHERE Account = 'Mail';"
                    "DELETE FROM account WHERE Account = 'Gone';");
            db.exec("INSERT INTO _history SELECT 'account', _id, 5, 'computer-two', '{}', 6 FROM account "
                    "WHERE Account = 'Bank'");
        }
        const auto rows = [&](const QString& identity, const QString& machine) {
            return value(path, QStringLiteral("SELECT group_concat(Account || '|' || %1 || '|' || %2, ',') FROM "
                                              "(SELECT * FROM account ORDER BY _key)")
                                   .arg(identity, machine)) +
                   value(path, QStringLiteral("SELECT group_concat(%1 || deleted || machine) FROM _tombstones")
                                   .arg(identity == "_id" ? "identity" : identityText("identity"))) +
                   value(path, QStringLiteral("SELECT group_concat(%1) FROM _history")
                                   .arg(identity == "_id" ? "identity" : identityText("identity")));
        };
        const QString before = rows("_id", "coalesce(_machine, '')");
        QVERIFY(before.contains("Bank|") && before.contains("computer-one"));
        QVERIFY(Migration::migrate(path).migrated);
        QCOMPARE(Migration::stateOf(path), Migration::State::Current);
        QCOMPARE(rows(identityText(), machineText()), before);
        QCOMPARE(value(path, "SELECT group_concat(DISTINCT typeof(_id)) FROM account"), QStringLiteral("blob"));
        QCOMPARE(value(path, "SELECT typeof(identity) FROM _tombstones"), QStringLiteral("blob"));
        QCOMPARE(value(path, "SELECT count(*) FROM _machines"), QStringLiteral("1"));
        QCOMPARE(value(path, "SELECT count(*) FROM sqlite_master WHERE name IN ('account keys', "
                             "'_accountSites records')"),
                 QStringLiteral("0"));
        const QString sites = "SELECT group_concat(site || ':' || record, ',') FROM (SELECT * FROM _accountSites "
                              "ORDER BY record)";
        QCOMPARE(value(path, sites), QStringLiteral("bank.example:1,mail.example:2"));
        run(path, "UPDATE account SET Website = 'https://new.example' WHERE Account = 'Bank';"
                  "DELETE FROM account WHERE Account = 'Mail';"
                  "INSERT INTO account (Account, Website) VALUES ('Shop', 'http://user@WWW.Shop.example./cart')");
        QCOMPARE(value(path, sites), QStringLiteral("new.example:1,shop.example:4"));
    }

    // A file of this version that lost a trigger or an index of it gets them back
    // at start; its deletions, history and identities stay as they were.
    void healingKeepsIdentitiesAndDeletions() {
        ProgramDirectory dir;
        const QString path = dir.recordDatabase();
        run(path, "DELETE FROM Notes WHERE _key = 1; INSERT INTO _history VALUES ('Notes', 'x', 5, 'm', '{}', 6);"
                  "DROP TRIGGER \"account modified\"; DROP INDEX \"Notes identities\"");
        const QStringList before = identities(path);
        const QString kept = "SELECT (SELECT group_concat(identity || deleted) FROM _tombstones) || '/' || "
                             "(SELECT count(*) FROM _history)";
        const QString keptBefore = value(path, kept);
        QCOMPARE(Migration::stateOf(path), Migration::State::Damaged);
        const Migration::Outcome outcome = Migration::migrate(path);
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QVERIFY(outcome.healed);
        QCOMPARE(Migration::stateOf(path), Migration::State::Current);
        QCOMPARE(identities(path), before);
        QCOMPARE(value(path, kept), keptBefore);
        // The trigger is back: a change moves the time on.
        run(path, "UPDATE account SET User = 'healed' WHERE _key = 1");
        QVERIFY(value(path, "SELECT _modified FROM account WHERE _key = 1").toLongLong() > 0);
    }

    // Deletions and lost versions are kept 400 days; older ones go at start, and a
    // file with nothing to remove is not written.
    void oldDeletionsArePruned() {
        ProgramDirectory dir;
        const QString path = dir.recordDatabase();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 day = 24 * 3600 * 1000;
        run(path, QStringLiteral("INSERT INTO _tombstones VALUES ('old', 'Notes', %1, ''), ('kept', 'Notes', %2, '');"
                                 "INSERT INTO _history VALUES ('Notes', 'a', 1, '', '{}', %1), "
                                 "('Notes', 'b', 1, '', '{}', %2)")
                      .arg(now - 401 * day)
                      .arg(now - 399 * day));
        QCOMPARE(Retention::pruneOld(path, now), qint64(2));
        QCOMPARE(value(path, "SELECT group_concat(identity) FROM _tombstones"), QStringLiteral("kept"));
        QCOMPARE(value(path, "SELECT group_concat(identity) FROM _history"), QStringLiteral("b"));
        const QByteArray before = fileBytes(path);
        QCOMPARE(Retention::pruneOld(path, now), qint64(0));
        QCOMPARE(fileBytes(path), before);
    }
};

QTEST_GUILESS_MAIN(IdentityTest)
#include "test_identity.moc"
