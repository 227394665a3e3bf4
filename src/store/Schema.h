#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The tables and fields of the two delivered database files, spelled as stored.
namespace Schema {

struct Table {
    QString name;
    QStringList fields;
};

inline const QString RecordDatabaseFile = QStringLiteral("password.mdb");
inline const QString PasswordStoreFile = QStringLiteral("pass2.mdb");
// The hidden key column: each record's bookmark and its place in the natural order.
inline const QString KeyColumn = QStringLiteral("_key");

const Table& account();
const Table& creditCard();
const Table& personal();
const Table& notes();
const Table& reminder();
const Table& pass();
// The five tables of the record database, in the order the main window opens them.
const std::vector<const Table*>& recordTables();

QString quoted(const QString& identifier);

} // namespace Schema
