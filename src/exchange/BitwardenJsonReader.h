#pragma once

#include "BitwardenItems.h"
#include "JsonStream.h"
#include "RecordReader.h"

#include <QList>

// Reads the JSON export of a Bitwarden vault one item at a time. The folders
// and collections are read first, wherever they stand in the file. An
// encrypted export is read once it is unlocked (ProtectedExport::unlock); as a
// file it is refused.
class BitwardenJsonReader : public RecordReader {
public:
    explicit BitwardenJsonReader(const QString& path); // throws ExchangeError
    // The plain export inside a password-protected one.
    explicit BitwardenJsonReader(const QByteArray& content); // throws ExchangeError
    bool next(Record& record) override;
    Encoding encoding() const override { return Encoding::Utf8; }
    QString formatName() const override { return m_formatName; }

private:
    void readDirectory();

    JsonStream m_stream;
    QString m_formatName = QStringLiteral("Bitwarden JSON");
    BitwardenItems::Directory m_directory;
    QList<Record> m_pending;
};
