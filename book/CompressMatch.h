// Match search of the book coder: for a position i of one chunk, the longest run
// c[j..] == c[i..] over all earlier positions j < i (runs may overlap i and stop at the
// chunk's end), and the earliest j that reaches a given length.
//
// The coded form fixes the choice (longest, then earliest), so the search must be exact,
// not heuristic. It works on the chunk's suffix array. The earliest position with a given
// 3- or 4-byte start is read off per position (precomputed over the groups of ranks that
// share it), which settles most queries on ordinary data. Longer runs: among the earlier
// positions, the two nearest to i in rank order (one on each side) share the longest prefix
// with it; the earliest one sharing L bytes is the last of the successive minima on either
// side that still shares L bytes. A table of block minima over the ranks finds each nearest
// earlier position in a few steps, whatever the text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace morvane {

class CompressMatchFinder {
public:
    // Builds the tables for c[0..m-1], 1 <= m. Throws std::bad_alloc.
    void Prepare(const std::uint8_t* c, std::int32_t m);
    // Wipes and releases every table (they hold the chunk's bytes and their order).
    void Wipe() noexcept;

    // Runs of exactly 2 bytes are only looked for before this position: further on they
    // never pay off (the source position field is 13 bits or wider).
    static constexpr std::int32_t kPairReach = 4096;

    // Length of the longest run starting before i that matches the run at i, capped at
    // limit, when it is at least 3 bytes, or 2 bytes and i < kPairReach; 0 otherwise.
    std::int32_t LongestPrevious(std::int32_t i, std::int32_t limit) {
        // Runs of 2 to 4 bytes are settled by the first positions of their groups; the zeros
        // after the chunk's end must not make a shorter run look like one of them.
        const std::int32_t cap = std::min(limit, m_ - i);
        const Firsts& f = firsts_[i];
        if (cap >= 5 && f.of[1] < i) return LongestPreviousPast4(i, limit);
        if (cap >= 4 && f.of[1] < i) return 4;
        if (cap >= 3 && f.of[0] < i) return 3;
        if (cap >= 2 && i < kPairReach && firstPair_[Pair(bytes_.data(), i)] < i) return 2;
        return 0;
    }

    // The smallest j < i whose run matching i is at least len long; needs
    // 1 <= len <= LongestPrevious(i, len).
    std::int32_t EarliestSource(std::int32_t i, std::int32_t len) const {
        if (len >= 3 && len <= 4) return firsts_[i].of[len - 3];
        if (len == 2 && i < kPairReach) return firstPair_[Pair(bytes_.data(), i)];
        return EarliestSourceBeyond(i, len);
    }

    // Symbol counts, bucket pointers, LMS positions and (for bytes) suffix types of one
    // level of the suffix sorter, kept to spare reallocations.
    struct SortScratch {
        std::vector<std::int32_t> counts, buckets, lms;
        std::vector<std::uint64_t> typeWords;
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
        std::vector<std::uint64_t> packed, packedSpare;
        std::vector<Group> groups;
        std::vector<std::int32_t> histogram;
    };

private:
    // The byte pair at s[at], high byte first.
    static std::int32_t Pair(const std::uint8_t* s, std::int32_t at) {
        return (std::int32_t{s[at]} << 8) | s[at + 1];
    }
    // LongestPrevious where an earlier run shares at least 4 bytes and 5 are left.
    std::int32_t LongestPreviousPast4(std::int32_t i, std::int32_t limit);
    // EarliestSource by the suffix array, for any len.
    std::int32_t EarliestSourceBeyond(std::int32_t i, std::int32_t len) const;
    // Common prefix of the runs at i and j, capped at limit and at the chunk's end.
    std::int32_t Common(std::int32_t i, std::int32_t j, std::int32_t limit) const;
    // Common prefix of the run at i (rank r) and the one at rank x, capped at limit and at
    // the chunk's end; 0 for the sentinel ranks.
    std::int32_t CommonRanks(std::int32_t i, std::int32_t r, std::int32_t x,
                             std::int32_t limit) const;
    // Outermost rank from rank r of i, stepping by dir (-1 or 1), whose run shares at least
    // len bytes with i (every rank in between does too).
    std::int32_t BlockEnd(std::int32_t i, std::int32_t r, std::int32_t dir,
                          std::int32_t len) const;
    // Smallest position at ranks lo..hi.
    std::int32_t MinPosition(std::int32_t lo, std::int32_t hi) const;
    // Nearest rank from r in direction dir (-1 or 1) holding a position below i; 0 or
    // m + 1 when there is none.
    std::int32_t NearestEarlier(std::int32_t r, std::int32_t i, std::int32_t dir) const;

