#pragma once

#include "store/RecordIdentity.h"

#include <QString>
#include <vector>

namespace SQLite {
class Statement;
}

// One version of a record as a merge sees it: the record with its fields, or
// its deletion, with the time and the computer of that change.
struct RecordVersion {
    bool exists = false;  // false: this side knows nothing of the record
    bool deleted = false; // a deletion: no fields
    qint64 time = 0;
    QString machine;
    std::vector<RecordIdentity::FieldText> fields;
    qint64 key = 0; // the local key of a local record

    // The record's fields, time and computer from columns first.. of a row:
    // time, computer, then the fields. Nothing when the time is NULL.
    static RecordVersion recordFrom(SQLite::Statement& row, int first, int fieldCount);
    static RecordVersion deletionFrom(SQLite::Statement& row, int first);

    bool sameText(const RecordVersion& other) const { return !deleted && !other.deleted && fields == other.fields; }
    // The fields as a JSON object of the table's field names, for "_history".
    QString fieldsJson(const QStringList& names) const;
};

// The order every computer ranks two versions of one record in: the later
// change; at the same moment a record before its deletion, so nothing is lost to
// a tie; then the greater computer id; then the greater text. An absent version
// ranks below all. Negative, zero or positive, as a < b, a == b, a > b.
int compareVersions(const RecordVersion& a, const RecordVersion& b);
