#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>

// Walks a JSON file from the start without holding it whole: the members of the
// top-level object one at a time, and the elements of an array member one at a
// time as raw text for QJsonDocument. Memory stays at one chunk plus the
// largest single element, whatever the file's size; a value taken into memory
// larger than MaxRecordSize is refused.
class JsonStream {
public:
    explicit JsonStream(const QString& path); // throws ExchangeError
    // A JSON text already in memory: a decrypted export.
    explicit JsonStream(const QByteArray& content);

    // Enters the top-level object; throws when the file does not start with one.
    void enterObject();
    // The next member's name, with the position before its value; false after the last.
    bool nextMember(QString& name);
    // The raw text of the value at the position (a whole object or array
    // included); a value larger than largest is refused.
    QByteArray rawValue(qint64 largest = 0);
    void skipValue();
    // After the top-level object: throws unless only blanks follow it.
    void expectEnd();
    // Enters an array value; false when the value is not an array.
    bool enterArray();
    // The raw text of the next element (passed over without one) and the line
    // it starts on; false after the last.
    bool nextElement(QByteArray* element, qint64& line);

    qint64 line() const { return m_line; }
    // Where the reader is, and a way back to it: an array can be read twice.
    struct Mark {
        qint64 offset;
        qint64 line;
    };
    Mark mark() const;
    void reset(const Mark& mark);

private:
    int peek() { return m_pos < m_chunk.size() ? static_cast<unsigned char>(m_chunk.constData()[m_pos]) : refill(); }
    int get() {
        const int c = peek();
        if (c >= 0) {
            ++m_pos;
            if (c == '\n')
                ++m_line;
        }
        return c;
    }
    // Reads the next chunk: its first byte, or -1 at the end of the file.
    int refill();
    // Takes the run of bytes at the position that are neither quotes, escapes,
    // brackets nor line breaks, appending them when given; their count.
    qsizetype takePlain(QByteArray* out);
    void skipSpace();
    void expect(char c, const char* what);
    // Reads a value, appending its bytes to out when given.
    void value(QByteArray* out);
    void limit(const QByteArray* out, qint64 line) const;
    void string(QByteArray* out);

    std::unique_ptr<QIODevice> m_file;
    qint64 m_largest; // a value taken into memory is refused past this
    QByteArray m_chunk;
    qsizetype m_pos = 0;
    qint64 m_chunkOffset = 0;
    qint64 m_line = 1;
    bool m_firstInArray = true;
    bool m_firstInObject = true;
};
