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

std::string Utf8(std::string_view gbk)
{
    return Convert("UTF-8", "GB18030", gbk, "\xEF\xBF\xBD");
}

}  // namespace morvane
