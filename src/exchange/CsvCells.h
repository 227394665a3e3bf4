#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

// The values of other programs' CSV files as the program's records hold them.
namespace CsvCells {

// A card's end date ("2024-02", "02/24", "2/2024"): its month without a
// leading zero and its four-digit year; nothing for any other text.
std::optional<std::pair<QString, QString>> expiry(const QString& text);
// A count of seconds or milliseconds since 1970 as a date and time in UTC
// ("2020-05-16T08:30:14.635Z"); any other text as it is.
QString time(const QString& text, int unitsPerSecond);
// A member of a JSON object as text: a number or a truth value as JSON writes it.
QString text(const QJsonValue& value);
// A member of a JSON object as labelled lines: an array of named fields
// ({"fieldName": ..., "data": {"content": ...}}) and sections of them line by
// line, anything else under its name.
void appendLines(const QString& name, const QJsonValue& value, QList<std::pair<QString, QString>>& lines);

} // namespace CsvCells
