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
// transfer list, the selection) is cleared. Returns 1, or -1 when the stream is malformed,
// the parent is stale or memory runs out; the book and the tree state are then unchanged.
[[nodiscard]] int ReadTreeStream(KeyTree& tree, Node parent, std::span<const std::uint8_t> data);

// For each listed node in order, writes its subtree (with the tree's clipboard mode) and
// reads it back under target. Returns 1, or -1 at the first failure (copies made before it
// stay). Stale entries fail.
[[nodiscard]] int CopySubtrees(KeyTree& tree, Node target, const ItemList& items);

}  // namespace morvane
