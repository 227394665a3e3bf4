#include "JsonStream.h"

#include "ExchangeError.h"
#include "ExchangeLimits.h"
#include "TextFile.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <array>
#include <cstring>

namespace {
constexpr qint64 ChunkBytes = 256 * 1024;

// The bytes a walk over strings, objects and arrays must look at one by one:
// the rest is copied or passed over in runs.
constexpr std::array<bool, 256> IsSpecial = [] {
    std::array<bool, 256> special{};
    for (const unsigned char c : {'"', '\\', '\n', '{', '}', '[', ']'})
        special[c] = true;
    return special;
}();
// Nesting beyond this is no export file, and would only exhaust memory.
constexpr int MaxDepth = 64;

} // namespace

JsonStream::JsonStream(const QString& path) : m_largest(MaxRecordSize) {
    auto file = std::make_unique<QFile>();
    openForReading(*file, path);
    m_file = std::move(file);
}

JsonStream::JsonStream(const QByteArray& content) : m_largest(MaxRecordSize) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(content);
    buffer->open(QIODevice::ReadOnly);
    m_file = std::move(buffer);
}

// A value taken into memory stays within the size of any real item.
void JsonStream::limit(const QByteArray* out, qint64 line) const {
    if (out && out->size() > m_largest)
        throw ExchangeError(
            m_largest == MaxRecordSize
                ? QStringLiteral("a value is larger than %1, more than any export holds.")
                      .arg(QLatin1String(MaxRecordSizeText))
                : QStringLiteral("a value is larger than %1 MB, more than any export holds.").arg(m_largest >> 20),
            line);
}

int JsonStream::refill() {
    m_chunkOffset += m_chunk.size();
    m_chunk = m_file->read(ChunkBytes);
    m_pos = 0;
    if (m_chunk.isEmpty())
        return -1;
    return static_cast<unsigned char>(m_chunk.at(0));
}

qsizetype JsonStream::takePlain(QByteArray* out) {
    // The bytes up to the next one that means something to the walk, in one piece.
    const char* data = m_chunk.constData();
    const qsizetype size = m_chunk.size();
    qsizetype end = m_pos;
    while (end < size && !IsSpecial[static_cast<unsigned char>(data[end])])
        ++end;
    const qsizetype length = end - m_pos;
    if (out && length > 0)
        out->append(data + m_pos, length);
    m_pos = end;
    return length;
}

JsonStream::Mark JsonStream::mark() const {
    return {m_chunkOffset + m_pos, m_line};
}

void JsonStream::reset(const Mark& mark) {
    m_file->seek(mark.offset);
    m_chunkOffset = mark.offset;
    m_chunk.clear();
    m_pos = 0;
    m_line = mark.line;
}

void JsonStream::skipSpace() {
    for (int c = peek(); c == ' ' || c == '\t' || c == '\n' || c == '\r'; c = peek())
        get();
}

void JsonStream::expect(char c, const char* what) {
    skipSpace();
    if (get() != c)
        throw ExchangeError(QStringLiteral("the file is not valid JSON: %1 expected.").arg(QLatin1String(what)),
                            m_line);
}

void JsonStream::enterObject() {
    // A byte-order mark may come first.
    if (peek() == 0xEF) {
        get();
        get();
        get();
    }
    expect('{', "an object");
    m_firstInObject = true;
}

bool JsonStream::nextMember(QString& name) {
    skipSpace();
    if (peek() == '}') {
        get();
        return false;
    }
    if (!m_firstInObject)
        expect(',', "a comma");
    m_firstInObject = false;
    skipSpace();
    QByteArray raw;
    string(&raw);
    const QJsonDocument decoded = QJsonDocument::fromJson("[" + raw + "]");
    name = decoded.array().at(0).toString();
    expect(':', "a colon");
    skipSpace();
    return true;
}

void JsonStream::string(QByteArray* out) {
    const qint64 start = m_line;
    if (get() != '"')
        throw ExchangeError(QStringLiteral("the file is not valid JSON: a text expected."), m_line);
    if (out)
        out->append('"');
    for (;;) {
        takePlain(out);
        limit(out, start);
        const int c = get();
        if (c < 0)
            throw ExchangeError(QStringLiteral("a text is never closed."), start);
        if (out)
            out->append(char(c));
        if (c == '"')
            return;
        if (c == '\\') {
            const int escaped = get();
            if (escaped < 0)
                throw ExchangeError(QStringLiteral("a text is never closed."), start);
            if (out)
                out->append(char(escaped));
        }
    }
}

void JsonStream::value(QByteArray* out) {
    skipSpace();
    const qint64 start = m_line;
    const int first = peek();
    if (first == '"') {
        string(out);
        return;
    }
    if (first == '{' || first == '[') {
        int depth = 0;
        do {
            takePlain(out);
            limit(out, start);
            const int c = peek();
            if (c < 0)
                throw ExchangeError(QStringLiteral("the file ends inside a value."), start);
            if (c == '"') {
                string(out);
                continue;
            }
            if (c == '{' || c == '[') {
                if (++depth > MaxDepth)
                    throw ExchangeError(QStringLiteral("values are nested too deeply."), m_line);
            } else if (c == '}' || c == ']') {
                --depth;
            }
            get();
            if (out)
                out->append(char(c));
        } while (depth > 0);
        return;
    }
    // A number or a literal runs to the next delimiter.
    int length = 0;
    for (int c = peek(); c >= 0 && !std::strchr(",}] \t\r\n", c); c = peek()) {
        get();
        ++length;
        if (out)
            out->append(char(c));
        limit(out, start);
    }
    if (length == 0)
        throw ExchangeError(QStringLiteral("the file is not valid JSON: a value expected."), m_line);
}

QByteArray JsonStream::rawValue(qint64 largest) {
    QByteArray out;
    if (largest > 0)
        m_largest = largest;
    try {
        value(&out);
    } catch (...) {
        m_largest = MaxRecordSize;
        throw;
    }
    m_largest = MaxRecordSize;
    return out;
}

void JsonStream::skipValue() {
    value(nullptr);
}

void JsonStream::expectEnd() {
    skipSpace();
    if (peek() >= 0)
        throw ExchangeError(QStringLiteral("the file goes on after the end of its export; a file holds one export "
                                           "and nothing after it."),
                            m_line);
}

bool JsonStream::enterArray() {
    skipSpace();
    if (peek() != '[')
        return false;
    get();
    m_firstInArray = true;
    return true;
}

bool JsonStream::nextElement(QByteArray* element, qint64& line) {
    skipSpace();
    if (peek() == ']') {
        get();
        return false;
    }
    if (!m_firstInArray)
        expect(',', "a comma");
    m_firstInArray = false;
    skipSpace();
    line = m_line;
    if (element)
        element->clear();
    value(element);
    return true;
}
