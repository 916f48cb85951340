// The single-step session state kept by the key tree, and the message block header it holds.
// Their fields and the operations on them belong to the message layer (message/).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "book/Book.h"
#include "crypto/CRSA.h"

namespace morvane {

// Padding types of a message block.
constexpr std::uint16_t kBlockEncrypt = 1;  // random non-zero padding, raised to E
constexpr std::uint16_t kBlockSign = 2;     // 0xFF padding, raised to D

// The header of the block being built or read.
struct MessageBlock {
    std::uint16_t first = 0;      // 1 while the first block of a message is handled, then 2
    std::uint16_t attribute = 0;  // plain-text attribute; callers pass 2
    std::uint16_t strength = 0;   // bit length of the engine's N
    std::uint16_t type = 0;       // kBlockEncrypt or kBlockSign
    std::uint32_t total = 0;      // length of the whole message in bytes
    std::int32_t serial = 0;      // n-1 on the first of n blocks, down to 0 on the last
    std::uint32_t length = 0;     // message bytes carried by this block
    std::uint32_t m = 0;          // modulus byte length, (strength + 7) / 8
};

// A single-step session: the message is signed and encrypted one block per button press.
struct StepContext {
    Node inputField;  // the input field line clicked when the session started
    Node lock;        // the lock record being encrypted for
    Node key;         // the own key record (only when signing)
    Node last;        // the record whose phase ran in the latest step

    std::int32_t signSerial = -1;     // next signature block; -1 when none remains or none is needed
    std::int32_t encryptSerial = -1;  // next encryption block; -1 when none remains
    std::int32_t sign = 1;            // 1 for sign-and-encrypt

    std::vector<std::uint8_t> input;       // the input text's bytes
    std::vector<std::uint8_t> signature;   // signature blocks produced so far
    std::vector<std::uint8_t> encryption;  // encryption blocks produced so far
    std::uint32_t signatureSize = 0;       // all signature blocks (block count x block bytes)
    std::uint32_t encryptionSize = 0;      // all encryption blocks
    std::uint32_t signInputLength = 0;     // input length of the signature phase
    std::uint32_t encryptInputLength = 0;  // input length of the encryption phase when not signing
    std::uint32_t outputLength = 0;        // bytes produced so far in the current phase
    std::uint32_t consumed = 0;            // input bytes consumed so far in the current phase

    std::string signerField;  // 32 letters F, or the own key's digest

    bool active = false;       // a session runs
    bool encryptFirst = true;  // the encryption phase has not started
    bool signFirst = true;     // the signature phase has not started
    bool sessionFirst = true;  // the session's first press has not come

    // The operation button that started the running session (1 or 2; 0 for none). While a
    // session is pending, the selection display keeps only that button enabled.
    int pendingButton = 0;

    MessageBlock header;  // the header of the current phase

    // The session's own copies of the own key (mode 1) and the lock (mode 2), taken at the
    // first press, so that clicks, key generation or edits between presses cannot mix keys
    // within one message. Released (and wiped) at reset.
    std::unique_ptr<CRSA> signEngine;
    std::unique_ptr<CRSA> lockEngine;
};

}  // namespace morvane
