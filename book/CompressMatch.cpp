#include "book/CompressMatch.h"

#include <algorithm>
#include <bit>

namespace {

// Chain steps per side before a query switches to the sparse tables.
constexpr int kWalkLimit = 48;

// Bucket starts (ends = false) or ends (ends = true) of each symbol of s.
void FillBuckets(const std::int32_t* s, std::int32_t n, std::int32_t k, std::int32_t* bkt,
                 bool ends) {
    std::fill(bkt, bkt + k, 0);
    for (std::int32_t i = 0; i < n; ++i) ++bkt[s[i]];
    std::int32_t sum = 0;
    for (std::int32_t c = 0; c < k; ++c) {
        const std::int32_t count = bkt[c];
        sum += count;
        bkt[c] = ends ? sum : sum - count;
    }
}

void InduceL(const std::int32_t* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
             std::int32_t* bkt, const std::uint8_t* sType) {
    FillBuckets(s, n, k, bkt, false);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t j = sa[i] - 1;
        if (sa[i] > 0 && !sType[j]) sa[bkt[s[j]]++] = j;
    }
}

void InduceS(const std::int32_t* s, std::int32_t* sa, std::int32_t n, std::int32_t k,
             std::int32_t* bkt, const std::uint8_t* sType) {
    FillBuckets(s, n, k, bkt, true);
    for (std::int32_t i = n - 1; i >= 0; --i) {
        const std::int32_t j = sa[i] - 1;
        if (sa[i] > 0 && sType[j]) sa[--bkt[s[j]]] = j;
    }
}

// Suffix array of s[0..n-1] by induced sorting. s[n-1] must be 0 and occur nowhere else;
// every symbol is below k. Linear time, so long runs and repeats cost nothing extra.
void SuffixSort(const std::int32_t* s, std::int32_t* sa, std::int32_t n, std::int32_t k) {
    if (n == 1) {
        sa[0] = 0;
        return;
    }
    std::vector<std::uint8_t> sType(n);  // 1: S-type suffix, 0: L-type
    sType[n - 1] = 1;
    for (std::int32_t i = n - 2; i >= 0; --i)
        sType[i] = s[i] < s[i + 1] || (s[i] == s[i + 1] && sType[i + 1]);
    const std::uint8_t* t = sType.data();
    auto isLms = [t](std::int32_t i) { return i > 0 && t[i] && !t[i - 1]; };

    std::vector<std::int32_t> bucketStore(k);
    std::int32_t* bkt = bucketStore.data();

    // Sort the LMS substrings.
    FillBuckets(s, n, k, bkt, true);
    std::fill(sa, sa + n, -1);
    for (std::int32_t i = 1; i < n; ++i)
        if (isLms(i)) sa[--bkt[s[i]]] = i;
    InduceL(s, sa, n, k, bkt, t);
    InduceS(s, sa, n, k, bkt, t);

    // Name them; equal substrings share a name.
    std::int32_t n1 = 0;
    for (std::int32_t i = 0; i < n; ++i)
        if (isLms(sa[i])) sa[n1++] = sa[i];
    std::fill(sa + n1, sa + n, -1);
    std::int32_t names = 0;
    std::int32_t prev = -1;
    for (std::int32_t i = 0; i < n1; ++i) {
        const std::int32_t pos = sa[i];
        bool differs = false;
        for (std::int32_t d = 0;; ++d) {
            if (prev < 0 || s[pos + d] != s[prev + d] || t[pos + d] != t[prev + d]) {
                differs = true;
                break;
            }
            if (d > 0 && (isLms(pos + d) || isLms(prev + d))) break;
        }
        if (differs) {
            ++names;
            prev = pos;
        }
        sa[n1 + pos / 2] = names - 1;
    }
    for (std::int32_t i = n - 1, j = n - 1; i >= n1; --i)
        if (sa[i] >= 0) sa[j--] = sa[i];

    // Sort the reduced string (recursively while names repeat).
    std::int32_t* s1 = sa + n - n1;
    std::int32_t* sa1 = sa;
    if (names < n1) {
        SuffixSort(s1, sa1, n1, names);
    } else {
        for (std::int32_t i = 0; i < n1; ++i) sa1[s1[i]] = i;
    }

    // Induce the full order from the sorted LMS suffixes.
    FillBuckets(s, n, k, bkt, true);
    for (std::int32_t i = 1, j = 0; i < n; ++i)
        if (isLms(i)) s1[j++] = i;
    for (std::int32_t i = 0; i < n1; ++i) sa1[i] = s1[sa1[i]];
    std::fill(sa + n1, sa + n, -1);
    for (std::int32_t i = n1 - 1; i >= 0; --i) {
        const std::int32_t j = sa[i];
        sa[i] = -1;
        sa[--bkt[s[j]]] = j;
    }
    InduceL(s, sa, n, k, bkt, t);
    InduceS(s, sa, n, k, bkt, t);
}

}  // namespace

