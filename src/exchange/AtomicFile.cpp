#include "AtomicFile.h"

#include "ExchangeError.h"
#include "store/OwnerOnly.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BufferBytes = 1 << 20;

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A name beside the target that nothing else uses.
QString besideName(const QFileInfo& target, const char* suffix) {
    return target.absoluteDir().filePath(QStringLiteral(".%1.%2.%3")
                                             .arg(target.fileName())
                                             .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'))
                                             .arg(QLatin1String(suffix)));
}

bool exists(const QString& path) {
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0;
}

// A target's old file, kept under another name while the new ones go in place.
struct Replacement {
    QString target;
    QString temporary;
    QString kept; // empty: there was no old file
    bool placed = false;
};

// Puts each old file back, and takes away each new one that had none.
void undo(std::vector<Replacement>& replacements) {
    for (Replacement& r : replacements) {
        if (!r.kept.isEmpty()) {
            // A kept hard link of the file still in place makes this rename a no-op.
            std::rename(encoded(r.kept).constData(), encoded(r.target).constData());
            ::unlink(encoded(r.kept).constData());
        } else if (r.placed) {
            ::unlink(encoded(r.target).constData());
        }
    }
}

} // namespace

AtomicFile::AtomicFile(QString target) : m_target(std::move(target)) {
    const QFileInfo info(m_target);
    if (info.isDir())
        throw ExchangeError(QStringLiteral("%1 is a folder, not a file.").arg(m_target));
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        throw ExchangeError(QStringLiteral("The folder %1 does not exist.").arg(folder.path()));
    for (int attempt = 0; attempt < 100 && m_file == nullptr; ++attempt) {
        const QString candidate = besideName(info, "tmp");
        if (!createOwnerOnlyFile(candidate))
            continue;
        m_temporary = candidate;
        m_file = std::fopen(encoded(candidate).constData(), "wb");
    }
    if (!m_file)
        throw ExchangeError(QStringLiteral("%1 cannot be written: %2").arg(m_target, systemReason()));
    std::setvbuf(m_file, nullptr, _IOFBF, BufferBytes);
}

AtomicFile::~AtomicFile() {
    if (m_file)
        std::fclose(m_file);
    if (!m_placed && !m_temporary.isEmpty())
        QFile::remove(m_temporary);
}

void AtomicFile::fail(const QString& what) {
    const QString reason = systemReason();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    throw ExchangeError(QStringLiteral("%1 %2: %3").arg(m_target, what, reason));
}

void AtomicFile::write(const char* data, size_t size) {
    if (std::fwrite(data, 1, size, m_file) != size)
        fail(QStringLiteral("cannot be written"));
}

void AtomicFile::finish() {
    if (std::fflush(m_file) != 0 || ::fsync(fileno(m_file)) != 0)
        fail(QStringLiteral("cannot be written to disk"));
    std::FILE* file = m_file;
    m_file = nullptr;
    if (std::fclose(file) != 0)
        throw ExchangeError(QStringLiteral("%1 cannot be written: %2").arg(m_target, systemReason()));
}

void AtomicFile::commit() {
    commitAll({this});
}

void AtomicFile::commitAll(const std::vector<AtomicFile*>& files) {
    for (AtomicFile* file : files)
        file->finish();
    std::vector<Replacement> replacements;
    for (AtomicFile* file : files) {
        replacements.push_back({file->m_target, file->m_temporary, {}, false});
        Replacement& r = replacements.back();
        if (files.size() > 1 && exists(r.target)) {
            // Kept as a second name of the same file, so the target never goes
            // missing; a file system without hard links has it moved aside.
            const QString kept = besideName(QFileInfo(r.target), "old");
            if (::link(encoded(r.target).constData(), encoded(kept).constData()) == 0 ||
                std::rename(encoded(r.target).constData(), encoded(kept).constData()) == 0)
                r.kept = kept;
        }
        const bool keptIfNeeded = files.size() == 1 || !r.kept.isEmpty() || !exists(r.target);
        if (!keptIfNeeded || std::rename(encoded(r.temporary).constData(), encoded(r.target).constData()) != 0) {
            const QString reason = systemReason();
            undo(replacements);
            throw ExchangeError(QStringLiteral("%1 cannot be replaced: %2").arg(r.target, reason));
        }
        r.placed = true;
        file->m_placed = true;
    }
    for (const Replacement& r : replacements) {
        if (!r.kept.isEmpty())
            ::unlink(encoded(r.kept).constData());
    }
    QSet<QString> folders;
    for (const Replacement& r : replacements)
        folders.insert(QFileInfo(r.target).absolutePath());
    for (const QString& folder : folders)
        syncDirectory(folder);
}

void refuseDatabaseTarget(const QString& target, const QString& databasePath) {
    QStringList ownNames;
    for (const QString& file : {Schema::RecordDatabaseFile, Schema::PasswordStoreFile}) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            ownNames << file + QLatin1String(suffix);
    }
    const QFileInfo targetInfo(target);
    // The path the new file would take, its folder's links followed, and, for
    // a link that exists, the file it leads to.
    QStringList paths{targetInfo.absoluteFilePath(),
                      QDir(targetInfo.absolutePath()).canonicalPath() + QLatin1Char('/') + targetInfo.fileName()};
    if (targetInfo.exists())
        paths << targetInfo.canonicalFilePath();
    const QDir programFolder = QFileInfo(databasePath).absoluteDir();
    for (const QString& name : ownNames) {
        const QString own = programFolder.filePath(name);
        const QString ownCanonical = QDir(programFolder.canonicalPath()).filePath(name);
        for (const QString& path : paths) {
            const bool named = QFileInfo(path).fileName().compare(name, Qt::CaseInsensitive) == 0;
            if (named || path == own || path == ownCanonical)
                throw ExchangeError(QStringLiteral("%1 is the name of one of the program's own files (%2): an export "
                                                   "is never written under it.")
                                        .arg(target, name));
        }
    }
}
