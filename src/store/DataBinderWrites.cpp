// The binder's writes: a pending record from AddNew or Edit to Update or
// CancelUpdate, and Delete.
#include "BinderSql.h"
#include "ColumnText.h"
#include "Connection.h"
#include "DataBinder.h"
#include "MachineStamp.h"
#include "StoreError.h"

#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

void DataBinder::AddNew() {
    connection();
    m_pending = Pending{true, NoRecord, {}};
    for (const Binding& b : m_bindings) {
        if (b.box)
            b.write(QString());
    }
    emit currentChanged();
}

void DataBinder::Edit() {
    const RecordKey key = Bookmark();
    if (key == NoRecord)
        throw StoreError(QStringLiteral("There is no record to change in the table \"%1\".").arg(m_recordSource));
    // The edit starts from the record as stored now, not as read earlier: a save
    // checks against these values that nobody else changed the record meanwhile.
    m_cachedKey = NoRecord;
    showCurrent();
    m_pending = Pending{false, key, currentValues()};
}

void DataBinder::Update(SaveOver over) {
    if (!m_pending)
        throw StoreError(QStringLiteral("There is no record being added or changed."));
    // Never written into a file that another has replaced: it is gone from the path.
    reconnectIfReplaced();
    Connection& c = connection();
    const QHash<QString, QString> texts = boxTexts();
    // A lone surrogate has no UTF-8 form: storing it would change the text silently.
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        if (!it.value().isValidUtf16())
            throw StoreError(QStringLiteral("The field \"%1\" holds a character that cannot be stored; the record "
                                            "was not saved.")
                                 .arg(it.key()),
                             StoreError::Reason::RefusedValue);
    }
    const bool adding = m_pending->adding || over == SaveOver::AsNewRecord;
    RecordKey saved = m_pending->key;
    try {
        SQLite::Transaction transaction(c.db(), SQLite::TransactionBehavior::IMMEDIATE);
        if (adding)
            saved = insertRecord(texts);
        else
            updateRecord(texts, over == SaveOver::Overwrite);
        transaction.commit();
    } catch (const StoreError&) {
        throw;
    } catch (const std::exception& e) {
        throw StoreError(c.failure(QStringLiteral("refused the record"), e), Connection::reasonOf(e));
    }
    m_pending.reset();
    m_lastModified = saved;
    wrote();
    if (adding) {
        m_keys.append(saved);
        emit keysChanged();
    } else {
        emit recordWritten(saved);
    }
    setPosition(m_position);
}

RecordKey DataBinder::insertRecord(const QHash<QString, QString>& texts) {
    const QString table = Schema::quoted(m_recordSource);
    const QStringList fields = texts.keys();
    QStringList marks;
    for (int i = 0; i < fields.size(); ++i)
        marks << QStringLiteral("?");
    const NewRecordStamp stamp = newRecordStamp(m_connection->db(), m_connection->version(), m_connection->machine());
    const QString sql = fields.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                         : QStringLiteral("INSERT INTO %1 (%2%3) VALUES (%4%5)")
                                               .arg(table, fieldList(fields), stamp.columns,
                                                    marks.join(QStringLiteral(", ")), stamp.values);
    SQLite::Statement insert(m_connection->db(), sql.toStdString());
    for (int i = 0; i < fields.size(); ++i)
        bindText(insert, i + 1, texts.value(fields[i]));
    insert.exec();
    return m_connection->db().getLastInsertRowid();
}

QHash<QString, QString> DataBinder::storedValues(RecordKey key, const QStringList& fields) {
    // With no field asked for, the key alone says whether the record is there.
    const QString columns = fields.isEmpty() ? Schema::quoted(Schema::KeyColumn) : fieldList(fields);
    SQLite::Statement read(m_connection->db(),
                           QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                               .arg(columns, Schema::quoted(m_recordSource), Schema::quoted(Schema::KeyColumn))
                               .toStdString());
    read.bind(1, static_cast<int64_t>(key));
    if (!read.executeStep())
        throw StoreError(
            QStringLiteral("The record is no longer in the table \"%1\"; it was not saved.").arg(m_recordSource),
            StoreError::Reason::RecordGone);
    QHash<QString, QString> values;
    for (int i = 0; i < fields.size(); ++i)
        values.insert(fields[i], columnText(read.getColumn(i)));
    return values;
}

void DataBinder::updateRecord(const QHash<QString, QString>& texts, bool overwrite) {
    const RecordKey key = m_pending->key;
    // Only the fields changed here are written: a change another program made to
    // another field of the record stays.
    QStringList changed;
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        if (it.value() != m_pending->shown.value(it.key()))
            changed << it.key();
    }
    // Read and written in one transaction: nobody can change the record between the check and the save.
    const QHash<QString, QString> stored = storedValues(key, changed.isEmpty() ? texts.keys() : changed);
    if (!overwrite) {
        for (const QString& f : changed) {
            const QString& now = stored.value(f);
            if (now != m_pending->shown.value(f) && now != texts.value(f))
                throw StoreError(QStringLiteral("Another program changed this record in the table \"%1\" after it "
                                                "was opened here; it was not saved.")
                                     .arg(m_recordSource),
                                 StoreError::Reason::ChangedElsewhere);
        }
    }
    if (changed.isEmpty())
        return; // the read above proved that the record is still there
    QStringList assignments;
    for (const QString& f : changed)
        assignments << Schema::quoted(f) + QStringLiteral(" = ?");
    SQLite::Statement update(m_connection->db(),
                             QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                 .arg(Schema::quoted(m_recordSource), assignments.join(QStringLiteral(", ")),
                                      Schema::quoted(Schema::KeyColumn))
                                 .toStdString());
    int index = 1;
    for (const QString& f : changed)
        bindText(update, index++, texts.value(f));
    update.bind(index, static_cast<int64_t>(key));
    update.exec();
}

void DataBinder::CancelUpdate() {
    m_pending.reset();
    showCurrent();
}

void DataBinder::Delete() {
    // In a file put in the path's place, the record shown is found by its identity;
    // one that is not there is never swapped for its neighbour.
    const QString shown = identityOf(Bookmark());
    if (reconnectIfReplaced() && identityOf(Bookmark()) != shown)
        throw StoreError(
            QStringLiteral("The record is no longer in the table \"%1\"; it was not deleted.").arg(m_recordSource),
            StoreError::Reason::RecordGone);
    const RecordKey key = Bookmark();
    if (key == NoRecord)
        throw StoreError(QStringLiteral("There is no record to delete in the table \"%1\".").arg(m_recordSource));
    Connection& c = connection();
    try {
        SQLite::Statement remove(c.db(), QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                                             .arg(Schema::quoted(m_recordSource), Schema::quoted(Schema::KeyColumn))
                                             .toStdString());
        remove.bind(1, static_cast<int64_t>(key));
        remove.exec();
    } catch (const std::exception& e) {
        throw StoreError(c.failure(QStringLiteral("refused to delete the record"), e));
    }
    m_pending.reset();
    wrote();
    m_keys.removeAt(m_position);
    m_onDeleted = true;
    m_cachedKey = NoRecord;
    emit keysChanged();
    showCurrent();
}

void DataBinder::wrote() {
    m_storedCount.reset();
    m_cachedKey = NoRecord;
}
