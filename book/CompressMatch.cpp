#include "book/CompressMatch.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/Wipe.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvane {

namespace {

using SortScratch = CompressMatchFinder::SortScratch;

// Ranks ahead whose scattered reads and writes are announced to the cache.
constexpr std::int32_t kAhead = 16;

// Ranks per block of the minimum table.
constexpr std::int32_t kBlock = 32;
// Later positions passed over in rank order before a query turns to the block minima.
constexpr int kScanLimit = 32;
// Successive minima followed on one side before the earliest source is found by galloping.
constexpr int kWalkLimit = 16;

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
            // ~j when j - 1 is an S suffix; arithmetic, since the types are as irregular as
            // the text. For j = 0 the comparison is of s[0] with itself.
            const std::int32_t sPred = s[j - (j > 0)] < s[j];
            sa[bkt[s[j]]++] = j ^ -sPred;
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
            const std::int32_t lPred = s[j - (j > 0)] > s[j];  // ~j when j - 1 is an L suffix
            sa[--bkt[s[j]]] = j ^ -lPred;
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

std::uint64_t ReverseBits(std::uint64_t x) {
    x = ((x >> 1) & 0x5555555555555555u) | ((x & 0x5555555555555555u) << 1);
    x = ((x >> 2) & 0x3333333333333333u) | ((x & 0x3333333333333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((x & 0x0F0F0F0F0F0F0F0Fu) << 4);
    return __builtin_bswap64(x);
}

// For a byte text, the same 64 positions at a time: bit k of `less` and `same` tells whether
// s[base + k] is below or equal to the next byte, and a position is S when it is less, or
// same and the next one is S. Written with the bit order reversed, that chain runs from low
// bits to high like the carries of an addition, which computes it. The types go to `words`
// (bit k of word w for position 64 w + k); lms needs room for n / 2 + 64 entries.
std::int32_t FindLms(const std::uint8_t* s, std::int32_t n, std::int32_t* lms,
                     std::vector<std::uint64_t>& words) {
    const std::int32_t count = (n + 63) / 64;
    words.resize(static_cast<std::size_t>(count));
    std::uint64_t nextS = 0;  // the type of the position after the word (0 past the end)
    for (std::int32_t w = count - 1; w >= 0; --w) {
        const std::int32_t base = 64 * w;
        std::uint64_t less = 0, same = 0;
        if (base + 64 < n) {
#if defined(__SSE2__)
            const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
            for (int q = 0; q < 4; ++q) {
                const std::uint8_t* at = s + base + 16 * q;
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
                const auto lt = static_cast<std::uint16_t>(_mm_movemask_epi8(
                    _mm_cmplt_epi8(_mm_xor_si128(a, flip), _mm_xor_si128(b, flip))));
                const auto eq = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
                less |= std::uint64_t{lt} << (16 * q);
                same |= std::uint64_t{eq} << (16 * q);
            }
#else
            for (int k = 0; k < 64; ++k) {
                less |= std::uint64_t{s[base + k] < s[base + k + 1]} << k;
                same |= std::uint64_t{s[base + k] == s[base + k + 1]} << k;
            }
#endif
        } else {
            // The last word; s[n - 1] is L (the terminator after it is smaller).
            for (std::int32_t k = 0; base + k < n - 1; ++k) {
                less |= std::uint64_t{s[base + k] < s[base + k + 1]} << k;
                same |= std::uint64_t{s[base + k] == s[base + k + 1]} << k;
            }
        }
        const std::uint64_t g = ReverseBits(less);
        const std::uint64_t a = g | ReverseBits(same);
        const unsigned __int128 sum =
            static_cast<unsigned __int128>(a) + g + static_cast<unsigned __int128>(nextS);
        const std::uint64_t types = ReverseBits(static_cast<std::uint64_t>((sum ^ a ^ g) >> 1));
        nextS = types & 1;
        words[w] = types;
    }
    // LMS: S after L (position 0 has nothing before it). Eight positions are written per
    // round whether or not that many are set, and the count moves on by the true number:
    // fewer branches than one per position.
    std::int32_t found = 0;
    std::uint64_t lowerTop = 1;
    for (std::int32_t w = 0; w < count; ++w) {
        const std::uint64_t types = words[w];
        std::uint64_t bits = types & ~((types << 1) | lowerTop);
        lowerTop = types >> 63;
        const std::int32_t base = 64 * w;
        const int set = std::popcount(bits);
        std::int32_t* out = lms + found;
        for (int done = 0; done < set; done += 8, out += 8) {
            for (int k = 0; k < 8; ++k) {
                out[k] = base + std::countr_zero(bits);
                bits &= bits - 1;
            }
        }
        found += set;
    }
    return found;
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

// Counts the symbols of s[0..n-1] and finds its LMS positions, into `own`;
// returns the number of LMS positions.
template <class Sym>
std::int32_t PrepareLevel(const Sym* s, std::int32_t n, std::int32_t k, SortScratch& own) {
    own.counts.assign(k, 0);
    own.buckets.resize(k);
    std::int32_t* counts = own.counts.data();
    own.lms.resize(static_cast<std::size_t>(n / 2) + 64);
    if constexpr (sizeof(Sym) == 1) {
        // Four tables in turn: in runs of one byte each increment would wait on the last.
        std::int32_t part[4][256] = {};
        std::int32_t i = 0;
        for (; i + 4 <= n; i += 4) {
            ++part[0][s[i]];
            ++part[1][s[i + 1]];
            ++part[2][s[i + 2]];
            ++part[3][s[i + 3]];
        }
        for (; i < n; ++i) ++part[0][s[i]];
        for (int c = 0; c < 256; ++c) counts[c] = part[0][c] + part[1][c] + part[2][c] + part[3][c];
        return FindLms(s, n, own.lms.data(), own.typeWords);
    } else {
        for (std::int32_t i = 0; i < n; ++i) ++counts[s[i]];
        return FindLms(s, n, own.lms.data());
    }
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
    // Least significant digit first; a digit that is the same in every key needs no pass.
    constexpr int kBits = 11;
    constexpr int kDigits = (64 + kBits - 1) / kBits;
    constexpr std::uint64_t kMask = (std::uint64_t{1} << kBits) - 1;
    spare.resize(static_cast<std::size_t>(count));
    std::vector<std::int32_t>& hist = histogram;
    hist.assign(static_cast<std::size_t>(kDigits) << kBits, 0);
    for (std::int32_t x = 0; x < count; ++x) {
        const std::uint64_t k = a[x].key;
        for (int d = 0; d < kDigits; ++d) ++hist[(d << kBits) + ((k >> (kBits * d)) & kMask)];
    }
    LmsItem* from = a;
    LmsItem* to = spare.data();
    for (int d = 0; d < kDigits; ++d) {
        std::int32_t* h = hist.data() + (d << kBits);
        const int shift = kBits * d;
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
}

// s is followed by at least 7 zero bytes. Returns false when the work grew too large;
// sa is then undefined.
bool SortLmsCompared(const std::uint8_t* s, std::int32_t n, const std::int32_t* lms,
                     std::int32_t n1, std::int32_t* sa, CompressMatchFinder::CompareScratch& cs) {
    if (n1 == 0) return true;
    // Ordinary text (book streams) reads fewer than 3 n words; highly repetitive text gives up
    // early, for it is cheaper sorted by induction.
    std::int64_t budget = 4 * static_cast<std::int64_t>(n) + 4096;  // words read
    cs.items.resize(static_cast<std::size_t>(n1));
    LmsItem* items = cs.items.data();
    // First by as many leading bits as fit beside the position in one number: half the data
    // of a (key, position) pair to move around.
    const int posBits = std::bit_width(static_cast<std::uint32_t>(n));
    const std::uint64_t posMask = (std::uint64_t{1} << posBits) - 1;
    const std::int32_t firstAgreed = (64 - posBits) / 8;
    {
        cs.packed.resize(static_cast<std::size_t>(n1));
        cs.packedSpare.resize(static_cast<std::size_t>(n1));
        std::uint64_t* from = cs.packed.data();
        std::uint64_t* to = cs.packedSpare.data();
        for (std::int32_t x = 0; x < n1; ++x)
            from[x] = (WordAt(s, lms[x]) & ~posMask) | static_cast<std::uint64_t>(lms[x]);
        constexpr int kBits = 12;
        constexpr std::uint64_t kMask = (std::uint64_t{1} << kBits) - 1;
        const int digits = (64 - posBits + kBits - 1) / kBits;
        std::vector<std::int32_t>& hist = cs.histogram;
        hist.assign(static_cast<std::size_t>(digits) << kBits, 0);
        for (std::int32_t x = 0; x < n1; ++x) {
            const std::uint64_t k = from[x] >> posBits;
            for (int d = 0; d < digits; ++d) ++hist[(d << kBits) + ((k >> (kBits * d)) & kMask)];
        }
        for (int d = 0; d < digits; ++d) {
            std::int32_t* h = hist.data() + (d << kBits);
            const int shift = posBits + kBits * d;
            if (h[(from[0] >> shift) & kMask] == n1) continue;
            std::int32_t sum = 0;
            for (int c = 0; c < (1 << kBits); ++c) {
                const std::int32_t t = h[c];
                h[c] = sum;
                sum += t;
            }
            for (std::int32_t x = 0; x < n1; ++x) to[h[(from[x] >> shift) & kMask]++] = from[x];
            std::swap(from, to);
        }
        for (std::int32_t x = 0; x < n1; ++x)
            items[x] = {from[x] >> posBits, static_cast<std::int32_t>(from[x] & posMask)};
    }
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
    pushRuns(0, n1, firstAgreed);
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
    lastQuery_ = -1;
    bytes_.assign(c, c + m);
    bytes_.resize(static_cast<std::size_t>(m) + 8, 0);
    sa_.resize(static_cast<std::size_t>(m) + 2);
    if (scratch_.size() < 32) scratch_.resize(32);  // each level at most halves the text
    SortBytes(bytes_.data(), sa_.data() + 1, m, scratch_, compareScratch_);
    sa_[0] = -1;
    sa_[m + 1] = -1;
    // Heads, and for each position its rank and the first positions of the runs that begin
    // with its 3 and 4 bytes: over the ranks a running minimum per group upwards, then
    // each group's minimum carried back down (without branches: group ends are as irregular
    // as the text) and stored by position, where the queries read them in order.
    head_.resize(static_cast<std::size_t>(m) + 2);
    runMin_.resize(static_cast<std::size_t>(m) + 2);
    firsts_.resize(static_cast<std::size_t>(m));
    head_[0] = 0;
    head_[m + 1] = 0;
    {
        const std::uint8_t* text = bytes_.data();
        const std::int32_t* sa = sa_.data();
        std::uint64_t* head = head_.data();
        Firsts* run = runMin_.data();
        std::int32_t low3 = m, low4 = m;
        std::uint64_t before = ~WordAt(text, sa[1]);
        for (std::int32_t r = 1; r <= m; ++r) {
            if (r + kAhead <= m) __builtin_prefetch(text + sa[r + kAhead]);
            const std::int32_t p = sa[r];
            const std::uint64_t h = WordAt(text, p);
            head[r] = h;
            const std::uint64_t d = h ^ before;
            before = h;
            const std::int32_t same3 = -static_cast<std::int32_t>((d >> 40) == 0);
            const std::int32_t same4 = -static_cast<std::int32_t>((d >> 32) == 0);
            low3 = (std::min(low3, p) & same3) | (p & ~same3);
            low4 = (std::min(low4, p) & same4) | (p & ~same4);
            run[r] = {{low3, low4}, r};
        }
        Firsts* byPos = firsts_.data();
        std::int32_t up3 = run[m].of[0], up4 = run[m].of[1];
        byPos[sa[m]] = {{up3, up4}, m};
        for (std::int32_t r = m - 1; r >= 1; --r) {
            if (r > kAhead) __builtin_prefetch(&byPos[sa[r - kAhead]], 1);
            const std::uint64_t d = head[r] ^ head[r + 1];
            const Firsts here = run[r];
            const std::int32_t same3 = -static_cast<std::int32_t>((d >> 40) == 0);
            const std::int32_t same4 = -static_cast<std::int32_t>((d >> 32) == 0);
            up3 = (up3 & same3) | (here.of[0] & ~same3);
            up4 = (up4 & same4) | (here.of[1] & ~same4);
            byPos[sa[r]] = {{up3, up4}, r};
        }
    }

    // First positions of the byte pairs that begin before kPairReach. The table is cleared
    // through the last chunk's pairs (kept for that even if this call runs out of memory).
    if (firstPair_.empty()) firstPair_.assign(std::size_t{1} << 16, -1);
    for (std::int32_t x = 0; x < pairsEntered_; ++x) firstPair_[Pair(lastPairs_.data(), x)] = -1;
    pairsEntered_ = 0;
    const std::int32_t pairs = std::min(kPairReach, m - 1);
    lastPairs_.assign(bytes_.begin(), bytes_.begin() + pairs + 1);
    for (std::int32_t x = pairs - 1; x >= 0; --x) firstPair_[Pair(c, x)] = x;
    pairsEntered_ = pairs;

    // Block minima; the sentinel ranks 0 and m + 1 hold no position.
    const std::int32_t blocks = (m + 2 + kBlock - 1) / kBlock;
    const int levels = std::bit_width(static_cast<std::uint32_t>(blocks));
    blockMin_.resize(static_cast<std::size_t>(levels));
    std::vector<std::int32_t>& first = blockMin_[0];
    first.resize(static_cast<std::size_t>(blocks));
    for (std::int32_t b = 0; b < blocks; ++b) {
        std::int32_t least = m;
        for (std::int32_t r = std::max(1, b * kBlock), end = std::min(m + 1, (b + 1) * kBlock);
             r < end; ++r)
            least = std::min(least, sa_[r]);
        first[b] = least;
    }
    for (int k = 1; k < levels; ++k) {
        const std::int32_t half = std::int32_t{1} << (k - 1);
        const std::int32_t count = blocks - (std::int32_t{1} << k) + 1;
        const std::vector<std::int32_t>& below = blockMin_[k - 1];
        std::vector<std::int32_t>& level = blockMin_[k];
        level.resize(static_cast<std::size_t>(count));
        for (std::int32_t x = 0; x < count; ++x) level[x] = std::min(below[x], below[x + half]);
    }
}

std::int32_t CompressMatchFinder::Common(std::int32_t i, std::int32_t j,
                                         std::int32_t limit) const {
    return CommonBytes(bytes_.data(), i, j, std::min(limit, m_ - std::max(i, j)));
}

std::int32_t CompressMatchFinder::NearestEarlier(std::int32_t r, std::int32_t i,
                                                 std::int32_t dir) const {
    const std::int32_t* sa = sa_.data();
    const std::int32_t m = m_;
    // The rest of r's own block, then the nearest block holding a position below i (the
    // next one, usually, or found by skipping runs of 2^k blocks whose minimum is not),
    // then inside that block.
    const std::int32_t own = r / kBlock;
    if (dir < 0) {
        for (std::int32_t x = r - 1; x >= std::max(1, own * kBlock); --x)
            if (sa[x] < i) return x;
        std::int32_t end = own;  // blocks below `end` are left
        if (end > 0 && blockMin_[0][end - 1] < i) {
            for (std::int32_t x = end * kBlock - 1;; --x)
                if (sa[x] < i) return x;
        }
        for (int k = static_cast<int>(blockMin_.size()) - 1; k >= 0; --k) {
            const std::int32_t span = std::int32_t{1} << k;
            if (end - span >= 0 && blockMin_[k][end - span] >= i) end -= span;
        }
        if (end == 0) return 0;
        for (std::int32_t x = end * kBlock - 1;; --x)
            if (sa[x] < i) return x;
    }
    for (std::int32_t x = r + 1; x <= std::min(m, own * kBlock + kBlock - 1); ++x)
        if (sa[x] < i) return x;
    const std::int32_t blocks = static_cast<std::int32_t>(blockMin_[0].size());
    std::int32_t begin = own + 1;  // blocks from `begin` on are left
    if (begin < blocks && blockMin_[0][begin] < i) {
        for (std::int32_t x = begin * kBlock;; ++x)
            if (sa[x] < i) return x;
    }
    for (int k = static_cast<int>(blockMin_.size()) - 1; k >= 0; --k) {
        const std::int32_t span = std::int32_t{1} << k;
        if (begin + span <= blocks && blockMin_[k][begin] >= i) begin += span;
    }
    if (begin == blocks) return m + 1;
    for (std::int32_t x = begin * kBlock;; ++x)
        if (sa[x] < i) return x;
}

std::int32_t CompressMatchFinder::CommonRanks(std::int32_t i, std::int32_t r, std::int32_t x,
                                              std::int32_t limit) const {
    const std::int32_t j = sa_[x];
    if (j < 0) return 0;
    const std::uint64_t diff = head_[r] ^ head_[x];
    if (diff != 0) {
        // Past the chunk's end a head holds zeros, which must not count.
        return std::min({std::countl_zero(diff) / 8, limit, m_ - std::max(i, j)});
    }
    return Common(i, j, limit);
}

std::int32_t CompressMatchFinder::LongestPreviousPast4(std::int32_t i, std::int32_t limit) {
    const Firsts& f = firsts_[i];
    // A longer run: the nearest earlier positions on either side in rank order share the
    // most with i. Look for them among the ranks sharing the first 4 bytes with i first (an
    // earlier one is among them; where a side has none, the other side holds the answer).
    // Where the later positions in between are many, the block minima find them.
    const std::int32_t r = f.rank;
    const std::uint64_t* head = head_.data();
    const std::int32_t* sa = sa_.data();
    const std::uint64_t prefix = head[r] >> 32;
    const std::int32_t m = m_;
    std::int32_t near[2];
    for (int side = 0; side < 2; ++side) {
        const std::int32_t dir = side == 0 ? -1 : 1;
        std::int32_t x = r + dir;
        int steps = 0;
        while (x >= 1 && x <= m && (head[x] >> 32) == prefix && sa[x] > i) {
            x += dir;
            if (++steps == kScanLimit) break;
        }
        if (steps == kScanLimit) {
            near[0] = NearestEarlier(r, i, -1);
            near[1] = NearestEarlier(r, i, 1);
            break;
        }
        // Past the group the answer lies on the other side; rank 0 holds no position.
        near[side] = x >= 1 && x <= m && (head[x] >> 32) == prefix ? x : 0;
    }
    lastQuery_ = i;
    for (int side = 0; side < 2; ++side) {
        lastNear_[side] = near[side];
        lastCommon_[side] = CommonRanks(i, r, near[side], limit);
    }
    return std::max(lastCommon_[0], lastCommon_[1]);
}

namespace {

// Last rank from r, stepping by dir, for which shares() holds (it holds for r, and for every
// rank between r and the last): galloping, then halving back.
template <class Shares>
std::int32_t LastSharing(std::int32_t r, std::int32_t dir, Shares&& shares) {
    std::int32_t good = r;
    std::int32_t step = 1;
    while (shares(good + dir * step)) {
        good += dir * step;
        step *= 2;
    }
    for (step /= 2; step > 0; step /= 2) {
        if (shares(good + dir * step)) good += dir * step;
    }
    return good;
}

}  // namespace

std::int32_t CompressMatchFinder::BlockEnd(std::int32_t i, std::int32_t r, std::int32_t dir,
                                           std::int32_t len) const {
    const std::int32_t m = m_;
    if (len <= 8) {
        // The heads alone decide. A run near the chunk's end may look as if it shared len
        // bytes through the zeros after the end; such a run starts after i (i has len bytes
        // left), so it never is the smallest position of the block.
        const std::uint64_t mask = ~std::uint64_t{0} << (64 - 8 * len);
        const std::uint64_t key = head_[r] & mask;
        const std::uint64_t* head = head_.data();
        return LastSharing(r, dir, [&](std::int32_t x) {
            return x >= 1 && x <= m && (head[x] & mask) == key;
        });
    }
    return LastSharing(r, dir, [&](std::int32_t x) {
        return x >= 1 && x <= m && CommonRanks(i, r, x, len) >= len;
    });
}

std::int32_t CompressMatchFinder::MinPosition(std::int32_t lo, std::int32_t hi) const {
    const std::int32_t* sa = sa_.data();
    const std::int32_t bl = lo / kBlock;
    const std::int32_t bh = hi / kBlock;
    std::int32_t best = m_;
    if (bl == bh) {
        for (std::int32_t x = lo; x <= hi; ++x) best = std::min(best, sa[x]);
        return best;
    }
    for (std::int32_t x = lo, end = (bl + 1) * kBlock; x < end; ++x) best = std::min(best, sa[x]);
    for (std::int32_t x = bh * kBlock; x <= hi; ++x) best = std::min(best, sa[x]);
    if (bh - bl > 1) {
        const std::int32_t from = bl + 1;
        const std::int32_t count = bh - from;
        const int k = std::bit_width(static_cast<std::uint32_t>(count)) - 1;
        const std::vector<std::int32_t>& level = blockMin_[k];
        best = std::min({best, level[from], level[bh - (std::int32_t{1} << k)]});
    }
    return best;
}

std::int32_t CompressMatchFinder::EarliestSourceBeyond(std::int32_t i, std::int32_t len) const {
    // The ranks sharing len bytes with i surround i's rank. On each side, the nearest rank
    // with an earlier position, then the nearest beyond it with a position earlier still,
    // and so on, visits the successive minima; the last one that shares len bytes is the
    // smallest position on that side. The first step is usually known from LongestPrevious
    // (which looks only among runs sharing 4 bytes, enough for len above 4). In runs and
    // periodic text that chain grows long: then the block is found by galloping outwards,
    // and its smallest position comes from the block minima.
    // First, though: the earliest run sharing 4 bytes, when it shares len, is the answer.
    const Firsts& f = firsts_[i];
    if (len >= 4 && f.of[1] < i && Common(i, f.of[1], len) >= len) return f.of[1];
    const std::int32_t r = f.rank;
    const bool known = lastQuery_ == i && len > 4;
    std::int32_t best = i;
    for (int side = 0; side < 2; ++side) {
        const std::int32_t dir = side == 0 ? -1 : 1;
        std::int32_t x = known ? lastNear_[side] : NearestEarlier(r, i, dir);
        std::int32_t common = known ? lastCommon_[side] : CommonRanks(i, r, x, len);
        for (int steps = 0; common >= len; ++steps) {
            if (steps == kWalkLimit)
                return MinPosition(BlockEnd(i, r, -1, len), BlockEnd(i, r, 1, len));
            const std::int32_t j = sa_[x];
            best = std::min(best, j);
            x = NearestEarlier(x, j, dir);
            common = CommonRanks(i, r, x, len);
        }
    }
    return best;
}

}  // namespace morvane

namespace morvane {

void CompressMatchFinder::Wipe() noexcept {
    morvane::Wipe(bytes_);
    morvane::Wipe(sa_);
    morvane::Wipe(head_);
    morvane::Wipe(firsts_);
    morvane::Wipe(runMin_);
    morvane::Wipe(firstPair_);
    morvane::Wipe(lastPairs_);
    for (auto& level : blockMin_) morvane::Wipe(level);
    for (SortScratch& s : scratch_) {
        morvane::Wipe(s.counts);
        morvane::Wipe(s.buckets);
        morvane::Wipe(s.lms);
        morvane::Wipe(s.typeWords);
    }
    morvane::Wipe(compareScratch_.items);
    morvane::Wipe(compareScratch_.spare);
    morvane::Wipe(compareScratch_.packed);
    morvane::Wipe(compareScratch_.packedSpare);
    morvane::Wipe(compareScratch_.groups);
    morvane::Wipe(compareScratch_.histogram);
    pairsEntered_ = 0;
    lastQuery_ = -1;
    m_ = 0;
}

namespace {

// Common prefix of the runs at i and j < i of c[0..m-1], capped at cap <= m - i; reads
// nothing past c[m - 1].
std::int32_t CommonWithin(const std::uint8_t* c, std::int32_t i, std::int32_t j, std::int32_t cap) {
    std::int32_t h = 0;
    for (; h + 8 <= cap; h += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, c + i + h, 8);
        std::memcpy(&b, c + j + h, 8);
        if (a != b) {
            const std::uint64_t x = a ^ b;
            return h + (std::endian::native == std::endian::little ? std::countr_zero(x)
                                                                   : std::countl_zero(x)) / 8;
        }
    }
    while (h < cap && c[i + h] == c[j + h]) ++h;
    return h;
}

// Chain work allowed for a chunk up to position i: one step per position passed, and a
// start-up allowance. Text coded in long runs stays far below it; text of short matches (a
// book) passes it within its first few thousand bytes, and little is lost.
std::int64_t ChainBudget(std::int32_t i) {
    return std::int64_t{i} + 1024;
}

}  // namespace

void CompressChainFinder::Wipe() noexcept {
    morvane::Wipe(first_);
    morvane::Wipe(last_);
    morvane::Wipe(next_);
    morvane::Wipe(used_);
    morvane::Wipe(firstPair_);
    morvane::Wipe(lastPairs_);
    pairsEntered_ = 0;
    c_ = nullptr;
}

void CompressChainFinder::Start(const std::uint8_t* c, std::int32_t m) {
    c_ = c;
    m_ = m;
    entered_ = 0;
    work_ = 0;
    if (first_.empty()) first_.assign(std::size_t{1} << kHashBits, -1);
    for (const std::uint32_t h : used_) first_[h] = -1;
    used_.clear();
    used_.reserve(static_cast<std::size_t>(m));  // entering never allocates, so never fails
    last_.resize(std::size_t{1} << kHashBits);
    next_.resize(static_cast<std::size_t>(m));
    if (firstPair_.empty()) firstPair_.assign(std::size_t{1} << 16, -1);
    for (std::int32_t x = 0; x < pairsEntered_; ++x)
        firstPair_[(std::int32_t{lastPairs_[x]} << 8) | lastPairs_[x + 1]] = -1;
    pairsEntered_ = 0;
    const std::int32_t pairs = std::min(CompressMatchFinder::kPairReach, m - 1);
    lastPairs_.assign(c, c + pairs + 1);
    for (std::int32_t x = pairs - 1; x >= 0; --x) firstPair_[(std::int32_t{c[x]} << 8) | c[x + 1]] = x;
    pairsEntered_ = pairs;
}

bool CompressChainFinder::Longest(std::int32_t i, std::int32_t limit, std::int32_t& len,
                                  std::int32_t& source) {
    const std::uint8_t* c = c_;
    // Every position before i with 3 bytes of its own joins its chain, latest last.
    const std::int32_t upTo = std::min(i, m_ - 2);
    for (std::int32_t j = entered_; j < upTo; ++j) {
        const std::uint32_t h = Hash(c + j);
        if (first_[h] < 0) {
            first_[h] = j;
            used_.push_back(h);
        } else {
            next_[last_[h]] = j;
        }
        last_[h] = j;
    }
    entered_ = std::max(entered_, upTo);

    const std::int32_t cap = std::min(limit, m_ - i);
    std::int32_t best = 0, from = -1;
    if (cap >= 3) {
        const std::uint32_t h = Hash(c + i);
        const std::int32_t end = last_[h];
        for (std::int32_t j = first_[h]; j >= 0 && j < i;) {
            ++work_;
            // Only a longer run counts: sources are visited earliest first.
            if (best == 0 || c[j + best] == c[i + best]) {
                const std::int32_t common = CommonWithin(c, i, j, cap);
                work_ += common / 64;  // eight words compare in about the time of one step
                if (common > best && common >= 3) {
                    best = common;
                    from = j;
                    if (best == cap) break;
                }
            }
            if (j == end) break;
            j = next_[j];
        }
        if (work_ > ChainBudget(i)) return false;
    }
    if (best == 0 && cap >= 2 && i < CompressMatchFinder::kPairReach) {
        const std::int32_t p = firstPair_[(std::int32_t{c[i]} << 8) | c[i + 1]];
        if (p < i) {
            best = 2;
            from = p;
        }
    }
    len = best;
    source = from;
    return true;
}

}  // namespace morvane