    std::int32_t m_ = 0;
    std::vector<std::uint8_t> bytes_;  // the chunk, then 8 zero bytes for word-wide compares
    // Suffix array of the chunk at ranks 1..m; rank 0 stands for the (empty) terminator
    // suffix, and slots 0 and m + 1 hold -1 so that the ends read as "no position".
    std::vector<std::int32_t> sa_;
    // Per rank, the first eight bytes of its run (zeros past the chunk's end) as one number
    // that compares like them: most runs differ within them, and rank order keeps these
    // reads close together.
    std::vector<std::uint64_t> head_;
    // Per position, the smallest positions whose runs begin with the same 3 and 4 bytes
    // (of[0] and of[1]), and its rank; runMin_ builds them over the ranks.
    struct Firsts {
        std::int32_t of[2];
        std::int32_t rank;
    };
    std::vector<Firsts> firsts_;
    std::vector<Firsts> runMin_;
    // The first position of each byte pair (high byte first) among those starting below
    // kPairReach, or -1; the pairs entered for the last chunk are kept to clear the table.
    std::vector<std::int32_t> firstPair_;
    std::vector<std::uint8_t> lastPairs_;
    std::int32_t pairsEntered_ = 0;
    // The last LongestPrevious query that went past 4 bytes, the ranks of the nearest earlier
    // positions it found on either side (among runs sharing 4 bytes; 0 for none) and their
    // common prefixes with it.
    std::int32_t lastQuery_ = -1;
    std::int32_t lastNear_[2] = {0, 0};
    std::int32_t lastCommon_[2] = {0, 0};
    // Minimum position of each block of kBlock ranks, then of 2, 4, ... consecutive blocks.
    std::vector<std::vector<std::int32_t>> blockMin_;
    std::vector<SortScratch> scratch_;
    CompareScratch compareScratch_;
};

// The same answers (longest, then earliest) by chains of earlier positions with the same
// 3-byte hash, followed from the earliest on: a query stops as soon as a source reaches the
// cap, and passes over a source that cannot be longer than the best so far by one byte
// compare. Long runs, short periods and near repeats take a few steps per coded symbol, and
// no suffix sorting. Text with many short matches may need long chains: a chunk's work is
// bounded, and a query that would exceed it reports that, so that the suffix array takes over.
class CompressChainFinder {
public:
    // Starts on c[0..m-1], 2 <= m; c stays the caller's. Throws std::bad_alloc.
    void Start(const std::uint8_t* c, std::int32_t m);

    // For positions i in increasing order: false when the work spent on the chunk so far
    // would pass its bound; otherwise true with len = the longest earlier run matching i
    // (capped at limit and the chunk's end; 0 below 3 bytes, except 2 for i < kPairReach)
    // and source = the earliest position reaching len.
    bool Longest(std::int32_t i, std::int32_t limit, std::int32_t& len, std::int32_t& source);
    // Wipes and releases the tables (the pair table holds the chunk's first bytes).
    void Wipe() noexcept;

private:
    static constexpr int kHashBits = 16;
    static std::uint32_t Hash(const std::uint8_t* p) {
        const std::uint32_t v = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        return (v * 0x9E3779B1u) >> (32 - kHashBits);
    }

    const std::uint8_t* c_ = nullptr;
    std::int32_t m_ = 0;
    std::int32_t entered_ = 0;   // positions below this are in the chains
    std::int64_t work_ = 0;      // chain steps so far, and compared bytes / 64
    std::vector<std::int32_t> first_, last_;  // per hash: earliest and latest entered position
    std::vector<std::uint32_t> used_;         // the hashes entered, to clear first_ again
    std::vector<std::int32_t> next_;          // per position: the next one with its hash
    std::vector<std::int32_t> firstPair_;     // as in CompressMatchFinder
    std::int32_t pairsEntered_ = 0;
    std::vector<std::uint8_t> lastPairs_;
};

}  // namespace morvane
