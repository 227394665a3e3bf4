// How a binder follows its file while other programs write it or replace it:
// a sync tool that brings another computer's version, quillmere-cli, a merge of
// a conflict copy, another window of this program.
#include "DataBinder.h"

#include "ColumnText.h"
#include "Connection.h"
#include "Schema.h"
#include "StoreError.h"
#include "StoredIdentity.h"

#include <QTimer>
#include <SQLiteCpp/Statement.h>

QString DataBinder::identityOf(RecordKey key) {
    if (key == NoRecord || !m_connection || m_connection->version() < 2)
        return {};
    SQLite::Statement query(m_connection->db(),
                            QStringLiteral("SELECT \"_id\" FROM %1 WHERE %2 = ?")
                                .arg(Schema::quoted(m_recordSource), Schema::quoted(Schema::KeyColumn))
                                .toStdString());
    query.bind(1, static_cast<int64_t>(key));
    return query.executeStep() ? StoredIdentity::textOf(query.getColumn(0)) : QString();
}

RecordKey DataBinder::keyOfIdentity(const QString& identity) {
    if (identity.isEmpty() || !m_connection || m_connection->version() < 2)
        return NoRecord;
    SQLite::Statement query(m_connection->db(),
                            QStringLiteral("SELECT %2 FROM %1 WHERE \"_id\" = ?")
                                .arg(Schema::quoted(m_recordSource), Schema::quoted(Schema::KeyColumn))
                                .toStdString());
    StoredIdentity::bind(query, 1, StoredIdentity::forFile(identity, m_connection->version()));
    return query.executeStep() ? query.getColumn(0).getInt64() : NoRecord;
}

bool DataBinder::reconnectIfReplaced() {
    if (!m_connection)
        return false;
    const FileIdentity now = FileIdentity::of(m_databaseName);
    // Gone for a moment (a tool that removes before it renames): the next look finds it.
    if (!now.exists || now == m_file)
        return false;
    // The old file is still open here, whatever its name: it says which record was current.
    const QString identity = identityOf(m_pending ? m_pending->key : Bookmark());
    auto connection = std::make_unique<Connection>(m_databaseName, m_recordSource);
    connection->requireTable(m_recordSource, m_requiredFields);
    m_rowQuery.reset();
    m_keys.clear(); // holds a statement of the old connection
    m_connection = std::move(connection);
    m_fields = m_connection->columns(m_recordSource);
    m_hasDeletedKeys = m_connection->hasDeletedKeys();
    m_hasDeletedBlocks = m_hasDeletedKeys && m_connection->hasDeletedBlocks();
    m_file = now;
    reloadKeepingPlace(identity);
    return true;
}

void DataBinder::reloadKeepingPlace(const std::optional<QString>& identity) {
    const qint64 oldPosition = m_position;
    const bool wasOnRecord = Bookmark() != NoRecord;
    m_seenVersion = m_connection->dataVersion();
    const RecordKey key = identity ? keyOfIdentity(*identity) : (m_pending ? m_pending->key : Bookmark());
    try {
        loadKeys();
    } catch (const std::exception& e) {
        throw StoreError(m_connection->failure(QStringLiteral("cannot be read"), e));
    }
    m_storedCount.reset();
    m_cachedKey = NoRecord;
    emit keysChanged();
    qint64 position = key == NoRecord ? -1 : m_keys.positionOf(key);
    const bool found = position >= 0;
    // A record deleted elsewhere: its neighbour takes its place.
    if (!found)
        position = wasOnRecord ? std::min(oldPosition, m_keys.size() - 1) : oldPosition;
    if (!m_pending) {
        setPosition(position);
        return;
    }
    m_position = std::clamp<qint64>(position, -1, m_keys.size());
    m_onDeleted = false;
    if (!m_pending->adding) {
        m_pending->key = key;
        if (found)
            followStoredValues();
    }
}

void DataBinder::followStoredValues() {
    const QHash<QString, QString> stored = currentValues();
    if (stored.isEmpty())
        return;
    for (const Binding& b : m_bindings) {
        if (!b.box || !stored.contains(b.field))
            continue;
        const QString shown = m_pending->shown.value(b.field);
        // What the user typed stays; a box left as it was shows the new value.
        if (b.read() == shown && stored.value(b.field) != shown) {
            b.write(stored.value(b.field));
            m_pending->shown.insert(b.field, stored.value(b.field));
        }
    }
}

bool DataBinder::followFile() {
    if (!m_connection)
        return false;
    try {
        if (reconnectIfReplaced()) {
            emit fileChanged();
            return true;
        }
        if (m_connection->dataVersion() == m_seenVersion)
            return false;
        reloadKeepingPlace(std::nullopt);
    } catch (const std::exception&) {
        // Held by another program or half replaced: the next look tries again.
        return false;
    }
    emit fileChanged();
    return true;
}

void DataBinder::setFollowInterval(int intervalMs) {
    if (!m_followTimer) {
        m_followTimer = new QTimer(this);
        connect(m_followTimer, &QTimer::timeout, this, [this] { followFile(); });
    }
    if (intervalMs <= 0)
        m_followTimer->stop();
    else
        m_followTimer->start(intervalMs);
}
