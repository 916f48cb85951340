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

// The induced sorting passes. Entries of sa carry one flag in their sign: a positive entry p
// still has to induce its predecessor p - 1 in the current pass, a negative entry ~p does not.
// Whether p - 1 is of the kind the pass induces follows from comparing two symbols, so no
// type array is kept. 0 stands for an empty slot and for position 0 (no predecessor).
//
// Left to right, placing the L suffixes (larger than their successor) at bucket starts; the
// terminator, smallest of all, induces n - 1 first. When `final` is false only what the S
// pass needs is kept: L suffixes whose predecessor is S, as positive entries.
template <class Sym, bool final>
void InduceL(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t* bkt) {
    {
        const std::int32_t j = n - 1;
        sa[bkt[s[j]]++] = s[j - 1] < s[j] ? ~j : j;
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t v = sa[i];
        if (v > 0) {
            const std::int32_t j = v - 1;
            sa[bkt[s[j]]++] = j > 0 && s[j - 1] < s[j] ? ~j : j;
            sa[i] = final ? ~v : 0;
        } else if (v < 0) {
            sa[i] = ~v;
        }
    }
}

// Right to left, placing the S suffixes at bucket ends. When `final` is false the LMS suffixes
// (S after L) are left as negative entries and everything else is cleared.
template <class Sym, bool final>
void InduceS(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t* bkt) {
    for (std::int32_t i = n - 1; i >= 0; --i) {
        const std::int32_t v = sa[i];
        if (v > 0) {
            const std::int32_t j = v - 1;
            sa[--bkt[s[j]]] = j > 0 && s[j - 1] > s[j] ? ~j : j;
            if (!final) sa[i] = 0;
        } else if (final && v < 0) {
            sa[i] = ~v;
        }
    }
}

// Writes the LMS positions (S suffixes right after an L suffix) in text order to lms and
// returns their count, at most n / 2 (lms holds n / 2 + 1).
template <class Sym>
std::int32_t FindLms(const Sym* s, std::int32_t n, std::int32_t* lms) {
    // From the right, each found position goes one slot further down; the list is then moved
    // to the front. Branch-free: the pattern of types is as random as the text.
    std::int32_t* end = lms + n / 2 + 1;
    std::int32_t* out = end;
    std::int32_t nextS = 0;  // s[n - 1] is L: the terminator after it is smaller
    Sym next = s[n - 1];
    for (std::int32_t i = n - 2; i >= 0; --i) {
        const Sym c = s[i];
        const std::int32_t isS = (c < next) | ((c == next) & nextS);
        out[-1] = i + 1;
        out -= nextS & (isS ^ 1);
        nextS = isS;
        next = c;
    }
    const std::int32_t count = static_cast<std::int32_t>(end - out);
    std::memmove(lms, out, sizeof(std::int32_t) * static_cast<std::size_t>(count));
    return count;
}

// The LMS suffixes lms[0..n1-1] (text order) sorted into sa[0..n1-1] by induced sorting:
// sort the LMS substrings (each from its LMS position to the next one inclusive), name them,
// and sort the string of names, recursively while names repeat. The reduced problem works
// inside sa[0..n-1].
template <class Sym>
void SortLmsInduced(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
                    const std::int32_t* lms, std::int32_t n1, const std::int32_t* counts,
                    std::int32_t* bkt, std::vector<SortScratch>& scratch, std::size_t depth);

template <class Sym>
void SuffixSort(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
                std::vector<SortScratch>& scratch, std::size_t depth);

// Counts the symbols of s[0..n-1] and finds its LMS positions into the scratch of `depth`;
// returns the number of LMS positions.
template <class Sym>
std::int32_t PrepareLevel(const Sym* s, std::int32_t n, std::int32_t k, SortScratch& own) {
    own.counts.assign(k, 0);
    own.buckets.resize(k);
    std::int32_t* counts = own.counts.data();
    for (std::int32_t i = 0; i < n; ++i) ++counts[s[i]];
    own.lms.resize(static_cast<std::size_t>(n / 2) + 1);
    return FindLms(s, n, own.lms.data());
}

// The whole order induced from the sorted LMS suffixes in sa[0..n1-1].
template <class Sym>
void InduceAll(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t k, std::int32_t n1,
               const std::int32_t* counts, std::int32_t* bkt) {
    // Each LMS suffix goes to the end of its bucket, the largest last.
    std::fill(sa + n1, sa + n, 0);
    BucketEnds(counts, k, bkt);
    for (std::int32_t x = n1 - 1; x >= 0; --x) {
        const std::int32_t p = sa[x];
        sa[x] = 0;
        sa[--bkt[s[p]]] = p;  // at x or above: the slot has been read already
    }
    BucketStarts(counts, k, bkt);
    InduceL<Sym, true>(s, sa, n, bkt);
    BucketEnds(counts, k, bkt);
    InduceS<Sym, true>(s, sa, n, bkt);
}

