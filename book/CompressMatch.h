// Match search of the book coder: for a position i of one chunk, the longest run
// c[j..] == c[i..] over all earlier positions j < i (runs may overlap i and stop at the
// chunk's end), and the earliest j that reaches a given length.
//
// The coded form fixes the choice (longest, then earliest), so the search must be exact,
// not heuristic. It works on the chunk's suffix array: the nearest ranks on either side
// whose position is smaller than i hold the longest earlier run, and the earliest position
// with a run of at least L is the minimum position in the rank interval around i whose
// common prefixes reach L. Walking the chains of "previous smaller position" ranks finds that
// minimum in a few steps on ordinary data; a sparse table takes over when a chain is long
// (runs, periodic data), so every query stays cheap.
#pragma once

#include <cstdint>
#include <vector>

class CompressMatchFinder {
public:
    // Builds the tables for c[0..m-1], 1 <= m. Throws std::bad_alloc.
    void Prepare(const std::uint8_t* c, std::int32_t m);

    // Length of the longest run starting before i that matches the run at i (0 when c[i]
    // occurs nowhere before). Not capped.
    std::int32_t LongestPrevious(std::int32_t i) const;

    // The smallest j < i whose run matching i is at least len long; needs
    // 1 <= len <= LongestPrevious(i). Throws std::bad_alloc (the first long chain of a
    // chunk builds the sparse tables).
    std::int32_t EarliestSource(std::int32_t i, std::int32_t len);

private:
    void BuildSparse();
    std::int32_t SparseEarliest(std::int32_t rank, std::int32_t len);

    std::int32_t m_ = 0;
    std::vector<std::int32_t> text_;   // chunk bytes + 1, then the 0 terminator
    std::vector<std::int32_t> sa_;     // suffix array (with the terminator's entry first)
    std::vector<std::int32_t> rank_;   // inverse of sa_ (without the terminator)
    std::vector<std::int32_t> lcp_;    // lcp_[r]: common prefix of ranks r-1 and r
    std::vector<std::int32_t> psv_;    // nearest rank to the left with a smaller position, -1
    std::vector<std::int32_t> plcp_;   // common prefix with that rank
    std::vector<std::int32_t> nsv_;    // nearest rank to the right with a smaller position, -1
    std::vector<std::int32_t> nlcp_;
    // Sparse tables (level k covers 2^k entries), built on demand per chunk.
    bool sparseBuilt_ = false;
    std::vector<std::vector<std::int32_t>> lcpMin_;
    std::vector<std::vector<std::int32_t>> posMin_;
};
