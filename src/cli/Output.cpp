#include "Output.h"

#include <QJsonDocument>
#include <cstdio>

int fail(const QString& message, Status status, const QJsonObject& details) {
    throw CommandFailure{message, status, details};
}

void print(const QString& text) {
    printBytes(text.toUtf8());
}

void printBytes(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QString jsonOf(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

void reportFailure(const CommandFailure& failure, bool json) {
    QByteArray line;
    if (json) {
        QJsonObject object = failure.details;
        object.insert(QStringLiteral("error"), failure.message);
        object.insert(QStringLiteral("code"), int(failure.status));
        line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    } else {
        QString message = failure.message;
        message.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line = "quillmere-cli: " + message.toUtf8();
    }
    line += '\n';
    std::fflush(stdout);
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
