// The terminal side of morvane-cli: the Desktop and MainView the core's commands talk to, and
// the reading of passwords and texts. Nothing here waits on a question nobody can see: the
// message boxes are answered by what the command line said, file choosers and the password
// dialog are cancelled, and warnings are kept for the command to report in its own words.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "book/MainView.h"
#include "platform/Desktop.h"

namespace morvane::cli {

// Set by SIGINT and SIGTERM; a running key generation stops at its next progress report.
extern std::atomic<bool> g_interrupted;
void InstallInterruptHandlers();

class TerminalDesktop : public Desktop {
public:
    // The answer to every question (OK/Cancel, Yes/No): true answers OK or Yes.
    bool consent = false;
    // Every message shown (GBK), for the command to look at.
    std::vector<std::string> messages;

    MsgAnswer MessageBox(const Phrase& text, const std::string& caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<std::string> AskPassword(PasswordMode, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseOpenFile(const FileChoice&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const FileChoice&) override { return std::nullopt; }
    void ShowNameClash(const Phrase& text, int) override { messages.push_back(text.Gbk()); }
    std::uint32_t TickCount() override;
    std::time_t Now() override;
    ScreenPoint CursorPos() override { return {}; }
    bool PumpMessages() override { return g_interrupted.load(); }
};

// Shows the key generation's status line on stderr, rewritten in place, at most ten times a
// second. Only used when stderr is a terminal.
class TerminalProgress : public MainView {
public:
    ~TerminalProgress() override { Finish(); }
    int ShowLine(KeyTree&, Node) override { return 0; }
    void RepaintLine(Node) override {}
    void ProgressChanged(int) override {}
    void ActivityChanged(ActivityMode) override {}
    void StatusTextChanged(const Phrase& text) override;
    void StartCollectionTimer() override {}
    void StopCollectionTimer() override {}
    // Ends the status line.
    void Finish();

private:
    std::uint64_t lastMs_ = 0;
    bool shown_ = false;
};

// Where a password comes from: the terminal (no echo), or the first line of a descriptor.
struct PasswordSource {
    int fd = -1;  // --password-fd; -1: the terminal
};

enum class PasswordError { None, NoTerminal, Unreadable, NotUtf8, Empty, Mismatch };
// Reads a password (UTF-8 on the terminal) and gives its GBK bytes, as the window stores
// passwords. confirm: asked twice on the terminal (a new book). The prompt goes to the
// terminal, never to stdout.
std::optional<std::string> ReadPassword(const PasswordSource& source, const std::string& prompt, bool confirm,
                                        PasswordError& error);

// All of a descriptor up to its end, at most limit bytes; nullopt on a read error or when
// there is more.
std::optional<std::string> ReadAll(int fd, std::size_t limit);
// Writes everything; false on an error (a closed pipe included).
bool WriteAll(int fd, const std::string& data);

bool IsTerminal(int fd);

}  // namespace morvane::cli
