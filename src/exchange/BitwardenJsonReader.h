#pragma once

#include "JsonStream.h"
#include "RecordReader.h"

#include <QHash>
#include <QList>

// Reads the unencrypted JSON export of a Bitwarden vault one item at a time.
// The folders are read first, wherever they stand in the file; an encrypted
// export is refused.
class BitwardenJsonReader : public RecordReader {
public:
    explicit BitwardenJsonReader(const QString& path); // throws ExchangeError
    bool next(Record& record) override;
    Encoding encoding() const override { return Encoding::Utf8; }
    QString formatName() const override { return QStringLiteral("Bitwarden JSON"); }

private:
    JsonStream m_stream;
    QHash<QString, QString> m_folders;
    QList<Record> m_pending;
};
