#include "ui/common/Language.h"

#include <cctype>

namespace morvane {

namespace {

bool SameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    return true;
}

}  // namespace

LanguageChoice ParseLanguageChoice(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (SameWord(text, "zh"))
        return LanguageChoice::Chinese;
    if (SameWord(text, "en"))
        return LanguageChoice::English;
    return LanguageChoice::Auto;
}

const char* LanguageChoiceText(LanguageChoice choice)
{
    switch (choice) {
    case LanguageChoice::Chinese: return "zh";
    case LanguageChoice::English: return "en";
    case LanguageChoice::Auto: break;
    }
    return "auto";
}

Language ChooseLanguage(std::string_view env, LanguageChoice preference, std::string_view firstUiLanguage)
{
    LanguageChoice choice = ParseLanguageChoice(env);
    if (choice == LanguageChoice::Auto)
        choice = preference;
    if (choice == LanguageChoice::Chinese)
        return Language::Chinese;
    if (choice == LanguageChoice::English)
        return Language::English;
    // "zh", "zh-CN", "zh-Hant-TW", but not "zhx".
    const bool chinese = firstUiLanguage.size() >= 2 && SameWord(firstUiLanguage.substr(0, 2), "zh") &&
                         (firstUiLanguage.size() == 2 || firstUiLanguage[2] == '-' || firstUiLanguage[2] == '_');
    return chinese ? Language::Chinese : Language::English;
}

}  // namespace morvane
