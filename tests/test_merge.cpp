// Merging a copy changed on another computer into the live file: random
// histories of two and three computers that add, change, delete and merge in
// random orders end with the same records on every computer whatever the order,
// lose nothing but to a newer change or deletion, and merging again changes
// nothing; a damaged copy is refused; a kill leaves the file as before or after.
#include "ProgramDirectory.h"
#include "StampText.h"
#include "store/MachineStamp.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "store/StoredIdentity.h"
#include "sync/Merge.h"
#include "sync/RecordVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>
#include <map>

namespace {

// Under AddressSanitizer every allocation costs many times more: a tenth of the
// random histories still runs every path of the merge, and the plain build runs them all.
#ifdef __SANITIZE_ADDRESS__
constexpr int HistoryShare = 10;
#else
constexpr int HistoryShare = 1;
#endif

// Quick disks for the many small commits of the histories, where the machine has one.
QString scratchRoot() {
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/quillmere-merge-XXXXXX")
                                                              : QDir::tempPath() + "/quillmere-merge-XXXXXX";
}

// The record state of a file by identity, keys left out: "table|time|computer|fields"
// for a record, "deleted|table|time|computer" for a deletion.
using State = std::map<QString, QString>;

State stateOf(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    State state;
    for (const Schema::Table* table : Schema::recordTables()) {
        QStringList fields;
        for (const QString& f : table->fields)
            fields << QStringLiteral("quote(%1)").arg(Schema::quoted(f));
        SQLite::Statement all(
            db, QStringLiteral("SELECT %3, _modified || '|' || %4 || '|' || %1 FROM %2")
                    .arg(fields.join(" || '|' || "), Schema::quoted(table->name), identityText(), machineText())
                    .toStdString());
        while (all.executeStep())
            state[QString::fromStdString(all.getColumn(0).getString())] =
                table->name + '|' + QString::fromStdString(all.getColumn(1).getString());
    }
    SQLite::Statement deletions(db, QStringLiteral("SELECT %1, tableName || '|' || deleted || '|' || machine FROM "
                                                   "_tombstones")
                                        .arg(identityText("identity"))
                                        .toStdString());
    while (deletions.executeStep()) {
        const QString id = QString::fromStdString(deletions.getColumn(0).getString());
        if (state.count(id))
            state[id] += " (and a deletion)";
        else
            state[id] = "deleted|" + QString::fromStdString(deletions.getColumn(1).getString());
    }
    return state;
}

qint64 historyRows(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    return db.execAndGet("SELECT count(*) FROM _history").getInt64();
}

// One computer of a history: its file and a connection that names it in what it changes.
struct Machine {
    QString path;
    std::unique_ptr<SQLite::Database> db;
    Machine(const QString& file, const QString& name) : path(file) {
        db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE);
        db->exec("PRAGMA synchronous=OFF");
        stampChangesWith(*db, name, std::nullopt);
    }
};

// Every version any computer made of each record, as (identity -> versions).
using Made = std::map<QString, std::vector<RecordVersion>>;

RecordVersion versionIn(SQLite::Database& db, const Schema::Table& table, const QString& identity) {
    QStringList fields;
    for (const QString& f : table.fields)
        fields << Schema::quoted(f);
    SQLite::Statement row(db, QStringLiteral("SELECT _modified, %3, %1 FROM %2 WHERE _id = ?")
                                  .arg(fields.join(", "), Schema::quoted(table.name), machineText())
                                  .toStdString());
    StoredIdentity::bind(row, 1, StoredIdentity::bytesOf(identity.toStdString()));
    if (row.executeStep())
        return RecordVersion::recordFrom(row, 0, int(table.fields.size()));
    SQLite::Statement deletion(db, "SELECT deleted, machine FROM _tombstones WHERE identity = ?");
    StoredIdentity::bind(deletion, 1, StoredIdentity::bytesOf(identity.toStdString()));
    return deletion.executeStep() ? RecordVersion::deletionFrom(deletion, 0) : RecordVersion{};
}

