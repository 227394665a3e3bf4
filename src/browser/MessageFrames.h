#pragma once

#include <QByteArray>
#include <QList>

// Native messaging's framing, used on the browser's pipe and on the program's
// socket alike: each message is its length as a 32-bit little-endian number,
// then that many bytes of UTF-8 JSON.
class MessageFrames {
public:
    // Larger messages are refused: the browser never sends a request near it,
    // and a reader that waited for a length of gigabytes could be made to hold them.
    static constexpr quint32 MaxMessageBytes = 1u << 20;

    // Takes bytes as they arrive; complete messages are then taken with next().
    // After a refused length the stream cannot be followed any further: failed()
    // stays true and nothing more is read.
    void append(const QByteArray& bytes);
    void append(const char* bytes, qsizetype count);
    bool hasNext() const { return !m_complete.isEmpty(); }
    QByteArray next() { return m_complete.takeFirst(); }
    bool failed() const { return m_failed; }
    // Bytes held of a message not yet complete.
    qsizetype pendingBytes() const { return m_buffer.size(); }

    static QByteArray framed(const QByteArray& message);

private:
    void split();

    QByteArray m_buffer;
    QList<QByteArray> m_complete;
    bool m_failed = false;
};