template <class Sym>
void SortLmsInduced(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
                    const std::int32_t* lms, std::int32_t n1, const std::int32_t* counts,
                    std::int32_t* bkt, std::vector<SortScratch>& scratch, std::size_t depth) {
    std::fill(sa, sa + n, 0);
    BucketEnds(counts, k, bkt);
    for (std::int32_t x = n1 - 1; x >= 0; --x) sa[--bkt[s[lms[x]]]] = lms[x];
    BucketStarts(counts, k, bkt);
    InduceL<Sym, false>(s, sa, n, bkt);
    BucketEnds(counts, k, bkt);
    InduceS<Sym, false>(s, sa, n, bkt);
    for (std::int32_t i = 0, x = 0; i < n; ++i) {
        const std::int32_t v = sa[i];
        if (v < 0) sa[x++] = ~v;  // x <= i: the slot has been read already
    }

    // Name them; equal substrings share a name. Two are equal when their lengths and symbols
    // are (the types follow from the symbols). The lengths, then the names, wait in the upper
    // half of sa at n1 + p / 2 (LMS positions are at least 2 apart); the last substring
    // reaches the terminator, is unlike any other and has length 0 there.
    std::fill(sa + n1, sa + n, -1);
    for (std::int32_t x = 0; x + 1 < n1; ++x) sa[n1 + lms[x] / 2] = lms[x + 1] - lms[x] + 1;
    if (n1 > 0) sa[n1 + lms[n1 - 1] / 2] = 0;
    std::int32_t names = 0;
    {
        std::int32_t prev = 0;
        std::int32_t prevLen = -1;
        for (std::int32_t x = 0; x < n1; ++x) {
            const std::int32_t p = sa[x];
            const std::int32_t len = sa[n1 + p / 2];
            if (len == 0 || len != prevLen ||
                std::memcmp(s + p, s + prev, sizeof(Sym) * static_cast<std::size_t>(len)) != 0) {
                ++names;
                prev = p;
                prevLen = len;
            }
            sa[n1 + p / 2] = names - 1;
        }
    }
    for (std::int32_t i = n - 1, j = n - 1; i >= n1; --i) {
        const std::int32_t v = sa[i];
        sa[j] = v;  // j >= i: the slot has been read already
        j -= v >= 0;
    }

    if (n1 == 0) return;
    std::int32_t* s1 = sa + n - n1;
    if (names < n1) {
        SuffixSort<std::int32_t>(s1, sa, n1, names, scratch, depth + 1);
    } else {
        for (std::int32_t x = 0; x < n1; ++x) sa[s1[x]] = x;
    }
    for (std::int32_t y = 0; y < n1; ++y) sa[y] = lms[sa[y]];
}

// Suffix array of s[0..n-1] by induced sorting, as if a terminator smaller than every symbol
// followed s[n-1]; all symbols are below k. Linear time, so long runs and repeats cost nothing
// extra.
template <class Sym>
void SuffixSort(const Sym* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
                std::vector<SortScratch>& scratch, std::size_t depth) {
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    SortScratch& own = scratch[depth];  // sized by the caller: depth stays below 32
    const std::int32_t n1 = PrepareLevel(s, n, k, own);
    // Raw pointers: the vectors' buffers stay put while deeper levels use their own scratch.
    const std::int32_t* counts = own.counts.data();
    std::int32_t* bkt = own.buckets.data();
    SortLmsInduced(s, sa, n, k, own.lms.data(), n1, counts, bkt, scratch, depth);
    InduceAll(s, sa, n, k, n1, counts, bkt);
}

// ---- Sorting the LMS suffixes of a byte text by comparison, eight bytes at a time. On
// ordinary text most of them differ within a few words, which makes this much cheaper than
// the induced sorting of LMS substrings and the reduced string; on highly repetitive text it
// gives up (after a bounded amount of work) and the induced sorting takes over.

std::uint64_t WordAt(const std::uint8_t* s, std::int32_t at) {
    std::uint64_t w;
    std::memcpy(&w, s + at, 8);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    return w;  // compares like the eight bytes
}

