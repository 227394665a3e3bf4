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
// A byte-order mark decides; without one, a file that is valid UTF-8 throughout
// is UTF-8 and any other is taken as Windows-1252, the usual encoding of files
// written by older programs on Windows (it includes Latin-1's letters).
Encoding detectEncoding(const QString& path); // throws ExchangeError

// Reads a text file a chunk at a time as characters, without its byte-order
// mark, so a file of any size takes a bounded amount of memory.
class TextFile {
public:
    TextFile(const QString& path, Encoding encoding); // throws ExchangeError
    // The next chunk of characters; false at the end of the file.
    bool read(QString& chunk);

private:
    QFile m_file;
    Encoding m_encoding;
    QStringDecoder m_decoder;
    bool m_first = true;
};
