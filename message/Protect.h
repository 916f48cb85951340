// The protect command behind the main window's two operation buttons, on the record whose
// action line (input field) was clicked:
//  - a lock: the input text is encrypted for it; with button 2 it is first signed with the
//    own key, which must be the only key in the same directory;
//  - a key: the input armored text is decrypted; a "SIGN" text is then verified with the lock
//    of the same directory whose N digest matches the signer field.
// The result goes into the record's output field, the use count and date are updated and a
// message tells the elapsed time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// The two message operations behind ProtectRecord, with explicit inputs so that morvane-cli
// runs the very same pipeline. Neither talks to the user, counts a use or dates a record.

// What SealText made.
struct SealedText {
    std::string armored;                   // the armored text, one line
    std::string signerField;               // the signer's N digest, or kNoSigner
    std::vector<std::uint8_t> signature;   // the signature blocks (signed texts only)
};
// Encrypts text (GBK, as the input box holds it) for lock, signed first with signer unless
// signer is none. The tree's first engine must hold the lock's key and, for a signed text, the
// second engine the signer's. The blocks fill the detail rows of the signer, then the lock's.
// 1, or -1 on failure.
[[nodiscard]] int SealText(KeyTree& tree, Node lock, Node signer, std::string_view text, SealedText& out);

enum class OpenVerdict {
    Unsigned,      // opened; the text carried no signature
    Good,          // opened, and the signature was verified with signer
    NotArmored,    // the input is no armored text
    NoSigner,      // signed, but the finder found no lock to verify it with (it said why)
    NotForKey,     // the blocks do not open with the key: damaged, or meant for another key
    BadSignature,  // the signature blocks do not verify with the signer's lock
    NotText,       // it opened to something no user could have typed
    Failed,        // the signer finder failed, or a detail row could not be updated
};
struct OpenedText {
    OpenVerdict verdict = OpenVerdict::Failed;
    std::string text;          // GBK; set for Unsigned and Good only
    std::string signerField;   // as the armored text carries it
    Node signer;               // Good: the lock the signature was verified with
};
// Finds the lock whose key verifies a message with this signer field and loads it into the
// tree's second engine. 1 with lock set; 1 with lock none when there is none (the finder has
// said why); -1 on failure.
using SignerFinder = std::function<int(const std::string& signerField, Node& lock)>;
// Decrypts an armored text (blanks and the text boxes' framing allowed) with key, whose key
// the tree's first engine must hold, and verifies a signed one with the lock findSigner gives.
// Resets the key's detail rows first; the blocks fill them.
[[nodiscard]] OpenVerdict OpenText(KeyTree& tree, Node key, std::string_view armored, const SignerFinder& findSigner,
                                   OpenedText& out);

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
