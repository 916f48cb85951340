#include "platform/Phrase.h"

#include "platform/Text.h"

namespace morvane {

std::string Fill(std::string_view pattern, const std::vector<std::string>& args)
{
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out += c;
            continue;
        }
        const char next = pattern[i + 1];
        if (next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < args.size()) {
            out += args[static_cast<std::size_t>(next - '1')];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

bool Phrase::Empty() const
{
    return Gbk().empty();
}

std::string Phrase::Gbk() const
{
    if (!source.context && std::string_view(source.text) == "%1" && args.size() == 1)
        return args[0];
    return Fill(morvane::Gbk(source.text ? source.text : ""), args);
}

}  // namespace morvane
