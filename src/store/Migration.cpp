#include "Migration.h"

#include "MigrationHealth.h"
#include "RecordIdentity.h"
#include "Schema.h"
#include "StoreError.h"
#include "StoredIdentity.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <algorithm>
#include <sqlite3.h>

namespace {

constexpr int BusyTimeoutMs = 5000;

QString schemaText() {
    QFile file(QStringLiteral(":/schema/password.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("The program's own database layout is missing from the program."));
    return QString::fromUtf8(file.readAll());
}

// The schema cut at its "-- Version N:" lines: part 0 is the tables every file
// has, part N what version N added.
QStringList schemaParts() {
    static const QRegularExpression heading(QStringLiteral("^-- Version (\\d+):"), QRegularExpression::MultilineOption);
    const QString text = schemaText();
    QStringList parts;
    qsizetype start = 0;
    for (auto it = heading.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(1).toInt() != parts.size() + 1)
            throw StoreError(QStringLiteral("The program's own database layout has its versions out of order."));
        parts << text.mid(start, match.capturedStart() - start);
        start = match.capturedStart();
    }
    parts << text.mid(start);
    return parts;
}

// What a step works with: the open file, inside the migration's transaction.
struct Run {
    SQLite::Database& db;
    Migration::Progress& progress;
    int toVersion = 0; // the version this run ends at
};

// Pending index data FTS5 keeps in memory before it writes a segment. The
// default (1 MB) makes a large file's index from thousands of small segments
// merged again and again; a few large ones are written once.
constexpr qint64 FillHashBytes = 64LL << 20;
// The page cache while a migration runs, in KiB: the index's pages are written
// many times over before the commit.
constexpr int MigrationCacheKiB = 128 * 1024;

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Where a search index takes its text from: the records' table, key and fields.
struct IndexSource {
    QString table;
    QString key;
    QStringList fields;
};

IndexSource sourceOf(SQLite::Database& db, const QString& index) {
    SQLite::Statement declared(db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
    declared.bind(1, index.toStdString());
    if (!declared.executeStep())
        throw StoreError(QStringLiteral("the search index \"%1\" is missing").arg(index));
    const QString sql = QString::fromStdString(declared.getColumn(0).getString());
    static const QRegularExpression content(QStringLiteral("\\bcontent\\s*=\\s*'([^']+)'"));
    static const QRegularExpression contentKey(QStringLiteral("\\bcontent_rowid\\s*=\\s*'([^']+)'"));
    IndexSource source{content.match(sql).captured(1), contentKey.match(sql).captured(1), {}};
    if (source.table.isEmpty() || source.key.isEmpty())
        throw StoreError(QStringLiteral("the search index \"%1\" names no table of records").arg(index));
    SQLite::Statement fields(db, "SELECT name FROM pragma_table_info(?)");
    fields.bind(1, index.toStdString());
    while (fields.executeStep())
        source.fields << quoted(QString::fromStdString(fields.getColumn(0).getString()));
    return source;
}

qint64 recordCount(SQLite::Database& db, const IndexSource& source) {
    return db.execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(source.table)).toStdString()).getInt64();
}

// Counts the records read into an index; always true, so it can stand in a WHERE clause.
void countIndexedRecord(sqlite3_context* call, int, sqlite3_value**) {
    static_cast<Migration::Progress*>(sqlite3_user_data(call))->done.fetch_add(1, std::memory_order_relaxed);
    sqlite3_result_int(call, 1);
}

// Fills the external-content index from its table in one statement, as
// "rebuild" would, with large in-memory segments and the progress counted.
void fillIndex(Run& run, const QString& index, const IndexSource& source) {
    const QString name = quoted(index);
    run.db.exec(
        QStringLiteral("INSERT INTO %1 (%1, rank) VALUES ('hashsize', %2)").arg(name).arg(FillHashBytes).toStdString());
    run.db.exec(QStringLiteral("INSERT INTO %1 (%1) VALUES ('delete-all')").arg(name).toStdString());
    run.db.exec(QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT %3, %2 FROM %4 WHERE migration_record_read()")
                    .arg(name, source.fields.join(QStringLiteral(", ")), quoted(source.key), quoted(source.table))
                    .toStdString());
    // Later writes go back to the default, so one large save never holds much in memory.
    run.db.exec(QStringLiteral("DELETE FROM %1 WHERE k = 'hashsize'")
                    .arg(quoted(index + QStringLiteral("_config")))
                    .toStdString());
}

// A part run again to heal a file keeps the tables and columns it made the first
// time, with what they hold (the deletions, the identities): their statements
// are left out where the table or column is there.
QString withoutWhatIsThere(SQLite::Database& db, QString sql) {
    static const QRegularExpression table(QStringLiteral("^CREATE TABLE \"([^\"]+)\"[^;]*;"),
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression column(QStringLiteral("^ALTER TABLE \"([^\"]+)\" ADD COLUMN \"([^\"]+)\"[^;]*;"),
                                           QRegularExpression::MultilineOption);
    const auto has = [&](const QString& name, const QString& field) {
        return sqlite3_table_column_metadata(db.getHandle(), "main", name.toUtf8().constData(),
                                             field.isEmpty() ? nullptr : field.toUtf8().constData(), nullptr, nullptr,
                                             nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    QStringList there;
    for (auto it = table.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (has(match.captured(1), {}))
            there << match.captured(0);
    }
    for (auto it = column.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (has(match.captured(1), match.captured(2)))
            there << match.captured(0);
    }
    for (const QString& statement : there)
        sql.replace(statement, QString());
    return sql;
}

// Runs a part of the schema on an existing file. The part ends by filling its
// search indexes ("rebuild"); those are done by fillIndex, which tells how far it is.
void runPart(Run& run, int version) {
    static const QRegularExpression rebuild(
        QStringLiteral("^INSERT INTO \"([^\"]+)\" \\(\"\\1\"\\) VALUES \\('rebuild'\\);[ \\t]*$"),
        QRegularExpression::MultilineOption);
    const QStringList parts = schemaParts();
    QString sql = withoutWhatIsThere(run.db, parts.at(version));
    // An index a later part of this run makes again is filled there only.
    QStringList remade;
    for (int later = version + 1; later <= run.toVersion && later < parts.size(); ++later)
        remade += MigrationHealth::droppedBy(parts.at(later));
    QStringList indexes;
    for (auto it = rebuild.globalMatch(sql); it.hasNext();) {
        const QString index = it.next().captured(1);
        if (!remade.contains(index))
            indexes << index;
    }
    sql.remove(rebuild);
    run.db.exec(sql.toStdString());
    QList<IndexSource> sources;
    for (const QString& index : indexes) {
        sources << sourceOf(run.db, index);
        run.progress.total += recordCount(run.db, sources.last());
    }
    for (qsizetype i = 0; i < indexes.size(); ++i)
        fillIndex(run, indexes[i], sources[i]);
}

// Takes away what is left of a part whose tables, triggers or indexes are
// missing in part, so that the part can run again whole. A search index whose
// own tables were taken away cannot even be dropped: those are made again,
// empty, first.
void dropPart(Run& run, int version) {
    const QList<MigrationHealth::SchemaObject> objects = MigrationHealth::objectsOf(schemaParts().at(version));
    const auto exists = [&](const QString& type, const QString& name) {
        SQLite::Statement found(run.db, "SELECT count(*) FROM sqlite_master WHERE type = ? AND name = ?");
        found.bind(1, type.toStdString());
        found.bind(2, name.toStdString());
        return found.executeStep() && found.getColumn(0).getInt() > 0;
    };
    for (const auto& object : objects) {
        if (object.type == QLatin1String("trigger") && exists(object.type, object.name))
            run.db.exec(QStringLiteral("DROP TRIGGER %1").arg(quoted(object.name)).toStdString());
        if (object.type == QLatin1String("index") && exists(object.type, object.name))
            run.db.exec(QStringLiteral("DROP INDEX %1").arg(quoted(object.name)).toStdString());
    }
    // The file format FTS5 writes in its settings, as this SQLite makes it.
    const auto fileFormat = [&] {
        run.db.exec("CREATE VIRTUAL TABLE temp.quillmere_probe USING fts5(x)");
        const std::string format =
            run.db.execAndGet("SELECT v FROM temp.quillmere_probe_config WHERE k = 'version'").getString();
        run.db.exec("DROP TABLE temp.quillmere_probe");
        return format;
    };
    static const QStringList shadowLayouts{
        QStringLiteral("(id INTEGER PRIMARY KEY, block BLOB)"),
        QStringLiteral("(segid, term, pgno, PRIMARY KEY(segid, term)) WITHOUT ROWID"),
        QStringLiteral("(k PRIMARY KEY, v) WITHOUT ROWID")};
    for (const auto& object : objects) {
        if (!object.virtualTable)
            continue;
        const QStringList shadows = MigrationHealth::shadowTablesOf(object.name);
        if (exists(object.type, object.name)) {
            for (qsizetype i = 0; i < shadows.size(); ++i)
                run.db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 %2")
                                .arg(quoted(shadows[i]), shadowLayouts[i])
                                .toStdString());
            // An empty index's structure and settings: whatever the old ones were, it is dropped next.
            run.db.exec(QStringLiteral("INSERT OR REPLACE INTO %1 (id, block) VALUES (10, x'00000000000000')")
                            .arg(quoted(shadows.first()))
                            .toStdString());
            SQLite::Statement version(run.db, QStringLiteral("INSERT OR IGNORE INTO %1 (k, v) VALUES ('version', ?)")
                                                  .arg(quoted(shadows.last()))
                                                  .toStdString());
            version.bind(1, fileFormat());
            version.exec();
            run.db.exec(QStringLiteral("DROP TABLE %1").arg(quoted(object.name)).toStdString());
        }
        for (const QString& shadow : shadows)
            run.db.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quoted(shadow)).toStdString());
    }
}

// Turns the identities and computers a file keeps as text into the forms of
// version 5: an identity's 16 bytes, a computer's number. Values already in
// those forms stay; an empty computer becomes NULL. The records' triggers do
// not fire: neither field is one they follow.
void convertStamps(SQLite::Database& db) {
    StoredIdentity::addFunction(db.getHandle());
    // A computer named by id, not by one of the file's numbers (kept as digits).
    const QString anId =
        QStringLiteral("(typeof(\"_machine\") = 'text' AND \"_machine\" NOT IN (SELECT CAST(\"number\" "
                       "AS TEXT) FROM \"_machines\"))");
    for (const Schema::Table* table : Schema::recordTables()) {
        const QString name = quoted(table->name);
        db.exec(QStringLiteral("INSERT OR IGNORE INTO \"_machines\" (\"machine\") SELECT DISTINCT \"_machine\" FROM %1 "
                               "WHERE %2 AND \"_machine\" <> ''")
                    .arg(name, anId)
                    .toStdString());
        db.exec(QStringLiteral("UPDATE %1 SET \"_id\" = stored_identity(\"_id\"), \"_machine\" = CASE "
                               "WHEN %2 THEN (SELECT \"number\" FROM \"_machines\" WHERE \"machine\" = "
                               "%1.\"_machine\") ELSE \"_machine\" END WHERE typeof(\"_id\") = 'text' OR %2")
                    .arg(name, anId)
                    .toStdString());
    }
    db.exec(
        "UPDATE \"_tombstones\" SET \"identity\" = stored_identity(\"identity\") WHERE typeof(\"identity\") = 'text'");
    db.exec("UPDATE \"_history\" SET \"identity\" = stored_identity(\"identity\") WHERE typeof(\"identity\") = 'text'");
}

int storedVersion(SQLite::Database& db) {
    return db.execAndGet("PRAGMA user_version").getInt();
}

// Makes whole again what a file of this version should hold: a part missing in
// part runs again from the start, an index that counts other records than its
// table is filled again from the records.
// A later part may drop and make again what an earlier one made: from the first
// part found missing on, every part runs again, in order.
void heal(Run& run, const MigrationHealth::Damage& damage, int version) {
    if (!damage.incompleteParts.isEmpty()) {
        for (int part = *std::min_element(damage.incompleteParts.begin(), damage.incompleteParts.end());
             part <= version; ++part) {
            dropPart(run, part);
            runPart(run, part);
        }
    }
    // A part records its own version as it ends; the file stays of the version it was.
    run.db.exec("PRAGMA user_version = " + std::to_string(version));
    // Whatever another program wrote as text meanwhile gets the compact forms too.
    if (!damage.incompleteParts.isEmpty() && version >= StoredIdentity::CompactVersion)
        convertStamps(run.db);
    QList<std::pair<QString, IndexSource>> stale;
    for (const QString& index : damage.staleIndexes) {
        // An index whose rows were taken away cannot even be read: it is given
        // the structure of an empty one first. The filling replaces it anyway.
        run.db.exec(QStringLiteral("INSERT OR REPLACE INTO %1 (id, block) VALUES (10, x'00000000000000')")
                        .arg(quoted(index + QStringLiteral("_data")))
                        .toStdString());
        stale.append({index, sourceOf(run.db, index)});
        run.progress.total += recordCount(run.db, stale.last().second);
    }
    for (auto& [index, source] : stale)
        fillIndex(run, index, source);
}

// Version 1: the search index over every table's text but the secrets, filled
// from the records the file already holds.
void addSearchIndex(Run& run) {
    runPart(run, 1);
}

// Version 2: identities, times of change and deletions, so that copies changed
// on other computers can be merged; the records already there get identities
// derived from what they hold, the same on every computer.
void addIdentities(Run& run) {
    runPart(run, 2);
    RecordIdentity::deriveIdentities(run.db.getHandle(), false);
}

// Version 3: the search index made again keeping only which records hold each
// piece of text, not where; the indexes of name beginnings taken away.
void shrinkSearchIndex(Run& run) {
    runPart(run, 3);
}

// Version 4: the browser extension's connections and the user's decisions,
// and each account's website host, filled from the records the file holds.
void addBrowserTables(Run& run) {
    runPart(run, 4);
}

// Version 5: identities kept as bytes and computers by number; no index of the
// keys, nor of the browser's sites by record.
void compactStamps(Run& run) {
    runPart(run, 5);
    convertStamps(run.db);
}

// Steps[n] brings a file of version n to version n + 1.
using Step = void (*)(Run&);
const Step Steps[] = {&addSearchIndex, &addIdentities, &shrinkSearchIndex, &addBrowserTables, &compactStamps};

// A step that made an index again leaves the old one's pages free inside the
// file: where they are most of it, the file is written again without them. On
// its own, after the steps' commit: a kill leaves the file whole either way.
// A failure (a full disk, say) leaves the file as it was: whole, only larger.
// The step to version 5 frees room in every page rather than whole pages: a
// file brought across it is written again whatever it has free.
void compactAfterMigration(SQLite::Database& db, int fromVersion) {
    try {
        const qint64 free = db.execAndGet("PRAGMA freelist_count").getInt64();
        const qint64 pages = db.execAndGet("PRAGMA page_count").getInt64();
        if (pages > 0 && (free * 4 > pages || fromVersion < StoredIdentity::CompactVersion))
            db.exec("VACUUM");
    } catch (const std::exception&) {
    }
}

} // namespace

