#include "book/CompressMatch.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

using SortScratch = CompressMatchFinder::SortScratch;

// Chain steps per side before a query switches to the sparse tables.
constexpr int kWalkLimit = 48;

// Bucket starts or ends from symbol counts.
void BucketStarts(const std::int32_t* counts, std::int32_t k, std::int32_t* bkt) {
    std::int32_t sum = 0;
    for (std::int32_t c = 0; c < k; ++c) {
        bkt[c] = sum;
        sum += counts[c];
    }
}
void BucketEnds(const std::int32_t* counts, std::int32_t k, std::int32_t* bkt) {
    std::int32_t sum = 0;
    for (std::int32_t c = 0; c < k; ++c) {
        sum += counts[c];
        bkt[c] = sum;
    }
}

void InduceL(const std::int32_t* s, std::int32_t* sa, std::int32_t n, const std::int32_t* counts,
             std::int32_t k, std::int32_t* bkt, const std::uint8_t* sType) {
    BucketStarts(counts, k, bkt);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t j = sa[i] - 1;
        if (j >= 0 && !sType[j]) sa[bkt[s[j]]++] = j;
    }
}

void InduceS(const std::int32_t* s, std::int32_t* sa, std::int32_t n, const std::int32_t* counts,
             std::int32_t k, std::int32_t* bkt, const std::uint8_t* sType) {
    BucketEnds(counts, k, bkt);
    for (std::int32_t i = n - 1; i >= 0; --i) {
        const std::int32_t j = sa[i] - 1;
        if (j >= 0 && sType[j]) sa[--bkt[s[j]]] = j;
    }
}

// Suffix array of s[0..n-1] by induced sorting. s[n-1] must be 0 and occur nowhere else;
// every symbol is below k. Linear time, so long runs and repeats cost nothing extra.
void SuffixSort(const std::int32_t* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
                std::vector<SortScratch>& scratch, std::size_t depth) {
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    // Suffix types (1: S, smaller than the next suffix; 0: L) and the leftmost S positions
    // (LMS: an S suffix right after an L suffix).
    if (scratch.size() <= depth) scratch.resize(depth + 1);
    SortScratch& own = scratch[depth];
    own.types.resize(n);
    own.lms.resize(n);
    own.lmsPos.resize(n / 2 + 1);
    std::uint8_t* t = own.types.data();
    std::uint8_t* lms = own.lms.data();
    std::int32_t* lmsPos = own.lmsPos.data();  // LMS positions in text order
    t[n - 1] = 1;
    for (std::int32_t i = n - 2; i >= 0; --i)
        t[i] = static_cast<std::uint8_t>((s[i] < s[i + 1]) | ((s[i] == s[i + 1]) & t[i + 1]));
    lms[0] = 0;
    std::int32_t n1 = 0;
    for (std::int32_t i = 1; i < n; ++i) {
        lms[i] = static_cast<std::uint8_t>(t[i] & (t[i - 1] ^ 1));
        lmsPos[n1] = i;
        n1 += lms[i];
    }

    own.counts.assign(k, 0);
    own.buckets.resize(k);
    std::int32_t* counts = own.counts.data();
    std::int32_t* bkt = own.buckets.data();
    for (std::int32_t i = 0; i < n; ++i) ++counts[s[i]];

    // Sort the LMS substrings.
    BucketEnds(counts, k, bkt);
    std::fill(sa, sa + n, -1);
    for (std::int32_t x = 0; x < n1; ++x) sa[--bkt[s[lmsPos[x]]]] = lmsPos[x];
    InduceL(s, sa, n, counts, k, bkt, t);
    InduceS(s, sa, n, counts, k, bkt, t);

    // Name them; equal substrings share a name. An LMS substring runs from its position to
    // the next LMS position inclusive; two of them are equal when their lengths and symbols
    // are (the types follow from the symbols). The lengths wait in the upper half of sa.
    std::int32_t found = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t p = sa[i];
        sa[found] = p;  // found <= i: the slot has been read already
        found += lms[p];
    }
    std::fill(sa + n1, sa + n, -1);
    for (std::int32_t x = 0; x + 1 < n1; ++x)
        sa[n1 + lmsPos[x] / 2] = lmsPos[x + 1] - lmsPos[x] + 1;
    sa[n1 + (n - 1) / 2] = 1;  // the terminator
    std::int32_t names = 0;
    std::int32_t prev = -1;
    std::int32_t prevLen = 0;
    for (std::int32_t i = 0; i < n1; ++i) {
        const std::int32_t pos = sa[i];
        const std::int32_t len = sa[n1 + pos / 2];
        if (len != prevLen || std::memcmp(s + pos, s + prev, sizeof(std::int32_t) * len) != 0) {
            ++names;
            prev = pos;
            prevLen = len;
        }
        sa[n1 + pos / 2] = names - 1;
    }
    for (std::int32_t i = n - 1, j = n - 1; i >= n1; --i) {
        const std::int32_t v = sa[i];
        sa[j] = v;  // j >= i: the slot has been read already
        j -= v >= 0;
    }

    // Sort the reduced string (recursively while names repeat).
    std::int32_t* s1 = sa + n - n1;
    std::int32_t* sa1 = sa;
    if (names < n1) {
        SuffixSort(s1, sa1, n1, names, scratch, depth + 1);
    } else {
        for (std::int32_t i = 0; i < n1; ++i) sa1[s1[i]] = i;
    }

    // Induce the full order from the sorted LMS suffixes.
    for (std::int32_t i = 0; i < n1; ++i) sa1[i] = lmsPos[sa1[i]];
    std::fill(sa + n1, sa + n, -1);
    BucketEnds(counts, k, bkt);
    for (std::int32_t i = n1 - 1; i >= 0; --i) {
        const std::int32_t j = sa[i];
        sa[i] = -1;
        sa[--bkt[s[j]]] = j;
    }
    InduceL(s, sa, n, counts, k, bkt, t);
    InduceS(s, sa, n, counts, k, bkt, t);
}
}  // namespace

