#include "BulkIndexing.h"

#include "Schema.h"

#include <SQLiteCpp/Statement.h>

namespace {

// What the index uses when the file sets nothing.
const QString DefaultHashSize = QStringLiteral("1048576");

} // namespace

BulkIndexing::BulkIndexing(SQLite::Database& db, const QString& table)
    : m_db(db), m_table(table), m_index(table + QStringLiteral(" search")),
      m_trigger(m_index + QStringLiteral(" added")) {
    SQLite::Statement trigger(m_db, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ? AND "
                                    "tbl_name = ?");
    trigger.bind(1, m_trigger.toStdString());
    trigger.bind(2, m_table.toStdString());
    if (!trigger.executeStep())
        return;
    const QString sql = QString::fromStdString(trigger.getColumn(0).getString());
    SQLite::Statement columns(m_db, "SELECT name FROM pragma_table_info(?)");
    columns.bind(1, m_index.toStdString());
    while (columns.executeStep())
        m_columns << Schema::quoted(QString::fromStdString(columns.getColumn(0).getString()));
    if (m_columns.isEmpty())
        return;
    const QString key = Schema::quoted(Schema::KeyColumn);
    // Keys only grow (the tables count them up), so the records added from now
    // on are exactly those above the largest key there is now.
    m_lastKeyBefore =
        m_db.execAndGet(
                QStringLiteral("SELECT coalesce(max(%1), 0) FROM %2").arg(key, Schema::quoted(m_table)).toStdString())
            .getInt64();
    m_hashSize = setting(QStringLiteral("hashsize"));
    m_db.exec(QStringLiteral("DROP TRIGGER %1").arg(Schema::quoted(m_trigger)).toStdString());
    m_triggerSql = sql;
}

void BulkIndexing::finish() {
    if (!active())
        return;
    set(QStringLiteral("hashsize"), QString::number(BulkHashBytes));
    const QString columns = m_columns.join(QStringLiteral(", "));
    SQLite::Statement fill(
        m_db, QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT %3, %2 FROM %4 WHERE %3 > ?")
                  .arg(Schema::quoted(m_index), columns, Schema::quoted(Schema::KeyColumn), Schema::quoted(m_table))
                  .toStdString());
    fill.bind(1, static_cast<int64_t>(m_lastKeyBefore));
    fill.exec();
    // Back as it was: the setting is stored in the file, and an unset one stays unset.
    set(QStringLiteral("hashsize"), m_hashSize.isNull() ? DefaultHashSize : m_hashSize);
    if (m_hashSize.isNull())
        unset(QStringLiteral("hashsize"));
    m_db.exec(m_triggerSql.toStdString());
    m_triggerSql.clear();
}

QString BulkIndexing::setting(const QString& name) {
    SQLite::Statement query(
        m_db, QStringLiteral("SELECT v FROM %1 WHERE k = ?").arg(Schema::quoted(m_index + "_config")).toStdString());
    query.bind(1, name.toStdString());
    return query.executeStep() ? QString::fromStdString(query.getColumn(0).getString()) : QString();
}

void BulkIndexing::unset(const QString& name) {
    // Its value is the default already: every connection reads the settings
    // again once the command above has changed them.
    SQLite::Statement remove(
        m_db, QStringLiteral("DELETE FROM %1 WHERE k = ?").arg(Schema::quoted(m_index + "_config")).toStdString());
    remove.bind(1, name.toStdString());
    remove.exec();
}

void BulkIndexing::set(const QString& name, const QString& value) {
    const QString index = Schema::quoted(m_index);
    SQLite::Statement command(m_db, QStringLiteral("INSERT INTO %1 (%1, rank) VALUES (?, ?)").arg(index).toStdString());
    command.bind(1, name.toStdString());
    command.bind(2, static_cast<int64_t>(value.toLongLong()));
    command.exec();
}
