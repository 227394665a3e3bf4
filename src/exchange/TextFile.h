#pragma once

#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <optional>

// How the bytes of a text file stand for characters.
enum class Encoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

// "utf-8", "utf-16le", "windows-1252" (also "cp1252", "latin-1"): the names a
// user may give; nothing for a name the program does not know.
std::optional<Encoding> encodingFromName(const QString& name);
QString encodingName(Encoding encoding);
// "UTF-8", "Windows-1252": how a message names it.
QString encodingTitle(Encoding encoding);

// What the bytes of a file say about its encoding. A byte-order mark decides,
// and so does a file that is valid UTF-8 throughout. Any other file is only a
// guess, which the user must confirm: a UTF-8 file with a stray byte is best
// read as UTF-8 (that byte becoming U+FFFD), a file with no UTF-8 sequence at
// all as Windows-1252, the usual encoding of older programs on Windows.
struct DetectedEncoding {
    Encoding encoding = Encoding::Utf8;
    bool certain = true;
    // The first byte that is not UTF-8, when not certain: its line and its
    // place in the line, both from 1, as the CSV reader counts lines.
    qint64 line = 0;
    qint64 column = 0;
    unsigned char byte = 0;

    // Why the encoding is not certain, naming the line; for an ExchangeError.
    QString doubt() const;
    // The question that lets the user read the file as the guess.
    QString question() const;
};
DetectedEncoding detectEncoding(const QString& path); // throws ExchangeError

// Reads a regular text file a chunk at a time as characters, without the
// byte-order mark at its start, so a file of any size takes a bounded amount
// of memory.
class TextFile {
public:
    TextFile(const QString& path, Encoding encoding); // throws ExchangeError
    // The next chunk of characters; false at the end of the file.
    bool read(QString& chunk);

private:
    QFile m_file;
    QString m_path;
    Encoding m_encoding;
    QStringDecoder m_decoder;
};

// UTF-8 bytes as text, exactly. QString::fromUtf8 drops a byte-order mark at
// the start, which would take U+FEFF from a value that begins with it.
QString exactUtf8(const char* data, qsizetype size);

// Opens a regular file for reading, throwing ExchangeError for anything else.
void openForReading(QFile& file, const QString& path);
