#pragma once

#include <QHash>
#include <QString>

namespace SQLite {
class Database;
}

// The computers a file of version 5 or later names by number: a record's
// "_machine" holds the number (in digits: the column is typed TEXT), "_machines"
// each computer's id once. A computer's id is never all digits (it is a UUID). The
// numbers are the file's own: another copy may number the same computers
// otherwise, so whatever leaves the file names them by id.
class MachineNumbers {
public:
    // Reads the computers of the file attached under schema ("main" for the
    // file itself); none when it keeps them as ids (older versions).
    explicit MachineNumbers(SQLite::Database& db, const QString& schema = QStringLiteral("main"));

    // True when the file names computers by number.
    bool used() const { return m_used; }
    // The id of a number; empty for a number the file does not know.
    QString idOf(qint64 number) const { return m_ids.value(number); }
    // The number of an id, added to the file when it is new (a write); 0 for an
    // empty id, which is stored as NULL.
    qint64 numberOf(const QString& id);
    // True when every computer this file numbers has the same number in other:
    // then a number means the same computer in both files.
    bool numberedAsIn(const MachineNumbers& other) const;

private:
    SQLite::Database& m_db;
    QString m_schema;
    bool m_used = false;
    QHash<qint64, QString> m_ids;
    QHash<QString, qint64> m_numbers;
};
