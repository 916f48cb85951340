// Word-array routines: fixed spans of 32-bit words, no allocation.
#include <cstring>
#include <utility>

#include "bignum/BigInt.h"
#include "bignum/Limbs.h"

namespace morvane {

using std::size_t;
using std::uint32_t;
using std::uint64_t;

void CopyWords(uint32_t* dst, const uint32_t* src, size_t n) {
    if (n != 0 && dst != src) std::memmove(dst, src, n * sizeof(uint32_t));
}

void ZeroWords(uint32_t* dst, size_t n) {
    if (n != 0) std::memset(dst, 0, n * sizeof(uint32_t));
}

uint32_t AddWordTo(uint32_t* a, size_t n, uint32_t w) {
    for (size_t i = 0; i < n && w != 0; ++i) {
        const uint32_t s = a[i] + w;
        w = s < w ? 1 : 0;
        a[i] = s;
    }
    return w;
}

uint32_t SubWordFrom(uint32_t* a, size_t n, uint32_t w) {
    for (size_t i = 0; i < n && w != 0; ++i) {
        const uint32_t old = a[i];
        a[i] = old - w;
        w = old < w ? 1 : 0;
    }
    return w;
}

uint32_t AddSpan(uint32_t* a, const uint32_t* b, size_t n) {
    uint64_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c += static_cast<uint64_t>(a[i]) + b[i];
        a[i] = static_cast<uint32_t>(c);
        c >>= 32;
    }
    return static_cast<uint32_t>(c);
}

uint32_t SubSpan(uint32_t* a, const uint32_t* b, size_t n) {
    uint64_t borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t d = static_cast<uint64_t>(a[i]) - b[i] - borrow;
        a[i] = static_cast<uint32_t>(d);
        borrow = (d >> 32) & 1;
    }
    return static_cast<uint32_t>(borrow);
}

void NegateSpan(uint32_t* a, size_t n) {
    size_t i = 0;
    while (i < n && a[i] == 0) ++i;
    if (i == n) return;
    a[i] = 0u - a[i];
    for (++i; i < n; ++i) a[i] = ~a[i];
}

int CompareSpan(const uint32_t* a, const uint32_t* b, size_t n) {
    while (n-- > 0) {
        if (a[n] != b[n]) return a[n] < b[n] ? -1 : 1;
    }
    return 0;
}

uint32_t MulWordSpan(uint32_t* out, const uint32_t* a, size_t n, uint32_t w) {
    uint64_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c += static_cast<uint64_t>(a[i]) * w;
        out[i] = static_cast<uint32_t>(c);
        c >>= 32;
    }
    out[n] = static_cast<uint32_t>(c);
    return static_cast<uint32_t>(c);
}

uint32_t MulAddWord(uint32_t* acc, const uint32_t* a, size_t n, uint32_t w) {
    // a[i] * w + acc[i] + carry never exceeds 2^64 - 1.
    uint64_t c = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        c += static_cast<uint64_t>(a[i]) * w + acc[i];
        acc[i] = static_cast<uint32_t>(c);
        c = (c >> 32) + static_cast<uint64_t>(a[i + 1]) * w + acc[i + 1];
        acc[i + 1] = static_cast<uint32_t>(c);
        c = (c >> 32) + static_cast<uint64_t>(a[i + 2]) * w + acc[i + 2];
        acc[i + 2] = static_cast<uint32_t>(c);
        c = (c >> 32) + static_cast<uint64_t>(a[i + 3]) * w + acc[i + 3];
        acc[i + 3] = static_cast<uint32_t>(c);
        c >>= 32;
    }
    for (; i < n; ++i) {
        c += static_cast<uint64_t>(a[i]) * w + acc[i];
        acc[i] = static_cast<uint32_t>(c);
        c >>= 32;
    }
    return static_cast<uint32_t>(c);
}

uint32_t MulSubWord(uint32_t* acc, const uint32_t* a, size_t n, uint32_t w) {
    uint64_t c = 0;  // product carry plus borrow, at most 2^32 - 1 + 1
    size_t i = 0;
    auto step = [&](size_t k) {
        const uint64_t p = static_cast<uint64_t>(a[k]) * w + c;
        const uint32_t lo = static_cast<uint32_t>(p);
        const uint32_t old = acc[k];
        acc[k] = old - lo;
        c = (p >> 32) + (old < lo ? 1 : 0);
    };
    for (; i + 4 <= n; i += 4) {
        step(i);
        step(i + 1);
        step(i + 2);
        step(i + 3);
    }
    for (; i < n; ++i) step(i);
    return static_cast<uint32_t>(c);
}

uint32_t ShiftLeftSpan(uint32_t* a, size_t n, unsigned s) {
    const uint32_t out = a[n - 1] >> (32 - s);
    for (size_t i = n - 1; i > 0; --i) a[i] = (a[i] << s) | (a[i - 1] >> (32 - s));
    a[0] <<= s;
    return out;
}

uint32_t DoubleSpan(uint32_t* a, size_t n) { return ShiftLeftSpan(a, n, 1); }

uint32_t ShiftRightSpan(uint32_t* a, size_t n, unsigned s) {
    const uint32_t out = a[0] & ((1u << s) - 1);
    for (size_t i = 0; i + 1 < n; ++i) a[i] = (a[i] >> s) | (a[i + 1] << (32 - s));
    a[n - 1] >>= s;
    return out;
}

