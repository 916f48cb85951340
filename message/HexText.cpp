#include "message/HexText.h"

#include <new>

namespace morvane {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

int ToHexText(std::string& text, std::size_t width, const std::uint8_t* bytes, std::size_t count, int order)
{
    if (order != kHexFirstByteFirst && order != kHexLastByteFirst)
        return -1;
    if (count > 0 && bytes == nullptr)
        return -1;
    const std::size_t digits = 2 * count;
    if (width < digits)
        width = digits;
    try {
        std::string out(width, '0');
        char* p = out.data() + (width - digits);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t b = order == kHexFirstByteFirst ? bytes[i] : bytes[count - 1 - i];
            *p++ = kDigits[b >> 4];
            *p++ = kDigits[b & 15];
        }
        text.swap(out);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 1;
}

std::string HexOf(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    if (ToHexText(text, 0, bytes, count, kHexFirstByteFirst) != 1)
        return std::string();
    return text;
}

}  // namespace morvane
