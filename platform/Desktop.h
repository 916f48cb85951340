#pragma once
// The desktop services the program's commands use: every word to and from the user and every
// reading of the clock or the mouse goes through here, so that commands run headless in tests.
// Shown texts are Phrases (the window translates them); file system paths are native (UTF-8)
// strings.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/Phrase.h"

namespace morvane {

enum class MsgIcon { None, Exclamation, Information, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// The password dialog's modes: the title and the fields it shows.
enum PasswordMode : int {
    kPasswordSetLogin = 1,   // "设定系统登录密码", password and confirmation
    kPasswordLogin = 2,      // "输入密码登录应用"
    kPasswordBook = 3,       // "输入密码保存通讯簿", preset text in the field
    kPasswordConfirmOld = 5, // "确认原有密码"
};

// One entry of a file chooser's type list.
struct FileFilter {
    Phrase label;          // e.g. "Book Files (*.Bk)"
    std::string patterns;  // blank-separated wildcards, e.g. "*.Bk"
    bool operator==(const FileFilter& o) const { return label.Gbk() == o.label.Gbk() && patterns == o.patterns; }
};

// What a file chooser starts from. Paths are native strings.
struct FileChoice {
    std::string defaultExt;           // without the dot, e.g. "Bk"
    std::string defaultName;          // file name offered, may be empty
    std::vector<FileFilter> filters;  // in the order offered; the first is preselected
    std::string initialDir;           // folder the chooser opens in, may be empty
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal message box. Caption is usually "Morvane".
    virtual MsgAnswer MessageBox(const Phrase& text, const std::string& caption, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    // The password dialog; nullopt when cancelled.
    virtual std::optional<std::string> AskPassword(PasswordMode mode, const std::string& preset) = 0;
    // File choosers; nullopt when cancelled.
    virtual std::optional<std::string> ChooseOpenFile(const FileChoice& choice) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileChoice& choice) = 0;
    // The name clash warning for a pasted item: text and the clashing item's kind code.
    virtual void ShowNameClash(const Phrase& text, int kind) = 0;

    // Milliseconds since some fixed moment; wraps like a 32-bit tick count.
    virtual std::uint32_t TickCount() = 0;
    // Current calendar time (local time conversion is the caller's).
    virtual std::time_t Now() = 0;
    virtual ScreenPoint CursorPos() = 0;

    // Handles pending window events. Returns true when a close of the main window is pending.
    virtual bool PumpMessages() = 0;
};

// Shorthand for the common "Morvane"-captioned box.
inline MsgAnswer Tell(Desktop& d, const Phrase& text, MsgIcon icon = MsgIcon::Exclamation,
                      MsgButtons buttons = MsgButtons::Ok)
{
    return d.MessageBox(text, "Morvane", icon, buttons);
}

}  // namespace morvane
