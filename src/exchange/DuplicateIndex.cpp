#include "DuplicateIndex.h"

#include "TextFile.h"

#include <QHash>

QString quotedFields(Section section) {
    QStringList quoted;
    for (const QString& field : tableOf(section).fields)
        quoted << Schema::quoted(field);
    return quoted.join(QStringLiteral(", "));
}

QString textOf(const SQLite::Column& column) {
    return exactUtf8(column.getText(), column.getBytes());
}

size_t DuplicateIndex::hashOf(const QStringList& values) {
    size_t hash = 0;
    for (const QString& value : values)
        hash = qHash(QStringView(value), hash) * 31 + size_t(value.size());
    return hash;
}

DuplicateIndex::Table& DuplicateIndex::table(Section section) {
    const auto found = m_tables.find(int(section));
    if (found != m_tables.end())
        return found->second;
    Table& table = m_tables[int(section)];
    const QString name = Schema::quoted(tableOf(section).name);
    const QString fields = quotedFields(section);
    const int count = int(tableOf(section).fields.size());
    SQLite::Statement all(
        m_db,
        QStringLiteral("SELECT %1, %2 FROM %3").arg(Schema::quoted(Schema::KeyColumn), fields, name).toStdString());
    QStringList values;
    while (all.executeStep()) {
        values.clear();
        for (int i = 0; i < count; ++i)
            values << textOf(all.getColumn(i + 1));
        table.keys.emplace(hashOf(values), all.getColumn(0).getInt64());
    }
    table.byKey = std::make_unique<SQLite::Statement>(m_db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                                                .arg(fields, name, Schema::quoted(Schema::KeyColumn))
                                                                .toStdString());
    return table;
}

bool DuplicateIndex::isStored(const Record& record) {
    Table& stored = table(record.section);
    const auto [first, last] = stored.keys.equal_range(hashOf(record.values));
    for (auto it = first; it != last; ++it) {
        stored.byKey->reset();
        stored.byKey->bind(1, static_cast<int64_t>(it->second));
        if (!stored.byKey->executeStep())
            continue;
        bool same = true;
        for (int i = 0; same && i < record.values.size(); ++i)
            same = textOf(stored.byKey->getColumn(i)) == record.values.at(i);
        if (same)
            return true;
    }
    return false;
}
