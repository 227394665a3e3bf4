#include "TextFile.h"

#include "ExchangeError.h"
#include "Utf8Scan.h"
#include "store/RegularFile.h"

#include <cstring>

namespace {

constexpr qint64 ChunkBytes = 256 * 1024;

// The characters of Windows-1252's bytes 0x80 to 0x9F; the five it leaves
// undefined keep their Latin-1 meaning.
constexpr char16_t Windows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte < 0xA0) ? QChar(Windows1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

struct EncodingName {
    Encoding encoding;
    const char* title;
    const char* names[4];
};

const EncodingName Names[] = {
    {Encoding::Utf8, "UTF-8", {"utf-8", "utf8"}},
    {Encoding::Utf16LE, "UTF-16LE", {"utf-16le", "utf-16", "utf16"}},
    {Encoding::Utf16BE, "UTF-16BE", {"utf-16be"}},
    {Encoding::Windows1252, "Windows-1252", {"windows-1252", "cp1252", "latin-1", "iso-8859-1"}},
};

const EncodingName& namesOf(Encoding encoding) {
    for (const EncodingName& entry : Names) {
        if (entry.encoding == encoding)
            return entry;
    }
    return Names[0];
}

QStringConverter::Encoding qtEncoding(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case Encoding::Utf16BE:
        return QStringConverter::Utf16BE;
    default:
        return QStringConverter::Utf8;
    }
}

QString hexByte(unsigned char byte) {
    return QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

std::optional<Encoding> encodingFromName(const QString& name) {
    for (const EncodingName& entry : Names) {
        for (const char* known : entry.names) {
            if (known && name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
                return entry.encoding;
        }
    }
    return std::nullopt;
}

QString encodingName(Encoding encoding) {
    return QString::fromLatin1(namesOf(encoding).names[0]);
}

QString encodingTitle(Encoding encoding) {
    return QString::fromLatin1(namesOf(encoding).title);
}

QString DetectedEncoding::doubt() const {
    return QStringLiteral("byte %1 of the line (%2) is not UTF-8, so the file's encoding must be named.")
        .arg(column)
        .arg(hexByte(byte));
}

QString DetectedEncoding::question() const {
    const QString choice = QStringLiteral(
        "Choose No to import nothing; the File encoding box can name the file's encoding before you import it.");
    if (encoding == Encoding::Utf8)
        return QStringLiteral("The file is UTF-8 but for a stray byte: line %1 holds %2 (byte %3 of the line), which "
                              "is not UTF-8.\n\nImport it as UTF-8, each stray byte becoming the character \uFFFD? %4")
            .arg(line)
            .arg(hexByte(byte))
            .arg(column)
            .arg(choice);
    return QStringLiteral("The file is not UTF-8: line %1 holds %2 (byte %3 of the line).\n\nImport it as %4, the "
                          "usual encoding of older programs on Windows? %5")
        .arg(line)
        .arg(hexByte(byte))
        .arg(column)
        .arg(encodingTitle(encoding), choice);
}

QString exactUtf8(const char* data, qsizetype size) {
    QString marks;
    while (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        marks += QChar(0xFEFF);
        data += 3;
        size -= 3;
    }
    return marks.isEmpty() ? QString::fromUtf8(data, size) : marks + QString::fromUtf8(data, size);
}

void openForReading(QFile& file, const QString& path) {
    QString error;
    if (!openRegularFile(file, path, error))
        throw ExchangeError(error);
}

DetectedEncoding detectEncoding(const QString& path) {
    QFile file;
    openForReading(file, path);
    const QByteArray start = file.peek(3);
    // A UTF-8 file says so with its mark, but may still hold a stray byte.
    const bool markedUtf8 = start.startsWith("\xEF\xBB\xBF");
    if (markedUtf8)
        file.skip(3);
    else if (start.startsWith("\xFF\xFE"))
        return {Encoding::Utf16LE};
    else if (start.startsWith("\xFE\xFF"))
        return {Encoding::Utf16BE};
    Utf8Scan scan;
    QByteArray chunk;
    while (!scan.settled() && !(chunk = file.read(ChunkBytes)).isEmpty())
        scan.feed(chunk.constData(), chunk.size());
    if (file.error() != QFile::NoError)
        throw ExchangeError(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    scan.end();
    if (scan.valid())
        return {Encoding::Utf8};
    const Utf8Scan::Position& at = scan.firstBad();
    const bool likelyUtf8 = markedUtf8 || scan.sawMultiByte();
    return {likelyUtf8 ? Encoding::Utf8 : Encoding::Windows1252, false, at.line, at.column, at.byte};
}

TextFile::TextFile(const QString& path, Encoding encoding)
    : m_path(path), m_encoding(encoding), m_decoder(qtEncoding(encoding)) {
    // The decoder passes over the byte-order mark at the start, and only there.
    openForReading(m_file, path);
}

bool TextFile::read(QString& chunk) {
    const QByteArray bytes = m_file.read(ChunkBytes);
    if (bytes.isEmpty()) {
        if (m_file.error() != QFile::NoError)
            throw ExchangeError(QStringLiteral("%1 cannot be read: %2").arg(m_path, m_file.errorString()));
        return false;
    }
    if (m_encoding == Encoding::Windows1252)
        chunk = fromWindows1252(bytes);
    else
        chunk = m_decoder.decode(bytes);
    return true;
}
