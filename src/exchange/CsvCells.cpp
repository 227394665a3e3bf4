#include "CsvCells.h"

#include "BitwardenItems.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace CsvCells {

std::optional<std::pair<QString, QString>> expiry(const QString& text) {
    static const QRegularExpression yearFirst(QStringLiteral("^(\\d{4})-(\\d{1,2})$"));
    static const QRegularExpression monthFirst(QStringLiteral("^(\\d{1,2})/(\\d{2}|\\d{4})$"));
    const QString trimmed = text.trimmed();
    QString month;
    QString year;
    if (const QRegularExpressionMatch m = yearFirst.match(trimmed); m.hasMatch()) {
        year = m.captured(1);
        month = m.captured(2);
    } else if (const QRegularExpressionMatch m = monthFirst.match(trimmed); m.hasMatch()) {
        month = m.captured(1);
        year = BitwardenItems::fourDigitYear(m.captured(2));
    } else {
        return std::nullopt;
    }
    const int number = month.toInt();
    if (number < 1 || number > 12)
        return std::nullopt;
    return std::make_pair(QString::number(number), year);
}

QString time(const QString& text, int unitsPerSecond) {
    bool number = false;
    const qint64 count = text.toLongLong(&number);
    if (!number || count < 0)
        return text;
    const qint64 msecs = unitsPerSecond == 1000 ? count : count * 1000;
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    return when.toString(msecs % 1000 == 0 ? Qt::ISODate : Qt::ISODateWithMs);
}

QString text(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default:
        return {};
    }
}

void appendLines(const QString& name, const QJsonValue& value, QList<std::pair<QString, QString>>& lines) {
    if (!value.isArray()) {
        lines.append({name, text(value)});
        return;
    }
    for (const QJsonValue& entry : value.toArray()) {
        const QJsonObject object = entry.toObject();
        if (object.contains(QLatin1String("fieldName"))) {
            lines.append({object.value(QLatin1String("fieldName")).toString(),
                          text(object.value(QLatin1String("data")).toObject().value(QLatin1String("content")))});
        } else if (object.contains(QLatin1String("sectionFields"))) {
            appendLines(object.value(QLatin1String("sectionName")).toString(),
                        object.value(QLatin1String("sectionFields")), lines);
        } else {
            lines.append({name, text(entry)});
        }
    }
}

} // namespace CsvCells