// Common prefix of the byte strings at i and j, up to cap bytes; reads up to 7 bytes past
// the shorter end.
std::int32_t CommonBytes(const std::uint8_t* s, std::int32_t i, std::int32_t j,
                         std::int32_t cap) {
    for (std::int32_t h = 0; h < cap; h += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, s + i + h, 8);
        std::memcpy(&b, s + j + h, 8);
        if (a != b) {
            const std::uint64_t x = a ^ b;
            const int same = std::endian::native == std::endian::little
                                 ? std::countr_zero(x) / 8
                                 : std::countl_zero(x) / 8;
            return std::min(h + same, cap);
        }
    }
    return std::max(cap, 0);
}

using LmsItem = CompressMatchFinder::LmsItem;

void SortByKeyCompared(LmsItem* a, std::int32_t count) {
    if (count <= 24) {
        for (std::int32_t x = 1; x < count; ++x) {
            const LmsItem v = a[x];
            std::int32_t y = x;
            for (; y > 0 && a[y - 1].key > v.key; --y) a[y] = a[y - 1];
            a[y] = v;
        }
        return;
    }
    std::sort(a, a + count, [](const LmsItem& l, const LmsItem& r) { return l.key < r.key; });
}

void SortByKey(LmsItem* a, std::int32_t count, std::vector<LmsItem>& spare,
               std::vector<std::int32_t>& histogram) {
    if (count <= 512) {
        SortByKeyCompared(a, count);
        return;
    }
    // By the top 33 bits, 11 at a time from the lowest (a digit that is the same in every key
    // needs no pass), then runs that agree on those bits by the whole key.
    constexpr int kDigits = 3;
    constexpr int kBits = 11;
    constexpr int kShift = 64 - kDigits * kBits;
    spare.resize(static_cast<std::size_t>(count));
    std::vector<std::int32_t>& hist = histogram;
    hist.assign(kDigits << kBits, 0);
    for (std::int32_t x = 0; x < count; ++x) {
        const std::uint64_t k = a[x].key >> kShift;
        for (int d = 0; d < kDigits; ++d) ++hist[(d << kBits) + ((k >> (kBits * d)) & ((1u << kBits) - 1))];
    }
    LmsItem* from = a;
    LmsItem* to = spare.data();
    for (int d = 0; d < kDigits; ++d) {
        std::int32_t* h = hist.data() + (d << kBits);
        const int shift = kShift + kBits * d;
        constexpr std::uint64_t kMask = (1u << kBits) - 1;
        if (h[(a[0].key >> shift) & kMask] == count) continue;
        std::int32_t sum = 0;
        for (int c = 0; c < (1 << kBits); ++c) {
            const std::int32_t t = h[c];
            h[c] = sum;
            sum += t;
        }
        for (std::int32_t x = 0; x < count; ++x) to[h[(from[x].key >> shift) & kMask]++] = from[x];
        std::swap(from, to);
    }
    if (from != a) std::copy(from, from + count, a);
    for (std::int32_t x = 0; x < count;) {
        std::int32_t y = x + 1;
        while (y < count && (a[y].key >> kShift) == (a[x].key >> kShift)) ++y;
        if (y - x > 1) SortByKeyCompared(a + x, y - x);
        x = y;
    }
}

// s is followed by at least 7 zero bytes. Returns false when the work grew too large;
// sa is then undefined.
bool SortLmsCompared(const std::uint8_t* s, std::int32_t n, const std::int32_t* lms,
                     std::int32_t n1, std::int32_t* sa, CompressMatchFinder::CompareScratch& cs) {
    std::int64_t budget = 8 * static_cast<std::int64_t>(n) + 4096;  // words read
    cs.items.resize(static_cast<std::size_t>(n1));
    LmsItem* items = cs.items.data();
    for (std::int32_t x = 0; x < n1; ++x) items[x] = {WordAt(s, lms[x]), lms[x]};
    SortByKey(items, n1, cs.spare, cs.histogram);
    auto& groups = cs.groups;
    groups.clear();
    // Pushes the runs of equal keys in items[begin, begin + count) agreeing on `agreed` bytes.
    auto pushRuns = [&](std::int32_t begin, std::int32_t count, std::int32_t agreed) {
        for (std::int32_t x = begin, end = begin + count; x < end;) {
            std::int32_t y = x + 1;
            while (y < end && items[y].key == items[x].key) ++y;
            if (y - x > 1) groups.push_back({x, y - x, agreed});
            x = y;
        }
    };
    pushRuns(0, n1, 8);
    while (!groups.empty()) {
        auto g = groups.back();
        groups.pop_back();
        for (;;) {
            LmsItem* a = items + g.begin;
            // A suffix that ends within the agreed bytes is smaller than the others (its
            // terminator is), and shorter ones (later positions) smaller still.
            std::int32_t ended = 0;
            std::int32_t shortest = n;
            for (std::int32_t x = 0; x < g.count; ++x) {
                const std::int32_t left = n - a[x].pos;
                if (left <= g.agreed) {
                    std::swap(a[x], a[ended++]);
                } else {
                    shortest = std::min(shortest, left);
                }
            }
            if (ended > 1) {
                std::sort(a, a + ended,
                          [](const LmsItem& l, const LmsItem& r) { return l.pos > r.pos; });
            }
            g.begin += ended;
            g.count -= ended;
            if (g.count < 2) break;
            a += ended;
            // Skip what all of them still have in common (the first word that differs is
            // sorted next); stop where the shortest ends.
            std::int32_t common = shortest - g.agreed;
            for (std::int32_t x = 1; x < g.count && common > 0; ++x) {
                common = CommonBytes(s, a[0].pos + g.agreed, a[x].pos + g.agreed, common);
                budget -= 1 + common / 8;
            }
            budget -= g.count;
            if (budget < 0) return false;
            g.agreed += common;
            if (common == shortest - (g.agreed - common)) continue;  // one of them ended
            for (std::int32_t x = 0; x < g.count; ++x) a[x].key = WordAt(s, a[x].pos + g.agreed);
            SortByKey(a, g.count, cs.spare, cs.histogram);
            pushRuns(g.begin, g.count, g.agreed + 8);
            break;
        }
    }
    for (std::int32_t x = 0; x < n1; ++x) sa[x] = items[x].pos;
    return true;
}

