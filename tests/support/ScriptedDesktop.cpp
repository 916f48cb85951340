#include "support/ScriptedDesktop.h"

#include "platform/Text.h"

namespace morvane {

std::string ShownMessage::Utf8Text() const
{
    return Utf8(text);
}

MsgAnswer ScriptedDesktop::MessageBox(const Phrase& text, const std::string& caption, MsgIcon icon,
                                      MsgButtons buttons)
{
    messages.push_back({text.Gbk(), caption, icon, buttons});
    if (!answers.empty()) {
        MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    default:
        return MsgAnswer::Ok;
    }
}

namespace {
template <typename T>
std::optional<std::string> Take(std::deque<T>& q)
{
    if (q.empty())
        return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
}
} // namespace

std::optional<std::string> ScriptedDesktop::AskPassword(PasswordMode mode, const std::string& preset)
{
    passwordRequests.emplace_back(mode, preset);
    return Take(passwords);
}

std::optional<std::string> ScriptedDesktop::ChooseOpenFile(const FileChoice& choice)
{
    openRequests.push_back(choice);
    return Take(openPaths);
}

std::optional<std::string> ScriptedDesktop::ChooseSaveFile(const FileChoice& choice)
{
    saveRequests.push_back(choice);
    return Take(savePaths);
}

void ScriptedDesktop::ShowNameClash(const Phrase& text, int kind)
{
    nameClashes.emplace_back(text.Gbk(), kind);
}

std::uint32_t ScriptedDesktop::TickCount()
{
    std::uint32_t t = tick;
    tick += tickStep;
    return t;
}

std::time_t ScriptedDesktop::Now()
{
    return now;
}

ScreenPoint ScriptedDesktop::CursorPos()
{
    if (!cursorPath.empty()) {
        cursor = cursorPath.front();
        cursorPath.pop_front();
    }
    return cursor;
}

bool ScriptedDesktop::PumpMessages()
{
    ++pumps;
    if (onPump)
        onPump();
    return closePending;
}

std::vector<std::string> ScriptedDesktop::MessageTexts() const
{
    std::vector<std::string> out;
    for (const auto& m : messages)
        out.push_back(m.Utf8Text());
    return out;
}

std::string ScriptedDesktop::LastMessage() const
{
    return messages.empty() ? std::string() : messages.back().Utf8Text();
}

}  // namespace morvane
