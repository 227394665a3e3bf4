// Crash safety: every write path of the program runs in a child process that is
// killed with SIGKILL at a random moment, many times; after each kill the files
// must open, pass SQLite's check, hold every acknowledged write exactly, and
// hold no half-written record.
//
// QUILLMERE_CRASH_ROUNDS sets the kills per write path (default 40; the long
// run in docs/RELIABILITY.md uses thousands).
#include "ProgramDirectory.h"
#include "app/Startup.h"
#include "store/DataBinder.h"
#include "store/LegacyConversion.h"
#include "store/Schema.h"
#include "utility/DatabaseFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <unistd.h>

namespace {

const QString Legacy = QStringLiteral(SHARED_DIR "/fixtures/legacy/");

void acknowledge(const QString& line) {
    const QByteArray bytes = (line + '\n').toUtf8();
    (void)::write(1, bytes.constData(), size_t(bytes.size()));
}

// A binder whose every field is bound to one shared text, standing in for an editor's boxes.
struct Boxes {
    QString text;
    void bindAll(DataBinder& binder, const QStringList& fields) {
        for (const QString& field : fields)
            binder.bind(
                field, &binder, [this] { return text; }, [](const QString&) {});
    }
};

std::unique_ptr<DataBinder> openBinder(const QString& dir, const QString& file, const Schema::Table& table) {
    auto binder = std::make_unique<DataBinder>();
    binder->setDatabaseName(QDir(dir).filePath(file));
    binder->setRecordSource(table.name);
    binder->open();
    return binder;
}

// A long value, so that a record spans several pages and a torn write would show.
QString token(const QString& stem, qint64 n) {
    return QStringLiteral("%1-%2-").arg(stem).arg(n) + QString(3000, 'x');
}

int worker(const QString& mode, const QString& dir) {
    const QStringList fields = Schema::account().fields;
    if (mode == "save" || mode == "edit" || mode == "delete") {
        auto binder = openBinder(dir, "password.mdb", Schema::account());
        Boxes boxes;
        boxes.bindAll(*binder, fields);
        for (qint64 n = 0;; ++n) {
            if (mode == "save") {
                binder->AddNew();
                boxes.text = token("save", QRandomGenerator::global()->generate());
                binder->Update();
                acknowledge(QStringLiteral("%1 %2").arg(binder->LastModified()).arg(boxes.text.section('-', 1, 1)));
            } else if (mode == "edit") {
                binder->MoveFirst();
                binder->Edit();
                boxes.text = token("edit", QDateTime::currentMSecsSinceEpoch() * 1000 + n % 1000);
                binder->Update();
                acknowledge(boxes.text.section('-', 1, 1));
            } else {
                if (binder->RecordCount() <= 1)
                    return 0;
                binder->MoveLast();
                const RecordKey key = binder->Bookmark();
                binder->Delete();
                binder->Refresh();
                acknowledge(QString::number(key));
            }
        }
    }
    if (mode == "password") {
        auto binder = openBinder(dir, "pass2.mdb", Schema::pass());
        Boxes boxes;
        boxes.bindAll(*binder, Schema::pass().fields);
        for (qint64 n = 0;; ++n) {
            binder->Edit();
            boxes.text = QString::number(QDateTime::currentMSecsSinceEpoch() * 1000 + n % 1000);
            binder->Update();
            acknowledge(boxes.text);
        }
    }
    if (mode == "repair") {
        for (;;) {
            if (DatabaseFiles(dir).repair().ok)
                acknowledge("repaired");
        }
    }
    if (mode == "salvage") {
        const DatabaseFiles::Outcome outcome = DatabaseFiles(dir).repair();
        acknowledge(outcome.ok ? "repaired" : outcome.error);
        return 0;
    }
    if (mode == "restore") {
        for (int n = 0;; ++n) {
            const QString from = QDir(dir).filePath(n % 2 ? "backupA/password.mdb" : "backupB/password.mdb");
            if (DatabaseFiles(QDir(dir).filePath("program")).restore(from).ok)
                acknowledge(from);
        }
    }
    if (mode == "convert") {
        const LegacyConversion::Outcome outcome =
            LegacyConversion::convertIfNeeded(QDir(dir).filePath("password.mdb"), true);
        acknowledge(outcome.converted ? "converted" : outcome.error);
        return 0;
    }
    return 2;
}

// Kills fall within this time from the start of a worker: its start-up, the
// opening of its files and its first writes take most of 100 ms on a busy machine.
constexpr int KillWithinMs = 150;

int rounds() {
    return qEnvironmentVariableIntValue("QUILLMERE_CRASH_ROUNDS") > 0
               ? qEnvironmentVariableIntValue("QUILLMERE_CRASH_ROUNDS")
               : 40;
}

// Starts a worker, kills it after a random moment, returns what it acknowledged.
QStringList runAndKill(const QString& mode, const QString& dir, int maxMs) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--worker", mode, dir});
    child.waitForStarted();
    QThread::msleep(QRandomGenerator::global()->bounded(1, maxMs));
    child.kill();
    child.waitForFinished();
    const QString said = QString::fromUtf8(child.readAllStandardOutput());
    QStringList lines = said.split('\n', Qt::SkipEmptyParts);
    // A last line without its line feed was not acknowledged in full.
    if (!said.endsWith('\n') && !lines.isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class CrashTest : public QObject {
    Q_OBJECT

    // Every record added by the workers holds one token in every field.
    static void checkRecordsWhole(const QString& database, qint64& records) {
        SQLite::Database db(database.toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement all(db,
                              "SELECT Account, Website, User, Password, Notes FROM account WHERE Account LIKE '%-x%'");
        while (all.executeStep()) {
            ++records;
            const std::string first = all.getColumn(0).getString();
            for (int c = 1; c < 5; ++c)
                QVERIFY2(all.getColumn(c).getString() == first, "a record was half written");
        }
    }

private slots:
    void savesSurviveKills() {
        std::unique_ptr<ProgramDirectory> dir;
        QMap<qint64, QString> acknowledged;
        qint64 total = 0;
        qint64 records = 0;
        for (int round = 0; round < rounds(); ++round) {
            // A fresh directory every hundred rounds keeps each check small in a long run.
            if (round % 100 == 0) {
                dir = std::make_unique<ProgramDirectory>();
                acknowledged.clear();
            }
            const QStringList lines = runAndKill("save", dir->path(), KillWithinMs);
            total += lines.size();
            for (const QString& line : lines)
                acknowledged.insert(line.section(' ', 0, 0).toLongLong(), line.section(' ', 1, 1));
            removeStrayFiles(dir->path());
            QCOMPARE(integrityOf(dir->recordDatabase()), QStringLiteral("ok"));
            records = 0;
            checkRecordsWhole(dir->recordDatabase(), records);
            // Every acknowledged save, read back in one pass.
            QMap<qint64, QString> stored;
            {
                SQLite::Database db(dir->recordDatabase().toStdString(), SQLite::OPEN_READONLY);
                SQLite::Statement all(db, "SELECT _key, Account FROM account");
                while (all.executeStep())
                    stored.insert(all.getColumn(0).getInt64(),
                                  QString::fromStdString(all.getColumn(1).getString()).section('-', 1, 1));
            }
            for (auto it = acknowledged.begin(); it != acknowledged.end(); ++it)
                QCOMPARE(stored.value(it.key()), it.value());
        }
        qInfo("save: %d kills, %lld saves acknowledged, all present and whole", rounds(), total);
        QVERIFY(total > 0);
    }

    void editsSurviveKills() {
        ProgramDirectory dir;
        qint64 lastAcknowledged = 0;
        int acknowledgements = 0;
        for (int round = 0; round < rounds(); ++round) {
            const QStringList lines = runAndKill("edit", dir.path(), KillWithinMs);
            acknowledgements += lines.size();
            if (!lines.isEmpty())
                lastAcknowledged = lines.last().toLongLong();
            QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
            qint64 whole = 0;
            checkRecordsWhole(dir.recordDatabase(), whole);
            // The first record holds the last acknowledged change or one made after it.
            const QString stored = dir.query("password.mdb", "SELECT Account FROM account ORDER BY _key LIMIT 1");
            if (lastAcknowledged > 0)
                QVERIFY(stored.section('-', 1, 1).toLongLong() >= lastAcknowledged);
        }
        qInfo("edit: %d kills, %d changes acknowledged, none lost", rounds(), acknowledgements);
    }

    void deletesSurviveKills() {
        std::unique_ptr<ProgramDirectory> holder;
        QList<qint64> deleted;
        qint64 total = 0;
        for (int round = 0; round < rounds(); ++round) {
            if (round % 100 == 0) {
                holder = std::make_unique<ProgramDirectory>();
                holder->exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                             "i < 20000) INSERT INTO account (Account) SELECT 'filler ' || i FROM n");
                total += deleted.size();
                deleted.clear();
            }
            ProgramDirectory& dir = *holder;
            for (const QString& line : runAndKill("delete", dir.path(), KillWithinMs))
                deleted << line.toLongLong();
            QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
            QSet<qint64> present;
            {
                SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READONLY);
                SQLite::Statement all(db, "SELECT _key FROM account");
                while (all.executeStep())
                    present.insert(all.getColumn(0).getInt64());
            }
            for (qint64 key : deleted)
                QVERIFY2(!present.contains(key), "a deleted record came back");
            // The record of deleted keys agrees with the table.
            QCOMPARE(dir.query("password.mdb", "SELECT count(*) FROM account a JOIN _deleted d ON d.key = a._key AND "
                                               "d.tableName = 'account'"),
                     QStringLiteral("0"));
        }
        total += deleted.size();
        qInfo("delete: %d kills, %lld deletes acknowledged, none came back", rounds(), total);
    }

    void passwordChangesSurviveKills() {
        ProgramDirectory dir;
        qint64 last = 0;
        int acknowledgements = 0;
        for (int round = 0; round < rounds(); ++round) {
            const QStringList lines = runAndKill("password", dir.path(), 60);
            acknowledgements += lines.size();
            if (!lines.isEmpty())
                last = lines.last().toLongLong();
            QCOMPARE(integrityOf(dir.passwordStore()), QStringLiteral("ok"));
            QCOMPARE(dir.query("pass2.mdb", "SELECT count(*) FROM Pass"), QStringLiteral("1"));
            if (last > 0)
                QVERIFY(dir.query("pass2.mdb", "SELECT Password FROM Pass").toLongLong() >= last);
        }
        qInfo("password change: %d kills, %d changes acknowledged, none lost", rounds(), acknowledgements);
    }

    void repairsSurviveKills() {
        ProgramDirectory dir;
        const QString notes = dir.query("password.mdb", "SELECT group_concat(Title, '|') FROM Notes");
        int repaired = 0;
        for (int round = 0; round < rounds(); ++round) {
            repaired += int(runAndKill("repair", dir.path(), 80).size());
            removeStrayFiles(dir.path());
            QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
            QCOMPARE(dir.query("password.mdb", "SELECT group_concat(Title, '|') FROM Notes"), notes);
            QVERIFY(isOwnerOnly(dir.recordDatabase()));
            // A compaction cut short leaves password2.mdb: the next repair, in the
            // next round, clears it as its own.
        }
        QVERIFY(DatabaseFiles(dir.path()).repair().ok);
        QCOMPARE(QDir(dir.path()).entryList({"*.mdb*"}, QDir::Files | QDir::Hidden),
                 (QStringList{"pass2.mdb", "password.mdb"}));
        qInfo("repair: %d kills, %d repairs acknowledged, the records always whole", rounds(), repaired);
    }

    // A repair of a file whose passwords' root page is damaged (every password
    // lost, the other sections whole), killed at any moment: the database is the
    // damaged file or the rebuilt one, and the next repair, not killed, ends well
    // and clears what the killed one left.
    void rootDamagedRepairsSurviveKills() {
        ProgramDirectory source;
        source.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                    "INSERT INTO account (Account, Notes) SELECT 'filler ' || i, printf('%.300c', "
                                    "'n') FROM n");
        const QString notes = source.query("password.mdb", "SELECT group_concat(Title, '|') FROM Notes");
        const QByteArray damaged = [&] {
            QByteArray bytes = source.bytes("password.mdb");
            SQLite::Database db(source.recordDatabase().toStdString(), SQLite::OPEN_READONLY);
            const qint64 root = db.execAndGet("SELECT rootpage FROM sqlite_master WHERE name = 'account'").getInt64();
            bytes.replace(int((root - 1) * 4096), 4096, QByteArray(4096, '\xEE'));
            return bytes;
        }();
        int repaired = 0;
        int leftovers = 0;
        int swaps = 0;
        for (int round = 0; round < rounds(); ++round) {
            ProgramDirectory dir;
            QFile live(dir.recordDatabase());
            QVERIFY(live.open(QIODevice::WriteOnly | QIODevice::Truncate));
            live.write(damaged);
            live.close();
            // Kills over the whole repair, its swap and the clearing after it included.
            repaired += int(runAndKill("salvage", dir.path(), 600).contains("repaired"));
            removeStrayFiles(dir.path());
            leftovers += int(QFile::exists(dir.file("password2.mdb")));
            const bool swapped = dir.bytes("password.mdb") != damaged;
            swaps += int(swapped);
            if (swapped) {
                QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
                QCOMPARE(dir.count("account"), 0);
                QCOMPARE(dir.query("password.mdb", "SELECT group_concat(Title, '|') FROM Notes"), notes);
                QCOMPARE(dir.bytes("password.damaged.mdb"), damaged);
            }
            const DatabaseFiles::Outcome next = DatabaseFiles(dir.path()).repair();
            QVERIFY2(next.ok, qPrintable(next.error));
            QCOMPARE(QDir(dir.path()).entryList({"*.mdb*"}, QDir::Files | QDir::Hidden),
                     (QStringList{"pass2.mdb", "password.damaged.mdb", "password.mdb"}));
            QCOMPARE(dir.query("password.mdb", "SELECT group_concat(Title, '|') FROM Notes"), notes);
            if (!swapped)
                QCOMPARE(dir.bytes("password.damaged.mdb"), damaged);
        }
        qInfo("damaged root: %d kills, %d repairs acknowledged, %d rebuilt files in place, %d left password2.mdb, the "
              "next repair always ended well",
              rounds(), repaired, swaps, leftovers);
    }

