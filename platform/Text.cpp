#include "platform/Text.h"

#include <cerrno>
#include <iconv.h>

namespace morvane {

namespace {

// Converts with iconv; on an unconvertible or truncated input sequence, emits `bad` and skips
// one input byte so the conversion always finishes.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view bad)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t done = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        size_t dstLeft = out.size() - done;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: replace one byte and go on.
        if (out.size() - done < bad.size())
            out.resize(out.size() * 2);
        out.replace(done, bad.size(), bad);
        done += bad.size();
        ++src;
        --srcLeft;
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}

} // namespace

std::string Gbk(std::string_view utf8)
{
    return Convert("GB18030", "UTF-8", utf8, "?");
}

bool IsValidUtf8(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        std::size_t len;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;  // overlong
            else if (c == 0xED)
                hi = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;  // overlong
            else if (c == 0xF4)
                hi = 0x8F;  // beyond U+10FFFF
        } else {
            return false;
        }
        if (n - i < len || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

std::string Utf8(std::string_view gbk)
{
    return Convert("UTF-8", "GB18030", gbk, "\xEF\xBF\xBD");
}

}  // namespace morvane