namespace Migration {

int newestVersion() {
    return int(std::size(Steps));
}

int versionOf(const QString& path) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
        return storedVersion(db);
    } catch (const std::exception& e) {
        throw StoreError(
            QStringLiteral("The database file %1 cannot be read: %2.").arg(path, QString::fromUtf8(e.what())));
    }
}

State stateOf(const QString& path) {
    if (!QFileInfo(path).isFile())
        return State::Unreadable;
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
        const int version = storedVersion(db);
        if (version < 0)
            return State::Unreadable;
        if (version > newestVersion())
            return State::Newer;
        if (version < newestVersion())
            return State::Older;
        return MigrationHealth::findDamage(db, schemaParts(), version).none() ? State::Current : State::Damaged;
    } catch (const std::exception&) {
        return State::Unreadable;
    }
}

bool needed(const QString& path) {
    const State state = stateOf(path);
    return state == State::Older || state == State::Damaged;
}

QString newerFileNotice(const QString& path, int version) {
    return QStringLiteral("The database file %1 was written by a newer version of the program (its layout is "
                          "version %2; this version knows versions up to %3). It is opened for reading only: "
                          "nothing can be saved to it with this version.")
        .arg(path)
        .arg(version)
        .arg(newestVersion());
}

QString newerFileNotice(const QString& path) {
    if (stateOf(path) != State::Newer)
        return {};
    try {
        return newerFileNotice(path, versionOf(path));
    } catch (const StoreError&) {
        return {};
    }
}

