#include "cli/Terminal.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane::cli {

std::atomic<bool> g_interrupted{false};

namespace {

void OnInterrupt(int)
{
    g_interrupted.store(true);
}

std::uint64_t SteadyMs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// One line from fd, without its line break; nullopt on a read error or an over-long line.
std::optional<std::string> ReadLine(int fd)
{
    std::string line;
    line.reserve(4097);  // no reallocation leaves a copy behind
    for (;;) {
        char c;
        const ssize_t r = ::read(fd, &c, 1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            Wipe(line);
            return std::nullopt;
        }
        if (r == 0 || c == '\n')
            break;
        if (line.size() >= 4096) {
            Wipe(line);
            return std::nullopt;
        }
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// The terminal's settings while a prompt has echo off, for the signal handlers to put back.
volatile sig_atomic_t g_promptTty = -1;
termios g_promptSaved{};
termios g_promptQuiet{};

// The signals that end (or stop) the program at a prompt: each puts the terminal back first.
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU};

void OnPromptSignal(int sig)
{
    const int saved = errno;
    const int tty = g_promptTty;
    if (tty >= 0)
        ::tcsetattr(tty, TCSANOW, &g_promptSaved);
    // The signal's own effect: the end of the program, or a stop.
    struct sigaction dfl{};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    sigset_t just;
    sigemptyset(&just);
    sigaddset(&just, sig);
    ::sigprocmask(SIG_UNBLOCK, &just, nullptr);
    ::raise(sig);
    // Continued after a stop: echo off again, and the handler back for the next one.
    struct sigaction again{};
    again.sa_handler = OnPromptSignal;
    sigemptyset(&again.sa_mask);
    ::sigaction(sig, &again, nullptr);
    if (tty >= 0)
        ::tcsetattr(tty, TCSANOW, &g_promptQuiet);
    errno = saved;
}

// Echo off on tty for the life of the object; the terminal's settings come back on every way
// out, a signal that ends the program included.
class QuietTerminal {
public:
    explicit QuietTerminal(int tty)
    {
        if (::tcgetattr(tty, &g_promptSaved) != 0)
            return;
        g_promptQuiet = g_promptSaved;
        g_promptQuiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        g_promptQuiet.c_lflag |= ECHONL;
        // Every prompt signal waits while the handlers are set up.
        sigset_t all;
        sigemptyset(&all);
        for (int sig : kPromptSignals)
            sigaddset(&all, sig);
        ::sigprocmask(SIG_BLOCK, &all, &mask_);
        struct sigaction sa{};
        sa.sa_handler = OnPromptSignal;
        sigemptyset(&sa.sa_mask);
        for (std::size_t i = 0; i < std::size(kPromptSignals); ++i) {
            ::sigaction(kPromptSignals[i], nullptr, &previous_[i]);
            // A signal the caller ignores stays ignored (nohup, a shell's job control).
            if (previous_[i].sa_handler != SIG_IGN)
                ::sigaction(kPromptSignals[i], &sa, nullptr);
        }
        g_promptTty = tty;
        tty_ = tty;
        ::tcsetattr(tty, TCSAFLUSH, &g_promptQuiet);
        ::sigprocmask(SIG_SETMASK, &mask_, nullptr);
    }
    ~QuietTerminal()
    {
        if (tty_ < 0)
            return;
        sigset_t all;
        sigemptyset(&all);
        for (int sig : kPromptSignals)
            sigaddset(&all, sig);
        sigset_t mask;
        ::sigprocmask(SIG_BLOCK, &all, &mask);
        ::tcsetattr(tty_, TCSAFLUSH, &g_promptSaved);
        g_promptTty = -1;
        for (std::size_t i = 0; i < std::size(kPromptSignals); ++i)
            ::sigaction(kPromptSignals[i], &previous_[i], nullptr);
        ::sigprocmask(SIG_SETMASK, &mask, nullptr);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    int tty_ = -1;
    sigset_t mask_{};
    struct sigaction previous_[std::size(kPromptSignals)]{};
};

// Asks on the terminal with echo off. nullopt when it cannot be read.
std::optional<std::string> AskTerminal(int tty, const std::string& prompt)
{
    (void)WriteAll(tty, prompt);
    QuietTerminal quiet(tty);
    return ReadLine(tty);
}

}  // namespace

void InstallInterruptHandlers()
{
    struct sigaction sa{};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    // A reader that went away is an error of the write, not the end of the process.
    std::signal(SIGPIPE, SIG_IGN);
}

MsgAnswer TerminalDesktop::MessageBox(const Phrase& text, const std::string&, MsgIcon, MsgButtons buttons)
{
    messages.push_back(text.Gbk());
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgAnswer::Ok;
    case MsgButtons::OkCancel:
        return consent ? MsgAnswer::Ok : MsgAnswer::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return consent ? MsgAnswer::Yes : MsgAnswer::No;
    }
    return MsgAnswer::Cancel;
}

std::uint32_t TerminalDesktop::TickCount()
{
    return static_cast<std::uint32_t>(SteadyMs());
}

std::time_t TerminalDesktop::Now()
{
    return std::time(nullptr);
}

void TerminalProgress::StatusTextChanged(const Phrase& text)
{
    const std::uint64_t now = SteadyMs();
    if (shown_ && now - lastMs_ < 100)
        return;
    lastMs_ = now;
    shown_ = true;
    // Clears to the end of the line: the new text may be shorter.
    (void)WriteAll(STDERR_FILENO, "\r" + Utf8(text.Gbk()) + "\x1b[K");
}

void TerminalProgress::Finish()
{
    if (shown_)
        (void)WriteAll(STDERR_FILENO, "\n");
    shown_ = false;
}

bool IsTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

std::optional<std::string> ReadPassword(const PasswordSource& source, const std::string& prompt, bool confirm,
                                        PasswordError& error)
{
    error = PasswordError::None;
    std::optional<std::string> entry;
    if (source.fd >= 0) {
        entry = ReadLine(source.fd);
        if (!entry) {
            error = PasswordError::Unreadable;
            return std::nullopt;
        }
    } else {
        const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
        if (tty < 0) {
            error = PasswordError::NoTerminal;
            return std::nullopt;
        }
        entry = AskTerminal(tty, prompt);
        if (entry && confirm) {
            auto again = AskTerminal(tty, "Repeat the password: ");
            if (!again || *again != *entry) {
                if (again)
                    Wipe(*again);
                Wipe(*entry);
                ::close(tty);
                error = PasswordError::Mismatch;
                return std::nullopt;
            }
            Wipe(*again);
        }
        ::close(tty);
        if (!entry) {
            error = PasswordError::Unreadable;
            return std::nullopt;
        }
    }
    WipeOnExit wipe{*entry};
    if (!IsValidUtf8(*entry)) {
        error = PasswordError::NotUtf8;
        return std::nullopt;
    }
    if (entry->empty()) {
        error = PasswordError::Empty;
        return std::nullopt;
    }
    return Gbk(*entry);
}

std::optional<std::string> ReadAll(int fd, std::size_t limit)
{
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t r = ::read(fd, buffer, sizeof buffer);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (r == 0)
            return data;
        if (data.size() + static_cast<std::size_t>(r) > limit)
            return std::nullopt;
        data.append(buffer, static_cast<std::size_t>(r));
    }
}

bool WriteAll(int fd, const std::string& data)
{
    return morvane::WriteAll(fd, data.data(), data.size());
}

}  // namespace morvane::cli
