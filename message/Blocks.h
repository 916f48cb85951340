// Protected messages as sequences of RSA blocks.
//
// Before exponentiation a block is an m-byte big-endian number (m = modulus byte length):
//   first block:  00 | attribute(2) | strength(2) | type(2) | total(4) | serial(4) | L(4) |
//                 padding | L message bytes                            (capacity m - 19)
//   later blocks: 00 | serial(4) | L(4) | padding | L message bytes   (capacity m - 9)
// Padding is 0xFF for a signature block (raised to D) and random non-zero bytes for an
// encryption block (raised to E). The serial counts down from n - 1 to 0. Each transformed
// block is written with 4 bytes per word of N, most significant byte first.
//
// While a message is encrypted or signed, every field of every block is shown in the detail
// rows of the working record, the tree's marked parent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "book/MainView.h"
#include "book/StepContext.h"

namespace morvane {

class BigInt;
class CRSA;
class KeyTree;

// Failures of UnpackBlock.
constexpr int kBlockHeaderMismatch = -10;  // attribute, strength or type differ from the expected
constexpr int kBlockBadLength = -11;       // the length does not fit the block
constexpr int kBlockDamaged = -12;         // the reserved byte or the padding is not what it must be

// The smallest modulus byte length that can carry a block.
constexpr std::uint32_t kMinBlockModulusBytes = 20;

// serial = block count - 1 and outSize = block count * m for a message of length bytes. A
// modulus shorter than kMinBlockModulusBytes carries no block: serial -1, outSize 0.
void CountBlocks(std::uint64_t length, std::uint32_t m, std::int32_t& serial, std::uint64_t& outSize);

// Bytes of one transmitted block: 4 per word of the engine's N.
std::uint32_t TransmittedBlockBytes(const CRSA& engine);

// The leading bytes to skip in an armored text's blocks: its hex part is right-aligned to
// whole lock blocks (bit length / 8 bytes), so for a modulus whose transmitted blocks are
// longer the fill is leading zeros. 0 when the fill is not all zeros.
std::size_t LeadingBlockFill(const CRSA& engine, const std::vector<std::uint8_t>& sealed);

// Writes count bytes into number so that they end at byte position `position` (counted from
// the least significant byte) and moves position down by count. A field value's least
// significant byte (bytes[0]) lands lowest; for the message bytes (row 36) bytes[0] lands
// highest. Shows the field, most significant byte first, in its row of the working record.
// 1, or -1 when the number cannot grow, the range reaches below byte 0, or the row is missing.
[[nodiscard]] int PutBlockField(KeyTree& tree, BigInt& number, const std::uint8_t* bytes, int& position, std::uint32_t count,
                  std::int32_t row);

// Builds one block of header.length bytes of data (see the layout above), padding with the
// engine's fillers, and shows the whole number in row 37. 1 or -1.
[[nodiscard]] int PackBlock(KeyTree& tree, CRSA& engine, BigInt& number, const std::uint8_t* data, const MessageBlock& header);

// Reads one block: for the first block (header.first 1; it becomes 2) attribute, strength and
// type must equal expected's, and total is read; then serial and L. data receives the L
// message bytes (room for m - 9 needed). L, kBlockHeaderMismatch, kBlockBadLength or
// kBlockDamaged.
[[nodiscard]] int UnpackBlock(std::uint8_t* data, const BigInt& number, MessageBlock& header, const MessageBlock& expected);

// Packs the next block from data[consumed..] (header.serial is its serial), transforms it by
// header.type, appends it to out at outLength and advances outLength and consumed. 1 or -1.
[[nodiscard]] int EncryptMessageBlock(KeyTree& tree, CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                        const std::uint8_t* data, std::uint32_t& consumed, MessageBlock& header, BigInt& work);

// Reads the block at input[position..], transforms it back by header.type, unpacks it, checks
// it against header (the values expected) and appends its message bytes to out. 1 or -1.
[[nodiscard]] int DecryptMessageBlock(CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                        const std::uint8_t* input, std::size_t inputLength, std::size_t& position,
                        MessageBlock& header, BigInt& work);

// A whole message: out = every block of data, outLength its size. Resets and collapses the
// working record's detail rows first, shows the message in row 42, and reports progress and
// activity (5 signing on the second engine, 1 encrypting on the first). 1 or -1.
[[nodiscard]] int EncryptMessage(KeyTree& tree, CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                   const std::uint8_t* data, std::size_t length, std::uint16_t attribute, std::uint16_t type);

// A whole block sequence: out = the message (outLength bytes), followed by a 0 byte that
// outLength does not count unless attribute is 1. The sequence must be whole blocks whose
// serials count down to 0 without announcing more blocks than the input holds, and whose
// lengths add up to the total of the first block. Reports activity (6 verifying on the second
// engine, 2 decrypting on the first) and progress. 1 or -1.
[[nodiscard]] int DecryptMessage(KeyTree& tree, CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                   const std::uint8_t* input, std::size_t length, std::uint16_t attribute, std::uint16_t type);

// Main window notifications (nothing headless). The progress is the share of the tree's
// progress total already done, sent only while a total is set.
void NotifyActivity(KeyTree& tree, ActivityMode mode);
void NotifyProgress(KeyTree& tree);

}  // namespace morvane
