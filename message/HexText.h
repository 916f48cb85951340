// Upper-case hexadecimal text of byte runs, as the detail rows and the armored text show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvane {

// Byte orders of ToHexText.
constexpr int kHexFirstByteFirst = 1;  // bytes[0] first
constexpr int kHexLastByteFirst = 2;   // bytes[count - 1] first

// text = the bytes as two upper-case digits each in the given order, right-aligned in a field
// of width characters (at least 2 * count) whose left part is filled with '0'. bytes may be
// null when count is 0. Returns 1, or -1 for another order or when memory runs out.
[[nodiscard]] int ToHexText(std::string& text, std::size_t width, const std::uint8_t* bytes, std::size_t count, int order);

// Convenience: the bytes in order, 2 * count characters ("" when memory runs out).
std::string HexOf(const std::uint8_t* bytes, std::size_t count);

// 0..15 for '0'-'9' and 'A'-'F'; -1 for any other character (lower case included).
inline int UpperHexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace morvane
