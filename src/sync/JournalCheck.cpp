#include "JournalCheck.h"

#include "store/NewDatabase.h"
#include "store/OwnerOnly.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <SQLiteCpp/Database.h>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

const QByteArray JournalMagic = QByteArray::fromHex("d9d505f920a163d7");
constexpr qint64 HeaderSize = 28;
// SQLite's lock bytes: a writer holds the reserved byte until its journal is gone.
constexpr off_t PendingByte = 0x40000000;

quint32 bigEndian(const QByteArray& bytes, qsizetype offset) {
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData() + offset);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

QString journalOf(const QString& databasePath) {
    return databasePath + QStringLiteral("-journal");
}

// Holds every lock SQLite's programs take on the file (pending, reserved and
// shared bytes), as a rollback would: while it is held no program reads, begins
// a transaction or writes a journal. Not held when another program is reading or
// writing right now; its journal is then its own business.
class WholeFileLock {
public:
    explicit WholeFileLock(const QString& databasePath)
        : m_fd(::open(QFile::encodeName(databasePath).constData(), O_RDWR | O_CLOEXEC)) {
        if (m_fd < 0)
            return;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = PendingByte;
        lock.l_len = 2 + SharedBytes;
        m_held = ::fcntl(m_fd, F_SETLK, &lock) == 0;
    }
    ~WholeFileLock() { release(); }
    bool held() const { return m_held; }
    // Before SQLite opens the file in this process: a lock of this process would
    // otherwise be dropped under it when this descriptor closes.
    void release() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_held = false;
    }

private:
    static constexpr off_t SharedBytes = 510;
    int m_fd;
    bool m_held = false;
};

struct Journal {
    quint32 pageSize = 0;
    quint32 originalPages = 0;
    std::optional<QByteArray> firstPage; // page 1 as it was before the transaction
    bool hot = false;
};

// Reads the journal's segments (a header padded to a sector, then its page records) for page 1.
Journal readJournal(const QString& path) {
    Journal journal;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return journal;
    const QByteArray bytes = file.readAll();
    qint64 offset = 0;
    while (offset + HeaderSize <= bytes.size() && bytes.mid(offset, 8) == JournalMagic) {
        const quint32 records = bigEndian(bytes, offset + 8);
        const quint32 sector = bigEndian(bytes, offset + 20);
        const quint32 pageSize = bigEndian(bytes, offset + 24);
        if (offset == 0) {
            journal.hot = true;
            journal.pageSize = pageSize;
            journal.originalPages = bigEndian(bytes, 16);
        }
        if (sector < 32 || pageSize < 512 || pageSize > 65536 || pageSize != journal.pageSize)
            break;
        const qint64 recordSize = 8 + qint64(pageSize);
        qint64 record = offset + sector;
        // All records to the end of the file when the count was never filled in.
        const qint64 count = records == 0xFFFFFFFFu ? (bytes.size() - record) / recordSize : qint64(records);
        for (qint64 n = 0; n < count && record + recordSize <= bytes.size(); ++n, record += recordSize)
            if (bigEndian(bytes, record) == 1 && !journal.firstPage)
                journal.firstPage = bytes.mid(record + 4, pageSize);
        // The next segment starts at the next sector boundary.
        offset = (record + sector - 1) / sector * sector;
        if (records == 0xFFFFFFFFu || records == 0)
            break;
    }
    return journal;
}

QByteArray pageOne(const QString& databasePath, quint32 pageSize) {
    QFile file(databasePath);
    return file.open(QIODevice::ReadOnly) ? file.read(pageSize) : QByteArray();
}

// The parts of a file's header no transaction of the program changes: the
// format string, page size and format bytes, the settings after the counters,
// and the version of SQLite that made the file (the counters, page count, free
// pages, schema cookie and user version may all change).
bool sameFixedHeader(const QByteArray& a, const QByteArray& b) {
    const std::pair<int, int> ranges[] = {{0, 24}, {44, 60}, {64, 92}, {96, 100}};
    for (const auto& [from, to] : ranges)
        if (a.mid(from, to - from) != b.mid(from, to - from))
            return false;
    return true;
}

