#pragma once

// What the import fuzz targets share: the input written as a file, and the
// checks every reading of it must pass.
#include "exchange/ExchangeError.h"
#include "exchange/RecordReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

// Short enough that no message can quote much of a file.
constexpr qsizetype LongestMessage = 400;

// The input as a file of this name; empty when it cannot be written.
inline QString inputFile(const uint8_t* data, size_t size, const QString& name) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

// A refusal names what is wrong in a few words.
inline void checkRefusal(const ExchangeError& e) {
    if (e.message().size() > LongestMessage)
        std::abort();
}

// Reads every record the reader gives, or its refusal; never a record of the wrong shape or out of order.
inline void readEveryRecord(const std::function<std::unique_ptr<RecordReader>()>& open) {
    try {
        const std::unique_ptr<RecordReader> reader = open();
        Record record;
        qint64 line = 0;
        while (reader->next(record)) {
            if (record.values.size() != tableOf(record.section).fields.size() || record.line < line || record.line < 1)
                std::abort();
            line = record.line;
        }
    } catch (const ExchangeError& e) {
        checkRefusal(e);
    }
}