void CompressMatchFinder::Prepare(const std::uint8_t* c, std::int32_t m) {
    m_ = m;
    sparseBuilt_ = false;
    lastQuery_ = -1;
    bytes_.assign(c, c + m);
    bytes_.resize(static_cast<std::size_t>(m) + 8, 0);
    text_.resize(static_cast<std::size_t>(m) + 1);
    for (std::int32_t i = 0; i < m; ++i) text_[i] = std::int32_t{c[i]} + 1;
    text_[m] = 0;
    sa_.resize(static_cast<std::size_t>(m) + 2);
    SuffixSort(text_.data(), sa_.data(), m + 1, 257, scratch_, 0);
    sa_[0] = -1;  // the terminator's suffix sorts first
    sa_[m + 1] = -1;
    rank_.resize(m);
    for (std::int32_t r = 1; r <= m; ++r) rank_[sa_[r]] = r;

    // Remove positions from a list of all ranks, latest first: when i is removed, only
    // earlier positions are left, and its list neighbours are the nearest of them.
    prevPos_.resize(m);
    nextPos_.resize(m);
    links_.resize(static_cast<std::size_t>(m) + 2);
    RankLink* link = links_.data();
    for (std::int32_t x = 0; x <= m + 1; ++x) link[x] = {x - 1, x + 1, sa_[x]};
    for (std::int32_t i = m - 1; i >= 0; --i) {
        RankLink& node = link[rank_[i]];
        RankLink& before = link[node.left];
        RankLink& after = link[node.right];
        prevPos_[i] = before.pos;
        nextPos_[i] = after.pos;
        before.right = node.right;
        after.left = node.left;
    }
}

std::int32_t CompressMatchFinder::Common(std::int32_t i, std::int32_t j,
                                         std::int32_t limit) const {
    limit = std::min(limit, m_ - i);
    const std::uint8_t* c = bytes_.data();
    for (std::int32_t h = 0; h < limit; h += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, c + i + h, 8);
        std::memcpy(&b, c + j + h, 8);
        if (a != b) {
            const std::uint64_t x = a ^ b;
            const int same = std::endian::native == std::endian::little
                                 ? std::countr_zero(x) / 8
                                 : std::countl_zero(x) / 8;
            return std::min(h + same, limit);
        }
    }
    return std::max(limit, 0);
}

