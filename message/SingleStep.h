// Single-step mode: encryption (and sign-and-encryption) of a lock's input text one block per
// press of the operation button that started the session, so that the user can watch each
// block's fields in the detail rows. The signature blocks (own key, second engine) come first,
// then the encryption blocks (the lock, first engine); the last press writes the armored text
// into the lock's output field, exactly as the protect command would.
#pragma once

#include <cstdint>

#include "book/Book.h"
#include "book/StepContext.h"

namespace morvane {

class CRSA;
class KeyTree;

// One press on the lock record. The first press of a session sets it up (sign: 1 for operation
// button 2). 1 after a step; -1 on failure (result -1 after an empty input). A failed block
// leaves the session as it was, so the next press retries it; a failed first press leaves no
// session behind.
[[nodiscard]] int StepCommand(KeyTree& tree, Node record, int sign, int& result);

// Counts the blocks of a phase of length input bytes on the engine: the second engine's
// signature phase or the first engine's encryption phase (serial and output size). -1 when the
// engine's modulus cannot carry blocks.
[[nodiscard]] int PrepareStep(KeyTree& tree, CRSA& engine, std::uint32_t length);

// Runs the next block of the engine's phase and shows the bytes it produced in row 41 of the
// phase's record. 1 or -1.
[[nodiscard]] int StepBlock(KeyTree& tree, CRSA& engine);

// Releases the buffers and returns the context to idle.
StepContext& ResetStep(StepContext& context);

// The part of the message carried by the block whose fields the record's detail rows show:
// line is a detail line of group 27 (from = 1) or a field line of a lock or key (from = 2).
// 1 with offset and length (bytes of the message), -1 when the record is not a lock or key or
// a needed line is missing.
[[nodiscard]] int BlockSpan(const Book& book, std::uint32_t& offset, std::uint32_t& length, Node line, int from);

}  // namespace morvane
