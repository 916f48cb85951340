#include "message/TextCheck.h"

#include <cerrno>
#include <cstddef>
#include <iconv.h>

#include "platform/Wipe.h"

namespace morvane {

namespace {

// Code points of the converted text, UTF-8: a C0 or C1 control other than tab, CR, LF.
bool HasControl(const unsigned char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c < 0x20 ? (c != '\t' && c != '\r' && c != '\n') : c == 0x7F)
            return true;
        // U+0080 to U+009F are C2 80 to C2 9F; iconv writes whole characters, so a pair
        // never straddles two chunks.
        if (c == 0xC2 && i + 1 < n && p[i + 1] < 0xA0)
            return true;
    }
    return false;
}

}  // namespace

bool IsProgramText(std::string_view text)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    // Converted a chunk at a time into a buffer that is wiped: the text is a decrypted secret.
    SecretArray<char, 4096> chunk;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    bool ok = true;
    while (ok && inLeft > 0) {
        char* out = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
        const std::size_t done = chunk.size() - outLeft;
        if (r == static_cast<std::size_t>(-1) && (errno != E2BIG || done == 0))
            ok = false;  // EILSEQ: no GB18030; EINVAL: cut off inside a character
        else
            ok = !HasControl(reinterpret_cast<const unsigned char*>(chunk.data()), done);
    }
    iconv_close(cd);
    return ok;
}

}  // namespace morvane
