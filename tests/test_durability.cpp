// A write the program reports as done survives a power cut. With a rollback
// journal the write is committed when the journal is deleted; a deletion
// still in the disk's cache comes back after the cut, and the next start
// rolls the "committed" write back. So every deletion of the record
// database's journal must be flushed with its folder before the write counts
// as done. The calls are watched through a file layer of SQLite's own that
// passes every call on to the real one.
#include "ExchangeHelpers.h"
#include "PlainEditor.h"
#include "exchange/Importer.h"
#include "store/DataBinder.h"
#include "store/Migration.h"
#include "store/Schema.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

namespace {

// The journal deletions seen, each as "name" or "name, folder flushed".
QStringList deletions;
sqlite3_vfs* real = nullptr;
sqlite3_vfs watching;

int watchedDelete(sqlite3_vfs*, const char* path, int flushFolder) {
    deletions << QFileInfo(QString::fromUtf8(path)).fileName() +
                     (flushFolder ? QStringLiteral(", folder flushed") : "");
    return real->xDelete(real, path, flushFolder);
}

} // namespace

class DurabilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        real = sqlite3_vfs_find(nullptr);
        QVERIFY(real);
        watching = *real;
        watching.zName = "watching";
        watching.xDelete = &watchedDelete;
        QCOMPARE(sqlite3_vfs_register(&watching, 1), SQLITE_OK);
    }
    void cleanupTestCase() { sqlite3_vfs_unregister(&watching); }

    void everyWriteIsFlushed_data() {
        QTest::addColumn<QString>("write");
        QTest::newRow("a saved new record") << "add";
        QTest::newRow("a saved edit") << "edit";
        QTest::newRow("a confirmed delete") << "delete";
        QTest::newRow("an import") << "import";
        QTest::newRow("the migration of an old file") << "migration";
    }
    void everyWriteIsFlushed() {
        QFETCH(QString, write);
        ProgramDirectory dir;
        QTemporaryDir files;
        if (write == "migration") {
            QFile::remove(dir.recordDatabase());
            SQLite::Database(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE)
                .exec(Migration::schemaOfVersion(0).toStdString());
        }
        deletions.clear();
        if (write == "import") {
            writeBytes(files.filePath("a.csv"), "name,url,username,password,note\nHarbour,https://h,u,p,\n");
            QCOMPARE(at(Importer(dir.recordDatabase()).run(files.filePath("a.csv")).imported, Section::Passwords), 1);
        } else if (write == "migration") {
            const Migration::Outcome outcome = Migration::migrate(dir.recordDatabase());
            QVERIFY2(outcome.migrated, qPrintable(outcome.error));
        } else {
            PlainEditor editor(dir.recordDatabase(), Schema::account());
            editor.binder.MoveFirst();
            if (write == "add") {
                editor.binder.AddNew();
                editor.boxes["Account"] = "Harbour";
                editor.binder.Update();
            } else if (write == "edit") {
                editor.binder.Edit();
                editor.boxes["Notes"] = "Harbour";
                editor.binder.Update();
            } else {
                editor.binder.Delete();
            }
        }
        const QStringList journals = deletions.filter(QStringLiteral("password.mdb-journal"));
        QVERIFY2(!journals.isEmpty(), qPrintable(deletions.join("; ")));
        for (const QString& deletion : journals)
            QCOMPARE(deletion, QStringLiteral("password.mdb-journal, folder flushed"));
    }
};

QTEST_GUILESS_MAIN(DurabilityTest)
#include "test_durability.moc"
