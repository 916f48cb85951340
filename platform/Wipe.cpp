#include "platform/Wipe.h"

#include <string.h>

namespace morvane {

void WipeBytes(void* p, std::size_t n) noexcept
{
    if (n != 0)
        explicit_bzero(p, n);
}

void Wipe(std::string& s) noexcept
{
    // capacity() excludes the terminator's place.
    WipeBytes(s.data(), s.capacity() + 1);
    s.clear();
}

void ReplaceSecret(std::string& target, std::string_view value)
{
    // Wiped before the assignment: a longer value makes the string move to a new buffer and
    // free the old one, a shorter one would leave the old tail in place.
    Wipe(target);
    target.assign(value);
}

void TakeSecret(std::string& target, std::string& source)
{
    if (&target == &source)
        return;
    ReplaceSecret(target, source);
    Wipe(source);
}

}  // namespace morvane