// laterWrites: the file was written after the journal was (by modification times).
bool firstPageMatches(const Journal& journal, const QByteArray& current, bool laterWrites) {
    if (current.size() < 100)
        return false;
    const quint32 counter = bigEndian(current, 24);
    if (!journal.firstPage) {
        // Page 1 was never saved, so never written: it is the file's page 1 before
        // the transaction, whose page count the journal's header repeats.
        const bool countValid = bigEndian(current, 92) == counter;
        return !countValid || bigEndian(current, 28) == journal.originalPages;
    }
    const QByteArray& before = *journal.firstPage;
    const quint32 counterBefore = bigEndian(before, 24);
    if (counter == counterBefore)
        return current == before;
    // Page 1 is written when the transaction commits, after the journal's last
    // write: the file's own journal is never newer than the file. (A sync tool
    // gives a journal it brings the time it had on the other computer.)
    return counter == counterBefore + 1 && sameFixedHeader(current, before) && laterWrites;
}

// Rolls the journal back on a private copy of the file: the file's own journal
// leaves a sound file behind.
bool rollsBackSoundly(const QString& databasePath) {
    QTemporaryFile trial(QFileInfo(databasePath).dir().filePath(QStringLiteral(".password.mdb.XXXXXX")));
    if (!trial.open())
        return false;
    const QString trialJournal = journalOf(trial.fileName());
    const auto tidy = qScopeGuard([&] { QFile::remove(trialJournal); });
    QFile database(databasePath);
    QFile journal(journalOf(databasePath));
    if (!database.open(QIODevice::ReadOnly) || !journal.open(QIODevice::ReadOnly) ||
        trial.write(database.readAll()) < 0 || !trial.flush())
        return false;
    QFile copy(trialJournal);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(journal.readAll()) < 0)
        return false;
    copy.close();
    try {
        SQLite::Database db(trial.fileName().toStdString(), SQLite::OPEN_READWRITE);
        return db.execAndGet("PRAGMA integrity_check").getString() == "ok";
    } catch (const std::exception&) {
        return false;
    }
}

QString setAside(const QString& databasePath) {
    const QDir data = QFileInfo(databasePath).dir();
    const QString folder = data.filePath(QStringLiteral("conflicts/journals"));
    if (!QDir().mkpath(folder))
        return {};
    QFile::setPermissions(data.filePath(QStringLiteral("conflicts")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString target =
        QDir(folder).filePath(QFileInfo(journalOf(databasePath)).fileName() + QLatin1Char('-') +
                              QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmsszzz")));
    if (!QFile::rename(journalOf(databasePath), target))
        return {};
    syncDirectory(data.absolutePath());
    return target;
}

JournalCheck::Verdict judgeLocked(const QString& databasePath, const WholeFileLock& lock) {
    using JournalCheck::Verdict;
    const QFileInfo journalFile(journalOf(databasePath));
    if (!lock.held() || !journalFile.isFile() || journalFile.size() == 0)
        return Verdict::None;
    const Journal journal = readJournal(journalFile.filePath());
    // A header without its mark was never synced: no page of the file was written yet.
    if (!journal.hot)
        return Verdict::NotHot;
    const bool laterWrites = journalFile.lastModified() <= QFileInfo(databasePath).lastModified();
    if (!firstPageMatches(journal, pageOne(databasePath, journal.pageSize), laterWrites))
        return Verdict::Foreign;
    return rollsBackSoundly(databasePath) ? Verdict::Own : Verdict::Foreign;
}

} // namespace

namespace JournalCheck {

Verdict judge(const QString& databasePath) {
    WholeFileLock lock(databasePath);
    return judgeLocked(databasePath, lock);
}

Outcome settle(const QString& databasePath) {
    Outcome outcome;
    WholeFileLock lock(databasePath);
    outcome.verdict = judgeLocked(databasePath, lock);
    if (outcome.verdict == Verdict::Own) {
        // As SQLite does at the first read; done now, so that readers that may not
        // write (the command line's listing) find the file whole.
        lock.release();
        try {
            SQLite::Database db(databasePath.toStdString(), SQLite::OPEN_READWRITE, 5000);
            db.execAndGet("SELECT count(*) FROM sqlite_master");
        } catch (const std::exception&) {
            // The next open tries again and says what is wrong.
        }
    } else if (outcome.verdict == Verdict::Foreign) {
        outcome.setAsideAs = setAside(databasePath);
        const QString name = QFileInfo(journalOf(databasePath)).fileName();
        outcome.notice =
            outcome.setAsideAs.isEmpty()
                ? QStringLiteral("The journal %1 beside the database belongs to another copy of it (a sync tool "
                                 "brought it) and could not be moved away; the database was not opened.")
                      .arg(name)
                : QStringLiteral("The journal %1 beside the database belongs to another copy of it, brought by a "
                                 "sync tool. It was not applied: the database is kept as it is, and the journal "
                                 "was moved to %2.")
                      .arg(name, QDir::toNativeSeparators(outcome.setAsideAs));
    }
    return outcome;
}

} // namespace JournalCheck