    // A repair of a damaged database, killed at any moment, leaves the damaged
    // file as it was or the rebuilt one whole, and the kept copy is the damaged file.
    void salvagesSurviveKills() {
        ProgramDirectory source;
        source.exec("password.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                    "INSERT INTO account (Account, Notes) SELECT 'filler ' || i, printf('%.300c', "
                                    "'n') FROM n");
        const QByteArray damaged = [&] {
            QByteArray bytes = source.bytes("password.mdb");
            SQLite::Database db(source.recordDatabase().toStdString(), SQLite::OPEN_READONLY);
            const qint64 page =
                db.execAndGet("SELECT pageno FROM dbstat WHERE name = 'account' AND pagetype = 'leaf' LIMIT 1 "
                              "OFFSET 40")
                    .getInt64();
            bytes.replace(int((page - 1) * 4096), 4096, QByteArray(4096, '\xEE'));
            return bytes;
        }();
        int repaired = 0;
        int whole = 0;
        for (int round = 0; round < rounds(); ++round) {
            ProgramDirectory dir;
            QFile live(dir.recordDatabase());
            QVERIFY(live.open(QIODevice::WriteOnly | QIODevice::Truncate));
            live.write(damaged);
            live.close();
            repaired += int(runAndKill("salvage", dir.path(), 250).contains("repaired"));
            removeStrayFiles(dir.path());
            if (dir.bytes("password.mdb") == damaged) {
                // Not swapped yet: at most the kept copy is made, and it is the damaged file.
                if (QFile::exists(dir.file("password.damaged.mdb")))
                    QCOMPARE(dir.bytes("password.damaged.mdb"), damaged);
                continue;
            }
            ++whole;
            QCOMPARE(integrityOf(dir.recordDatabase()), QStringLiteral("ok"));
            QVERIFY(isOwnerOnly(dir.recordDatabase()));
            QCOMPARE(dir.bytes("password.damaged.mdb"), damaged);
            const qint64 accounts = dir.count("account");
            QVERIFY(accounts > 1900 && accounts < 2004);
            QCOMPARE(dir.query("password.mdb", "SELECT rows FROM _counts WHERE tableName = 'account'").toLongLong(),
                     accounts);
        }
        qInfo("salvage: %d kills, %d repairs acknowledged, %d rebuilt files found whole, the damaged file always kept",
              rounds(), repaired, whole);
    }

    void restoresSurviveKills() {
        QTemporaryDir root;
        QDir(root.path()).mkpath("program");
        QDir(root.path()).mkpath("backupA");
        QDir(root.path()).mkpath("backupB");
        ProgramDirectory source;
        QFile::copy(source.recordDatabase(), root.filePath("program/password.mdb"));
        QFile::copy(source.recordDatabase(), root.filePath("backupA/password.mdb"));
        source.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('only in B')");
        QFile::copy(source.recordDatabase(), root.filePath("backupB/password.mdb"));
        const auto notesOf = [](const QString& path) {
            SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
            return QString::fromStdString(db.execAndGet("SELECT group_concat(Title, '|') FROM Notes").getString());
        };
        const QString a = notesOf(root.filePath("backupA/password.mdb"));
        const QString b = notesOf(root.filePath("backupB/password.mdb"));
        int restored = 0;
        for (int round = 0; round < rounds(); ++round) {
            restored += int(runAndKill("restore", root.path(), 300).size());
            removeStrayFiles(root.filePath("program"));
            // The database and the copy kept of the one it replaced are each one whole file.
            for (const QString& name : QDir(root.filePath("program")).entryList(QDir::Files | QDir::Hidden)) {
                QVERIFY2(name == "password.mdb" || name == "password.before-restore.mdb", qPrintable(name));
                const QString path = root.filePath("program/" + name);
                QCOMPARE(integrityOf(path), QStringLiteral("ok"));
                const QString notes = notesOf(path);
                QVERIFY2(notes == a || notes == b, "a database is neither the old one nor a backup");
                QVERIFY(isOwnerOnly(path) || name == "password.mdb");
            }
        }
        qInfo("restore: %d kills, %d restores acknowledged, the database always one whole file", rounds(), restored);
        QVERIFY(restored > 0);
    }

    void conversionsSurviveKills() {
        const QByteArray original = fileBytes(Legacy + "password.mdb");
        int converted = 0;
        for (int round = 0; round < rounds(); ++round) {
            QTemporaryDir dir;
            QFile::copy(Legacy + "password.mdb", dir.filePath("password.mdb"));
            converted += int(runAndKill("convert", dir.path(), 150).contains("converted"));
            removeStrayFiles(dir.path());
            const QByteArray now = fileBytes(dir.filePath("password.mdb"));
            if (now != original) {
                QCOMPARE(integrityOf(dir.filePath("password.mdb")), QStringLiteral("ok"));
                QCOMPARE(fileBytes(dir.filePath("password.jet.mdb")), original);
                SQLite::Database db(dir.filePath("password.mdb").toStdString(), SQLite::OPEN_READONLY);
                QCOMPARE(db.execAndGet("SELECT count(*) FROM account").getInt(), 6);
            }
            const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
            for (const QString& name : left)
                QVERIFY2(name == "password.mdb" || name == "password.jet.mdb", qPrintable(name));
        }
        qInfo("conversion: %d kills, %d conversions finished, the original never lost", rounds(), converted);
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--worker") {
        QCoreApplication app(argc, argv);
        try {
            return worker(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        } catch (const std::exception&) {
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    // A long run goes on far past Qt Test's five minutes per test function.
    if (rounds() > 100 && !qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    CrashTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash.moc"
