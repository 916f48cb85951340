// The window's preferences: the two delays that guard secrets and the language, kept in
// $XDG_CONFIG_HOME/Morvane/Morvane.ini (~/.config when unset), an INI file as QSettings reads
// it:
//
//   [Security]
//   ClipboardClearSeconds=30
//   AutoLockMinutes=10
//
//   [Interface]
//   Language=auto        (or zh, en; read at start)
//
// A missing, unreadable or damaged file, and any value out of its range, gives the default.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "ui/common/Language.h"

namespace morvane {

struct Preferences {
    static constexpr int kClipboardDefault = 30, kClipboardMin = 1, kClipboardMax = 3600;
    static constexpr int kLockDefault = 10, kLockMin = 0, kLockMax = 1440;  // 0: never locks

    int clipboardSeconds = kClipboardDefault;  // a secret copied leaves the clipboard after this
    int lockMinutes = kLockDefault;            // the book locks after this long without input
    LanguageChoice language = LanguageChoice::Auto;

    bool operator==(const Preferences&) const = default;
};

// The folder and the file, native paths.
std::string PreferencesDir();
std::string PreferencesPath();

// A whole decimal number in [lo, hi], blanks around it allowed; fallback for anything else.
int PreferenceValue(std::string_view text, int fallback, int lo, int hi);
// The file's content for prefs.
std::string PreferencesText(const Preferences& prefs);

Preferences LoadPreferences(const std::string& path = PreferencesPath());
// Replaces the file atomically, creating its folder (0700) when missing. False on failure.
bool SavePreferences(const Preferences& prefs, const std::string& path = PreferencesPath());

}  // namespace morvane
