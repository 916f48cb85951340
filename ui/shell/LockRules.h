// The idle lock's decisions without Qt: when the book locks (after a time without input, or
// at once on request, but never while a key generation or random collection runs), and
// whether a password typed to unlock is the login password.
#pragma once

#include <cstdint>
#include <string_view>

namespace morvane::shell {

// Times are milliseconds on a steady clock.
class LockClock {
public:
    // How often a lock that waits for a computation looks again.
    static constexpr std::int64_t kBusyPoll = 250;

    // delay: idle time before the lock; 0 or less never locks for idleness. Counts from now.
    void SetDelay(std::int64_t delay, std::int64_t now);
    std::int64_t Delay() const { return delay_; }
    // Keyboard or mouse input.
    void Touch(std::int64_t now) { last_ = now; }
    // Lock at the next chance (the lock command).
    void Request() { requested_ = true; }
    bool Requested() const { return requested_; }
    // Whether to lock now. busy: a computation runs that must finish first.
    bool Due(std::int64_t now, bool busy) const;
    // Milliseconds until Due should be asked again; -1 when nothing can make it due but input
    // or a request.
    std::int64_t Wait(std::int64_t now, bool busy) const;
    // The book was shown again: the request is done and idle time starts anew.
    void Unlocked(std::int64_t now);

private:
    bool Idle(std::int64_t now) const { return delay_ > 0 && now - last_ >= delay_; }

    std::int64_t delay_ = 0;
    std::int64_t last_ = 0;
    bool requested_ = false;
};

// Whether entry is the login password. Compares digests in constant time, so neither the
// time taken nor an early mismatch tells how much of the entry was right.
bool LoginMatches(std::string_view loginPassword, std::string_view entry);

}  // namespace morvane::shell
