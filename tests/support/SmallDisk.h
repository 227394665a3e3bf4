#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/mount.h>

// A small file system of its own (tmpfs), which can be filled up or made read-only.
class SmallDisk {
public:
    SmallDisk() {
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=2m") == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Copies the delivered files in, as a program directory.
    void install() {
        const QDir delivered(QStringLiteral(DELIVERED_DIR));
        for (const QString& name : delivered.entryList({"*.mdb", "*.rpt"}, QDir::Files))
            QFile::copy(delivered.filePath(name), file(name));
    }
    // Takes every free byte.
    void fill() {
        QFile filler(file("filler"));
        filler.open(QIODevice::Append);
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        const QByteArray byte(1, 'f');
        while (filler.write(byte) == 1 && filler.flush()) {
        }
    }
    // Fills the disk, then gives back about the given number of bytes.
    void leaveFree(qint64 bytes) {
        fill();
        QFile filler(file("filler"));
        filler.resize(qMax<qint64>(0, filler.size() - bytes));
    }
    void makeReadOnly() {
        ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=2m");
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
