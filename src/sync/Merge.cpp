#include "Merge.h"

#include "RecordVersion.h"
#include "store/LockWait.h"
#include "store/Migration.h"
#include "store/RecordDatabaseCheck.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <map>

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

// What each side knows of one record that the merge must decide on.
struct Sides {
    RecordVersion copyRecord, copyDeletion, localRecord, localDeletion;
};

const RecordVersion& newer(const RecordVersion& a, const RecordVersion& b) {
    return compareVersions(a, b) >= 0 ? a : b;
}

// Merges one table: reads what differs, then writes the winners.
class TableMerge {
public:
    TableMerge(SQLite::Database& db, const Schema::Table& table) : m_db(db), m_table(table) {}

    Merge::SectionCounts run() {
        readCopyRecords();
        readCopyDeletions();
        Merge::SectionCounts counts{m_table.name};
        for (auto& [identity, sides] : m_differing)
            apply(identity, sides, counts);
        return counts;
    }

private:
    // The copy's records whose identity this file lacks, or holds in another version.
    void readCopyRecords() {
        const int fields = int(m_table.fields.size());
        SQLite::Statement rows(
            m_db, QStringLiteral("SELECT c.\"_id\", c.\"_modified\", coalesce(c.\"_machine\", ''), %1, "
                                 "m.\"_key\", m.\"_modified\", coalesce(m.\"_machine\", ''), %2, "
                                 "t.\"deleted\", t.\"machine\" FROM copy.%3 AS c "
                                 "LEFT JOIN main.%3 AS m ON m.\"_id\" = c.\"_id\" "
                                 "LEFT JOIN main.\"_tombstones\" AS t ON t.\"identity\" = c.\"_id\" "
                                 "WHERE c.\"_id\" IS NOT NULL AND c.\"_modified\" IS NOT NULL AND (m.\"_key\" IS NULL "
                                 "OR m.\"_modified\" IS NOT c.\"_modified\" "
                                 "OR coalesce(m.\"_machine\", '') <> coalesce(c.\"_machine\", ''))")
                      .arg(columns(QStringLiteral("c"), m_table), columns(QStringLiteral("m"), m_table),
                           Schema::quoted(m_table.name))
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

    // The copy's deletions this file lacks or holds with another time or computer.
    void readCopyDeletions() {
        const int fields = int(m_table.fields.size());
        SQLite::Statement rows(
            m_db, QStringLiteral("SELECT d.\"identity\", d.\"deleted\", d.\"machine\", m.\"_key\", m.\"_modified\", "
                                 "coalesce(m.\"_machine\", ''), %1, t.\"deleted\", t.\"machine\" "
                                 "FROM copy.\"_tombstones\" AS d "
                                 "LEFT JOIN main.%2 AS m ON m.\"_id\" = d.\"identity\" "
                                 "LEFT JOIN main.\"_tombstones\" AS t ON t.\"identity\" = d.\"identity\" "
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

    void apply(const std::string& identity, const Sides& sides, Merge::SectionCounts& counts) {
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
                remove(sides.localRecord.key);
                ++counts.deleted;
            }
            recordDeletion(identity, winner);
            return;
        }
        if (sides.localRecord.exists) {
            if (!sides.localRecord.sameText(winner)) {
                rewrite(sides.localRecord.key, winner);
                ++counts.updated;
            }
            stamp(sides.localRecord.key, winner);
        } else {
            insert(identity, winner);
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

    void bindFields(SQLite::Statement& statement, const RecordVersion& version) {
        for (size_t i = 0; i < version.fields.size(); ++i) {
            if (version.fields[i])
                statement.bind(int(i) + 1, version.fields[i]->toStdString());
            else
                statement.bind(int(i) + 1);
        }
    }

    void insert(const std::string& identity, const RecordVersion& version) {
        QStringList fields;
        for (const QString& field : m_table.fields)
            fields << Schema::quoted(field);
        SQLite::Statement& add =
            statement(QStringLiteral("insert"),
                      QStringLiteral("INSERT INTO main.%1 (%2, \"_id\", \"_modified\", \"_machine\") VALUES (%3)")
                          .arg(Schema::quoted(m_table.name), fields.join(QStringLiteral(", ")),
                               QStringList(fields.size() + 3, QStringLiteral("?")).join(QStringLiteral(", "))));
        bindFields(add, version);
        const int next = int(version.fields.size()) + 1;
        add.bind(next, identity);
        add.bind(next + 1, static_cast<int64_t>(version.time));
        add.bind(next + 2, version.machine.toStdString());
        add.exec();
    }

    // The fields first, which moves the record's time on and updates the search
    // index; then the winner's own time and computer.
    void rewrite(qint64 key, const RecordVersion& version) {
        QStringList assignments;
        for (const QString& field : m_table.fields)
            assignments << Schema::quoted(field) + QStringLiteral(" = ?");
        SQLite::Statement& update = statement(
            QStringLiteral("rewrite"), QStringLiteral("UPDATE main.%1 SET %2 WHERE "
                                                      "\"_key\" = ?")
                                           .arg(Schema::quoted(m_table.name), assignments.join(QStringLiteral(", "))));
        bindFields(update, version);
        update.bind(int(version.fields.size()) + 1, static_cast<int64_t>(key));
        update.exec();
    }

    void stamp(qint64 key, const RecordVersion& version) {
        SQLite::Statement& update = statement(
            QStringLiteral("stamp"), QStringLiteral("UPDATE main.%1 SET \"_modified\" = ?, \"_machine\" = ? WHERE "
                                                    "\"_key\" = ?")
                                         .arg(Schema::quoted(m_table.name)));
        update.bind(1, static_cast<int64_t>(version.time));
        update.bind(2, version.machine.toStdString());
        update.bind(3, static_cast<int64_t>(key));
        update.exec();
    }

    void remove(qint64 key) {
        SQLite::Statement& drop =
            statement(QStringLiteral("remove"),
                      QStringLiteral("DELETE FROM main.%1 WHERE \"_key\" = ?").arg(Schema::quoted(m_table.name)));
        drop.bind(1, static_cast<int64_t>(key));
        drop.exec();
    }

    // Exactly the winning deletion: the file's trigger stamped the moment of the merge.
    void recordDeletion(const std::string& identity, const RecordVersion& version) {
        SQLite::Statement& keep = statement(
            QStringLiteral("deletion"),
            QStringLiteral("INSERT INTO main.\"_tombstones\" (\"identity\", \"tableName\", \"deleted\", \"machine\") "
                           "VALUES (?, ?, ?, ?) ON CONFLICT (\"identity\") DO UPDATE SET \"tableName\" = "
                           "excluded.\"tableName\", \"deleted\" = excluded.\"deleted\", \"machine\" = "
                           "excluded.\"machine\""));
        keep.bind(1, identity);
        keep.bind(2, m_table.name.toStdString());
        keep.bind(3, static_cast<int64_t>(version.time));
        keep.bind(4, version.machine.toStdString());
        keep.exec();
    }

    void forgetDeletion(const std::string& identity) {
        SQLite::Statement& forget = statement(
            QStringLiteral("forget"), QStringLiteral("DELETE FROM main.\"_tombstones\" WHERE \"identity\" = ?"));
        forget.bind(1, identity);
        forget.exec();
    }

    void keepInHistory(const std::string& identity, const RecordVersion& version) {
        SQLite::Statement& keep = statement(
            QStringLiteral("history"),
            QStringLiteral("INSERT OR IGNORE INTO main.\"_history\" (\"tableName\", \"identity\", \"modified\", "
                           "\"machine\", \"fields\", \"kept\") VALUES (?, ?, ?, ?, ?, ?)"));
        keep.bind(1, m_table.name.toStdString());
        keep.bind(2, identity);
        keep.bind(3, static_cast<int64_t>(version.time));
        keep.bind(4, version.machine.toStdString());
        keep.bind(5, version.fieldsJson(m_table.fields).toStdString());
        keep.bind(6, static_cast<int64_t>(QDateTime::currentMSecsSinceEpoch()));
        keep.exec();
    }

    SQLite::Database& m_db;
    const Schema::Table& m_table;
    std::map<std::string, Sides> m_differing; // by identity: the order is the same on every computer
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
            "\"fields\", \"kept\") SELECT \"tableName\", \"identity\", \"modified\", \"machine\", \"fields\", "
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
    const QString problem = checkRecordDatabase(copyPath);
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
        if (db.execAndGet("PRAGMA user_version").getInt() < 2)
            throw StoreError(QStringLiteral("%1 is not up to date yet").arg(livePath));
        SQLite::Statement attach(db, "ATTACH DATABASE ? AS copy");
        attach.bind(1, untouchedUri(copy.path()));
        attach.exec();
        {
            SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
            for (const Schema::Table* table : Schema::recordTables())
                outcome.sections.push_back(TableMerge(db, *table).run());
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
