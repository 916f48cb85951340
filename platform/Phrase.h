#pragma once
// A text the program shows, kept apart from its language until the window draws it. The core
// writes its texts in Chinese (the source language) and marks each with MORVANE_TR so that
// lupdate collects it; the window translates the whole sentence and then fills in the
// arguments. Tests and the command line read the Chinese text, byte for byte as it always was.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// A marked source text: context and text as lupdate sees them. The text is UTF-8 Chinese with
// %1 .. %9 where arguments go.
struct Source {
    const char* context = nullptr;  // nullptr: shown as it is, never translated
    const char* text = "";
};

}  // namespace morvane

// Marks a text for translation. lupdate reads it as QT_TRANSLATE_NOOP(context, text)
// (translations/README.md has the command).
#define MORVANE_TR(context, text) (::morvane::Source{context, text})

namespace morvane {

struct Phrase {
    Source source;
    std::vector<std::string> args;  // GBK, for %1, %2, ... in order

    Phrase() = default;
    Phrase(Source s) : source(s) {}  // NOLINT: a marked text is a phrase without arguments
    Phrase(Source s, std::vector<std::string> arguments) : source(s), args(std::move(arguments)) {}

    // A text that has no translation (a file name, a name the user wrote, an error string).
    static Phrase Plain(std::string gbk) { return Phrase(Source{nullptr, "%1"}, {std::move(gbk)}); }

    bool Translatable() const { return source.context != nullptr; }
    bool Empty() const;
    // The Chinese text (GBK) with the arguments filled in.
    std::string Gbk() const;
};

// Replaces %1 .. %9 in pattern by args[0] .. args[8] in one pass, so that an argument holding
// "%2" stays as it is; any other '%' stays. Works on GBK and UTF-8 alike: '%' and digits never
// occur inside a multi-byte character of either.
std::string Fill(std::string_view pattern, const std::vector<std::string>& args);

}  // namespace morvane
