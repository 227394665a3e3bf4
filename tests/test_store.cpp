// The record store: binders over the delivered database, keys, bound boxes and the grid model.
#include "ProgramDirectory.h"
#include "app/LockWaitPointer.h"
#include "store/BinderModel.h"
#include "store/Connection.h"
#include "store/DataBinder.h"
#include "store/KeySnapshot.h"
#include "store/LockWait.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/TableKeys.h"
#include "views/BoxBinding.h"
#include "views/RecordView.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <map>
#include <memory>
#include <set>
#include <thread>

class StoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<DataBinder> binder(const ProgramDirectory& dir, const QString& table,
                                       const QString& file = QStringLiteral("password.mdb")) {
        auto b = std::make_unique<DataBinder>();
        b->setDatabaseName(dir.file(file));
        b->setRecordSource(table);
        b->setRecordsetType(0);
        b->open();
        return b;
    }

private slots:
    void failuresTellTheirReason_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("reason");
        QTest::newRow("disk full") << "PRAGMA max_page_count = 2; CREATE TABLE t (a)"
                                   << "INSERT INTO t SELECT zeroblob(100000)" << int(StoreError::Reason::DiskFull);
        QTest::newRow("refused value") << "CREATE TABLE t (a NOT NULL)"
                                       << "INSERT INTO t VALUES (NULL)" << int(StoreError::Reason::RefusedValue);
        QTest::newRow("refused by a trigger")
            << "CREATE TABLE t (a); CREATE TRIGGER r BEFORE INSERT ON t BEGIN SELECT RAISE(ABORT, 'no'); END"
            << "INSERT INTO t VALUES (1)" << int(StoreError::Reason::RefusedValue);
        QTest::newRow("read-only") << "CREATE TABLE t (a); PRAGMA query_only = 1"
                                   << "INSERT INTO t VALUES (1)" << int(StoreError::Reason::ReadOnly);
        QTest::newRow("not a value problem") << "CREATE TABLE t (a)"
                                             << "INSERT INTO missing VALUES (1)" << int(StoreError::Reason::Unknown);
    }
    void failuresTellTheirReason() {
        QFETCH(QString, setup);
        QFETCH(QString, failing);
        QFETCH(int, reason);
        SQLite::Database db(":memory:", SQLite::OPEN_READWRITE);
        db.exec(setup.toStdString());
        try {
            db.exec(failing.toStdString());
            QFAIL("SQLite took it");
        } catch (const std::exception& e) {
            QCOMPARE(int(Connection::reasonOf(e)), reason);
        }
        QCOMPARE(int(Connection::reasonOf(std::runtime_error("not from SQLite"))), int(StoreError::Reason::Unknown));
    }

    void keySnapshotKeepsRunsAndPositions() {
        KeySnapshot keys;
        for (qint64 k : {1, 2, 3, 7, 8, 20})
            keys.append(k);
        QCOMPARE(keys.size(), 6);
        QCOMPARE(keys.runCount(), size_t(3));
        QCOMPARE(keys.keyAt(3), 7);
        QCOMPARE(keys.positionOf(20), 5);
        QCOMPARE(keys.positionOf(5), -1);
        keys.removeAt(1); // splits the first run: 1 | 3 | 7 8 | 20
        QCOMPARE(keys.size(), 5);
        QCOMPARE(keys.keyAt(1), 3);
        QCOMPARE(keys.positionOf(7), 2);
        QCOMPARE(keys.positionOf(2), -1);
        keys.removeAt(0);
        keys.removeAt(3);
        QCOMPARE(keys.keyAt(0), 3);
        QCOMPARE(keys.keyAt(2), 8);
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys.keyAt(3), 0);
    }

    void tableKeysMatchTheKeysTheyStandFor_data() {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        QTest::addColumn<int>("deletedPercent");
        QTest::newRow("no deletions") << qint64(1) << qint64(5000) << 0;
        QTest::newRow("a tenth deleted") << qint64(1) << qint64(5000) << 10;
        QTest::newRow("half deleted") << qint64(1) << qint64(5000) << 50;
        QTest::newRow("nearly all deleted") << qint64(1) << qint64(5000) << 97;
        QTest::newRow("starting inside a block") << qint64(700) << qint64(4100) << 30;
        QTest::newRow("negative keys") << qint64(-3000) << qint64(1500) << 40;
        QTest::newRow("one key") << qint64(9) << qint64(9) << 0;
    }
    void tableKeysMatchTheKeysTheyStandFor() {
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        QFETCH(int, deletedPercent);
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const QByteArray where = "seed " + QByteArray::number(seed);
        std::set<qint64> deleted;
        for (qint64 k = first + 1; k < last; ++k) {
            if (int(random.bounded(100)) < deletedPercent)
                deleted.insert(k);
        }
        // Whole blocks gone as well as scattered keys.
        if (deletedPercent >= 50)
            for (qint64 k = 2048; k < 3072 && k < last; ++k)
                deleted.insert(k);
        std::map<qint64, qint64> perBlock;
        for (qint64 k : deleted)
            ++perBlock[k >> TableKeys::BlockBits];
        std::vector<TableKeys::BlockCount> counts;
        for (const auto& [block, n] : perBlock)
            counts.push_back({block, n});
        int reads = 0;
        TableKeys keys;
        keys.setRange(first, last, counts, [&](qint64 from, qint64 to) {
            ++reads;
            return std::optional<std::vector<qint64>>(
                std::vector<qint64>(deleted.lower_bound(from), deleted.upper_bound(to)));
        });
        std::vector<qint64> expected;
        for (qint64 k = first; k <= last; ++k) {
            if (!deleted.count(k))
                expected.push_back(k);
        }
        // Keys added later come after the range.
        for (qint64 k : {last + 5, last + 6, last + 40}) {
            keys.append(k);
            expected.push_back(k);
        }
        // Deletions through the snapshot, in the range and after it; the file's own record
        // of deleted keys does not change under the snapshot.
        for (int i = 0; i < 60 && !expected.empty(); ++i) {
            const qint64 at = random.bounded(qint64(expected.size()));
            perBlock[expected[size_t(at)] >> TableKeys::BlockBits] += 0; // a block with deleted keys now
            keys.removeAt(at);
            expected.erase(expected.begin() + at);
        }
        QVERIFY2(keys.size() == qint64(expected.size()), where);
        for (qint64 p = 0; p < qint64(expected.size()); ++p) {
            QVERIFY2(keys.keyAt(p) == expected[size_t(p)], where + " position " + QByteArray::number(p));
            QVERIFY2(keys.positionOf(expected[size_t(p)]) == p,
                     where + " key " + QByteArray::number(expected[size_t(p)]));
        }
        for (qint64 k : deleted)
            QVERIFY2(keys.positionOf(k) == -1, where + " deleted key " + QByteArray::number(k));
        QCOMPARE(keys.keyAt(qint64(expected.size())), 0);
        QCOMPARE(keys.keyAt(-1), 0);
        QCOMPARE(keys.positionOf(first - 1), -1);
        // Reading every key touched each block with deleted keys a bounded number of times.
        QVERIFY2(reads <= int(perBlock.size()) * 3 + 3, where + " reads " + QByteArray::number(reads));
    }

    void bindersKeepTheirKeysWhileOthersDelete_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("deletedPercent");
        QTest::newRow("3,000 records, none deleted") << 3000 << 0;
        QTest::newRow("3,000 records, a tenth deleted") << 3000 << 10;
        QTest::newRow("3,000 records, half deleted") << 3000 << 50;
    }
    void bindersKeepTheirKeysWhileOthersDelete() {
        QFETCH(int, records);
        QFETCH(int, deletedPercent);
        ProgramDirectory dir;
        const auto tableKeys = [&dir] {
            SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READONLY);
            SQLite::Statement q(db, "SELECT _key FROM Notes ORDER BY _key");
            std::vector<qint64> keys;
            while (q.executeStep())
                keys.push_back(q.getColumn(0).getInt64());
            return keys;
        };
        {
            SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
            SQLite::Transaction t(db);
            db.exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "INSERT INTO Notes (Title) SELECT 'n' || i FROM n")
                        .arg(records)
                        .toStdString());
            db.exec(QString("DELETE FROM Notes WHERE abs(random() % 100) < %1 AND _key > 1")
                        .arg(deletedPercent)
                        .toStdString());
            t.commit();
        }
        auto notes = binder(dir, "Notes");
        const std::vector<qint64> taken = tableKeys();
        const auto checkKeys = [&](const std::vector<qint64>& expected) {
            QCOMPARE(notes->RecordCount(), qint64(expected.size()));
            for (qint64 p = 0; p < qint64(expected.size()); ++p) {
                QCOMPARE(notes->keyAt(p), expected[size_t(p)]);
                QCOMPARE(notes->positionOf(expected[size_t(p)]), p);
            }
        };
        checkKeys(taken);
        // Another program deletes a key in every block; the binder still has the keys it took.
        dir.exec("password.mdb", "DELETE FROM Notes WHERE _key % 1024 = 500");
        checkKeys(taken);
        // Its own deletes come off its keys at once.
        std::vector<qint64> mine = taken;
        for (qint64 position : {qint64(taken.size()) / 2, qint64(7), qint64(0)}) {
            notes->setBookmark(notes->keyAt(position));
            notes->Delete();
            mine.erase(mine.begin() + position);
        }
        checkKeys(mine);
        notes->Refresh();
        checkKeys(tableKeys());
        QCOMPARE(notes->storedCount(), qint64(tableKeys().size()));
    }

    void opensOnFirstRecordInNaturalOrder() {
        ProgramDirectory dir;
        auto accounts = binder(dir, "account");
        QCOMPARE(accounts->RecordCount(), dir.count("account"));
        QVERIFY(!accounts->BOF() && !accounts->isEOF());
        QCOMPARE(accounts->value("Account"), QStringLiteral("Webmail"));
        accounts->MoveLast();
        QCOMPARE(accounts->value("Account"), QStringLiteral("Example Savings Bank"));
        accounts->MoveNext();
        QVERIFY(accounts->isEOF());
        QVERIFY(accounts->value("Account").isEmpty());
        accounts->MovePrevious();
        QCOMPARE(accounts->value("Account"), QStringLiteral("Example Savings Bank"));
    }

    void emptyTableHasNoCurrentRecord() {
        ProgramDirectory dir;
        dir.exec("password.mdb", "DELETE FROM Notes");
        auto notes = binder(dir, "Notes");
        QLineEdit title;
        title.setText("stale");
        bindBox(*notes, &title, "Title");
        QVERIFY(notes->BOF());
        QVERIFY(notes->isEOF());
        QCOMPARE(notes->RecordCount(), 0);
        QCOMPARE(notes->Bookmark(), NoRecord);
        QCOMPARE(title.text(), QString());
        notes->MoveNext();
        notes->MovePrevious();
        QVERIFY(notes->BOF() && notes->isEOF());
        QVERIFY_THROWS_EXCEPTION(StoreError, notes->Edit());
        QVERIFY_THROWS_EXCEPTION(StoreError, notes->Delete());
    }

    void fieldNamesWithBlanksRoundTrip() {
        ProgramDirectory dir;
        auto cards = binder(dir, "Credit Card");
        QComboBox type;
        type.setEditable(true);
        type.addItems({"Visa", "MasterCard"});
        QLineEdit number;
        QPlainTextEdit bank;
        bindBox(*cards, &type, "Type Card");
        bindBox(*cards, &number, "Card Number");
        bindBox(*cards, &bank, "Bank Name");
        cards->AddNew();
        QCOMPARE(type.currentText(), QString());
        type.setEditText("Store Card (typed)");
        number.setText(" 1234-5678 ");
        bank.setPlainText("Line one\nLine two");
        cards->Update();
        const RecordKey saved = cards->LastModified();
        cards->setBookmark(saved);
        QCOMPARE(type.currentText(), QStringLiteral("Store Card (typed)"));
        QCOMPARE(number.text(), QStringLiteral(" 1234-5678 "));
        QCOMPARE(bank.toPlainText(), QStringLiteral("Line one\nLine two"));
        QCOMPARE(
            dir.query("password.mdb", QString("SELECT \"Bank Name\" FROM \"Credit Card\" WHERE _key = %1").arg(saved)),
            QStringLiteral("Line one\nLine two"));
        // Stored as text, so the file's own queries and reports compare it as text.
        QCOMPARE(dir.query("password.mdb",
                           QString("SELECT typeof(\"Type Card\") FROM \"Credit Card\" WHERE _key = %1").arg(saved)),
                 QStringLiteral("text"));
    }

    void otherBindersSeeWritesOnlyAfterRefresh() {
        ProgramDirectory dir;
        auto main = binder(dir, "Notes");
        auto editor = binder(dir, "Notes");
        QLineEdit title;
        bindBox(*editor, &title, "Title");
        const qint64 before = main->RecordCount();
        editor->AddNew();
        title.setText("Fresh note");
        editor->Update();
        QCOMPARE(main->RecordCount(), before);
        QVERIFY_THROWS_EXCEPTION(StoreError, main->setBookmark(editor->LastModified()));
        main->Refresh();
        QCOMPARE(main->RecordCount(), before + 1);
        QCOMPARE(main->AbsolutePosition(), 0);
        main->setBookmark(editor->LastModified());
        QCOMPARE(main->value("Title"), QStringLiteral("Fresh note"));
        QCOMPARE(main->AbsolutePosition(), before); // a new record comes last
    }

    void cancelAndEditTouchOnlyWhatChanged() {
        ProgramDirectory dir;
        auto notes = binder(dir, "Notes");
        QLineEdit title;
        QPlainTextEdit body;
        bindBox(*notes, &title, "Title");
        bindBox(*notes, &body, "Note");
        const qint64 before = dir.count("Notes");
        notes->AddNew();
        title.setText("Never saved");
        notes->CancelUpdate();
        QCOMPARE(dir.count("Notes"), before);
        QCOMPARE(title.text(), QStringLiteral("Welcome"));

        notes->Edit();
        title.setText("Welcome (changed)");
        // Another binder changes the body meanwhile; the edit keeps that change.
        dir.exec("password.mdb", "UPDATE Notes SET Note = 'changed elsewhere' WHERE Title = 'Welcome'");
        notes->Update();
        QCOMPARE(dir.query("password.mdb", "SELECT Title || '|' || Note FROM Notes ORDER BY _key LIMIT 1"),
                 QStringLiteral("Welcome (changed)|changed elsewhere"));
        QCOMPARE(notes->LastModified(), notes->Bookmark());
    }

    void updateOfDeletedRecordFails() {
        ProgramDirectory dir;
        auto main = binder(dir, "account");
        auto editor = binder(dir, "account");
        QLineEdit name;
        bindBox(*editor, &name, "Account");
        editor->MoveLast();
        editor->Edit();
        name.setText("Renamed");
        main->MoveLast();
        main->Delete();
        QVERIFY_THROWS_EXCEPTION(StoreError, editor->Update());
        QVERIFY(editor->isPending());
        QCOMPARE(dir.query("password.mdb", "SELECT count(*) FROM account WHERE Account = 'Renamed'"),
                 QStringLiteral("0"));
        // Nor does an unchanged record come back.
        editor->CancelUpdate();
        editor->Edit();
        QVERIFY_THROWS_EXCEPTION(StoreError, editor->Update());
    }

    void deleteThenMovesFollowTheGap() {
        ProgramDirectory dir;
        auto notes = binder(dir, "Notes");
        notes->MoveNext(); // the second of three
        notes->Delete();
        QCOMPARE(notes->Bookmark(), NoRecord);
        QCOMPARE(notes->RecordCount(), 2);
        notes->MoveNext();
        QCOMPARE(notes->value("Title"), QStringLiteral("Gift ideas"));
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 2);
        notes->MoveLast();
        QCOMPARE(notes->value("Title"), QStringLiteral("Gift ideas"));
        // Keys with a gap are read from the key index and keep natural order.
        QCOMPARE(notes->keyAt(1) - notes->keyAt(0), 2);
    }

    void storedCountFollowsEveryWriter() {
        ProgramDirectory dir;
        auto notes = binder(dir, "Notes");
        QCOMPARE(notes->storedCount(), 3);
        dir.exec("password.mdb", "INSERT INTO Notes (Title) VALUES ('outside')");
        QCOMPARE(notes->storedCount(), 4);
        notes->Delete();
        QCOMPARE(notes->storedCount(), 3);
    }

    void keysFollowOutsideWritersWithOrWithoutTheDeletedRecord_data() {
        QTest::addColumn<bool>("recorded");
        QTest::newRow("deleted keys recorded") << true;
        QTest::newRow("an older file without them") << false;
    }
    void keysFollowOutsideWritersWithOrWithoutTheDeletedRecord() {
        QFETCH(bool, recorded);
        ProgramDirectory dir;
        if (!recorded)
            dir.exec("password.mdb", "DROP TRIGGER \"Notes deleted\"; DROP TRIGGER \"Notes inserted\"; "
                                     "DROP TRIGGER \"account deleted\"; DROP TRIGGER \"account inserted\"; "
                                     "DROP TRIGGER \"Credit Card deleted\"; DROP TRIGGER \"Credit Card inserted\"; "
                                     "DROP TRIGGER \"Personal deleted\"; DROP TRIGGER \"Personal inserted\"; "
                                     "DROP TRIGGER \"Reminder deleted\"; DROP TRIGGER \"Reminder inserted\"; "
                                     "DROP TABLE \"_deleted\"");
        auto notes = binder(dir, "Notes");
        // Another program deletes the middle note and then puts a record back under its key.
        dir.exec("password.mdb", "DELETE FROM Notes WHERE _key = 2");
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 2);
        QCOMPARE(notes->storedCount(), 2);
        QCOMPARE(notes->keyAt(1), 3);
        dir.exec("password.mdb", "INSERT INTO Notes (_key, Title) VALUES (2, 'Put back')");
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 3);
        QCOMPARE(notes->storedCount(), 3);
        notes->MoveNext();
        QCOMPARE(notes->value("Title"), QStringLiteral("Put back"));
        dir.exec("password.mdb", "DELETE FROM Notes WHERE _key IN (1, 3)");
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 1);
        QCOMPARE(notes->value("Title"), QStringLiteral("Put back"));
        // A key far beyond the others leaves no phantom records between them.
        dir.exec("password.mdb", "INSERT INTO Notes (_key, Title) VALUES (1000000, 'Far away')");
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 2);
        notes->MoveLast();
        QCOMPARE(notes->value("Title"), QStringLiteral("Far away"));
        dir.exec("password.mdb", "DELETE FROM Notes");
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 0);
        QCOMPARE(notes->storedCount(), 0);
    }

    void untrustworthyKeyRecordsFallBackToTheKeys() {
        ProgramDirectory dir;
        // Counts that disagree with the keys (a damaged file, or a writer that went round
        // the triggers) make the binder read the keys themselves.
        dir.exec("password.mdb", "DROP TRIGGER \"Notes inserted\"; INSERT INTO Notes (_key, Title) VALUES (50, 'x'); "
                                 "UPDATE _counts SET rows = 7 WHERE tableName = 'Notes'");
        auto notes = binder(dir, "Notes");
        QCOMPARE(notes->RecordCount(), 4);
        notes->MoveLast();
        QCOMPARE(notes->value("Title"), QStringLiteral("x"));
        dir.exec("password.mdb", "INSERT INTO Notes (_key, Title) VALUES (-9223372036854775807, 'lowest'); "
                                 "INSERT INTO Notes (_key, Title) VALUES (9223372036854775807, 'highest')");
        notes->Refresh();
        QCOMPARE(notes->RecordCount(), 6);
        QCOMPARE(notes->value("Title"), QStringLiteral("lowest"));
    }

    void brokenFilesAreReportedAndLeftAlone_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("missing") << "remove"
                                 << "is missing";
        QTest::newRow("not a database") << "garbage"
                                        << "not a database";
        QTest::newRow("missing table") << "DROP TABLE Notes"
                                       << "no table \"Notes\"";
        // The search index's triggers name every field; a file without the field has none of them.
        QTest::newRow("missing field") << "DROP TRIGGER \"Notes search added\"; DROP TRIGGER \"Notes search removed\"; "
                                          "DROP TRIGGER \"Notes search changed\"; DROP TRIGGER \"Notes modified\"; "
                                          "ALTER TABLE Notes DROP COLUMN Note"
                                       << "no field \"Note\"";
        // Refused without a byte written: its journal mode stays as it was.
        QTest::newRow("foreign file in WAL mode") << "wal"
                                                  << "no table \"Notes\"";
    }
    void brokenFilesAreReportedAndLeftAlone() {
        QFETCH(QString, setup);
        QFETCH(QString, fragment);
        ProgramDirectory dir;
        if (setup == "remove")
            QFile::remove(dir.recordDatabase());
        else if (setup == "garbage") {
            QFile f(dir.recordDatabase());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else if (setup == "wal") {
            QFile::remove(dir.recordDatabase());
            SQLite::Database foreign(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            foreign.exec("PRAGMA journal_mode=WAL; CREATE TABLE other (x); INSERT INTO other VALUES (1)");
        } else
            dir.exec("password.mdb", setup);
        const QByteArray before = dir.bytes("password.mdb");
        DataBinder notes;
        notes.setDatabaseName(dir.recordDatabase());
        notes.setRecordSource("Notes");
        notes.setRequiredFields(Schema::notes().fields);
        try {
            notes.open();
            QFAIL("opened a broken file");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
            QVERIFY2(e.message().contains(dir.recordDatabase()), qPrintable(e.message()));
        }
        QVERIFY(!notes.isOpen());
        QCOMPARE(QFile::exists(dir.recordDatabase()), setup != "remove");
        QCOMPARE(dir.bytes("password.mdb"), before);
    }

    // A write that waits for another program's lock shows the busy pointer for
    // as long as the program does not react; one that does not wait shows nothing.
    void lockWaitsShowTheBusyPointer_data() {
        QTest::addColumn<bool>("held");
        QTest::newRow("held by another program") << true;
        QTest::newRow("free") << false;
    }
    void lockWaitsShowTheBusyPointer() {
        QFETCH(bool, held);
        ProgramDirectory dir;
        DataBinder notes;
        notes.setDatabaseName(dir.recordDatabase());
        notes.setRecordSource("Notes");
        notes.open();
        const QString typed = "written after the wait";
        notes.bind(
            "Title", this, [&] { return typed; }, [](const QString&) {});
        SQLite::Database other(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
        if (held)
            other.exec("BEGIN IMMEDIATE");
        showBusyPointerDuringLockWaits();
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (held)
                other.exec("COMMIT");
        });
        notes.AddNew();
        notes.Update();
        release.join();
        setLockWaitHook({});
        QCOMPARE(dir.count("Notes"), 4);
        QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
                 held ? Qt::WaitCursor : Qt::ArrowCursor);
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::overrideCursor());
    }

    void modelShowsSnapshotAndFollowsBinder() {
        ProgramDirectory dir;
        for (int i = 0; i < 300; ++i)
            dir.exec("password.mdb",
                     QString("INSERT INTO account (Account, User) VALUES ('acct %1', 'user %1')").arg(i));
        dir.exec("password.mdb", "DELETE FROM account WHERE Account IN ('acct 5', 'acct 77')");
        auto accounts = binder(dir, "account");
        BinderModel model(*accounts, {{"Account", "Account"}, {"User", "User Name"}});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), int(dir.count("account")));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("User Name"));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Webmail"));
        QCOMPARE(model.index(4 + 6, 0).data().toString(), QStringLiteral("acct 7")); // after the gap at 5
        QCOMPARE(model.index(model.rowCount() - 1, 1).data().toString(), QStringLiteral("user 299"));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

        // A view of the records holds a window of them and follows the binder both ways.
        QWidget frame;
        auto* view = new QTableView(&frame);
        view->setGeometry(0, 0, 300, 200);
        view->verticalHeader()->setDefaultSectionSize(20);
        BinderModel windowed(*accounts, {{"Account", "Account"}});
        QAbstractItemModelTester windowTester(&windowed, QAbstractItemModelTester::FailureReportingMode::QtTest);
        RecordView records(view, &windowed, *accounts);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(windowed.rowCount() < 20);
        QCOMPARE(records.scrollBar()->maximum(), int(accounts->RecordCount()) - (windowed.rowCount() - 1));
        records.scrollBar()->setValue(200);
        QCOMPARE(windowed.index(0, 0).data().toString(), model.index(200, 0).data().toString());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(windowed.index(2, 0)).center());
        QCOMPARE(accounts->AbsolutePosition(), 202);
        QCOMPARE(accounts->value("Account"), model.index(202, 0).data().toString());
        accounts->MoveFirst();
        QCOMPARE(records.scrollBar()->value(), 0);
        QCOMPARE(view->currentIndex().row(), 0);
        accounts->MoveLast();
        QCOMPARE(windowed.windowOffset() + view->currentIndex().row(), accounts->RecordCount() - 1);
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(accounts->AbsolutePosition(), 0);
        for (int i = 0; i < 40; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(accounts->AbsolutePosition(), 40);
        QCOMPARE(windowed.index(view->currentIndex().row(), 0).data().toString(), accounts->value("Account"));
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(accounts->AbsolutePosition(), accounts->RecordCount() - 1);

        // A record saved elsewhere shows after Refresh, as a new last row.
        dir.exec("password.mdb", "INSERT INTO account (Account) VALUES ('newest')");
        accounts->Refresh();
        QCOMPARE(model.index(model.rowCount() - 1, 0).data().toString(), QStringLiteral("newest"));
    }
};

QTEST_MAIN(StoreTest)
#include "test_store.moc"
