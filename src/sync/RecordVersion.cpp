#include "RecordVersion.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

namespace {

template <typename T> int sign(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

RecordVersion RecordVersion::recordFrom(SQLite::Statement& row, int first, int fieldCount) {
    RecordVersion version;
    if (row.getColumn(first).isNull())
        return version;
    version.exists = true;
    version.time = row.getColumn(first).getInt64();
    version.machine = QString::fromStdString(row.getColumn(first + 1).getString());
    version.fields.reserve(size_t(fieldCount));
    for (int i = 0; i < fieldCount; ++i) {
        const SQLite::Column value = row.getColumn(first + 2 + i);
        if (value.isNull())
            version.fields.emplace_back();
        else
            version.fields.emplace_back(QByteArray(static_cast<const char*>(value.getBlob()), value.getBytes()));
    }
    return version;
}

RecordVersion RecordVersion::deletionFrom(SQLite::Statement& row, int first) {
    RecordVersion version;
    if (row.getColumn(first).isNull())
        return version;
    version.exists = true;
    version.deleted = true;
    version.time = row.getColumn(first).getInt64();
    version.machine = QString::fromStdString(row.getColumn(first + 1).getString());
    return version;
}

QString RecordVersion::fieldsJson(const QStringList& names) const {
    QJsonObject object;
    for (qsizetype i = 0; i < names.size() && size_t(i) < fields.size(); ++i)
        object.insert(names[i], fields[size_t(i)] ? QJsonValue(QString::fromUtf8(*fields[size_t(i)])) : QJsonValue());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

int compareVersions(const RecordVersion& a, const RecordVersion& b) {
    if (a.exists != b.exists)
        return a.exists ? 1 : -1;
    if (!a.exists)
        return 0;
    if (const int byTime = sign(a.time, b.time))
        return byTime;
    if (a.deleted != b.deleted)
        return a.deleted ? -1 : 1;
    if (const int byMachine = sign(a.machine, b.machine))
        return byMachine;
    // A NULL field ranks below any text (std::optional's own order), texts by their bytes.
    return sign(a.fields, b.fields);
}
