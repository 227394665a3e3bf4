#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

struct sqlite3;

// The identity of a record that existed before records carried one.
//
// A record made since gets a random identity from the file's own trigger. One
// that is older gets an identity derived from what it is: its table, its key and
// the text of its fields, hashed as a name-based UUID (version 5). So two
// computers that had the same file, and bring it up to date apart, give every
// record the same identity, and a merge of their copies later finds them to be
// one record; a record that differs in any field, or sits under another key, is
// another record. The delivered sample entries, converted old files and restored
// backups without identities are given theirs the same way.
namespace RecordIdentity {

// A field's stored text; nothing for NULL, which differs from an empty text.
using FieldText = std::optional<QByteArray>;

QString derived(const QString& table, qint64 key, const std::vector<FieldText>& fields);

// Gives the records of the five tables that have no identity (or every record,
// when everyRecord is set) the derived identity, time 0 and an empty computer.
// Needs a record database of version 2 or later; runs inside the caller's
// transaction, if any. Throws StoreError.
void deriveIdentities(sqlite3* db, bool everyRecord);

} // namespace RecordIdentity
