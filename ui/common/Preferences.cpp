#include "ui/common/Preferences.h"

#include <QFile>
#include <QSettings>
#include <charconv>
#include <cstdlib>
#include <sys/stat.h>

#include "platform/AtomicFile.h"

namespace morvane {

namespace {

const char* const kClipboardKey = "Security/ClipboardClearSeconds";
const char* const kLockKey = "Security/AutoLockMinutes";
const char* const kLanguageKey = "Interface/Language";
// A settings file is a few dozen bytes; anything far larger is not one.
constexpr qint64 kReadLimit = 64 * 1024;

}  // namespace

std::string PreferencesDir()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "") + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/Morvane";
}

std::string PreferencesPath()
{
    return PreferencesDir() + "/Morvane.ini";
}

int PreferenceValue(std::string_view text, int fallback, int lo, int hi)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < lo || value > hi)
        return fallback;
    return value;
}

std::string PreferencesText(const Preferences& prefs)
{
    return "[Security]\nClipboardClearSeconds=" + std::to_string(prefs.clipboardSeconds) +
           "\nAutoLockMinutes=" + std::to_string(prefs.lockMinutes) + "\n\n[Interface]\nLanguage=" +
           LanguageChoiceText(prefs.language) + "\n";
}

Preferences LoadPreferences(const std::string& path)
{
    Preferences prefs;
    const QString file = QFile::decodeName(path.c_str());
    if (QFile::exists(file) && QFile(file).size() > kReadLimit)
        return prefs;
    const QSettings settings(file, QSettings::IniFormat);
    auto read = [&settings](const char* key, int fallback, int lo, int hi) {
        const QVariant v = settings.value(QLatin1String(key));
        // A list (a value with commas) or anything else that is not one plain number falls back.
        if (v.typeId() != QMetaType::QString)
            return fallback;
        const QByteArray text = v.toString().toUtf8();
        return PreferenceValue(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), fallback, lo,
                               hi);
    };
    prefs.clipboardSeconds =
        read(kClipboardKey, Preferences::kClipboardDefault, Preferences::kClipboardMin, Preferences::kClipboardMax);
    prefs.lockMinutes = read(kLockKey, Preferences::kLockDefault, Preferences::kLockMin, Preferences::kLockMax);
    const QVariant language = settings.value(QLatin1String(kLanguageKey));
    if (language.typeId() == QMetaType::QString)
        prefs.language = ParseLanguageChoice(language.toString().toStdString());
    return prefs;
}

bool SavePreferences(const Preferences& prefs, const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string dir = path.substr(0, slash);
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0) {
            // The parent (~/.config) is the desktop's; only our own folder is made private.
            const std::size_t up = dir.rfind('/');
            if (up != std::string::npos && up > 0)
                ::mkdir(dir.substr(0, up).c_str(), 0700);
            if (::mkdir(dir.c_str(), 0700) != 0)
                return false;
        }
    }
    const std::string text = PreferencesText(prefs);
    return WriteFileAtomically(
        path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace morvane
