#pragma once
// A Desktop for headless tests: records every message box and dialog request, answers dialogs
// from queues, and keeps a hand-driven clock and cursor. (The main window's notifications go
// to a MainView: support/RecordingView.h.)

#include "platform/Desktop.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct ShownMessage {
    std::string text;    // GBK
    std::string caption; // GBK
    MsgIcon icon;
    MsgButtons buttons;
    std::string Utf8Text() const;
};

class ScriptedDesktop : public Desktop {
public:
    // Answers, consumed front first. An empty queue answers OK/Yes to message boxes,
    // and cancel to dialogs and choosers.
    std::deque<MsgAnswer> answers;
    std::deque<std::optional<std::string>> passwords;
    std::deque<std::optional<std::string>> openPaths;
    std::deque<std::optional<std::string>> savePaths;

    // What was shown.
    std::vector<ShownMessage> messages;
    std::vector<std::pair<PasswordMode, std::string>> passwordRequests; // mode, preset
    std::vector<FileChoice> openRequests, saveRequests;
    std::vector<std::pair<std::string, int>> nameClashes;

    // Clock and cursor. Each TickCount() call advances the tick by tickStep.
    std::uint32_t tick = 1000;
    std::uint32_t tickStep = 0;
    std::time_t now = 1767225600; // 2026-01-01 00:00:00 UTC
    ScreenPoint cursor;
    // When not empty, each CursorPos() call takes the next position from here (and leaves it
    // in cursor); once it runs dry the cursor stays where it was.
    std::deque<ScreenPoint> cursorPath;

    // Message pump: counts calls; onPump runs on each (may re-enter commands);
    // closePending is what the pump reports.
    int pumps = 0;
    bool closePending = false;
    std::function<void()> onPump;

    MsgAnswer MessageBox(const Phrase& text, const std::string& caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<std::string> AskPassword(PasswordMode mode, const std::string& preset) override;
    std::optional<std::string> ChooseOpenFile(const FileChoice& choice) override;
    std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
    void ShowNameClash(const Phrase& text, int kind) override;
    std::uint32_t TickCount() override;
    std::time_t Now() override;
    ScreenPoint CursorPos() override;
    bool PumpMessages() override;

    // Convenience for assertions: the UTF-8 texts of all messages shown so far.
    std::vector<std::string> MessageTexts() const;
    // The UTF-8 text of the last message, or "" when none was shown.
    std::string LastMessage() const;
};

}  // namespace morvane
