#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <vector>

// A new file written under a temporary name beside its target, readable and
// writable by its owner only, then synced to disk and renamed over the target,
// so the target is either the old file or the whole new one. Dropped before it
// is in place, the temporary file is removed.
class AtomicFile {
public:
    explicit AtomicFile(QString target); // throws ExchangeError
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(const char* data, size_t size);
    void write(const QByteArray& bytes) { write(bytes.constData(), size_t(bytes.size())); }
    void commit(); // throws ExchangeError

    // Commits several files as one: each is written to the disk first, and only
    // then are they put in place. When one fails, every target is left as it
    // was, and the error names the file that failed.
    static void commitAll(const std::vector<AtomicFile*>& files); // throws ExchangeError

private:
    // Closes the temporary file once all of it is on the disk.
    void finish();
    void fail(const QString& what);

    QString m_target;
    QString m_temporary;
    std::FILE* m_file = nullptr;
    bool m_placed = false;
};

// Refuses a target that is, or would be taken for, one of the program's own
// files: the database, the password store, or a journal or WAL file of
// either, whatever folder it is in, and whatever name leads to them.
void refuseDatabaseTarget(const QString& target, const QString& databasePath); // throws ExchangeError
