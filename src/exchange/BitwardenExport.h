#pragma once

#include "BitwardenItemBuilder.h"
#include "ExportRows.h"

#include <QHash>
#include <QSet>

// Writes every record of the record database as a Bitwarden JSON export: all
// five sections, reminders as notes with their date. A record whose remarks
// hold labelled lines from an import (and a card or person with the note of
// its extras) goes out as the item it came from; the others in their plain
// form, written straight from SQLite's buffers.
class BitwardenExport {
public:
    explicit BitwardenExport(SQLite::Database& db) : m_db(db) {}
    SectionCounts write(ExportRows::Out& out); // throws SQLite::Exception, ExchangeError

private:
    // A note that may carry a card's or a person's extras.
    struct Companion {
        qint64 key;
        QString title;
        QString text;
        bool taken = false;
    };
    static QString nameOf(Section section, const QStringList& values);
    void findCompanions();
    void writeItems(Section section, ExportRows::Out& out, qint64& count);
    bool writeRich(Section section, const ExportRows::Rows& rows, qint64 number, ExportRows::Out& out);

    SQLite::Database& m_db;
    BitwardenItemBuilder m_builder;
    QHash<QString, QList<Companion>> m_candidates; // by the name of the card or person
    QSet<qint64> m_companionNotes;                 // written with their card or person
    bool m_firstItem = true;
};
