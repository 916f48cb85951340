#pragma once
// Conversion between the program's internal GBK texts and UTF-8 (the source files' and the
// desktop's encoding). GB18030 is byte-identical to GBK for every GBK character and can hold
// anything a user types, so nothing is lost on the way in.

#include <string>
#include <string_view>

namespace morvane {

// UTF-8 -> GBK (GB18030). Invalid UTF-8 sequences are replaced by '?'.
std::string Gbk(std::string_view utf8);
// GBK (GB18030) -> UTF-8. Invalid or truncated sequences are replaced by U+FFFD.
std::string Utf8(std::string_view gbk);
// True when text is well-formed UTF-8 (no overlong forms, surrogates or code points beyond
// U+10FFFF, nothing truncated): exactly the texts Gbk() converts without a '?'.
bool IsValidUtf8(std::string_view text);

}  // namespace morvane
