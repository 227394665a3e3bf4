#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>

// A new file written under a temporary name beside its target, readable and
// writable by its owner only, then synced to disk and renamed over the target,
// so the target is either the old file or the whole new one. Dropped without
// commit(), the temporary file is removed.
class AtomicFile {
public:
    explicit AtomicFile(QString target); // throws ExchangeError
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(const char* data, size_t size);
    void write(const QByteArray& bytes) { write(bytes.constData(), size_t(bytes.size())); }
    void commit(); // throws ExchangeError

private:
    void fail(const QString& what);

    QString m_target;
    QString m_temporary;
    std::FILE* m_file = nullptr;
};

// Refuses a target that is one of the program's own database files.
void refuseDatabaseTarget(const QString& target, const QString& databasePath); // throws ExchangeError
