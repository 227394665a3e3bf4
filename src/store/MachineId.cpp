#include "MachineId.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUuid>

namespace {

const QUuid FallbackNamespace(QStringLiteral("5f0e07a6-3b8c-4f0e-9d7e-2c41a8b6e913"));

QString fallback() {
    return QUuid::createUuidV5(FallbackNamespace, QSysInfo::machineUniqueId() + '/' + qgetenv("USER"))
        .toString(QUuid::WithoutBraces);
}

} // namespace

namespace MachineId {

QString inFolder(const QString& configFolder) {
    const QString path = QDir(configFolder).filePath(QStringLiteral("quillmere/machine-id"));
    QFile stored(path);
    if (stored.open(QIODevice::ReadOnly)) {
        const QUuid id(QString::fromLatin1(stored.read(64)).trimmed());
        if (!id.isNull())
            return id.toString(QUuid::WithoutBraces);
    }
    // Absent or unreadable: a new id, written whole or not at all.
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fallback();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(made.toLatin1() + '\n') < 0 || !file.commit())
        return fallback();
    // Another program may have made its own at the same moment: the one kept is read back.
    QFile kept(path);
    const QUuid id(kept.open(QIODevice::ReadOnly) ? QString::fromLatin1(kept.read(64)).trimmed() : QString());
    return id.isNull() ? made : id.toString(QUuid::WithoutBraces);
}

QString local() {
    return inFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

} // namespace MachineId
