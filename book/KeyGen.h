// The key generation command of the key tree: generates an RSA key for the right-clicked lock
// or key on the tree's first engine, retrying until a key passes the self-test, and writes it
// into the record. Progress goes to the main window's status text, and the window's events
// are pumped between candidates so that the user can ask the generation to stop (by running
// the command again) or close the window.
#pragma once

#include <cstdint>
#include <string>

#include "book/Book.h"
#include "book/KeyTree.h"

namespace morvane {

enum class KeygenEnd {
    NoTarget,       // no lock or key was right-clicked: nothing happened
    Cancelled,      // the confirmation was declined: nothing changed
    StopRequested,  // a generation was running: it was asked to stop
    Done,           // a key was generated and written
    Stopped,        // stopped by the user or a closing window
    Failed,         // an error ended the generation
};

struct KeygenOutcome {
    KeygenEnd end = KeygenEnd::NoTarget;
    int status = 0;             // the status shown in the error message, or the stop code
    bool keyWritten = false;    // the record received a new key
    // The main window asked to close while the generation ran; the close was left waiting
    // and is the caller's to carry out now.
    bool closePending = false;
};

// The command: runs the selection display for the right-clicked record and expands it, asks
// "原有的密钥数据将被删除, 继续吗?", and then either asks a running generation to stop or
// generates a key of the record's nominal strength on the tree's key generation state. A
// lock receives N and E only, a key P, Q, D, U, N and E; the first engine holds the new key
// afterwards. The record's last-use date is set in every case that ran a generation. The
// tree's menus are disabled while it runs. The caller repaints the progress area after.
[[nodiscard]] KeygenOutcome GenerateKeyCommand(KeyTree& tree);

// The progress callback (context: the KeyTree). Counts primes and tested numbers, sends the
// status text to the main window and pumps the window's events. 1 to go on; 3 when a stop
// was requested; 4 when a close of the main window is waiting; -5 for an unknown code.
[[nodiscard]] int KeygenProgress(void* context, char code);

// "密钥生成OK. 耗时 t 秒, 发现 p 个质数, 测试 n 个大数, 速度 v 个大数/秒" with the
// "速度大于 1000 个大数/秒" ending when 1 ms or less elapsed.
Phrase KeygenStatisticsText(int primes, int tested, std::uint32_t elapsedMs);
// The status text for a progress code with the given counters.
Phrase KeygenStatusText(int primes, int attempts, int tested, std::uint32_t elapsedMs, char code);

}  // namespace morvane
