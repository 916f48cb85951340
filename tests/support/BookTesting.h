// Helpers for tests over the key book: random books, comparison, readable dumps and a builder
// for hand-made tree streams.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "book/Book.h"

namespace morvane {

struct RandomBookOptions {
    int nodes = 300;          // about this many nodes in all
    int maxDepth = 6;         // levels below the root
    int maxTextBytes = 60;    // texts from 0 to this many bytes (longer than a label on purpose)
    bool markers = false;     // also give nodes flag bits 0x40 / 0x80 (which a stream strips)
};

// Random GBK text: ASCII, two-byte GBK characters and blanks, up to maxBytes bytes.
std::string RandomGbkText(std::mt19937& rng, int maxBytes);

// Appends one top-level book root holding a random forest below it: kinds 2..7 for items
// (kind 7 always a leaf) and field and detail kinds below locks and keys, random texts,
// random flags (0x01..0x20 bits) and random view states (expanded and other bits). Returns
// the root.
Node AddRandomBook(Book& book, std::mt19937& rng, const RandomBookOptions& options = {});

// Equal shape, kinds, texts, flags and expanded bits (the other view state bits are not
// carried by a stream and are ignored). The message names the first difference.
::testing::AssertionResult BooksEqual(const Book& a, const Book& b);
::testing::AssertionResult SubtreesEqual(const Book& a, Node na, const Book& b, Node nb);

// The children of parent in order: their kinds, their texts, or their texts as UTF-8.
std::vector<std::int32_t> ChildKinds(const Book& book, Node parent);
std::vector<std::string> ChildTexts(const Book& book, Node parent);
std::vector<std::string> ChildTextsUtf8(const Book& book, Node parent);

// One line per node: indentation, kind, text (as UTF-8), flags and state in hex.
std::string DumpBook(const Book& book);
// One line per record or close word of a tree stream; notes where and why it is malformed.
std::string DumpStream(std::span<const std::uint8_t> data);

// Builds tree streams by hand.
class StreamBuilder {
public:
    StreamBuilder& Record(std::int32_t kind, std::string_view text, std::uint32_t state = 0,
                          std::uint32_t flags = 0);
    StreamBuilder& Close(int count = 1);
    StreamBuilder& Word(std::uint32_t w);
    StreamBuilder& Bytes(std::string_view bytes);
    const std::vector<std::uint8_t>& Data() const { return data_; }
    operator std::span<const std::uint8_t>() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
};

}  // namespace morvane
