#pragma once

#include "FileIdentity.h"
#include "TableKeys.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Connection;
class QTimer;
namespace SQLite {
class Statement;
}

// A record key: the identity of a record in its table, valid across binders.
using RecordKey = qint64;
constexpr RecordKey NoRecord = 0;

// Opens one table of a database file, keeps a current record, and ties bound
// boxes to the fields of that record.
//
// The binder keeps a snapshot of the table's keys, taken at open and at Refresh;
// moves, counts and bookmarks work on it, field values are read by key when
// needed. So it sees other binders' writes only after Refresh, and it never holds
// a table's text in memory.
class DataBinder : public QObject {
    Q_OBJECT
public:
    explicit DataBinder(QObject* parent = nullptr);
    ~DataBinder() override;

    void setDatabaseName(const QString& path) { m_databaseName = path; }
    const QString& DatabaseName() const { return m_databaseName; }
    void setRecordSource(const QString& table) { m_recordSource = table; }
    const QString& RecordSource() const { return m_recordSource; }
    // Only table mode (0) exists: all records, natural order, all updatable.
    void setRecordsetType(int type) { m_recordsetType = type; }
    int RecordsetType() const { return m_recordsetType; }
    // The fields that must exist; opening checks them.
    void setRequiredFields(const QStringList& fields) { m_requiredFields = fields; }

    // Opens the table on its first record. Throws StoreError.
    void open();
    // The same for a window's load step: the failure's message, or nothing when it opened.
    std::optional<QString> tryOpen();
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    // Reopens the table from the file; the first record becomes current. Throws StoreError.
    void Refresh();

    // Record-set operations. Those that write throw StoreError and keep the state they had.
    void AddNew();
    void Edit();
    // How a save meets a record that another program changed after Edit.
    enum class SaveOver {
        Checked,     // refused with StoreError::Reason::ChangedElsewhere when a field changed here changed there too
        Overwrite,   // the fields changed here replace what the other program saved in them
        AsNewRecord, // the boxes' texts become a new record; the changed one stays
    };
    void Update(SaveOver over = SaveOver::Checked);
    void CancelUpdate();
    void Delete();
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    bool BOF() const;
    bool isEOF() const; // EOF itself is a macro of the C library
    qint64 RecordCount() const { return m_keys.size(); }
    RecordKey Bookmark() const;
    void setBookmark(RecordKey key); // throws StoreError for a key the snapshot lacks
    RecordKey LastModified() const { return m_lastModified; }

    bool hasCurrentRecord() const { return Bookmark() != NoRecord; }
    bool isPending() const { return m_pending.has_value(); }
    bool isAdding() const { return m_pending && m_pending->adding; }
    // Position of the current record in natural order, -1 when there is none.
    qint64 AbsolutePosition() const;
    RecordKey keyAt(qint64 position) const { return m_keys.keyAt(position); }
    qint64 positionOf(RecordKey key) const { return m_keys.positionOf(key); }

    // The stored value of a field of the current record ("" for NULL or no record).
    QString value(const QString& field);
    // Values of the given fields for the records with keys first..last, by key.
    QHash<RecordKey, QStringList> readRange(const QStringList& fields, RecordKey first, RecordKey last);

    // The table's number of records as stored now. Counted again only after a
    // write through this binder or when another connection has written the file.
    qint64 storedCount();

    // Ties a box to a field: write shows a value, read gives the box's text.
    void bind(const QString& field, QObject* box, std::function<QString()> read,
              std::function<void(const QString&)> write);

    // Follows the file as other programs change it (DataBinderFollow.cpp): reloads
    // when another connection has committed (SQLite's data_version) or another file
    // has taken the path's place (its device and inode; the connection is opened
    // again). The current record stays current, found again by its identity in a
    // replaced file; a record being changed keeps what the user typed, and the
    // boxes the user has not touched show the stored values. One stat and one
    // pragma when nothing changed. True when something was reloaded.
    bool followFile();
    // How often the windows look: a change shows within a second or two.
    static constexpr int FollowIntervalMs = 1000;
    // Calls followFile every intervalMs while the table is open; 0 stops.
    void setFollowInterval(int intervalMs);
    // The identity of the current record ("_id"), the same in every copy of the
    // file; empty when there is none or the file has no identities.
    QString currentIdentity() { return identityOf(Bookmark()); }

signals:
    // The current record changed, or its values did: bound boxes were written.
    void currentChanged();
    // The snapshot of keys changed (open, Refresh, Delete, a new record saved).
    void keysChanged();
    // A record's stored values were changed through this binder.
    void recordWritten(RecordKey key);
    // followFile reloaded the table after another program's change.
    void fileChanged();

private:
    struct Binding {
        QString field;
        QPointer<QObject> box;
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };
    struct Pending {
        bool adding = false;
        RecordKey key = NoRecord;
        QHash<QString, QString> shown; // what the boxes showed when editing began
    };

    Connection& connection();
    void loadKeys();
    // The keys from the file's record of deleted keys; false when that record cannot be trusted.
    bool loadKeysFromRecords(qint64 first, qint64 last);
    // The same from the counts of deleted keys per block; false when they cannot be trusted.
    bool loadKeysFromBlocks(qint64 first, qint64 last);
    void setPosition(qint64 position);
    void showCurrent();
    const QHash<QString, QString>& currentValues();
    QHash<QString, QString> boxTexts() const;
    void wrote();
    // Before a write: a connection to a file no longer at the path is opened again.
    bool reconnectIfReplaced();
    void reloadKeepingPlace(const std::optional<QString>& identity);
    void followStoredValues();
    QString identityOf(RecordKey key);
    RecordKey keyOfIdentity(const QString& identity);
    RecordKey insertRecord(const QHash<QString, QString>& texts);
    void updateRecord(const QHash<QString, QString>& texts, bool overwrite);
    // The stored texts of a record's fields; throws StoreError (RecordGone) when it has gone.
    QHash<QString, QString> storedValues(RecordKey key, const QStringList& fields);

    QString m_databaseName;
    QString m_recordSource;
    int m_recordsetType = 0;
    QStringList m_requiredFields;
    QStringList m_fields;
    std::unique_ptr<Connection> m_connection;
    bool m_hasDeletedKeys = false;   // the file records deleted keys (see loadKeys)
    bool m_hasDeletedBlocks = false; // ... and counts them per block of keys
    TableKeys m_keys;
    qint64 m_position = -1;
    bool m_onDeleted = false; // the current record was just deleted
    std::optional<Pending> m_pending;
    RecordKey m_lastModified = NoRecord;
    std::vector<Binding> m_bindings;

    std::unique_ptr<SQLite::Statement> m_rowQuery; // the current record, by key
    RecordKey m_cachedKey = NoRecord;
    QHash<QString, QString> m_cachedValues;

    std::optional<qint64> m_storedCount;
    qint64 m_countVersion = 0;

    FileIdentity m_file;       // the file the connection has open
    qint64 m_seenVersion = -1; // its data_version when the keys were read
    QTimer* m_followTimer = nullptr;
};