std::int32_t CompressMatchFinder::LongestPrevious(std::int32_t i, std::int32_t limit) {
    const std::int32_t p = prevPos_[i];
    const std::int32_t n = nextPos_[i];
    lastQuery_ = i;
    lastCommon_[0] = p >= 0 ? Common(i, p, limit) : 0;
    lastCommon_[1] = n >= 0 ? Common(i, n, limit) : 0;
    return std::max(lastCommon_[0], lastCommon_[1]);
}

std::int32_t CompressMatchFinder::EarliestSource(std::int32_t i, std::int32_t len) {
    // Along a chain the positions fall and the common prefix with i can only shrink, so the
    // last entry that still shares len bytes is that side's earliest source.
    std::int32_t best = i;
    for (int side = 0; side < 2; ++side) {
        const std::int32_t* link = side == 0 ? prevPos_.data() : nextPos_.data();
        std::int32_t j = link[i];
        // The first step was measured by LongestPrevious (with a limit of at least len).
        if (j < 0 || (lastQuery_ == i ? lastCommon_[side] : Common(i, j, len)) < len) continue;
        int steps = 0;
        do {
            if (++steps > kWalkLimit) return SparseEarliest(i, len);
            best = std::min(best, j);
            j = link[j];
        } while (j >= 0 && Common(i, j, len) >= len);
    }
    return best;
}

void CompressMatchFinder::BuildSparse() {
    const std::int32_t m = m_;
    const std::int32_t ranks = m + 1;  // with the terminator at rank 0
    // Common prefix of each rank with the one before it (Kasai: from position i to i + 1 it
    // shrinks by at most one, so the comparisons add up to O(m)).
    std::vector<std::int32_t> lcp(ranks, 0);
    const std::uint8_t* c = bytes_.data();
    std::int32_t h = 0;
    for (std::int32_t i = 0; i < m; ++i) {
        const std::int32_t r = rank_[i];
        if (r == 1) {
            h = 0;
            continue;
        }
        const std::int32_t j = sa_[r - 1];
        while (i + h < m && j + h < m && c[i + h] == c[j + h]) ++h;
        lcp[r] = h;
        if (h > 0) --h;
    }
    const int levels = std::bit_width(static_cast<std::uint32_t>(ranks));
    lcpMin_.resize(levels);
    posMin_.resize(levels);
    lcpMin_[0] = std::move(lcp);
    posMin_[0].assign(sa_.begin(), sa_.begin() + ranks);
    posMin_[0][0] = m;  // the terminator is no source
    for (int k = 1; k < levels; ++k) {
        const std::int32_t half = std::int32_t{1} << (k - 1);
        const std::int32_t count = ranks - (std::int32_t{1} << k) + 1;
        lcpMin_[k].resize(count);
        posMin_[k].resize(count);
        const std::int32_t* lp = lcpMin_[k - 1].data();
        const std::int32_t* pp = posMin_[k - 1].data();
        std::int32_t* lo = lcpMin_[k].data();
        std::int32_t* po = posMin_[k].data();
        for (std::int32_t x = 0; x < count; ++x) {
            lo[x] = std::min(lp[x], lp[x + half]);
            po[x] = std::min(pp[x], pp[x + half]);
        }
    }
    sparseBuilt_ = true;
}

std::int32_t CompressMatchFinder::SparseEarliest(std::int32_t i, std::int32_t len) {
    if (!sparseBuilt_) BuildSparse();
    const int levels = static_cast<int>(lcpMin_.size());
    // Widen [lo, hi] around i's rank while every neighbouring common prefix reaches len;
    // the earliest position in it is the answer (it lies before i, since len is reached by
    // some earlier position).
    const std::int32_t rank = rank_[i];
    std::int32_t lo = rank;
    std::int32_t hi = rank;
    for (int k = levels - 1; k >= 0; --k) {
        const std::int32_t step = std::int32_t{1} << k;
        if (lo - step >= 0 && lcpMin_[k][lo - step + 1] >= len) lo -= step;
        if (hi + step <= m_ && lcpMin_[k][hi + 1] >= len) hi += step;
    }
    const int k = std::bit_width(static_cast<std::uint32_t>(hi - lo + 1)) - 1;
    return std::min(posMin_[k][lo], posMin_[k][hi - (std::int32_t{1} << k) + 1]);
}
