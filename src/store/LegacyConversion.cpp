#include "LegacyConversion.h"

#include "Isolated.h"
#include "JetReader.h"
#include "NewDatabase.h"
#include "OwnerOnly.h"
#include "RecordDatabaseCheck.h"
#include "RecordIdentity.h"
#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Kind {
    const Schema::Table* table;
    const char* noun; // how the report counts its records
};

std::vector<Kind> kinds(bool recordDatabase) {
    if (!recordDatabase)
        return {{&Schema::pass(), "sign-in password"}};
    return {{&Schema::account(), "passwords"},
            {&Schema::creditCard(), "credit cards"},
            {&Schema::personal(), "personal records"},
            {&Schema::notes(), "notes"},
            {&Schema::reminder(), "reminders"}};
}

// A name beside the original that nothing has yet: NAME.jet.mdb, else NAME.jet-2.mdb, ...
QString keptName(const QString& path) {
    const QFileInfo info(path);
    const QString base = info.dir().filePath(info.completeBaseName());
    QString candidate = base + QStringLiteral(".jet.mdb");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = base + QStringLiteral(".jet-%1.mdb").arg(n);
    return candidate;
}

// Keeps the original under a second name without touching its bytes: a hard
// link where the file system allows one, a copy elsewhere.
bool keepOriginal(const QString& path, const QString& kept) {
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) == 0)
        return true;
    return QFile::copy(path, kept) && QFileInfo(kept).size() == QFileInfo(path).size() && syncFile(kept);
}

// Reads every table of the old file into a new database file; returns the report lines.
QStringList fill(const JetReader& jet, const QString& target, bool recordDatabase) {
    const QStringList present = jet.tables();
    for (const Kind& kind : kinds(recordDatabase)) {
        if (!present.contains(kind.table->name))
            throw StoreError(QStringLiteral("it has no table \"%1\"").arg(kind.table->name));
    }
    const std::unique_ptr<SQLite::Database> created = createFromSchema(target, recordDatabase);
    SQLite::Database& db = *created;
    SQLite::Transaction transaction(db);
    QStringList counts;
    QStringList leftOut;
    for (const Kind& kind : kinds(recordDatabase)) {
        const Schema::Table& table = *kind.table;
        const QStringList oldColumns = jet.columns(table.name);
        for (const QString& column : oldColumns) {
            if (!table.fields.contains(column))
                leftOut << QStringLiteral("\"%1\" of \"%2\"").arg(column, table.name);
        }
        QList<int> source;
        QStringList names, marks;
        for (const QString& field : table.fields) {
            source << int(oldColumns.indexOf(field)); // -1: the old file lacks it, it stays empty
            names << Schema::quoted(field);
            marks << QStringLiteral("?");
        }
        SQLite::Statement insert(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(Schema::quoted(table.name), names.join(", "), marks.join(", "))
                                         .toStdString());
        const qint64 read = jet.readRows(table.name, [&](const QStringList& values) {
            for (int i = 0; i < source.size(); ++i)
                insert.bind(i + 1, source[i] >= 0 ? values.value(source[i]).toStdString() : std::string());
            insert.exec();
            insert.reset();
        });
        const qint64 stored = jet.storedRowCount(table.name);
        if (read != stored)
            throw StoreError(QStringLiteral("only %1 of the %2 records of \"%3\" could be read")
                                 .arg(read)
                                 .arg(stored)
                                 .arg(table.name));
        const qint64 written =
            db.execAndGet(QStringLiteral("SELECT count(*) FROM %1").arg(Schema::quoted(table.name)).toStdString())
                .getInt64();
        if (written != read)
            throw StoreError(QStringLiteral("the new file holds %1 of the %2 records of \"%3\"")
                                 .arg(written)
                                 .arg(read)
                                 .arg(table.name));
        counts << QStringLiteral("%1 %2").arg(read).arg(QString::fromLatin1(kind.noun));
    }
    // Every computer that converts the same old file gives its records the same identities.
    if (recordDatabase)
        RecordIdentity::deriveIdentities(db.getHandle(), true);
    transaction.commit();
    const std::string verdict = db.execAndGet("PRAGMA integrity_check").getString();
    if (verdict != "ok")
        throw StoreError(QStringLiteral("the new file failed its check: %1").arg(QString::fromStdString(verdict)));
    QStringList report{QStringLiteral("Records brought over: %1.").arg(counts.join(", "))};
    if (!leftOut.isEmpty())
        report << QStringLiteral("Columns the program does not use were left out: %1.").arg(leftOut.join(", "));
    return report;
}

struct Reading {
    QString error; // empty when the whole file was read
    QStringList report;
    int version = 0;
    bool password = false;
};