void CompressMatchFinder::Prepare(const std::uint8_t* c, std::int32_t m) {
    m_ = m;
    sparseBuilt_ = false;
    text_.resize(static_cast<std::size_t>(m) + 1);
    for (std::int32_t i = 0; i < m; ++i) text_[i] = std::int32_t{c[i]} + 1;
    text_[m] = 0;
    sa_.resize(static_cast<std::size_t>(m) + 1);
    SuffixSort(text_.data(), sa_.data(), m + 1, 257);
    // The terminator's suffix sorts first; drop it.
    std::copy(sa_.begin() + 1, sa_.end(), sa_.begin());
    sa_.resize(m);

    rank_.resize(m);
    for (std::int32_t r = 0; r < m; ++r) rank_[sa_[r]] = r;

    // Common prefixes of neighbouring ranks (Kasai): the prefix shrinks by at most one from
    // position i to i + 1, so the comparisons add up to O(m).
    lcp_.assign(m, 0);
    std::int32_t h = 0;
    for (std::int32_t i = 0; i < m; ++i) {
        const std::int32_t r = rank_[i];
        if (r == 0) {
            h = 0;
            continue;
        }
        const std::int32_t j = sa_[r - 1];
        while (i + h < m && j + h < m && c[i + h] == c[j + h]) ++h;
        lcp_[r] = h;
        if (h > 0) --h;
    }

    // Nearest smaller position on each side in rank order, with the common prefix to it
    // (the minimum of lcp_ over the ranks between).
    psv_.resize(m);
    plcp_.resize(m);
    nsv_.resize(m);
    nlcp_.resize(m);
    std::vector<std::int32_t> stack;
    stack.reserve(64);
    for (std::int32_t r = 0; r < m; ++r) {
        std::int32_t l = lcp_[r];
        while (!stack.empty() && sa_[stack.back()] > sa_[r]) {
            l = std::min(l, plcp_[stack.back()]);
            stack.pop_back();
        }
        psv_[r] = stack.empty() ? -1 : stack.back();
        plcp_[r] = stack.empty() ? 0 : l;
        stack.push_back(r);
    }
    stack.clear();
    for (std::int32_t r = m - 1; r >= 0; --r) {
        std::int32_t l = r + 1 < m ? lcp_[r + 1] : 0;
        while (!stack.empty() && sa_[stack.back()] > sa_[r]) {
            l = std::min(l, nlcp_[stack.back()]);
            stack.pop_back();
        }
        nsv_[r] = stack.empty() ? -1 : stack.back();
        nlcp_[r] = stack.empty() ? 0 : l;
        stack.push_back(r);
    }
}

std::int32_t CompressMatchFinder::LongestPrevious(std::int32_t i) const {
    const std::int32_t r = rank_[i];
    return std::max(psv_[r] >= 0 ? plcp_[r] : 0, nsv_[r] >= 0 ? nlcp_[r] : 0);
}

std::int32_t CompressMatchFinder::EarliestSource(std::int32_t i, std::int32_t len) {
    const std::int32_t rank = rank_[i];
    // Along a chain the positions fall and the common prefix with i can only shrink, so the
    // last chain entry that still reaches len is that side's earliest source.
    std::int32_t best = i;
    const std::vector<std::int32_t>* links[2] = {&psv_, &nsv_};
    const std::vector<std::int32_t>* prefixes[2] = {&plcp_, &nlcp_};
    for (int side = 0; side < 2; ++side) {
        const std::vector<std::int32_t>& link = *links[side];
        const std::vector<std::int32_t>& prefix = *prefixes[side];
        std::int32_t l = prefix[rank];
        std::int32_t r = link[rank];
        int steps = 0;
        while (r >= 0 && l >= len) {
            if (++steps > kWalkLimit) return SparseEarliest(rank, len);
            best = std::min(best, sa_[r]);
            l = std::min(l, prefix[r]);
            r = link[r];
        }
    }
    return best;
}

void CompressMatchFinder::BuildSparse() {
    const std::int32_t m = m_;
    const int levels = std::bit_width(static_cast<std::uint32_t>(m));
    lcpMin_.resize(levels);
    posMin_.resize(levels);
    lcpMin_[0].assign(lcp_.begin(), lcp_.end());
    posMin_[0].assign(sa_.begin(), sa_.end());
    for (int k = 1; k < levels; ++k) {
        const std::int32_t half = std::int32_t{1} << (k - 1);
        const std::int32_t count = m - (std::int32_t{1} << k) + 1;
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

std::int32_t CompressMatchFinder::SparseEarliest(std::int32_t rank, std::int32_t len) {
    if (!sparseBuilt_) BuildSparse();
    const int levels = static_cast<int>(lcpMin_.size());
    // Widen [lo, hi] around rank while every neighbouring common prefix reaches len.
    std::int32_t lo = rank;
    std::int32_t hi = rank;
    for (int k = levels - 1; k >= 0; --k) {
        const std::int32_t step = std::int32_t{1} << k;
        if (lo - step >= 0 && lcpMin_[k][lo - step + 1] >= len) lo -= step;
        if (hi + step <= m_ - 1 && lcpMin_[k][hi + 1] >= len) hi += step;
    }
    const int k = std::bit_width(static_cast<std::uint32_t>(hi - lo + 1)) - 1;
    return std::min(posMin_[k][lo], posMin_[k][hi - (std::int32_t{1} << k) + 1]);
}
