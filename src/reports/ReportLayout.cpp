#include "ReportLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString requiredText(const QJsonObject& object, const QString& key, const QString& path) {
    const QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().isEmpty())
        throw ReportError(QStringLiteral("The report layout %1 has no \"%2\".").arg(path, key));
    return value.toString();
}

} // namespace

ReportLayout ReportLayout::load(const QString& path, const QString& dataDirectory) {
    QFile file(path);
    if (!file.exists())
        throw ReportError(QStringLiteral("The report layout %1 is missing.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("The report layout %1 cannot be read: %2").arg(path, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(1 << 20), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw ReportError(QStringLiteral("The report layout %1 is not valid: %2 at character %3.")
                              .arg(path, parseError.errorString())
                              .arg(parseError.offset));
    if (!document.isObject())
        throw ReportError(QStringLiteral("The report layout %1 is not valid: it holds no settings.").arg(path));
    const QJsonObject root = document.object();

    ReportLayout layout;
    layout.path = path;
    layout.title = requiredText(root, QStringLiteral("title"), path);
    layout.table = requiredText(root, QStringLiteral("table"), path);
    const QString database = requiredText(root, QStringLiteral("database"), path);
    const QString databaseFolder = dataDirectory.isEmpty() ? QFileInfo(path).absolutePath() : dataDirectory;
    layout.databasePath = QDir(databaseFolder).filePath(database);
    const QString orientation = root.value(QStringLiteral("orientation")).toString(QStringLiteral("portrait"));
    if (orientation != QStringLiteral("portrait") && orientation != QStringLiteral("landscape"))
        throw ReportError(
            QStringLiteral("The report layout %1 names an unknown orientation \"%2\".").arg(path, orientation));
    layout.landscape = orientation == QStringLiteral("landscape");
    layout.fontSize = root.value(QStringLiteral("fontSize")).toDouble(9);
    if (!(layout.fontSize >= 4 && layout.fontSize <= 72))
        throw ReportError(
            QStringLiteral("The report layout %1 asks for a font size outside 4 to 72 points.").arg(path));

    const QJsonArray columns = root.value(QStringLiteral("columns")).toArray();
    if (columns.isEmpty())
        throw ReportError(QStringLiteral("The report layout %1 has no columns.").arg(path));
    for (const QJsonValue& value : columns) {
        const QJsonObject column = value.toObject();
        Column c;
        c.field = requiredText(column, QStringLiteral("field"), path);
        c.heading = column.value(QStringLiteral("heading")).toString(c.field);
        c.width = column.value(QStringLiteral("width")).toDouble(1);
        c.sample = column.value(QStringLiteral("sample")).toString();
        if (!(c.width > 0))
            throw ReportError(
                QStringLiteral("The report layout %1 gives the column \"%2\" no width.").arg(path, c.field));
        layout.columns.append(c);
    }
    return layout;
}