const Schema::Table& tableOf(QRandomGenerator& random) {
    // Two tables are enough to show that sections do not mix; most work goes to one.
    return random.bounded(4) == 0 ? Schema::notes() : Schema::account();
}

// A random identity held by the machine in the table, if any.
QString anyRecord(Machine& m, const Schema::Table& table, QRandomGenerator& random) {
    SQLite::Statement all(
        *m.db, QStringLiteral("SELECT _id FROM %1 ORDER BY _key").arg(Schema::quoted(table.name)).toStdString());
    QStringList ids;
    while (all.executeStep())
        ids << StoredIdentity::textOf(all.getColumn(0));
    return ids.isEmpty() ? QString() : ids.at(random.bounded(int(ids.size())));
}

// One random step of a history: a computer adds, changes or deletes a record, or
// merges the file of another.
void randomStep(std::vector<Machine>& machines, Made& made, QRandomGenerator& random) {
    Machine& m = machines[random.bounded(int(machines.size()))];
    const Schema::Table& table = tableOf(random);
    const int kind = random.bounded(10);
    const QString field = Schema::quoted(table.fields.at(random.bounded(int(table.fields.size()))));
    const QString text = QStringLiteral("t%1").arg(random.bounded(5)); // few texts: equal edits happen too
    if (kind < 3) {
        SQLite::Statement add(
            *m.db,
            QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(Schema::quoted(table.name), field).toStdString());
        add.bind(1, text.toStdString());
        add.exec();
        SQLite::Statement given(*m.db, QStringLiteral("SELECT _id FROM %1 WHERE _key = last_insert_rowid()")
                                           .arg(Schema::quoted(table.name))
                                           .toStdString());
        given.executeStep();
        const QString id = StoredIdentity::textOf(given.getColumn(0));
        made[id].push_back(versionIn(*m.db, table, id));
    } else if (kind < 8) {
        const QString id = anyRecord(m, table, random);
        if (id.isEmpty())
            return;
        if (kind < 6) {
            SQLite::Statement edit(*m.db, QStringLiteral("UPDATE %1 SET %2 = ? WHERE _id = ?")
                                              .arg(Schema::quoted(table.name), field)
                                              .toStdString());
            edit.bind(1, text.toStdString());
            StoredIdentity::bind(edit, 2, StoredIdentity::bytesOf(id.toStdString()));
            edit.exec();
        } else {
            SQLite::Statement drop(
                *m.db, QStringLiteral("DELETE FROM %1 WHERE _id = ?").arg(Schema::quoted(table.name)).toStdString());
            StoredIdentity::bind(drop, 1, StoredIdentity::bytesOf(id.toStdString()));
            drop.exec();
        }
        made[id].push_back(versionIn(*m.db, table, id));
    } else {
        const Machine& other = machines[random.bounded(int(machines.size()))];
        if (&other == &m)
            return;
        const Merge::Outcome outcome = Merge::mergeCopy(m.path, other.path);
        QVERIFY2(outcome.merged, qPrintable(outcome.error));
    }
}

// Every computer merges every other until none changes: as a sync tool does in the end.
void syncAll(const QStringList& files, bool reverse) {
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < files.size(); ++i)
            for (int j = 0; j < files.size(); ++j) {
                const int a = reverse ? int(files.size()) - 1 - i : i;
                const int b = reverse ? int(files.size()) - 1 - j : j;
                if (a != b)
                    QVERIFY(Merge::mergeCopy(files[a], files[b]).merged);
            }
}

QString describe(const RecordVersion& v) {
    if (!v.exists)
        return QStringLiteral("nothing");
    QStringList texts;
    for (const auto& f : v.fields)
        texts << (f ? QString::fromUtf8(*f) : QStringLiteral("NULL"));
    return QStringLiteral("%1 %2 at %3 by %4")
        .arg(v.deleted ? "deletion" : "record", texts.join(','))
        .arg(v.time)
        .arg(v.machine);
}

