#include "message/ArmoredText.h"

#include <algorithm>
#include <new>

#include "message/DetailRows.h"
#include "message/HexText.h"

namespace morvane {

int BuildArmoredText(Book& book, Node record, std::string& text, std::size_t a, const std::uint8_t* bytes,
                     std::size_t count, bool isSigned, const std::string& signerField)
{
    const std::string flag = isSigned ? kSignedFlag : kUnsignedFlag;
    if (!ShowDetailRow(book, record, KindCode(ItemKind::SignFlagRow), flag.size(), flag) ||
        !ShowDetailRow(book, record, KindCode(ItemKind::DigestRow), signerField.size(), signerField))
        return -1;
    // Whole blocks of the lock; a degenerate lock shorter than a byte gets no fill.
    const std::size_t width = a == 0 ? 2 * count : 2 * a * ((count + a - 1) / a);
    std::string hex;
    if (ToHexText(hex, width, bytes, count, kHexFirstByteFirst) != 1)
        return -1;
    if (!ShowDetailRow(book, record, KindCode(ItemKind::PostTextRow), hex.size(), hex))
        return -1;
    try {
        std::string out;
        out.reserve(flag.size() + signerField.size() + hex.size());
        out += flag;
        out += signerField;
        out += hex;
        text.swap(out);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 1;
}

int CleanArmoredText(std::string& text)
{
    // The armored text itself never holds a line break, so every CR and LF is framing, whether
    // the box put CR LF or a mail program LF alone between the lines.
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            s += c;
    const std::size_t begin = s.find_first_not_of('*');
    if (begin == std::string::npos)
        return -1;
    const std::size_t end = s.find_last_not_of('*') + 1;
    if (end - begin < 2)
        return -1;
    text.assign(s, begin, end - begin);
    return 1;
}

int ParseArmoredText(std::vector<std::uint8_t>& bytes, bool& isSigned, std::string& signerField,
                     const std::string& text)
{
    if (text.size() < kArmorHeaderSize)
        return -1;
    const std::string_view flag(text.data(), kFlagSize);
    bool sig;
    if (flag == kSignedFlag)
        sig = true;
    else if (flag == kUnsignedFlag)
        sig = false;
    else
        return -1;
    const std::size_t digits = text.size() - kArmorHeaderSize;
    const std::size_t count = digits / 2;
    if (count == 0)
        return -1;
    for (std::size_t i = kArmorHeaderSize; i < text.size(); ++i)
        if (UpperHexDigit(text[i]) < 0)
            return -1;
    try {
        std::vector<std::uint8_t> out(count);
        const char* p = text.data() + kArmorHeaderSize;
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::uint8_t>(UpperHexDigit(p[2 * i]) << 4 | UpperHexDigit(p[2 * i + 1]));
        signerField.assign(text, kFlagSize, kSignerFieldSize);
        bytes.swap(out);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    isSigned = sig;
    return 1;
}

}  // namespace morvane