void MulSpan(uint32_t* prod, const uint32_t* a, size_t m, const uint32_t* b, size_t n) {
    if (m == 0 || n == 0) {
        ZeroWords(prod, m + n);
        return;
    }
    if (m < n) {  // the longer operand runs in the inner loop
        std::swap(a, b);
        std::swap(m, n);
    }
    // The even-length parts go through the 64-bit kernel; an odd top word of either operand
    // is then added as one 32-bit row.
    const size_t me = m & ~size_t{1};
    const size_t ne = n & ~size_t{1};
    if (ne != 0) {
        limbs::Mul(prod, a, me / 2, b, ne / 2);
    } else {
        ZeroWords(prod, me);
    }
    if (n != ne) prod[me + ne] = me != 0 ? MulAddWord(prod + ne, a, me, b[n - 1]) : 0;
    if (m != me) prod[me + n] = MulAddWord(prod + me, b, n, a[m - 1]);
}

void SquareSpan(uint32_t* prod, const uint32_t* a, size_t n) {
    const size_t ne = n & ~size_t{1};
    if (ne != 0) {
        limbs::Sqr(prod, a, ne / 2);
    }
    if (n != ne) {
        // (a' + t*B^ne)^2 = a'^2 + 2*t*a'*B^ne + t^2*B^(2ne)
        const uint32_t t = a[ne];
        const uint64_t t2 = static_cast<uint64_t>(t) * t;
        prod[2 * ne] = static_cast<uint32_t>(t2);
        prod[2 * ne + 1] = static_cast<uint32_t>(t2 >> 32);
        for (int twice = 0; twice < 2 && ne != 0; ++twice) {
            const uint32_t c = MulAddWord(prod + ne, a, ne, t);
            (void)AddWordTo(prod + 2 * ne, 2, c);  // the product fits: no carry out
        }
    }
}

size_t SignificantLength(const uint32_t* a, size_t n) {
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

size_t BitLengthSpan(const uint32_t* a, size_t n) {
    n = SignificantLength(a, n);
    if (n == 0) return 0;
    return 32 * n - static_cast<size_t>(__builtin_clz(a[n - 1]));
}

uint32_t DivWordSpan(uint32_t* q, uint32_t* rem, const uint32_t* a, size_t n, uint32_t d) {
    uint64_t r = 0;
    uint32_t top = 0;
    for (size_t i = n; i-- > 0;) {
        const uint64_t cur = (r << 32) | a[i];
        const uint32_t qi = static_cast<uint32_t>(cur / d);
        r = cur % d;
        if (i == n - 1) {
            top = qi;
        } else {
            q[i] = qi;
        }
    }
    *rem = static_cast<uint32_t>(r);
    return top;
}

uint32_t ModWordSpan(const uint32_t* a, size_t n, uint32_t d) {
    uint64_t r = 0;
    for (size_t i = n; i-- > 0;) r = ((r << 32) | a[i]) % d;
    return static_cast<uint32_t>(r);
}

namespace bignum_detail {

// Algorithm D on a divisor already normalised (top bit of b[m-1] set, m >= 2) and a
// dividend a[0..n) shifted alike whose bits shifted out of the top are `extra`.
// Quotient words below the top go to q[0..n-m) (q may be a + m), the remainder is left in
// a[0..m) still shifted; returns the top quotient word.
uint32_t DivNormalised(uint32_t* q, uint32_t* a, size_t n, uint32_t extra, const uint32_t* b, size_t m) {
    const uint64_t b1 = b[m - 1];
    const uint64_t b2 = b[m - 2];
    uint32_t top = extra;  // the word above the current window
    uint32_t qtop = 0;
    for (size_t j = n - m + 1; j-- > 0;) {
        const uint64_t num = (static_cast<uint64_t>(top) << 32) | a[j + m - 1];
        uint64_t qhat, rhat;
        if (top >= b1) {
            // The estimate would not fit a word: start from all ones.
            qhat = 0xFFFFFFFFu;
            rhat = num - qhat * b1;  // below 2 * b1, may exceed a word
        } else {
            qhat = num / b1;
            rhat = num % b1;
        }
        while (rhat <= 0xFFFFFFFFu && qhat * b2 > ((rhat << 32) | a[j + m - 2])) {
            --qhat;
            rhat += b1;
        }
        const uint32_t borrow = MulSubWord(a + j, b, m, static_cast<uint32_t>(qhat));
        if (borrow > top) {
            // The estimate was one too large: add the divisor back.
            (void)AddSpan(a + j, b, m);  // its carry cancels the borrow
            --qhat;
        }
        if (j == n - m) {
            qtop = static_cast<uint32_t>(qhat);
        } else {
            q[j] = static_cast<uint32_t>(qhat);
        }
        if (j > 0) top = a[j + m - 1];
    }
    return qtop;
}

}  // namespace bignum_detail

uint32_t DivSpan(uint32_t* q, uint32_t* a, size_t n, uint32_t* b, size_t m) {
    if (m == 1) {
        uint32_t rem;
        const uint32_t top = DivWordSpan(q, &rem, a, n, b[0]);
        a[0] = rem;
        return top;
    }
    const unsigned s = static_cast<unsigned>(__builtin_clz(b[m - 1]));
    uint32_t extra = 0;
    if (s != 0) {
        (void)ShiftLeftSpan(b, m, s);  // s is the top word's leading zero count
        extra = ShiftLeftSpan(a, n, s);
    }
    const uint32_t top = bignum_detail::DivNormalised(q, a, n, extra, b, m);
    if (s != 0) {
        // Only the zero bits shifted in before come out.
        (void)ShiftRightSpan(a, m, s);
        (void)ShiftRightSpan(b, m, s);
    }
    return top;
}

}  // namespace morvane
