#include "MachineNumbers.h"

#include "Schema.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

MachineNumbers::MachineNumbers(SQLite::Database& db, const QString& schema) : m_db(db), m_schema(schema) {
    SQLite::Statement exists(db, QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE name = '_machines'")
                                     .arg(Schema::quoted(schema))
                                     .toStdString());
    m_used = exists.executeStep() && exists.getColumn(0).getInt() > 0;
    if (!m_used)
        return;
    SQLite::Statement all(db, QStringLiteral("SELECT \"number\", \"machine\" FROM %1.\"_machines\"")
                                  .arg(Schema::quoted(schema))
                                  .toStdString());
    while (all.executeStep()) {
        const qint64 number = all.getColumn(0).getInt64();
        const QString id = QString::fromStdString(all.getColumn(1).getString());
        m_ids.insert(number, id);
        m_numbers.insert(id, number);
    }
}

qint64 MachineNumbers::numberOf(const QString& id) {
    if (id.isEmpty())
        return 0;
    if (const auto found = m_numbers.constFind(id); found != m_numbers.constEnd())
        return *found;
    SQLite::Statement add(m_db, QStringLiteral("INSERT INTO %1.\"_machines\" (\"machine\") VALUES (?)")
                                    .arg(Schema::quoted(m_schema))
                                    .toStdString());
    add.bind(1, id.toStdString());
    add.exec();
    const qint64 number = m_db.getLastInsertRowid();
    m_ids.insert(number, id);
    m_numbers.insert(id, number);
    return number;
}

bool MachineNumbers::numberedAsIn(const MachineNumbers& other) const {
    if (!m_used || !other.m_used)
        return false;
    for (auto it = m_ids.constBegin(); it != m_ids.constEnd(); ++it)
        if (other.m_ids.value(it.key()) != it.value())
            return false;
    return true;
}