// Suffix array of the bytes s[0..n-1] (followed by at least 7 zero bytes), as if a
// terminator smaller than every byte followed.
void SortBytes(const std::uint8_t* s, std::int32_t* sa, std::int32_t n,
               std::vector<SortScratch>& scratch, CompressMatchFinder::CompareScratch& cs) {
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    SortScratch& own = scratch[0];
    const std::int32_t n1 = PrepareLevel(s, n, 256, own);
    const std::int32_t* counts = own.counts.data();
    std::int32_t* bkt = own.buckets.data();
    const std::int32_t* lms = own.lms.data();
    if (!SortLmsCompared(s, n, lms, n1, sa, cs))
        SortLmsInduced(s, sa, n, 256, lms, n1, counts, bkt, scratch, 0);
    InduceAll(s, sa, n, 256, n1, counts, bkt);
}
}  // namespace

void CompressMatchFinder::Prepare(const std::uint8_t* c, std::int32_t m) {
    m_ = m;
    sparseBuilt_ = false;
    lastQuery_ = -1;
    bytes_.assign(c, c + m);
    bytes_.resize(static_cast<std::size_t>(m) + 8, 0);
    // Ranks 1..m hold the suffix array; -1 at both ends reads as "no position".
    sa_.resize(static_cast<std::size_t>(m) + 2);
    if (scratch_.size() < 32) scratch_.resize(32);  // each level at most halves the text
    SortBytes(bytes_.data(), sa_.data() + 1, m, scratch_, compareScratch_);
    sa_[0] = -1;
    sa_[m + 1] = -1;

    // For each position, the nearest rank on either side with an earlier position: one scan
    // over the ranks with a stack of rising positions. A position is popped by the first
    // later rank with a smaller position (its neighbour above); the entry under it on the
    // stack is its neighbour below.
    near_.resize(m);
    stack_.resize(static_cast<std::size_t>(m) + 1);
    std::int32_t* stack = stack_.data();
    Near* near = near_.data();
    std::int32_t top = 0;
    stack[0] = -1;
    for (std::int32_t r = 1; r <= m + 1; ++r) {
        const std::int32_t p = sa_[r];
        while (stack[top] > p) {
            const std::int32_t q = stack[top];
            near[q] = {stack[top - 1], p};
            --top;
        }
        stack[++top] = p;
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
    const std::int32_t p = near_[i].below;
    const std::int32_t n = near_[i].above;
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
        const auto link = [&](std::int32_t x) { return side == 0 ? near_[x].below : near_[x].above; };
        std::int32_t j = link(i);
        // The first step was measured by LongestPrevious (with a limit of at least len).
        if (j < 0 || (lastQuery_ == i ? lastCommon_[side] : Common(i, j, len)) < len) continue;
        int steps = 0;
        do {
            if (++steps > kWalkLimit) return SparseEarliest(i, len);
            best = std::min(best, j);
            j = link(j);
        } while (j >= 0 && Common(i, j, len) >= len);
    }
    return best;
}

void CompressMatchFinder::BuildSparse() {
    const std::int32_t m = m_;
    const std::int32_t ranks = m + 1;  // with the terminator at rank 0
    rank_.resize(m);
    for (std::int32_t r = 1; r <= m; ++r) rank_[sa_[r]] = r;
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