// A copy of base with the given number of passwords; returns its path.
QString fileWith(const QTemporaryDir& dir, const QString& base, const QString& name, int records) {
    const QString path = dir.filePath(name);
    QFile::copy(base, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(records) +
            ") INSERT INTO account (Account, Password, Notes) SELECT 'Konto ' || i, 'pw' || i, hex(randomblob(300)) "
            "FROM n");
    return path;
}

} // namespace

class MergeTest : public QObject {
    Q_OBJECT
    QString m_base; // an empty record database of the newest layout
    ProgramDirectory m_program;

private slots:
    void initTestCase() {
        m_base = m_program.file("empty.mdb");
        SQLite::Database db(m_base.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec(Migration::schemaOfVersion(Migration::newestVersion()).toStdString());
    }

    // Random histories (fixed seeds) of two and three computers. After all have
    // merged all, every computer holds the same records whatever the order of
    // the last merges; each record is the newest version any computer made of it
    // (a record beats its deletion at the same moment); merging again changes
    // nothing, not a byte.
    void randomHistoriesAgree_data() {
        QTest::addColumn<int>("computers");
        QTest::addColumn<quint32>("firstSeed");
        QTest::addColumn<int>("rounds");
        QTest::newRow("two computers") << 2 << 1000u << 120;
        QTest::newRow("three computers") << 3 << 5000u << 80;
    }
    void randomHistoriesAgree() {
        QFETCH(int, computers);
        QFETCH(quint32, firstSeed);
        QFETCH(int, rounds);
        rounds /= HistoryShare;
        qint64 versionsMade = 0, deletionsWon = 0, kept = 0;
        for (int round = 0; round < rounds; ++round) {
            QRandomGenerator random(firstSeed + quint32(round));
            QTemporaryDir dir(scratchRoot());
            QStringList files;
            std::vector<Machine> machines;
            for (int c = 0; c < computers; ++c) {
                files << dir.filePath(QStringLiteral("computer%1.mdb").arg(c));
                QFile::copy(m_base, files.last());
                machines.emplace_back(files.last(), QStringLiteral("machine-%1").arg(c));
            }
            Made made;
            for (int step = 0; step < 40; ++step) {
                randomStep(machines, made, random);
                if (QTest::currentTestFailed())
                    return;
            }
            machines.clear();
            // The same end reached in two orders, from copies of the same files.
            QStringList forward, backward;
            for (const QString& file : files) {
                forward << file + ".forward";
                backward << file + ".backward";
                QFile::copy(file, forward.last());
                QFile::copy(file, backward.last());
            }
            syncAll(forward, false);
            syncAll(backward, true);
            const State final = stateOf(forward.first());
            for (const QString& file : forward + backward)
                QVERIFY2(stateOf(file) == final,
                         qPrintable(QStringLiteral("seed %1: %2").arg(firstSeed + round).arg(file)));
            // Each record ends as the newest version made of it.
            SQLite::Database db(forward.first().toStdString(), SQLite::OPEN_READONLY);
            for (const auto& [id, versions] : made) {
                const RecordVersion* newest = &versions.front();
                for (const RecordVersion& v : versions)
                    if (compareVersions(v, *newest) > 0)
                        newest = &v;
                const Schema::Table& table =
                    final.at(id).startsWith("deleted|Notes") || final.at(id).startsWith("Notes|") ? Schema::notes()
                                                                                                  : Schema::account();
                const RecordVersion end = versionIn(db, table, id);
                QVERIFY2(compareVersions(end, *newest) == 0,
                         qPrintable(QStringLiteral("seed %1, %2: ends as %3, newest made %4")
                                        .arg(firstSeed + round)
                                        .arg(id, describe(end), describe(*newest))));
                versionsMade += qint64(versions.size());
                deletionsWon += newest->deleted ? 1 : 0;
            }
            // Merging again changes nothing.
            for (int a = 0; a < forward.size(); ++a) {
                const QByteArray before = fileBytes(forward[a]);
                const Merge::Outcome again = Merge::mergeCopy(forward[a], forward[(a + 1) % forward.size()]);
                QVERIFY(again.merged);
                QCOMPARE(again.changes(), qint64(0));
                QCOMPARE(fileBytes(forward[a]), before);
            }
            kept += historyRows(forward.first());
        }
        qInfo("%d histories: %lld versions made, %lld records ended deleted, %lld lost versions kept in history",
              rounds, versionsMade, deletionsWon, kept);
        QVERIFY(deletionsWon > 0 && kept > 0);
    }

    // The cases one by one, with the counts the merge reports.
    void mergesEachCase_data() {
        QTest::addColumn<QString>("here");     // SQL run on the live file after both had the base
        QTest::addColumn<QString>("there");    // SQL run on the copy, later
        QTest::addColumn<QString>("expected"); // the passwords' Account after the merge, by name
        QTest::addColumn<QString>("counts");   // added/updated/deleted of the passwords
        QTest::addColumn<qint64>("history");
        QTest::newRow("added there") << ""
                                     << "INSERT INTO account (Account) VALUES ('new')"
                                     << "Bank,Mail,new"
                                     << "1/0/0" << qint64(0);
        QTest::newRow("added on both") << "INSERT INTO account (Account) VALUES ('here')"
                                       << "INSERT INTO account (Account) VALUES ('there')"
                                       << "Bank,Mail,here,there"
                                       << "1/0/0" << qint64(0);
        QTest::newRow("changed on both, the copy later")
            << "UPDATE account SET Account = 'Bank here' WHERE Account = 'Bank'"
            << "UPDATE account SET Account = 'Bank there' WHERE Account = 'Bank'"
            << "Bank there,Mail"
            << "0/1/0" << qint64(1);
        QTest::newRow("changed on both, here later")
            << "UPDATE account SET Account = 'Bank here' WHERE Account = 'Bank'"
            << "UPDATE account SET Account = 'Bank there' WHERE Account = 'Bank'; UPDATE account SET _modified = 1"
            << "Bank here,Mail"
            << "0/0/0" << qint64(1);
        QTest::newRow("deleted here, changed there later")
            << "DELETE FROM account WHERE Account = 'Bank'"
            << "UPDATE account SET Account = 'Bank again' WHERE Account = 'Bank'"
            << "Bank again,Mail"
            << "1/0/0" << qint64(0);
        QTest::newRow("changed here, deleted there later")
            << "UPDATE account SET Account = 'Bank here' WHERE Account = 'Bank'"
            << "DELETE FROM account WHERE Account = 'Bank'"
            << "Mail"
            << "0/0/1" << qint64(1);
        QTest::newRow("deleted there, unchanged here") << ""
                                                       << "DELETE FROM account WHERE Account = 'Mail'"
                                                       << "Bank"
                                                       << "0/0/1" << qint64(1);
        QTest::newRow("deleted on both") << "DELETE FROM account WHERE Account = 'Mail'"
                                         << "DELETE FROM account WHERE Account = 'Mail'"
                                         << "Bank"
                                         << "0/0/0" << qint64(0);
        QTest::newRow("the same change on both") << "UPDATE account SET User = 'same' WHERE Account = 'Mail'"
                                                 << "UPDATE account SET User = 'same' WHERE Account = 'Mail'"
                                                 << "Bank,Mail"
                                                 << "0/0/0" << qint64(0);
    }
    void mergesEachCase() {
        QFETCH(QString, here);
        QFETCH(QString, there);
        QFETCH(QString, expected);
        QFETCH(QString, counts);
        QFETCH(qint64, history);
        QTemporaryDir dir(scratchRoot());
        const QString live = dir.filePath("password.mdb");
        const QString copy = dir.filePath("copy.mdb");
        QFile::copy(m_base, live);
        {
            SQLite::Database db(live.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("INSERT INTO account (Account) VALUES ('Bank'), ('Mail')");
        }
        QFile::copy(live, copy);
        const auto write = [](const QString& path, const QString& sql, const QString& machine) {
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
            stampChangesWith(db, machine, std::nullopt);
            if (!sql.isEmpty())
                db.exec(sql.toStdString());
        };
        write(live, here, "a");
        QThread::msleep(3); // the copy's changes are later
        write(copy, there, "b");
        const Merge::Outcome outcome = Merge::mergeCopy(live, copy);
        QVERIFY2(outcome.merged, qPrintable(outcome.error));
        const Merge::SectionCounts& passwords = outcome.sections.at(2);
        QCOMPARE(passwords.table, QStringLiteral("account"));
        QCOMPARE(QStringLiteral("%1/%2/%3").arg(passwords.added).arg(passwords.updated).arg(passwords.deleted), counts);
        SQLite::Database db(live.toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(
            QString::fromStdString(
                db.execAndGet("SELECT group_concat(Account, ',') FROM (SELECT Account FROM account ORDER BY Account)")
                    .getString()),
            expected);
        QCOMPARE(db.execAndGet("SELECT count(*) FROM _history").getInt64(), history);
        // The search index and the kept counts follow the merge.
        QCOMPARE(searchIndexProblem(live), QString());
        QCOMPARE(db.execAndGet("SELECT rows FROM _counts WHERE tableName = 'account'").getInt64(),
                 db.execAndGet("SELECT count(*) FROM account").getInt64());
        // And the other computer, merging this file back, ends the same.
        QVERIFY(Merge::mergeCopy(copy, live).merged);
        QCOMPARE(stateOf(copy), stateOf(live));
    }

    // A copy that is damaged, or no record database, is refused and nothing is written.
    void refusesBadCopies_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a damaged page") << "damaged";
        QTest::newRow("not a database") << "text";
        QTest::newRow("a database of another program") << "foreign";
        QTest::newRow("a copy written by a newer program") << "newer";
    }
    void refusesBadCopies() {
        QFETCH(QString, kind);
        QTemporaryDir dir(scratchRoot());
        const QString live = fileWith(dir, m_base, "password.mdb", 10);
        const QString copy = fileWith(dir, m_base, "copy.mdb", 400);
        if (kind == "damaged") {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(file.size() / 2 / 4096 * 4096));
            file.write(QByteArray(4096, '\xEE'));
        } else if (kind == "text") {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("not a database\n");
        } else if (kind == "newer") {
            SQLite::Database newer(copy.toStdString(), SQLite::OPEN_READWRITE);
            newer.exec("PRAGMA user_version = " + std::to_string(Migration::newestVersion() + 1));
        } else {
            QFile::remove(copy);
            SQLite::Database other(copy.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            other.exec("CREATE TABLE account (x)");
        }
        const QByteArray before = fileBytes(live);
        const QByteArray copyBefore = fileBytes(copy);
        const Merge::Outcome outcome = Merge::mergeCopy(live, copy);
        QVERIFY(!outcome.merged);
        QVERIFY(outcome.refused);
        QVERIFY2(outcome.error.contains(copy), qPrintable(outcome.error));
        QCOMPARE(fileBytes(live), before);
        QCOMPARE(fileBytes(copy), copyBefore);
    }

    // A copy of an older layout is merged as the same file brought up to date:
    // records both had are one record, the copy's own are added, and a change
    // made in a copy that kept identities and computers as text is matched to
    // its record and keeps its computer.
    void mergesCopiesOfOlderLayouts_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("before identities") << 1;
        QTest::newRow("identities as text") << 4;
    }
    void mergesCopiesOfOlderLayouts() {
        QFETCH(int, version);
        QTemporaryDir dir(scratchRoot());
        const QString old = dir.filePath("old.mdb");
        {
            SQLite::Database db(old.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec(Migration::schemaOfVersion(version).toStdString());
            db.exec("INSERT INTO account (Account) VALUES ('both'), ('both too')");
        }
        const QString live = dir.filePath("password.mdb");
        QFile::copy(old, live);
        QVERIFY(Migration::migrate(live).migrated);
        {
            SQLite::Database db(old.toStdString(), SQLite::OPEN_READWRITE);
            stampChangesWith(db, "elsewhere", std::nullopt);
            db.exec("INSERT INTO account (Account) VALUES ('only in the old copy')");
            if (version >= 2)
                db.exec("UPDATE account SET User = 'changed there' WHERE Account = 'both'");
        }
        const QByteArray oldBytes = fileBytes(old);
        const Merge::Outcome outcome = Merge::mergeCopy(live, old);
        QVERIFY2(outcome.merged, qPrintable(outcome.error));
        QCOMPARE(outcome.sections.at(2).added, qint64(1));
        QCOMPARE(outcome.sections.at(2).updated, qint64(version >= 2 ? 1 : 0));
        QCOMPARE(fileBytes(old), oldBytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        SQLite::Database db(live.toStdString(), SQLite::OPEN_READONLY);
        const QString rows = QString::fromStdString(
            db.execAndGet(QStringLiteral("SELECT group_concat(Account || '|' || coalesce(User, '') || '|' || %1, ',') "
                                         "FROM (SELECT * FROM account ORDER BY _key)")
                              .arg(machineText())
                              .toStdString())
                .getString());
        QCOMPARE(rows, version >= 2
                           ? QStringLiteral("both|changed there|elsewhere,both too||,only in the old copy||elsewhere")
                           : QStringLiteral("both||,both too||,only in the old copy||"));
    }

    // Killed at random moments, a merge leaves the live file exactly as before or
    // exactly as after, never between.
    void killedMergeLeavesTheFileBeforeOrAfter() {
        QTemporaryDir dir(scratchRoot());
        const QString base = fileWith(dir, m_base, "base.mdb", 2000);
        const QString copy = dir.filePath("copy.mdb");
        QFile::copy(base, copy);
        {
            SQLite::Database db(copy.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("UPDATE account SET Notes = 'changed ' || _key WHERE _key % 2 = 0;"
                    "DELETE FROM account WHERE _key % 7 = 0;"
                    "INSERT INTO account (Account) SELECT 'added ' || _key FROM account WHERE _key < 1000");
        }
        const QString after = dir.filePath("after.mdb");
        QFile::copy(base, after);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(Merge::mergeCopy(after, copy).merged);
        int wholeMs = int(std::max<qint64>(timer.elapsed(), 20));
        State before = stateOf(base);
        State merged = stateOf(after);
        QVERIFY(before != merged);
        const QString live = dir.filePath("password.mdb");
        int cutShort = 0, done = 0;
        const int rounds = qEnvironmentVariableIntValue("QUILLMERE_CRASH_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("QUILLMERE_CRASH_ROUNDS")
                               : 20;
        // A loaded machine merges slower in the child than here: until a kill has
        // come too late as well as too early, a few more rounds wait longer.
        int round = 0;
        for (; round < rounds || (round < 3 * rounds && (cutShort == 0 || done == 0)); ++round) {
            if (round >= rounds && done == 0)
                wholeMs = wholeMs * 3 / 2;
            QFile::remove(live);
            QFile::copy(base, live);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--merge-worker", live, copy});
            // The kill falls within the merge itself, not the child's start.
            QVERIFY(child.waitForReadyRead(10000));
            QThread::msleep(QRandomGenerator::global()->bounded(0, wholeMs * 3 / 2 + 1));
            child.kill();
            child.waitForFinished();
            QCOMPARE(integrityOf(live), QStringLiteral("ok")); // rolls a journal back, as a start would
            const State now = stateOf(live);
            if (now == before)
                ++cutShort;
            else if (now == merged)
                ++done;
            else
                QFAIL(qPrintable(QStringLiteral("round %1: the file is neither as before nor as after").arg(round)));
        }
        qInfo("merge: %d kills, %d left the file as before, %d as after", round, cutShort, done);
        QVERIFY(cutShort > 0 && done > 0);
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--merge-worker") {
        QCoreApplication app(argc, argv);
        std::fputs("merging\n", stdout);
        std::fflush(stdout);
        return Merge::mergeCopy(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])).merged ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    MergeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_merge.moc"
