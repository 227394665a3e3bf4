#pragma once

// A program killed while it writes: this test executable started again as a
// worker ("--crash-worker FILE") that writes until it is killed, and the loop
// that kills it at random moments until it leaves a journal SQLite would roll
// back. Each test's main() runs the worker it names when given its option.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QThread>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdio>

// Transaction after transaction, each setting every note to one new text over
// many pages, with a small page cache so that pages reach the file before the
// commit too. Never returns.
inline int crashWorker(const QString& path) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=20");
    std::fputs("writing\n", stdout);
    std::fflush(stdout);
    for (qint64 n = 0;; ++n) {
        SQLite::Statement update(db, "UPDATE Notes SET Note = ? || substr(Note, length(?) + 1)");
        const std::string token = QStringLiteral("%1-").arg(n, 10, 10, QLatin1Char('0')).toStdString();
        update.bind(1, token);
        update.bind(2, token);
        update.exec();
    }
}

// Kills a worker on the file at random moments until it leaves a journal SQLite
// would roll back. With a pristine file given, each try starts from a copy of it
// and runs the worker given by pristineOption instead.
inline bool crashLeavingJournal(const QString& path, const QString& pristine = {},
                                const QString& pristineOption = QStringLiteral("--crash-once")) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (!pristine.isEmpty()) {
            QFile::remove(path);
            QFile::remove(path + "-journal");
            QFile::copy(pristine, path);
        }
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {pristine.isEmpty() ? QStringLiteral("--crash-worker") : pristineOption, path});
        // The kill falls while it writes, not while it starts.
        if (!child.waitForReadyRead(10000))
            return false;
        QThread::msleep(QRandomGenerator::global()->bounded(5, 300));
        child.kill();
        child.waitForFinished();
        QFile journal(path + "-journal");
        if (journal.open(QIODevice::ReadOnly) && journal.read(8) == QByteArray::fromHex("d9d505f920a163d7"))
            return true;
    }
    return false;
}
