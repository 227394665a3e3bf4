#include "RecordCopyUtf8.h"

namespace {

// The length of the sequence at s[i]; 0 when it is not one, -1 when the bytes end inside it.
int sequenceAt(const std::string& s, std::size_t end, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(s[at]); };
    const unsigned lead = byte(i);
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + k >= end)
            return -1;
        const unsigned next = byte(i + k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

std::optional<std::size_t> firstInvalid(const std::string& s, bool complete) {
    for (std::size_t i = 0; i < s.size();) {
        const int length = sequenceAt(s, s.size(), i);
        if (length > 0)
            i += std::size_t(length);
        else if (length < 0 && !complete)
            return std::nullopt;
        else
            return i;
    }
    return std::nullopt;
}

std::size_t wholeCharacters(const std::string& s, std::size_t end) {
    std::size_t i = 0;
    while (i < end) {
        const int length = sequenceAt(s, end, i);
        if (length <= 0)
            break;
        i += std::size_t(length);
    }
    return i;
}
