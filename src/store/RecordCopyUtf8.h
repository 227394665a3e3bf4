#pragma once

#include <cstddef>
#include <optional>
#include <string>

// UTF-8 as the standard has it (no overlong forms, surrogates, or code points
// past U+10FFFF): the only text the program writes, so bytes that are not
// UTF-8 are bytes it did not write.

// Where the first byte that is not UTF-8 lies. A character cut short by the end
// counts only when the bytes are all there is (complete).
std::optional<std::size_t> firstInvalid(const std::string& s, bool complete);

// The longest run of whole characters at the start of the first `end` bytes.
std::size_t wholeCharacters(const std::string& s, std::size_t end);
