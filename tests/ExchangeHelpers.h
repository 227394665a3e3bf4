#pragma once

#include "ProgramDirectory.h"
#include "exchange/TextFile.h"
#include "store/Section.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

// The folder of real export files written by other programs. A worktree of the
// project sits one level deeper than the main checkout.
inline QString importFixtures() {
    for (const char* candidate : {SHARED_DIR "/fixtures/import", SHARED_DIR "/../../shared/fixtures/import"}) {
        const QString path = QDir::cleanPath(QString::fromUtf8(candidate));
        if (QDir(path).exists())
            return path;
    }
    return {};
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline void emptyRecords(const ProgramDirectory& dir) {
    for (Section section : AllSections)
        dir.exec(QStringLiteral("password.mdb"),
                 QStringLiteral("DELETE FROM ") + Schema::quoted(tableOf(section).name));
}

// Every record of a section in natural order, each field as stored, a
// byte-order mark at its start included.
inline QList<QStringList> recordsOf(const QString& database, Section section) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READONLY);
    QStringList fields;
    for (const QString& field : tableOf(section).fields)
        fields << QStringLiteral("coalesce(%1, '')").arg(Schema::quoted(field));
    SQLite::Statement query(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY _key")
                                    .arg(fields.join(QLatin1Char(',')), Schema::quoted(tableOf(section).name))
                                    .toStdString());
    QList<QStringList> rows;
    while (query.executeStep()) {
        QStringList row;
        for (int i = 0; i < fields.size(); ++i)
            row << exactUtf8(query.getColumn(i).getText(), query.getColumn(i).getBytes());
        rows << row;
    }
    return rows;
}

// What an import must leave as it found it: the file's tables, indexes and
// triggers as stored, and the search indexes' own settings.
inline QString layoutOf(const QString& database) {
    SQLite::Database db(database.toStdString(), SQLite::OPEN_READONLY);
    QStringList lines;
    SQLite::Statement schema(db, "SELECT type, name, coalesce(sql, '') FROM sqlite_master ORDER BY type, name");
    QStringList settings;
    while (schema.executeStep()) {
        const QString name = QString::fromStdString(schema.getColumn(1).getString());
        lines << QString::fromStdString(schema.getColumn(0).getString()) + ' ' + name + ' ' +
                     QString::fromStdString(schema.getColumn(2).getString());
        if (name.endsWith(QLatin1String(" search_config")))
            settings << name;
    }
    for (const QString& table : settings) {
        SQLite::Statement config(
            db, QStringLiteral("SELECT k, v FROM %1 ORDER BY k").arg(Schema::quoted(table)).toStdString());
        while (config.executeStep())
            lines << table + ' ' + QString::fromStdString(config.getColumn(0).getString()) + '=' +
                         QString::fromStdString(config.getColumn(1).getString());
    }
    return lines.join(QLatin1Char('\n'));
}
