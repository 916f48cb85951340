// Match search of the book coder: for a position i of one chunk, the longest run
// c[j..] == c[i..] over all earlier positions j < i (runs may overlap i and stop at the
// chunk's end), and the earliest j that reaches a given length.
//
// The coded form fixes the choice (longest, then earliest), so the search must be exact,
// not heuristic. It works on the chunk's suffix array. Among the earlier positions, the two
// nearest to i in suffix order (one on each side) share the longest prefix with it. The
// earliest position sharing at least L bytes is the smallest position in the block of suffixes
// around i that share L bytes; following "nearest earlier position in suffix order" links from
// i visits exactly the successive minima, which ends in a few steps on ordinary data. When a
// chain is long (runs, periodic data) a sparse table of minima answers instead, so every
// query stays cheap.
#pragma once

#include <cstdint>
#include <vector>

class CompressMatchFinder {
public:
    // Builds the tables for c[0..m-1], 1 <= m. Throws std::bad_alloc.
    void Prepare(const std::uint8_t* c, std::int32_t m);

    // Length of the longest run starting before i that matches the run at i, capped at
    // limit (0 when c[i] occurs nowhere before).
    std::int32_t LongestPrevious(std::int32_t i, std::int32_t limit);

    // The smallest j < i whose run matching i is at least len long; needs
    // 1 <= len <= LongestPrevious(i, len). Throws std::bad_alloc (the first long chain of a
    // chunk builds the sparse tables).
    std::int32_t EarliestSource(std::int32_t i, std::int32_t len);

    // Symbol counts, bucket pointers and LMS positions of one level of the suffix sorter,
    // kept to spare reallocations.
    struct SortScratch {
        std::vector<std::int32_t> counts, buckets, lms;
    };
    // Working arrays of the comparison sort of the chunk's LMS suffixes.
    struct LmsItem {
        std::uint64_t key;  // the eight bytes being compared, most significant first
        std::int32_t pos;
    };
    struct CompareScratch {
        struct Group {
            std::int32_t begin, count, agreed;  // items whose suffixes agree on `agreed` bytes
        };
        std::vector<LmsItem> items, spare;
        std::vector<Group> groups;
        std::vector<std::int32_t> histogram;
    };

private:
    // Common prefix of the runs at i and j < i, capped at limit.
    std::int32_t Common(std::int32_t i, std::int32_t j, std::int32_t limit) const;
    void BuildSparse();
    std::int32_t SparseEarliest(std::int32_t i, std::int32_t len);

    std::int32_t m_ = 0;
    std::vector<std::uint8_t> bytes_;  // the chunk, then 8 zero bytes for word-wide compares
    // Suffix array of the chunk at ranks 1..m; rank 0 stands for the (empty) terminator
    // suffix, and slots 0 and m + 1 hold -1 so that the ends read as "no position".
    std::vector<std::int32_t> sa_;
    // Per position: the nearest earlier positions ranked below and above it, or -1.
    struct Near {
        std::int32_t below, above;
    };
    std::vector<Near> near_;
    std::vector<std::int32_t> stack_;  // builds near_
    std::vector<std::int32_t> rank_;   // position -> rank (1..m), with the sparse tables
    // The last LongestPrevious query and its common prefixes with prevPos_ and nextPos_.
    std::int32_t lastQuery_ = -1;
    std::int32_t lastCommon_[2] = {0, 0};
    // Sparse tables over ranks 0..m (level k covers 2^k entries), built on demand per chunk:
    // minimum common prefix with the previous rank, and minimum position.
    std::vector<SortScratch> scratch_;
    CompareScratch compareScratch_;
    bool sparseBuilt_ = false;
    std::vector<std::vector<std::int32_t>> lcpMin_;
    std::vector<std::vector<std::int32_t>> posMin_;
};
