#include "AtomicFile.h"

#include "ExchangeError.h"
#include "store/OwnerOnly.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
constexpr size_t BufferBytes = 1 << 20;
}

AtomicFile::AtomicFile(QString target) : m_target(std::move(target)) {
    const QFileInfo info(m_target);
    if (info.isDir())
        throw ExchangeError(QStringLiteral("%1 is a folder, not a file.").arg(m_target));
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        throw ExchangeError(QStringLiteral("The folder %1 does not exist.").arg(folder.path()));
    for (int attempt = 0; attempt < 100 && m_file == nullptr; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.tmp")
                                 .arg(info.fileName())
                                 .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
        const QString candidate = folder.filePath(name);
        if (!createOwnerOnlyFile(candidate))
            continue;
        m_temporary = candidate;
        m_file = std::fopen(QFile::encodeName(candidate).constData(), "wb");
    }
    if (!m_file)
        throw ExchangeError(
            QStringLiteral("%1 cannot be written: %2").arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
    std::setvbuf(m_file, nullptr, _IOFBF, BufferBytes);
}

AtomicFile::~AtomicFile() {
    if (m_file) {
        std::fclose(m_file);
        QFile::remove(m_temporary);
    }
}

void AtomicFile::fail(const QString& what) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    std::fclose(m_file);
    m_file = nullptr;
    QFile::remove(m_temporary);
    throw ExchangeError(QStringLiteral("%1 %2: %3").arg(m_target, what, reason));
}

void AtomicFile::write(const char* data, size_t size) {
    if (std::fwrite(data, 1, size, m_file) != size)
        fail(QStringLiteral("cannot be written"));
}

void AtomicFile::commit() {
    if (std::fflush(m_file) != 0 || ::fsync(fileno(m_file)) != 0)
        fail(QStringLiteral("cannot be written to disk"));
    if (std::fclose(m_file) != 0) {
        m_file = nullptr;
        QFile::remove(m_temporary);
        throw ExchangeError(QStringLiteral("%1 cannot be written.").arg(m_target));
    }
    m_file = nullptr;
    if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(m_temporary);
        throw ExchangeError(QStringLiteral("%1 cannot be replaced: %2").arg(m_target, reason));
    }
    syncDirectory(QFileInfo(m_target).absolutePath());
}

void refuseDatabaseTarget(const QString& target, const QString& databasePath) {
    const QFileInfo targetInfo(target);
    const QDir programFolder = QFileInfo(databasePath).absoluteDir();
    for (const QString& name : {Schema::RecordDatabaseFile, Schema::PasswordStoreFile}) {
        const QFileInfo own(programFolder.filePath(name));
        const bool same =
            targetInfo.absoluteFilePath() == own.absoluteFilePath() ||
            (targetInfo.exists() && own.exists() && targetInfo.canonicalFilePath() == own.canonicalFilePath());
        if (same)
            throw ExchangeError(
                QStringLiteral("%1 is the program's own database: an export never replaces it.").arg(target));
    }
}
