#include "Merge.h"

#include "RecordVersion.h"
#include "store/LockWait.h"
#include "store/MachineNumbers.h"
#include "store/Migration.h"
#include "store/RecordDatabaseCheck.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/StoredIdentity.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <map>
#include <memory>
#include <set>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int BusyTimeoutMs = 5000;

QString sectionNoun(const QString& table) {
    if (table == Schema::account().name)
        return QStringLiteral("Passwords");
    if (table == Schema::creditCard().name)
        return QStringLiteral("Credit cards");
    if (table == Schema::personal().name)
        return QStringLiteral("Personal records");
    if (table == Schema::notes().name)
        return QStringLiteral("Notes");
    return QStringLiteral("Reminders");
}

QString columns(const QString& alias, const Schema::Table& table) {
    QStringList list;
    for (const QString& field : table.fields)
        list << alias + QLatin1Char('.') + Schema::quoted(field);
    return list.join(QStringLiteral(", "));
}

// main_machine(x) and copy_machine(x): the id of the computer a record of that
// file names, whether by its number there or (an older copy) by id; '' for none.
// The numbers are each file's own, so a merge compares and moves ids.
void machineIdFunction(sqlite3_context* call, int, sqlite3_value** values) {
    const auto* numbers = static_cast<const MachineNumbers*>(sqlite3_user_data(call));
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_text(call, "", 0, SQLITE_STATIC);
        return;
    }
    const QString id = numbers->used() ? numbers->idOf(sqlite3_value_int64(values[0])) : QString();
    if (id.isEmpty()) {
        sqlite3_result_value(call, values[0]);
        return;
    }
    const QByteArray text = id.toUtf8();
    sqlite3_result_text(call, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void addMachineFunction(SQLite::Database& db, const char* name, const MachineNumbers& numbers) {
    sqlite3_create_function_v2(db.getHandle(), name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               const_cast<MachineNumbers*>(&numbers), &machineIdFunction, nullptr, nullptr, nullptr);
}

// What each side knows of one record that the merge must decide on.
struct Sides {
    RecordVersion copyRecord, copyDeletion, localRecord, localDeletion;
};

const RecordVersion& newer(const RecordVersion& a, const RecordVersion& b) {
    return compareVersions(a, b) >= 0 ? a : b;
}

// The record writes a table's merge decided on, made in four statements at
// the end. The search index writes its pending words at the end of every
// statement: one statement per record left it one small piece per record to
// merge again, most of a merge's time.
class PlannedWrites {
public:
    enum Kind { Insert, Rewrite, Stamp, Remove };

    PlannedWrites(SQLite::Database& db, const Schema::Table& table, MachineNumbers& machines)
        : m_db(db), m_table(table), m_machines(machines) {
        QStringList columns;
        for (qsizetype i = 0; i < table.fields.size(); ++i)
            columns << QStringLiteral("f%1").arg(i);
        m_db.exec(
            QStringLiteral("CREATE TEMP TABLE \"merge writes\" (kind INTEGER NOT NULL, key INTEGER, identity BLOB, "
                           "modified INTEGER, machine INTEGER, %1)")
                .arg(columns.join(QStringLiteral(", ")))
                .toStdString());
        m_db.exec("CREATE INDEX temp.\"merge writes by key\" ON \"merge writes\" (kind, key)");
        m_plan = std::make_unique<SQLite::Statement>(
            m_db, QStringLiteral("INSERT INTO temp.\"merge writes\" VALUES (%1)")
                      .arg(QStringList(columns.size() + 5, QStringLiteral("?")).join(QStringLiteral(", ")))
                      .toStdString());
    }
    ~PlannedWrites() {
        m_plan.reset();
        try {
            m_db.exec("DROP TABLE temp.\"merge writes\"");
        } catch (const std::exception&) {
        }
    }

    void plan(Kind kind, qint64 key, const std::string& identity, const RecordVersion& version) {
        m_plan->reset();
        m_plan->clearBindings();
        m_plan->bind(1, kind);
        m_plan->bind(2, static_cast<int64_t>(key));
        StoredIdentity::bind(*m_plan, 3, identity);
        m_plan->bind(4, static_cast<int64_t>(version.time));
        // The file's own number for the computer: NULL for none.
        if (const qint64 machine = m_machines.numberOf(version.machine))
            m_plan->bind(5, static_cast<int64_t>(machine));
        for (size_t i = 0; i < version.fields.size(); ++i)
            if (version.fields[i])
                m_plan->bind(int(i) + 6, version.fields[i]->toStdString());
        m_plan->exec();
        m_planned.insert(kind);
    }

    // Removals, then new texts (which move the records' times on), then the
    // winners' own times and computers, then the records this file lacked.
    void make() {
        QStringList fields, planned;
        for (qsizetype i = 0; i < m_table.fields.size(); ++i) {
            fields << Schema::quoted(m_table.fields[i]);
            planned << QStringLiteral("w.f%1").arg(i);
        }
        const QString table = QStringLiteral("main.") + Schema::quoted(m_table.name);
        const auto keysOf = [](Kind kind) {
            return QStringLiteral("\"_key\" IN (SELECT key FROM temp.\"merge writes\" WHERE kind = %1)").arg(kind);
        };
        const QString ownKey = Schema::quoted(m_table.name) + QStringLiteral(".\"_key\"");
        const auto byKey = [&](Kind kind) {
            return QStringLiteral("FROM temp.\"merge writes\" AS w WHERE w.kind = %1 AND w.key = %2")
                .arg(kind)
                .arg(ownKey);
        };
        const std::pair<Kind, QString> statements[]{
            {Remove, QStringLiteral("DELETE FROM %1 WHERE %2").arg(table, keysOf(Remove))},
            {Rewrite, QStringLiteral("UPDATE %1 SET (%2) = (SELECT %3 %4) WHERE %5")
                          .arg(table, fields.join(QStringLiteral(", ")), planned.join(QStringLiteral(", ")),
                               byKey(Rewrite), keysOf(Rewrite))},
            {Stamp, QStringLiteral("UPDATE %1 SET (\"_modified\", \"_machine\") = (SELECT w.modified, w.machine %2) "
                                   "WHERE %3")
                        .arg(table, byKey(Stamp), keysOf(Stamp))},
            {Insert, QStringLiteral("INSERT INTO %1 (%2, \"_id\", \"_modified\", \"_machine\") SELECT %3, w.identity, "
                                    "w.modified, w.machine FROM temp.\"merge writes\" AS w WHERE w.kind = %4 ORDER BY "
                                    "w.rowid")
                         .arg(table, fields.join(QStringLiteral(", ")), planned.join(QStringLiteral(", ")))
                         .arg(Insert)}};
        // Only the kinds planned: compiling a statement (and the table's triggers) costs more than a small merge.
        for (const auto& [kind, statement] : statements)
            if (m_planned.count(kind))
                m_db.exec(statement.toStdString());
    }

private:
    SQLite::Database& m_db;
    const Schema::Table& m_table;
    MachineNumbers& m_machines;
    std::unique_ptr<SQLite::Statement> m_plan;
    std::set<Kind> m_planned;
};

// Merges one table: reads what differs, then writes the winners.
class TableMerge {
public:
    // How the copy's stamps compare with this file's, read once per merge.
    struct CopyForm {
        bool identitiesAsBytes = false; // the copy keeps identities as this file does
        bool sameNumbers = false;       // a computer's number means the same computer in both files
    };

    TableMerge(SQLite::Database& db, const Schema::Table& table, MachineNumbers& machines, const CopyForm& form)
        : m_db(db), m_table(table), m_machines(machines), m_form(form) {}

    Merge::SectionCounts run() {
        readCopyRecords();
        readCopyDeletions();
        Merge::SectionCounts counts{m_table.name};
        if (m_differing.empty())
            return counts; // nothing to plan: no statement compiled, no temporary table made
        PlannedWrites writes(m_db, m_table, m_machines);
        for (auto& [identity, sides] : m_differing)
            apply(identity, sides, writes, counts);
        writes.make();
        for (const auto& [identity, version] : m_deletions)
            recordDeletion(identity, *version);
        return counts;
    }

private:
    // The copy's records whose identity this file lacks, or holds in another version.
    // A copy of an older version keeps identities as text: stored_identity() gives their bytes.
    void readCopyRecords() {
        const int fields = int(m_table.fields.size());
        SQLite::Statement rows(
            m_db,
            QStringLiteral("SELECT stored_identity(c.\"_id\"), c.\"_modified\", copy_machine(c.\"_machine\"), %1, "
                           "m.\"_key\", m.\"_modified\", main_machine(m.\"_machine\"), %2, "
                           "t.\"deleted\", t.\"machine\" FROM copy.%3 AS c "
                           "LEFT JOIN main.%3 AS m ON m.\"_id\" = stored_identity(c.\"_id\") "
                           "LEFT JOIN main.\"_tombstones\" AS t ON t.\"identity\" = stored_identity(c.\"_id\") "
                           "WHERE c.\"_key\" IN (%4) AND c.\"_id\" IS NOT NULL AND c.\"_modified\" IS NOT NULL "
                           "AND (m.\"_key\" IS NULL OR m.\"_modified\" IS NOT c.\"_modified\" "
                           "OR main_machine(m.\"_machine\") <> copy_machine(c.\"_machine\"))")
                .arg(columns(QStringLiteral("c"), m_table), columns(QStringLiteral("m"), m_table),
                     Schema::quoted(m_table.name), notSameUnderKey())
                .toStdString());
        while (rows.executeStep()) {
            Sides& sides = m_differing[rows.getColumn(0).getString()];
            sides.copyRecord = RecordVersion::recordFrom(rows, 1, fields);
            const int local = 3 + fields;
            sides.localRecord = RecordVersion::recordFrom(rows, local + 1, fields);
            sides.localRecord.key = rows.getColumn(local).isNull() ? 0 : rows.getColumn(local).getInt64();
            sides.localDeletion = RecordVersion::deletionFrom(rows, local + 3 + fields);
        }
    }

    // The copy's keys not holding here the same identity in the same version. Two
    // files of one descent keep most records under the same key, so walking both
    // tables in key order leaves few records to look up by identity, which is
    // a random seek each.
    // It reads every record of both files: where the copy stores its stamps as
    // this file does, they are compared as stored, without a function call each.
    QString notSameUnderKey() const {
        return QStringLiteral("SELECT s.\"_key\" FROM copy.%1 AS s LEFT JOIN main.%1 AS k ON k.\"_key\" = s.\"_key\" "
                              "WHERE k.\"_id\" IS NOT %2 OR k.\"_modified\" IS NOT s.\"_modified\" OR %3")
            .arg(Schema::quoted(m_table.name),
                 m_form.identitiesAsBytes ? QStringLiteral("s.\"_id\"") : QStringLiteral("stored_identity(s.\"_id\")"),
                 m_form.sameNumbers ? QStringLiteral("k.\"_machine\" IS NOT s.\"_machine\"")
                                    : QStringLiteral("main_machine(k.\"_machine\") <> copy_machine(s.\"_machine\")"));
    }

    // The copy's deletions this file lacks or holds with another time or computer.
    void readCopyDeletions() {
        const int fields = int(m_table.fields.size());
        SQLite::Statement rows(
            m_db,
            QStringLiteral("SELECT stored_identity(d.\"identity\"), d.\"deleted\", d.\"machine\", m.\"_key\", "
                           "m.\"_modified\", main_machine(m.\"_machine\"), %1, t.\"deleted\", t.\"machine\" "
                           "FROM copy.\"_tombstones\" AS d "
                           "LEFT JOIN main.%2 AS m ON m.\"_id\" = stored_identity(d.\"identity\") "
                           "LEFT JOIN main.\"_tombstones\" AS t ON t.\"identity\" = stored_identity(d.\"identity\") "
                           "WHERE d.\"tableName\" = ? AND (t.\"identity\" IS NULL OR t.\"deleted\" IS NOT "
                           "d.\"deleted\" OR t.\"machine\" IS NOT d.\"machine\" OR m.\"_key\" IS NOT NULL)")
                .arg(columns(QStringLiteral("m"), m_table), Schema::quoted(m_table.name))
                .toStdString());
        rows.bind(1, m_table.name.toStdString());
        while (rows.executeStep()) {
            Sides& sides = m_differing[rows.getColumn(0).getString()];
            sides.copyDeletion = RecordVersion::deletionFrom(rows, 1);
            if (!sides.localRecord.exists) {
                sides.localRecord = RecordVersion::recordFrom(rows, 4, fields);
                sides.localRecord.key = rows.getColumn(3).isNull() ? 0 : rows.getColumn(3).getInt64();
            }
            sides.localDeletion = RecordVersion::deletionFrom(rows, 6 + fields);
        }
    }

    void apply(const std::string& identity, const Sides& sides, PlannedWrites& writes, Merge::SectionCounts& counts) {
        const RecordVersion& copy = newer(sides.copyRecord, sides.copyDeletion);
        const RecordVersion& local = newer(sides.localRecord, sides.localDeletion);
        const RecordVersion& winner = newer(copy, local);
        // Every record version that lost keeps its text readable, unless the winner holds the same.
        for (const RecordVersion* version : {&sides.copyRecord, &sides.localRecord})
            if (version->exists && &winner != version && !version->sameText(winner))
                keepInHistory(identity, *version);
        if (&winner == &local)
            return;
        if (winner.deleted) {
            if (sides.localRecord.exists) {
                writes.plan(PlannedWrites::Remove, sides.localRecord.key, identity, winner);
                ++counts.deleted;
            }
            // After the removal, whose trigger stamps the moment of the merge.
            m_deletions.emplace_back(identity, &winner);
            return;
        }
        if (sides.localRecord.exists) {
            if (!sides.localRecord.sameText(winner)) {
                writes.plan(PlannedWrites::Rewrite, sides.localRecord.key, identity, winner);
                ++counts.updated;
            }
            writes.plan(PlannedWrites::Stamp, sides.localRecord.key, identity, winner);
        } else {
            writes.plan(PlannedWrites::Insert, 0, identity, winner);
            ++counts.added;
        }
        if (sides.localDeletion.exists)
            forgetDeletion(identity);
    }

    SQLite::Statement& statement(const QString& name, const QString& sql) {
        auto found = m_statements.find(name);
        if (found == m_statements.end())
            found = m_statements.emplace(name, std::make_unique<SQLite::Statement>(m_db, sql.toStdString())).first;
        found->second->reset();
        found->second->clearBindings();
        return *found->second;
    }

    // Exactly the winning deletion: the file's trigger stamped the moment of the merge.
    void recordDeletion(const std::string& identity, const RecordVersion& version) {
        SQLite::Statement& keep = statement(
            QStringLiteral("deletion"),
            QStringLiteral("INSERT INTO main.\"_tombstones\" (\"identity\", \"tableName\", \"deleted\", \"machine\") "
                           "VALUES (?, ?, ?, ?) ON CONFLICT (\"identity\") DO UPDATE SET \"tableName\" = "
                           "excluded.\"tableName\", \"deleted\" = excluded.\"deleted\", \"machine\" = "
                           "excluded.\"machine\""));
        StoredIdentity::bind(keep, 1, identity);
        keep.bind(2, m_table.name.toStdString());
        keep.bind(3, static_cast<int64_t>(version.time));
        keep.bind(4, version.machine.toStdString());
        keep.exec();
    }

    void forgetDeletion(const std::string& identity) {
        SQLite::Statement& forget = statement(
            QStringLiteral("forget"), QStringLiteral("DELETE FROM main.\"_tombstones\" WHERE \"identity\" = ?"));
        StoredIdentity::bind(forget, 1, identity);
        forget.exec();
    }

    void keepInHistory(const std::string& identity, const RecordVersion& version) {
        SQLite::Statement& keep = statement(
            QStringLiteral("history"),
            QStringLiteral("INSERT OR IGNORE INTO main.\"_history\" (\"tableName\", \"identity\", \"modified\", "
                           "\"machine\", \"fields\", \"kept\") VALUES (?, ?, ?, ?, ?, ?)"));
        keep.bind(1, m_table.name.toStdString());
        StoredIdentity::bind(keep, 2, identity);
        keep.bind(3, static_cast<int64_t>(version.time));
        keep.bind(4, version.machine.toStdString());
        keep.bind(5, version.fieldsJson(m_table.fields).toStdString());
        keep.bind(6, static_cast<int64_t>(QDateTime::currentMSecsSinceEpoch()));
        keep.exec();
    }

    SQLite::Database& m_db;
    const Schema::Table& m_table;
    MachineNumbers& m_machines;
    const CopyForm m_form;
    std::map<std::string, Sides> m_differing; // by identity: the order is the same on every computer
    std::vector<std::pair<std::string, const RecordVersion*>> m_deletions; // winners in m_differing
    std::map<QString, std::unique_ptr<SQLite::Statement>> m_statements;
};

// The copy as it lies, for ATTACH: never locked, never written, no journal looked for.
std::string untouchedUri(const QString& path) {
    QByteArray uri = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    return ("file://" + uri.toPercentEncoding("/") + "?immutable=1").toStdString();
}

// A copy of an older layout is brought up to date in a private copy beside the
// live file first: its records get the identities this file gave the same records.
class CurrentCopy {
public:
    explicit CurrentCopy(const QString& livePath, const QString& copyPath) : m_path(copyPath) {
        if (Migration::versionOf(copyPath) >= 2)
            return;
        m_private = std::make_unique<QTemporaryFile>(
            QFileInfo(livePath).dir().filePath(QStringLiteral(".password.mdb.XXXXXX")));
        QFile source(copyPath);
        if (!m_private->open() || !source.open(QIODevice::ReadOnly) || m_private->write(source.readAll()) < 0 ||
            !m_private->flush())
            throw StoreError(QStringLiteral("%1 cannot be copied to bring it up to date").arg(copyPath));
        const Migration::Outcome outcome = Migration::migrate(m_private->fileName());
        if (!outcome.migrated)
            throw StoreError(outcome.error);
        m_path = m_private->fileName();
    }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QTemporaryFile> m_private;
};

void mergeHistory(SQLite::Database& db) {
    db.exec("INSERT OR IGNORE INTO main.\"_history\" (\"tableName\", \"identity\", \"modified\", \"machine\", "
            "\"fields\", \"kept\") SELECT \"tableName\", stored_identity(\"identity\"), \"modified\", \"machine\", "
            "\"fields\", "
            "\"kept\" FROM copy.\"_history\"");
}

} // namespace

