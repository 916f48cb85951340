#pragma once
// Lets tests compare a shown text with its Chinese (GBK) bytes as they compared the strings
// the core composed before its texts became phrases.

#include <ostream>
#include <string>
#include <string_view>

#include "platform/Phrase.h"
#include "platform/Text.h"

namespace morvane {

inline bool operator==(const Phrase& phrase, std::string_view gbk)
{
    return phrase.Gbk() == gbk;
}

inline std::string Utf8(const Phrase& phrase)
{
    return Utf8(phrase.Gbk());
}

inline void PrintTo(const Phrase& phrase, std::ostream* os)
{
    *os << Utf8(phrase.Gbk());
}

}  // namespace morvane
