#include "TextFile.h"

#include "ExchangeError.h"

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
    const char* names[4];
};

const EncodingName Names[] = {
    {Encoding::Utf8, {"utf-8", "utf8"}},
    {Encoding::Utf16LE, {"utf-16le", "utf-16", "utf16"}},
    {Encoding::Utf16BE, {"utf-16be"}},
    {Encoding::Windows1252, {"windows-1252", "cp1252", "latin-1", "iso-8859-1"}},
};

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
    for (const EncodingName& entry : Names) {
        if (entry.encoding == encoding)
            return QString::fromLatin1(entry.names[0]);
    }
    return {};
}

Encoding detectEncoding(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    const QByteArray start = file.peek(3);
    if (start.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8;
    if (start.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    if (start.startsWith("\xFE\xFF"))
        return Encoding::Utf16BE;
    QStringDecoder decoder(QStringConverter::Utf8);
    QByteArray chunk;
    while (!(chunk = file.read(ChunkBytes)).isEmpty()) {
        const QString text = decoder.decode(chunk);
        if (decoder.hasError())
            return Encoding::Windows1252;
    }
    // A multi-byte sequence cut off by the end of the file is not UTF-8 either.
    const QString rest = decoder.decode(QByteArray());
    return decoder.hasError() ? Encoding::Windows1252 : Encoding::Utf8;
}

TextFile::TextFile(const QString& path, Encoding encoding)
    : m_file(path), m_encoding(encoding), m_decoder(qtEncoding(encoding)) {
    if (!m_file.open(QIODevice::ReadOnly))
        throw ExchangeError(QStringLiteral("%1 cannot be read: %2").arg(path, m_file.errorString()));
}

bool TextFile::read(QString& chunk) {
    const QByteArray bytes = m_file.read(ChunkBytes);
    if (bytes.isEmpty()) {
        if (m_file.error() != QFile::NoError)
            throw ExchangeError(QStringLiteral("%1 cannot be read: %2").arg(m_file.fileName(), m_file.errorString()));
        return false;
    }
    if (m_encoding == Encoding::Windows1252) {
        chunk = fromWindows1252(bytes);
    } else {
        chunk = m_decoder.decode(bytes);
    }
    if (m_first) {
        m_first = false;
        if (chunk.startsWith(QChar(0xFEFF)))
            chunk.remove(0, 1);
    }
    return true;
}
