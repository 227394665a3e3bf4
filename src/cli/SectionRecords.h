#pragma once

#include "store/Section.h"

#include <QByteArrayView>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <set>
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
    // Where records that may bear a name are read: the tables to read (FROM), what
    // picks them (WHERE) and the values of its named parameters.
    struct Lookup {
        QString from;
        QString where;
        QList<std::pair<QString, QString>> values;
    };
    // The reads through an index that find every record that may bear the name, never fewer.
    QList<Lookup> lookupsFor(const QString& name);
    // Adds the ids of the records the lookup finds that pass the test (bound with the name).
    void collectIds(const Lookup& lookup, const QString& test, const QString& name, std::set<qint64>& ids);
    // "table"."field", as a condition on a join names it.
    QString qualified(const QString& field) const;
    bool exists(const QString& tableOrIndex);
    [[noreturn]] void unreadable(const std::exception& e) const;

    QString m_path;
    Section m_section;
    std::unique_ptr<SQLite::Database> m_db;
};
