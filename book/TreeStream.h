// The tree stream: the byte form of the whole book or of one node with its subtree.
//
// A sequence of 32-bit little-endian words and byte strings, no header, no count, no end
// marker. Item record: kind (never 0), text length L, L text bytes (GBK), view state, flags.
// A close word (a single 0 where a kind would stand) ends the current item's subtree.
// Records come in pre-order; the first item written is never closed. A whole-book stream
// marks the first visible node with flag 0x40 and the marked parent with 0x80.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "book/Book.h"
#include "book/KeyTree.h"

namespace morvane {

// The largest book the program supports: at most kMaxBookItems items (nodes) and a whole-book
// stream of at most kMaxBookStreamBytes. A book of 100,000 keys with their 31 lines each and
// 1024-bit numbers (3.2 million items, a 225 MB stream) fits. Book files beyond it are refused
// before anything is built from them, and no book beyond it is saved; at the limit, opening a
// book needs about 1.1 GB of memory (bench/README.md).
constexpr std::size_t kMaxBookItems = 4'000'000;
constexpr std::size_t kMaxBookStreamBytes = std::size_t{256} << 20;

constexpr std::size_t kNoItemLimit = static_cast<std::size_t>(-1);
// ReadTreeStream's result for a stream of more items than it was allowed.
constexpr int kStreamTooLarge = -2;

// Appends the stream of start and its subtree (start none: the whole book, with the
// markers) to out. mode is the writer mode: bit 1 (copy pending) clears the mark 0x20 in
// written flags unless bit 4 (whole book) is set; bit 2 (cut pending) clears the cut state
// 0x04 in written view states. markedParent gets 0x80 in a whole-book write. Returns 1, or
// -1 for a stale start, an empty book or exhausted memory (out is then as it was).
[[nodiscard]] int WriteTreeStream(const Book& book, Node start, int mode, Node markedParent,
                    std::vector<std::uint8_t>& out);
// The same with the tree's clipboard mode and marked parent.
[[nodiscard]] int WriteTreeStream(const KeyTree& tree, Node start, std::vector<std::uint8_t>& out);

// Reads a stream. With a parent, inserts its items as the parent's last children; a 0x80
// marker makes a node the marked parent, and marked items add to the marked count. Without
// one (none), replaces the whole book: the stream must hold exactly one top-level item and
// a first-visible marker; the marked parent, marked count, first visible node are taken from
// the stream, and every other kept handle (clicked, right-clicked and context items, the
// transfer list, the selection) is cleared. Returns 1; kStreamTooLarge when the stream holds
// more than maxItems records; -1 when it is malformed, the parent is stale or memory runs out.
// The book and the tree state are then unchanged. The whole stream is checked and its records
// counted before any node is made.
[[nodiscard]] int ReadTreeStream(KeyTree& tree, Node parent, std::span<const std::uint8_t> data,
                   std::size_t maxItems = kNoItemLimit);

// For each listed node in order, writes its subtree (with the tree's clipboard mode) and
// reads it back under target. Returns 1, or -1 at the first failure (copies made before it
// stay). Stale entries fail.
[[nodiscard]] int CopySubtrees(KeyTree& tree, Node target, const ItemList& items);

}  // namespace morvane
