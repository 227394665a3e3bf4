#include "MigrationHealth.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// FTS5's variable-length integers are SQLite's: seven bits a byte, high bit
// first, the ninth byte whole.
qint64 readVarint(const QByteArray& bytes) {
    quint64 value = 0;
    for (qsizetype i = 0; i < bytes.size() && i < 9; ++i) {
        const auto byte = quint8(bytes[i]);
        if (i == 8)
            return qint64((value << 8) | byte);
        value = (value << 7) | (byte & 0x7f);
        if (!(byte & 0x80))
            break;
    }
    return qint64(value);
}

qint64 keptCount(SQLite::Database& db, const QString& table, bool hasKeptCounts) {
    if (hasKeptCounts) {
        SQLite::Statement kept(db, "SELECT \"rows\" FROM \"_counts\" WHERE \"tableName\" = ?");
        kept.bind(1, table.toStdString());
        if (kept.executeStep())
            return kept.getColumn(0).getInt64();
    }
    return -1;
}

qint64 countedRecords(SQLite::Database& db, const QString& table) {
    return db.execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table)).toStdString()).getInt64();
}

} // namespace

namespace MigrationHealth {

QList<SchemaObject> parseObjectsOf(const QString& partSql) {
    static const QRegularExpression created(
        QStringLiteral(
            "^\\s*CREATE\\s+(VIRTUAL\\s+TABLE|TABLE|TRIGGER|UNIQUE\\s+INDEX|INDEX)\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?"
            "\"([^\"]+)\""),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QList<SchemaObject> objects;
    for (auto it = created.globalMatch(partSql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString kind = match.captured(1).toUpper().simplified();
        const bool isVirtual = kind == QLatin1String("VIRTUAL TABLE");
        const bool isIndex = kind.endsWith(QLatin1String("INDEX"));
        objects << SchemaObject{isVirtual ? QStringLiteral("table")
                                : isIndex ? QStringLiteral("index")
                                          : kind.toLower(),
                                match.captured(2), isVirtual};
        if (isVirtual) {
            for (const QString& shadow : shadowTablesOf(match.captured(2)))
                objects << SchemaObject{QStringLiteral("table"), shadow, false};
        }
    }
    return objects;
}

QStringList parseDroppedBy(const QString& partSql) {
    static const QRegularExpression dropped(
        QStringLiteral("^\\s*DROP\\s+(TABLE|TRIGGER|INDEX)\\s+(IF\\s+EXISTS\\s+)?\"([^\"]+)\""),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    for (auto it = dropped.globalMatch(partSql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        names << match.captured(3);
        if (match.captured(1).compare(QLatin1String("TABLE"), Qt::CaseInsensitive) == 0)
            names << shadowTablesOf(match.captured(3));
    }
    return names;
}

// Every start looks at the same few schema parts, some several times: each is read once.
template <typename Parsed> Parsed remembered(const QString& partSql, Parsed (*parse)(const QString&)) {
    static QMutex guard;
    static QHash<QString, Parsed> parsed;
    const QMutexLocker locker(&guard);
    auto found = parsed.constFind(partSql);
    if (found == parsed.constEnd())
        found = parsed.insert(partSql, parse(partSql));
    return *found; // a shared copy, valid whatever is added later
}

QList<SchemaObject> objectsOf(const QString& partSql) {
    return remembered(partSql, &parseObjectsOf);
}

QStringList droppedBy(const QString& partSql) {
    return remembered(partSql, &parseDroppedBy);
}

QStringList shadowTablesOf(const QString& index) {
    return {index + QStringLiteral("_data"), index + QStringLiteral("_idx"), index + QStringLiteral("_config")};
}

qint64 indexedRecords(SQLite::Database& db, const QString& index) {
    SQLite::Statement totals(
        db,
        QStringLiteral("SELECT block FROM %1 WHERE id = 1").arg(quoted(index + QStringLiteral("_data"))).toStdString());
    if (!totals.executeStep())
        return 0; // no totals: an index that never held a record, or one whose rows were deleted
    const SQLite::Column block = totals.getColumn(0);
    return readVarint(QByteArray(static_cast<const char*>(block.getBlob()), block.getBytes()));
}

Damage findDamage(SQLite::Database& db, const QStringList& parts, int version) {
    QSet<QString> present;
    {
        SQLite::Statement all(db, "SELECT type, name FROM sqlite_master");
        while (all.executeStep())
            present << QString::fromStdString(all.getColumn(0).getString()) + QChar(0x1f) +
                           QString::fromStdString(all.getColumn(1).getString());
    }
    const auto has = [&](const QString& type, const QString& name) {
        return present.contains(type + QChar(0x1f) + name);
    };
    const bool hasKeptCounts = has(QStringLiteral("table"), QStringLiteral("_counts"));
    static const QRegularExpression content(QStringLiteral("\\bcontent\\s*=\\s*'([^']+)'"));

    Damage damage;
    for (int v = 1; v <= version && v < parts.size(); ++v) {
        QSet<QString> droppedLater;
        for (int later = v + 1; later <= version && later < parts.size(); ++later) {
            for (const QString& name : droppedBy(parts[later]))
                droppedLater << name;
        }
        QList<SchemaObject> objects = objectsOf(parts[v]);
        objects.removeIf([&](const SchemaObject& o) { return droppedLater.contains(o.name); });
        if (!std::all_of(objects.begin(), objects.end(), [&](const SchemaObject& o) { return has(o.type, o.name); })) {
            damage.incompleteParts << v;
            continue;
        }
        for (const SchemaObject& object : objects) {
            if (!object.virtualTable)
                continue;
            SQLite::Statement declared(db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
            declared.bind(1, object.name.toStdString());
            const QString table =
                declared.executeStep()
                    ? content.match(QString::fromStdString(declared.getColumn(0).getString())).captured(1)
                    : QString();
            if (table.isEmpty() || !has(QStringLiteral("table"), table))
                continue;
            const qint64 indexed = indexedRecords(db, object.name);
            // The kept count is one row; only where it disagrees is the table counted.
            if (indexed != keptCount(db, table, hasKeptCounts) && indexed != countedRecords(db, table))
                damage.staleIndexes << object.name;
        }
    }
    return damage;
}

} // namespace MigrationHealth