Outcome migrate(const QString& path, Progress* progress) {
    Progress ownProgress;
    const auto finish = qScopeGuard([&] { (progress ? *progress : ownProgress).finished = true; });
    Outcome outcome;
    if (!QFileInfo(path).isFile())
        return outcome;
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE, BusyTimeoutMs);
        db.exec("PRAGMA journal_mode=DELETE");
        db.exec("PRAGMA synchronous=EXTRA"); // as every write: see Connection
        db.exec("PRAGMA cache_size=-" + std::to_string(MigrationCacheKiB));
        Run run{.db = db, .progress = progress ? *progress : ownProgress, .toVersion = newestVersion()};
        sqlite3_create_function_v2(db.getHandle(), "migration_record_read", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                   &run.progress, &countIndexedRecord, nullptr, nullptr, nullptr);
        outcome.fromVersion = storedVersion(db);
        // A newer program's file is never written: what it added is not known here.
        if (outcome.fromVersion > newestVersion())
            return outcome;
        if (outcome.fromVersion < 0)
            throw StoreError(QStringLiteral("it records an unknown version, %1").arg(outcome.fromVersion));
        if (outcome.fromVersion == newestVersion()) {
            const MigrationHealth::Damage damage = MigrationHealth::findDamage(db, schemaParts(), newestVersion());
            if (damage.none())
                return outcome;
            SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
            heal(run, damage, newestVersion());
            transaction.commit();
            outcome.healed = true;
            return outcome;
        }
        // One transaction for every step: the file is either as it was or of the newest version.
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        for (int version = storedVersion(db); version < newestVersion(); ++version) {
            Steps[version](run);
            if (storedVersion(db) != version + 1)
                throw StoreError(QStringLiteral("the step to version %1 did not record its version").arg(version + 1));
        }
        transaction.commit();
        outcome.migrated = true;
        compactAfterMigration(db, outcome.fromVersion);
    } catch (const std::exception& e) {
        outcome.error = QStringLiteral("The database file %1 could not be brought up to date: %2.\nIts records are "
                                       "unchanged; the next start tries again.")
                            .arg(path, QString::fromUtf8(e.what()));
    }
    return outcome;
}

QString schemaOfVersion(int version) {
    const QStringList parts = schemaParts();
    return parts.mid(0, qBound(0, version, int(parts.size()) - 1) + 1).join(QString());
}

} // namespace Migration
