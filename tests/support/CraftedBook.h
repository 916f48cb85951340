// Book files made the way an attacker would: a small file whose content expands to a huge
// but well-formed tree stream (a book root holding many identical empty items). The coded
// form is written symbol by symbol, so files that expand to gigabytes cost nothing to make.
// Shared by the tests and the benchmarks; no GoogleTest.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace morvane {

// The whole-book tree stream of a root (kind 1, expanded, first-visible marker) holding
// `items` empty leaf items of kind 2: 16 + 20 * items bytes.
std::uint64_t FlatBookStreamSize(std::uint64_t items);

// That stream in the book coder's form, as the compressor cuts it (chunks of 70000 bytes):
// each chunk codes one period of the stream as literals and the rest as copies of it.
std::vector<std::uint8_t> CodeFlatBook(std::uint64_t items);

// A book file (password digest, cipher buffer of the coded stream and its digest) holding
// that book under password.
std::vector<std::uint8_t> CraftBookFile(std::uint64_t items, std::string_view password);

}  // namespace morvane
