#include "Migration.h"

#include "StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Transaction.h>

namespace {

constexpr int BusyTimeoutMs = 5000;

QString schemaText() {
    QFile file(QStringLiteral(":/schema/password.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("The program's own database layout is missing from the program."));
    return QString::fromUtf8(file.readAll());
}

// The schema cut at its "-- Version N:" lines: part 0 is the tables every file
// has, part N what version N added.
QStringList schemaParts() {
    static const QRegularExpression heading(QStringLiteral("^-- Version (\\d+):"), QRegularExpression::MultilineOption);
    const QString text = schemaText();
    QStringList parts;
    qsizetype start = 0;
    for (auto it = heading.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(1).toInt() != parts.size() + 1)
            throw StoreError(QStringLiteral("The program's own database layout has its versions out of order."));
        parts << text.mid(start, match.capturedStart() - start);
        start = match.capturedStart();
    }
    parts << text.mid(start);
    return parts;
}

void runPart(SQLite::Database& db, int version) {
    db.exec(schemaParts().at(version).toStdString());
}

// Version 1: the search index over every table's text but the secrets, filled
// from the records the file already holds.
void addSearchIndex(SQLite::Database& db) {
    runPart(db, 1);
}

// Steps[n] brings a file of version n to version n + 1.
using Step = void (*)(SQLite::Database&);
const Step Steps[] = {&addSearchIndex};

int storedVersion(SQLite::Database& db) {
    return db.execAndGet("PRAGMA user_version").getInt();
}

} // namespace

namespace Migration {

int newestVersion() {
    return int(std::size(Steps));
}

int versionOf(const QString& path) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, BusyTimeoutMs);
        return storedVersion(db);
    } catch (const std::exception& e) {
        throw StoreError(
            QStringLiteral("The database file %1 cannot be read: %2.").arg(path, QString::fromUtf8(e.what())));
    }
}

Outcome migrate(const QString& path) {
    Outcome outcome;
    if (!QFileInfo(path).isFile())
        return outcome;
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE, BusyTimeoutMs);
        db.exec("PRAGMA journal_mode=DELETE");
        db.exec("PRAGMA synchronous=FULL");
        outcome.fromVersion = storedVersion(db);
        if (outcome.fromVersion >= newestVersion())
            return outcome;
        if (outcome.fromVersion < 0)
            throw StoreError(QStringLiteral("it records an unknown version, %1").arg(outcome.fromVersion));
        // One transaction for every step: the file is either as it was or of the newest version.
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        for (int version = storedVersion(db); version < newestVersion(); ++version) {
            Steps[version](db);
            if (storedVersion(db) != version + 1)
                throw StoreError(QStringLiteral("the step to version %1 did not record its version").arg(version + 1));
        }
        transaction.commit();
        outcome.migrated = true;
    } catch (const std::exception& e) {
        outcome.error = QStringLiteral("The database file %1 could not be brought up to date: %2.\nIts records are "
                                       "unchanged; the next start tries again.")
                            .arg(path, QString::fromUtf8(e.what()));
    }
    return outcome;
}

QString schemaOfVersion(int version) {
    const QStringList parts = schemaParts();
    return parts.mid(0, qBound(0, version, int(parts.size()) - 1) + 1).join(QString());
}

} // namespace Migration
