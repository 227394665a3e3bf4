// The command line with records kept in step between computers: records added,
// changed and removed by id or name, a copy merged, the versions that lost a
// merge shown; and every start that opens the database merges the conflict
// copies beside it and reads a file a crash left with its journal.
#include "CliRun.h"
#include "CrashWorker.h"
#include "ProgramDirectory.h"
#include "StampText.h"
#include "sync/ConflictCopies.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>

namespace {

const QRegularExpression Identity(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));

// The command with the password from standard input, as a script gives it, on
// a computer of its own (its identity kept in the directory's configuration).
Run scriptCli(const ProgramDirectory& dir, QStringList arguments) {
    arguments << "--folder" << dir.path() << "--password-stdin";
    return runProgram(arguments, "wren\n", dir.file("config"));
}

QString value(const QString& path, const QString& sql) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    return QString::fromStdString(db.execAndGet(sql.toStdString()).getString());
}

} // namespace

class CliSyncTest : public QObject {
    Q_OBJECT

private slots:
    // add prints the new record's id; edit and rm take it, the record's identity or its name.
    void addEditRemove() {
        ProgramDirectory dir;
        Run added = scriptCli(dir, {"add", "passwords", "Account=Garden Club", "User=robin", "Password=Moss 9"});
        QCOMPARE(added.exitCode, 0);
        const QString id = added.out.trimmed();
        QVERIFY2(QRegularExpression("^[0-9]+$").match(id).hasMatch(), qPrintable(added.out + added.err));
        const QString where = QStringLiteral(" FROM account WHERE _key = %1").arg(id);
        QCOMPARE(value(dir.recordDatabase(), "SELECT Account || '|' || User || '|' || Password" + where),
                 QStringLiteral("Garden Club|robin|Moss 9"));
        // Its identity, and the computer that made it, as the program gives them.
        const QString identity = value(dir.recordDatabase(), "SELECT " + identityText() + where);
        QVERIFY(Identity.match(identity).hasMatch());
        QVERIFY(!value(dir.recordDatabase(), "SELECT " + machineText() + where).isEmpty());

        const Run json = scriptCli(dir, {"add", "notes", "Title=Seeds", "Note=sow in March", "--json"});
        QCOMPARE(json.exitCode, 0);
        const QJsonObject given = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QVERIFY(given.value("id").toInteger() > 0);
        QVERIFY(Identity.match(given.value("identity").toString()).hasMatch());

        QCOMPARE(scriptCli(dir, {"edit", "passwords", "garden club", "Password=Moss 10"}).out.trimmed(), id);
        QCOMPARE(scriptCli(dir, {"edit", "passwords", identity, "Notes=by identity"}).exitCode, 0);
        QCOMPARE(scriptCli(dir, {"edit", "passwords", id, "Website=by id"}).exitCode, 0);
        QCOMPARE(value(dir.recordDatabase(), "SELECT Password || '|' || Notes || '|' || Website" + where),
                 QStringLiteral("Moss 10|by identity|by id"));

        const Run wrongField = scriptCli(dir, {"edit", "passwords", id, "Colour=green"});
        QCOMPARE(wrongField.exitCode, 2);
        QVERIFY(wrongField.err.contains("no field \"Colour\""));
        QCOMPARE(scriptCli(dir, {"add", "passwords"}).exitCode, 2);

        QCOMPARE(scriptCli(dir, {"rm", "passwords", "Garden Club"}).out.trimmed(), id);
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*)" + where), QStringLiteral("0"));
        QCOMPARE(value(dir.recordDatabase(), QStringLiteral("SELECT count(*) FROM _tombstones WHERE %2 = '%1'")
                                                 .arg(identity, identityText("identity"))),
                 QStringLiteral("1"));
        QCOMPARE(scriptCli(dir, {"rm", "passwords", "Garden Club"}).exitCode, 1);
    }

    // A name several records have is refused with their ids; each id works.
    void ambiguousNamesAreRefused_data() {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("edit") << QStringList{"edit", "passwords", "Twin", "User=x"};
        QTest::newRow("rm") << QStringList{"rm", "passwords", "Twin"};
    }
    void ambiguousNamesAreRefused() {
        QFETCH(QStringList, command);
        ProgramDirectory dir;
        const QString first = scriptCli(dir, {"add", "passwords", "Account=Twin", "User=one"}).out.trimmed();
        scriptCli(dir, {"add", "passwords", "Account=twin", "User=two"});
        const QString third = scriptCli(dir, {"add", "passwords", "Account=Twin", "User=three"}).out.trimmed();
        const QByteArray before = dir.bytes("password.mdb");
        const Run refused = scriptCli(dir, command);
        QCOMPARE(refused.exitCode, 2);
        // Exact matches first: "twin" in other letters is another name.
        QVERIFY2(
            refused.err.contains(
                QStringLiteral("2 records of Passwords are named \"Twin\", with the ids %1, %2").arg(first, third)),
            qPrintable(refused.err));
        QCOMPARE(dir.bytes("password.mdb"), before);
        command << "--json";
        const QJsonObject failure = QJsonDocument::fromJson(scriptCli(dir, command).err.toUtf8()).object();
        QCOMPARE(failure.value("ids").toArray().size(), 2);
        command.removeLast();
        command[2] = third;
        QCOMPARE(scriptCli(dir, command).exitCode, 0);
        QCOMPARE(value(dir.recordDatabase(), "SELECT count(*) FROM account WHERE Account IN ('Twin', 'twin')"),
                 command[0] == "rm" ? QString("2") : QString("3"));
    }

    // merge FILE tells what the copy brought; the version that lost shows with --history.
    void mergeAndHistory() {
        ProgramDirectory dir;
        const QString copy = dir.file("laptop.mdb");
        QVERIFY(QFile::copy(dir.recordDatabase(), copy));
        dir.exec("password.mdb", "UPDATE account SET Password = 'here first' WHERE Account = 'Webmail'");
        QThread::msleep(5);
        {
            SQLite::Database db(copy.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("UPDATE account SET Password = 'laptop later' WHERE Account = 'Webmail';"
                    "INSERT INTO Notes (Title) VALUES ('From the laptop')");
        }
        const Run merged = scriptCli(dir, {"merge", copy, "--json"});
        QCOMPARE(merged.exitCode, 0);
        const QJsonObject counts = QJsonDocument::fromJson(merged.out.toUtf8()).object().value("merged").toObject();
        QCOMPARE(counts.value("passwords").toObject().value("updated").toInt(), 1);
        QCOMPARE(counts.value("notes").toObject().value("added").toInt(), 1);
        QCOMPARE(scriptCli(dir, {"merge", copy}).out, QStringLiteral("No records changed.\n"));

        const Run history = scriptCli(dir, {"show", "passwords", "Webmail", "--history"});
        QCOMPARE(history.exitCode, 0);
        QVERIFY2(history.out.contains("Versions that lost a merge") && history.out.contains("Password: (hidden") &&
                     !history.out.contains("here first"),
                 qPrintable(history.out));
        const Run secrets = scriptCli(dir, {"show", "passwords", "Webmail", "--history", "--secrets", "--json"});
        const QJsonArray records = QJsonDocument::fromJson(secrets.out.toUtf8()).array();
        QCOMPARE(records.size(), 1);
        const QJsonArray kept = records[0].toObject().value("history").toArray();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].toObject().value("fields").toObject().value("Password").toString(), QString("here first"));

        QFile damaged(copy);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        damaged.seek(damaged.size() / 2 / 4096 * 4096);
        damaged.write(QByteArray(4096, '\xEE'));
        damaged.close();
        const Run refused = scriptCli(dir, {"merge", copy});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains("was not merged"));
    }

    // A start that opens the database merges the conflict copies beside it, and says so on standard error.
    void startMergesConflictCopies() {
        ProgramDirectory dir;
        const QString copy = dir.file("password.sync-conflict-20261207-101500-ABCDEF1.mdb");
        QVERIFY(QFile::copy(dir.recordDatabase(), copy));
        {
            SQLite::Database db(copy.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("INSERT INTO account (Account) VALUES ('Added on the laptop')");
        }
        const Run listed = scriptCli(dir, {"ls", "passwords"});
        QCOMPARE(listed.exitCode, 0);
        QVERIFY(listed.out.contains("Added on the laptop"));
        QVERIFY2(listed.err.contains("Merged the copy password.sync-conflict-20261207-101500-ABCDEF1.mdb") &&
                     listed.err.contains("Passwords: 1 added"),
                 qPrintable(listed.err));
        QVERIFY(!QFile::exists(copy));
        QVERIFY(QFile::exists(dir.file(ConflictCopies::MergedFolder + "/" + QFileInfo(copy).fileName())));
        // generate opens no database: it merges nothing.
        QVERIFY(QFile::copy(dir.file(ConflictCopies::MergedFolder + "/" + QFileInfo(copy).fileName()), copy));
        QCOMPARE(scriptCli(dir, {"generate"}).err, QString());
        QVERIFY(QFile::exists(copy));
    }

    // ls and show read a file a crash left with its journal: the journal is rolled back first.
    void readsAFileACrashLeft() {
        ProgramDirectory dir;
        dir.exec("password.mdb",
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                 "INSERT INTO Notes (Title, Note) SELECT 'n' || i, '0000000000-' || hex(randomblob(600)) "
                 "FROM n");
        QVERIFY(crashLeavingJournal(dir.recordDatabase()));
        const Run listed = scriptCli(dir, {"ls", "notes"});
        QCOMPARE(listed.exitCode, 0);
        QVERIFY2(listed.out.contains("Wi-Fi at home") && listed.err.isEmpty(), qPrintable(listed.err));
        QCOMPARE(scriptCli(dir, {"show", "notes", "n1"}).exitCode, 0);
        QVERIFY(!QFile::exists(dir.recordDatabase() + "-journal"));
        QCOMPARE(integrityOf(dir.recordDatabase()), QString("ok"));
        QCOMPARE(value(dir.recordDatabase(),
                       "SELECT count(DISTINCT substr(Note, 1, 11)) FROM Notes WHERE Title GLOB 'n[0-9]*'"),
                 QString("1"));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--crash-worker") {
        QCoreApplication app(argc, argv);
        return crashWorker(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    CliSyncTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_cli_sync.moc"