// Reads the old file into target, an empty file made by the caller, in a child
// process: a damaged file that crashes or hangs libmdb becomes an error here,
// not the end of the program.
Reading readOldFile(const QString& path, const QString& target, bool recordDatabase, int readTimeoutSeconds) {
    Reading reading;
    const IsolatedResult read = runIsolated(
        [&](int out) {
            QByteArray said;
            int code = 0;
            try {
                JetReader jet(path);
                QStringList lines = fill(jet, target, recordDatabase);
                lines.prepend(QString::number(jet.jetVersion()) + (jet.hasDatabasePassword() ? " password" : ""));
                said = lines.join('\n').toUtf8();
            } catch (const StoreError& e) {
                said = e.message().toUtf8();
                code = 1;
            } catch (const std::exception& e) {
                said = e.what();
                code = 1;
            }
            for (qsizetype written = 0; written < said.size();) {
                const ssize_t n = ::write(out, said.constData() + written, size_t(said.size() - written));
                if (n <= 0)
                    break;
                written += n;
            }
            return code;
        },
        readTimeoutSeconds);
    if (read.ending == IsolatedResult::Crashed)
        reading.error = QStringLiteral("the file is damaged: reading it failed");
    else if (read.ending == IsolatedResult::TimedOut)
        reading.error = QStringLiteral("the file is damaged: reading it did not finish");
    else if (!read.succeeded())
        reading.error = read.output.isEmpty() ? QStringLiteral("it cannot be read") : QString::fromUtf8(read.output);
    if (!reading.error.isEmpty()) {
        // A reader that died inside its transaction leaves its journal too.
        QFile::remove(target + QStringLiteral("-journal"));
        return reading;
    }
    reading.report = QString::fromUtf8(read.output).split('\n');
    const QString header = reading.report.takeFirst();
    reading.version = header.section(' ', 0, 0).toInt();
    reading.password = header.contains(QStringLiteral("password"));
    return reading;
}

} // namespace

QString LegacyConversion::convertInto(const QString& path, const QString& target, bool recordDatabase,
                                      int readTimeoutSeconds) {
    if (!JetReader::isJetFile(path))
        return QStringLiteral("%1 is not an old database file").arg(path);
    return readOldFile(path, target, recordDatabase, readTimeoutSeconds).error;
}

LegacyConversion::Outcome LegacyConversion::convertIfNeeded(const QString& path, bool recordDatabase,
                                                            int readTimeoutSeconds) {
    Outcome outcome;
    if (!JetReader::isJetFile(path))
        return outcome;
    const QString temporary = path + QStringLiteral(".converting");
    const auto fail = [&](const QString& why) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
        outcome.error = QStringLiteral("The old database file %1 could not be converted: %2.\nThe file has not "
                                       "been changed.")
                            .arg(path, why);
        return outcome;
    };
    // A leftover of an interrupted conversion is this program's own and is made anew.
    QFile::remove(temporary);
    if (!createOwnerOnlyFile(temporary))
        return fail(QStringLiteral("the new file %1 cannot be made").arg(temporary));
    const Reading reading = readOldFile(path, temporary, recordDatabase, readTimeoutSeconds);
    if (!reading.error.isEmpty())
        return fail(reading.error);
    QStringList report = reading.report;
    const int version = reading.version;
    const bool password = reading.password;
    // What the child wrote is checked again here before it replaces anything.
    const QString problem = recordDatabase ? checkRecordDatabase(temporary) : checkPasswordStore(temporary);
    if (!problem.isEmpty())
        return fail(problem);
    QFile::setPermissions(temporary, QFile::ReadOwner | QFile::WriteOwner);
    if (!syncFile(temporary))
        return fail(QStringLiteral("the new file cannot be written to disk"));
    const QString kept = keptName(path);
    if (!keepOriginal(path, kept)) {
        QFile::remove(kept);
        return fail(QStringLiteral("the original cannot be kept as %1").arg(kept));
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(kept);
        return fail(QStringLiteral("the new file cannot take its place"));
    }
    syncDirectory(QFileInfo(path).absolutePath());

    outcome.converted = true;
    outcome.keptAs = kept;
    QStringList lines{QStringLiteral("The old database file %1 (Jet %2) has been converted to the program's own "
                                     "format.")
                          .arg(path)
                          .arg(version)};
    lines += report;
    if (password)
        lines << QStringLiteral("The file was protected with a database password; it was read without one, and "
                                "the converted file has none.");
    lines << QStringLiteral("The original file is kept unchanged as %1.").arg(kept);
    outcome.report = lines.join('\n');
    return outcome;
}
