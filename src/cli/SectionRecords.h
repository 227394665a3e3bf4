#pragma once

#include "exchange/Section.h"

#include <QByteArrayView>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

// A record as the command line shows it: its id (the table's hidden key) and
// every field, in the table's order.
struct ShownRecord {
    qint64 id = 0;
    QStringList fields;
};

// The records of one section, read from the record database without writing it.
// A listing reads one record at a time; a record is found by its id through the
// table's key, and by its name through the table's indexes, so neither holds
// nor reads the whole table. Every call throws ExchangeError when the file
// cannot be read.
class SectionRecords {
public:
    SectionRecords(const QString& databasePath, Section section);
    ~SectionRecords();

    Section section() const { return m_section; }

    // Each record's id and listed fields (see RecordOutput's SectionView), as
    // stored (UTF-8), in key order; the texts are valid during the call only.
    void forEachListed(const std::function<void(qint64 id, const QList<QByteArrayView>& fields)>& take);
    std::optional<ShownRecord> byId(qint64 id);
    // The ids of the records one of whose listed fields is the name: exactly,
    // else without regard to case; in key order.
    QList<qint64> idsNamed(const QString& name);

private:
    // A condition on the records and the values of its named parameters.
    struct Filter {
        QString condition; // empty for every record
        QList<std::pair<QString, QString>> values;
    };
    // The ids of the records the filters let through, in key order.
    QList<qint64> idsWhere(const QList<Filter>& filters);
    // The records an index gives for a name: every record that may bear it, never fewer.
    Filter candidatesFor(const QString& name);
    bool exists(const QString& tableOrIndex);
    [[noreturn]] void unreadable(const std::exception& e) const;

    QString m_path;
    Section m_section;
    std::unique_ptr<SQLite::Database> m_db;
};
