// Which language the window speaks, decided once at start: MORVANE_LANG (zh or en) first,
// then the preference, then the desktop (Chinese when the user's first interface language is
// Chinese, English otherwise). Chinese is the program's own language and needs no translation.
#pragma once

#include <string_view>

namespace morvane {

enum class Language { Chinese, English };
enum class LanguageChoice { Auto, Chinese, English };

// "zh" or "en" (any case, blanks around allowed); Auto for anything else.
LanguageChoice ParseLanguageChoice(std::string_view text);
// "auto", "zh" or "en": the preference file's words.
const char* LanguageChoiceText(LanguageChoice choice);

// env: MORVANE_LANG's value ("" when unset); firstUiLanguage: the desktop's first interface
// language as a BCP 47 name ("zh-CN", "en-US"; "" when it has none).
Language ChooseLanguage(std::string_view env, LanguageChoice preference, std::string_view firstUiLanguage);

}  // namespace morvane
