// The protect command behind the main window's two operation buttons, on the record whose
// action line (input field) was clicked:
//  - a lock: the input text is encrypted for it; with button 2 it is first signed with the
//    own key, which must be the only key in the same directory;
//  - a key: the input armored text is decrypted; a "SIGN" text is then verified with the lock
//    of the same directory whose N digest matches the signer field.
// The result goes into the record's output field, the use count and date are updated and a
// message tells the elapsed time.
#pragma once

#include <string>

#include "book/Book.h"

namespace morvane {

class KeyTree;

// Partner kinds of FindPartner.
constexpr int kPartnerLock = 3;  // the lock whose N digest equals the signer field
constexpr int kPartnerKey = 4;   // the only key (signer field receives its digest)

// sign: 1 for operation button 2 (ignored for keys). result: 0, or -1 after an empty input.
// 1 when the command finished or ended after a message; -1 on failure (no message). Ends a
// running single-step session first. A decrypted result holding a zero byte is no text of
// this program: it is refused with a message and the output field stays empty.
[[nodiscard]] int ProtectRecord(KeyTree& tree, Node record, int sign, int& result);

// Finds the partner of record among the direct children of its directory and loads it into
// the tree's second engine. 1 with partner set, or 1 with partner none after a message (no
// unique partner, or an incomplete one); -1 on failure (the record is not in a directory, an
// N line cannot be read, the key cannot be loaded).
[[nodiscard]] int FindPartner(KeyTree& tree, Node& partner, std::string& signerField, Node record, int kind);

// Adds one to the record's use count line, read as a decimal number (a value that is not one
// counts as 0) and held at INT_MAX. Nothing happens when the line cannot be read.
void CountUse(Book& book, Node record);

// The upper-case MD5 hex of a lock's or key's N value text as stored. 1, or -1 when the N line
// cannot be read.
[[nodiscard]] int ModulusDigest(const Book& book, Node record, std::string& digest);

// Ends a command however it ends: the tree's menus flag returns to what it was when the
// command began, and unless Finish() was called the main window goes back to idle, so that a
// failed command leaves neither the menus off nor a stale activity shown.
class CommandGuard {
public:
    explicit CommandGuard(KeyTree& tree);
    ~CommandGuard();
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;
    void Finish() { finished_ = true; }

private:
    KeyTree& tree_;
    bool saved_;
    bool finished_ = false;
};

}  // namespace morvane
