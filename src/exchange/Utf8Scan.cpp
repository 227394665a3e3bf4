#include "Utf8Scan.h"

#include <cstring>

namespace {

constexpr quint64 Ones = 0x0101010101010101ULL;
constexpr quint64 HighBits = 0x8080808080808080ULL;

// Whether any of the eight bytes of the word is the given one.
constexpr bool holds(quint64 word, unsigned char byte) {
    const quint64 x = word ^ (Ones * byte);
    return ((x - Ones) & ~x & HighBits) != 0;
}

// How many bytes from the start are plain ASCII and no line break, eight at a
// time: most files are mostly such bytes.
qsizetype plainRun(const char* data, qsizetype size) {
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        if ((word & HighBits) != 0 || holds(word, '\n') || holds(word, '\r'))
            break;
    }
    return i;
}

} // namespace

void Utf8Scan::bad(const Position& at) {
    if (valid())
        m_firstBad = at;
}

void Utf8Scan::lead(unsigned char byte) {
    m_lead = {m_line, m_column, byte};
    m_low = 0x80;
    m_high = 0xBF;
    // The well-formed sequences of the Unicode standard (its table 3-7).
    if (byte >= 0xC2 && byte <= 0xDF) {
        m_needed = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        m_needed = 2;
        if (byte == 0xE0)
            m_low = 0xA0;
        else if (byte == 0xED)
            m_high = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        m_needed = 3;
        if (byte == 0xF0)
            m_low = 0x90;
        else if (byte == 0xF4)
            m_high = 0x8F;
    } else {
        bad(m_lead);
    }
}

void Utf8Scan::feed(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i) {
        if (m_needed == 0) {
            const qsizetype run = plainRun(data + i, size - i);
            m_column += run;
            m_afterCR = m_afterCR && run == 0;
            i += run;
            if (i == size)
                break;
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        ++m_column;
        if (m_needed > 0) {
            if (byte >= m_low && byte <= m_high) {
                m_low = 0x80;
                m_high = 0xBF;
                if (--m_needed == 0)
                    m_sawMultiByte = true;
                continue;
            }
            // Cut short: the lead byte is the stray one, and this byte starts anew.
            bad(m_lead);
            m_needed = 0;
        }
        if (byte >= 0x80) {
            m_afterCR = false;
            lead(byte);
        } else if (byte == '\n') {
            m_line += m_afterCR ? 0 : 1;
            m_column = 0;
            m_afterCR = false;
        } else if (byte == '\r') {
            ++m_line;
            m_column = 0;
            m_afterCR = true;
        } else {
            m_afterCR = false;
        }
    }
}

void Utf8Scan::end() {
    if (m_needed > 0)
        bad(m_lead);
    m_needed = 0;
}
