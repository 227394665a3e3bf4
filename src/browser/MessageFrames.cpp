#include "MessageFrames.h"

#include <QtEndian>

void MessageFrames::append(const QByteArray& bytes) {
    append(bytes.constData(), bytes.size());
}

void MessageFrames::append(const char* bytes, qsizetype count) {
    if (m_failed || count <= 0)
        return;
    m_buffer.append(bytes, count);
    split();
}

void MessageFrames::split() {
    qsizetype start = 0;
    while (m_buffer.size() - start >= 4) {
        const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + start);
        if (length > MaxMessageBytes) {
            m_failed = true;
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() - start - 4 < qsizetype(length))
            break;
        m_complete.append(m_buffer.mid(start + 4, length));
        start += 4 + qsizetype(length);
    }
    m_buffer.remove(0, start);
}

QByteArray MessageFrames::framed(const QByteArray& message) {
    QByteArray frame(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(message.size()), frame.data());
    return frame + message;
}
