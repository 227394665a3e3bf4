#pragma once

#include <QtGlobal>

// Follows the bytes of a file, a piece at a time, to find where it stops being
// UTF-8 (overlong forms, surrogates and code points past U+10FFFF included),
// and whether it holds any character of more than one byte that is.
class Utf8Scan {
public:
    struct Position {
        qint64 line = 0;   // from 1; lines end at LF, CR LF or a lone CR
        qint64 column = 0; // the byte's place in its line, from 1
        unsigned char byte = 0;
    };

    void feed(const char* data, qsizetype size);
    // At the end of the file: a sequence cut off there is no UTF-8 either.
    void end();

    bool valid() const { return m_firstBad.line == 0; }
    // Nothing that follows can change what is known.
    bool settled() const { return !valid() && m_sawMultiByte; }
    bool sawMultiByte() const { return m_sawMultiByte; }
    const Position& firstBad() const { return m_firstBad; }

private:
    void bad(const Position& at);
    void lead(unsigned char byte);

    int m_needed = 0; // continuation bytes still expected
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
    Position m_lead; // where the sequence being read began
    qint64 m_line = 1;
    qint64 m_column = 0;
    bool m_afterCR = false;
    bool m_sawMultiByte = false;
    Position m_firstBad;
};