namespace Merge {

qint64 Outcome::changes() const {
    qint64 total = 0;
    for (const SectionCounts& s : sections)
        total += s.added + s.updated + s.deleted;
    return total;
}

QString Outcome::summary() const {
    QStringList lines;
    for (const SectionCounts& s : sections) {
        QStringList parts;
        if (s.added)
            parts << QStringLiteral("%1 added").arg(s.added);
        if (s.updated)
            parts << QStringLiteral("%1 updated").arg(s.updated);
        if (s.deleted)
            parts << QStringLiteral("%1 deleted").arg(s.deleted);
        if (!parts.isEmpty())
            lines << QStringLiteral("%1: %2").arg(sectionNoun(s.table), parts.join(QStringLiteral(", ")));
    }
    return lines.isEmpty() ? QStringLiteral("No records changed.") : lines.join(QLatin1Char('\n'));
}

Outcome mergeCopy(const QString& livePath, const QString& copyPath) {
    Outcome outcome;
    if (QFileInfo(livePath).canonicalFilePath() == QFileInfo(copyPath).canonicalFilePath()) {
        outcome.error = QStringLiteral("The copy %1 was not merged: it is the database itself.").arg(copyPath);
        return outcome;
    }
    // A copy beside the database (a sync tool's) is read through mmap: it is on
    // the same disk as the database, which is mapped too.
    const bool besideDatabase = QFileInfo(copyPath).absoluteDir() == QFileInfo(livePath).absoluteDir();
    QString problem = checkRecordsReadable(copyPath, besideDatabase);
    // What a newer program keeps is not known here: its records could be misread.
    if (problem.isEmpty() && Migration::stateOf(copyPath) == Migration::State::Newer)
        problem = QStringLiteral("it was written by a newer version of the program.");
    if (!problem.isEmpty()) {
        outcome.refused = true;
        outcome.error = QStringLiteral("The copy %1 was not merged: %2").arg(copyPath, problem);
        return outcome;
    }
    try {
        const CurrentCopy copy(livePath, copyPath);
        SQLite::Database db(livePath.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_URI, BusyTimeoutMs);
        waitForLocks(db.getHandle(), BusyTimeoutMs);
        db.exec("PRAGMA synchronous=EXTRA"); // as every write: see Connection
        if (db.execAndGet("PRAGMA user_version").getInt() != Migration::newestVersion())
            throw StoreError(QStringLiteral("%1 is not up to date yet").arg(livePath));
        SQLite::Statement attach(db, "ATTACH DATABASE ? AS copy");
        attach.bind(1, untouchedUri(copy.path()));
        attach.exec();
        // A merge reads much of both files: their pages mapped, without a system call
        // each, and larger caches. A copy from elsewhere is not mapped: it may lie on a
        // disk pulled out meanwhile, which would end the program instead of the merge.
        db.exec("PRAGMA main.mmap_size = 268435456; PRAGMA main.cache_size = -32768; "
                "PRAGMA copy.cache_size = -32768");
        if (besideDatabase)
            db.exec("PRAGMA copy.mmap_size = 268435456");
        StoredIdentity::addFunction(db.getHandle());
        {
            SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
            MachineNumbers mainMachines(db), copyMachines(db, QStringLiteral("copy"));
            addMachineFunction(db, "main_machine", mainMachines);
            addMachineFunction(db, "copy_machine", copyMachines);
            const TableMerge::CopyForm form{.identitiesAsBytes = db.execAndGet("PRAGMA copy.user_version").getInt() >=
                                                                 StoredIdentity::CompactVersion,
                                            .sameNumbers = copyMachines.numberedAsIn(mainMachines)};
            for (const Schema::Table* table : Schema::recordTables())
                outcome.sections.push_back(TableMerge(db, *table, mainMachines, form).run());
            mergeHistory(db);
            transaction.commit();
        }
        db.exec("DETACH DATABASE copy");
        outcome.merged = true;
    } catch (const StoreError& e) {
        outcome.sections.clear();
        outcome.error = QStringLiteral("The copy %1 was not merged: %2.").arg(copyPath, e.message());
    } catch (const std::exception& e) {
        outcome.sections.clear();
        outcome.error = QStringLiteral("The copy %1 was not merged: %2.").arg(copyPath, QString::fromUtf8(e.what()));
    }
    return outcome;
}

} // namespace Merge
