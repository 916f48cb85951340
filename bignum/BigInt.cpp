// Number routines on BigInt values and the object's members.
#include "bignum/BigInt.h"

#include <cstring>
#include <new>
#include <utility>

#include "bignum/Limbs.h"
#include "bignum/SafeAlloc.h"

namespace morvane {

using std::size_t;
using std::uint32_t;
using std::uint64_t;

namespace bignum_detail {
uint32_t DivNormalised(uint32_t* q, uint32_t* a, size_t n, uint32_t extra, const uint32_t* b, size_t m);
}

namespace {

uint32_t Sig(const BigInt& x) {
    return static_cast<uint32_t>(SignificantLength(x.words, x.length));
}

void Normalise(BigInt& x) { x.length = static_cast<uint32_t>(SignificantLength(x.words, x.length)); }

// Scratch words from the heap, released on scope exit.
class Scratch {
public:
    explicit Scratch(size_t n)
        : n_(n == 0 ? 1 : n), p_(static_cast<uint32_t*>(NumberAlloc(n_ * sizeof(uint32_t)))) {}
    ~Scratch() { NumberFree(p_, n_ * sizeof(uint32_t)); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    uint32_t* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    size_t n_;
    uint32_t* p_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Object

BigInt::~BigInt() { Release(); }

void BigInt::Release() noexcept {
    NumberFree(words, static_cast<size_t>(capacity) * sizeof(uint32_t));
    words = nullptr;
    length = 0;
    capacity = 0;
}

BigInt::BigInt(const BigInt& other) {
    if (Copy(*this, other) != 0) throw std::bad_alloc();
}

BigInt& BigInt::operator=(const BigInt& other) {
    (void)Copy(*this, other);  // on failure the old value stays, as documented
    return *this;
}

BigInt::BigInt(BigInt&& other) noexcept
    : words(std::exchange(other.words, nullptr)),
      length(std::exchange(other.length, 0)),
      capacity(std::exchange(other.capacity, 0)) {}

BigInt& BigInt::operator=(BigInt&& other) noexcept {
    if (this != &other) {
        Release();
        words = std::exchange(other.words, nullptr);
        length = std::exchange(other.length, 0);
        capacity = std::exchange(other.capacity, 0);
    }
    return *this;
}

// The chaining forms cannot report a failure; the number keeps a valid value.
BigInt& BigInt::Assign(uint32_t w) {
    (void)SetWord(*this, w);
    return *this;
}

BigInt& BigInt::Assign(const BigInt& other) {
    (void)Copy(*this, other);
    return *this;
}

bool BigInt::EqualsWord(uint32_t w) const { return CompareWord(*this, w) == 0; }

BigInt& BigInt::AddInPlace(uint32_t w) {
    (void)AddWord(*this, w);
    return *this;
}

BigInt& BigInt::MulInPlace(uint32_t w) {
    BigInt temp;
    if (Copy(temp, *this) == 0) (void)MulWord(*this, temp, w);
    return *this;
}

// ---------------------------------------------------------------------------------------
// Number routines

int ReserveWords(BigInt& x, uint32_t n) {
    if (x.capacity >= n) return 0;
    const uint64_t rounded = (static_cast<uint64_t>(n) + 1) & ~uint64_t{1};
    if (rounded > 0xFFFFFFFFu) return -1;
    auto* block = static_cast<uint32_t*>(NumberAlloc(static_cast<size_t>(rounded) * sizeof(uint32_t)));
    if (block == nullptr) return -1;
    // Only the words in use carry the value; the rest of the old block is stale.
    CopyWords(block, x.words, x.length);
    NumberFree(x.words, static_cast<size_t>(x.capacity) * sizeof(uint32_t));
    x.words = block;
    x.capacity = static_cast<uint32_t>(rounded);
    return 0;
}

int Reserve(BigInt& x, uint32_t bits) {
    return ReserveWords(x, static_cast<uint32_t>((static_cast<uint64_t>(bits) + 31) / 32));
}

int Copy(BigInt& dst, const BigInt& src) {
    if (&dst == &src) {
        Normalise(dst);
        return 0;
    }
    const uint32_t n = Sig(src);
    if (ReserveWords(dst, n) != 0) return -1;
    CopyWords(dst.words, src.words, n);
    dst.length = n;
    return 0;
}

int SetWord(BigInt& x, uint32_t w) {
    if (w == 0) {
        x.length = 0;
        return 0;
    }
    if (ReserveWords(x, 1) != 0) return -1;
    x.words[0] = w;
    x.length = 1;
    return 0;
}

int AddWord(BigInt& x, uint32_t w) {
    const uint32_t n = Sig(x);
    if (n == 0) return SetWord(x, w);
    if (ReserveWords(x, n + 1) != 0) return -1;
    x.length = n;
    if (AddWordTo(x.words, n, w) != 0) x.words[x.length++] = 1;
    return 0;
}

int SubWord(BigInt& x, uint32_t w) {
    const uint32_t n = Sig(x);
    if (n == 0) {
        if (SetWord(x, w) != 0) return -1;
        return w != 0 ? 1 : 0;
    }
    if (SubWordFrom(x.words, n, w) != 0) {
        // Only a one-word x can go below zero: the wrapped word is the negated magnitude.
        x.words[0] = 0u - x.words[0];
        x.length = 1;
        return 1;
    }
    return 0;
}

int CompareWord(const BigInt& x, uint32_t w) {
    const uint32_t n = Sig(x);
    if (n == 0) return w == 0 ? 0 : -1;
    if (n > 1) return 1;
    return x.words[0] < w ? -1 : (x.words[0] > w ? 1 : 0);
}

int Add(BigInt& dst, const BigInt& src) {
    const uint32_t a = Sig(dst);
    const uint32_t b = &src == &dst ? a : Sig(src);
    const uint32_t n = a > b ? a : b;
    if (n == 0) {
        dst.length = 0;
        return 0;
    }
    if (ReserveWords(dst, n + 1) != 0) return -1;
    ZeroWords(dst.words + a, n - a);
    uint32_t carry = AddSpan(dst.words, src.words, b);
    if (carry != 0 && n > b) carry = AddWordTo(dst.words + b, n - b, carry);
    dst.length = n;
    if (carry != 0) dst.words[dst.length++] = 1;
    return 0;
}

int Sub(BigInt& dst, const BigInt& src) {
    if (&dst == &src) {
        dst.length = 0;
        return 0;
    }
    const uint32_t a = Sig(dst);
    const uint32_t b = Sig(src);
    const uint32_t n = a > b ? a : b;
    if (n == 0) {
        dst.length = 0;
        return 0;
    }
    if (ReserveWords(dst, n) != 0) return -1;
    ZeroWords(dst.words + a, n - a);
    uint32_t borrow = SubSpan(dst.words, src.words, b);
    if (borrow != 0 && n > b) borrow = SubWordFrom(dst.words + b, n - b, borrow);
    dst.length = n;
    if (borrow != 0) NegateSpan(dst.words, n);
    Normalise(dst);
    return borrow != 0 ? 1 : 0;
}

int Compare(const BigInt& a, const BigInt& b) {
    const uint32_t m = Sig(a), n = Sig(b);
    if (m != n) return m < n ? -1 : 1;
    return CompareSpan(a.words, b.words, m);
}

int Square(BigInt& dst, const BigInt& src) {
    const uint32_t n = Sig(src);
    if (n == 0) {
        dst.length = 0;
        return 0;
    }
    if (&dst == &src) {
        Scratch copy(n);
        if (!copy) return -1;
        CopyWords(copy.get(), src.words, n);
        if (ReserveWords(dst, 2 * n) != 0) return -1;
        SquareSpan(dst.words, copy.get(), n);
    } else {
        if (ReserveWords(dst, 2 * n) != 0) return -1;
        SquareSpan(dst.words, src.words, n);
    }
    dst.length = 2 * n;
    Normalise(dst);
    return 0;
}

int Mul(BigInt& dst, const BigInt& a, const BigInt& b) {
    if (&a == &b) return Square(dst, a);
    const uint32_t m = Sig(a), n = Sig(b);
    if (m == 0 || n == 0) {
        dst.length = 0;
        return 0;
    }
    const BigInt* alias = &dst == &a ? &a : (&dst == &b ? &b : nullptr);
    const uint32_t aliasLength = alias == &a ? m : n;
    Scratch copy(alias != nullptr ? aliasLength : 0);
    if (alias != nullptr) {
        if (!copy) return -1;
        CopyWords(copy.get(), alias->words, aliasLength);
    }
    if (ReserveWords(dst, m + n) != 0) return -1;
    const uint32_t* pa = alias == &a ? copy.get() : a.words;
    const uint32_t* pb = alias == &b ? copy.get() : b.words;
    MulSpan(dst.words, pa, m, pb, n);
    dst.length = m + n;
    Normalise(dst);
    return 0;
}

int MulWord(BigInt& dst, const BigInt& src, uint32_t w) {
    const uint32_t n = Sig(src);
    if (n == 0 || w == 0) {
        dst.length = 0;
        return 0;
    }
    if (w == 1) return Copy(dst, src);
    // Growing keeps the value, and the word loop reads each word before writing it, so the
    // destination may be the source.
    if (ReserveWords(dst, n + 1) != 0) return -1;
    (void)MulWordSpan(dst.words, src.words, n, w);  // the carry word lands in words[n] too
    dst.length = n + 1;
    Normalise(dst);
    return 0;
}

namespace {

// Long division over 64-bit limbs for divisors of three words or more: q = n div d (when q
// is not null), r = n mod d. q differs from r, n and d; r may be n but not d.
int DivideLimbs(BigInt* q, BigInt& r, const BigInt& n, const BigInt& d, uint32_t nl, uint32_t dl) {
    using limbs::u64;
    const size_t nL = (nl + 1) / 2, dL = (dl + 1) / 2, qL = nL - dL + 1;
    const size_t bytes = (nL + 1 + dL + qL) * sizeof(u64);
    auto* u = static_cast<u64*>(NumberAlloc(bytes));
    if (u == nullptr) return -1;
    u64* v = u + nL + 1;
    u64* quotient = v + dL;
    if ((q != nullptr && ReserveWords(*q, static_cast<uint32_t>(2 * qL)) != 0) ||
        ReserveWords(r, static_cast<uint32_t>(2 * dL)) != 0) {
        NumberFree(u, bytes);
        return -1;
    }
    auto load = [](const uint32_t* w, size_t words, size_t i) {
        const uint64_t lo = w[2 * i];
        const uint64_t hi = 2 * i + 1 < words ? w[2 * i + 1] : 0;
        return lo | (hi << 32);
    };
    for (size_t i = 0; i < nL; ++i) u[i] = load(n.words, nl, i);
    for (size_t i = 0; i < dL; ++i) v[i] = load(d.words, dl, i);
    const unsigned s = static_cast<unsigned>(__builtin_clzll(v[dL - 1]));
    u[nL] = 0;
    if (s != 0) {
        for (size_t i = dL - 1; i > 0; --i) v[i] = (v[i] << s) | (v[i - 1] >> (64 - s));
        v[0] <<= s;
        u[nL] = u[nL - 1] >> (64 - s);
        for (size_t i = nL - 1; i > 0; --i) u[i] = (u[i] << s) | (u[i - 1] >> (64 - s));
        u[0] <<= s;
    }
    limbs::DivRem(quotient, u, nL - dL, v, dL);
    if (s != 0) {
        for (size_t i = 0; i + 1 < dL; ++i) u[i] = (u[i] >> s) | (u[i + 1] << (64 - s));
        u[dL - 1] >>= s;
    }
    if (q != nullptr) {
        for (size_t i = 0; i < qL; ++i) {
            q->words[2 * i] = static_cast<uint32_t>(quotient[i]);
            q->words[2 * i + 1] = static_cast<uint32_t>(quotient[i] >> 32);
        }
        q->length = static_cast<uint32_t>(2 * qL);
        Normalise(*q);
    }
    for (size_t i = 0; i < dL; ++i) {
        r.words[2 * i] = static_cast<uint32_t>(u[i]);
        r.words[2 * i + 1] = static_cast<uint32_t>(u[i] >> 32);
    }
    r.length = static_cast<uint32_t>(2 * dL);
    Normalise(r);
    NumberFree(u, bytes);
    return 0;
}

// Divides the nl words at a by the dl words at dw after shifting both left by s (the divisor's
// leading zero bits; shifted: room for dl words when s != 0). The lower quotient words go to q
// (which may be a + dl), the remainder is left in a[0..dl); returns the top quotient word.
uint32_t DivShifted(uint32_t* q, uint32_t* a, uint32_t nl, const uint32_t* dw, uint32_t dl, unsigned s,
                    uint32_t* shifted) {
    const uint32_t* b = dw;
    uint32_t extra = 0;
    if (s != 0) {
        CopyWords(shifted, dw, dl);
        (void)ShiftLeftSpan(shifted, dl, s);  // s is the top word's leading zero count
        b = shifted;
        extra = ShiftLeftSpan(a, nl, s);
    }
    const uint32_t top = bignum_detail::DivNormalised(q, a, nl, extra, b, dl);
    if (s != 0) (void)ShiftRightSpan(a, dl, s);  // a remainder of the shifted values has s low zero bits
    return top;
}

// q = n div d, r = n mod d for distinct q, r, d (r may be n); d not zero.
int DivModDistinct(BigInt& q, BigInt& r, const BigInt& n, const BigInt& d) {
    const uint32_t nl = Sig(n), dl = Sig(d);
    if (nl < dl) {
        if (Copy(r, n) != 0) return -1;
        q.length = 0;
        return 0;
    }
    if (dl == 1) {
        if (ReserveWords(q, nl) != 0 || ReserveWords(r, 1) != 0) return -1;
        uint32_t rem;
        q.words[nl - 1] = DivWordSpan(q.words, &rem, n.words, nl, d.words[0]);
        q.length = nl;
        Normalise(q);
        return SetWord(r, rem);
    }
    if (dl >= 3) return DivideLimbs(&q, r, n, d, nl, dl);
    const unsigned s = static_cast<unsigned>(__builtin_clz(d.words[dl - 1]));
    Scratch shifted(s != 0 ? dl : 0);
    if (s != 0 && !shifted) return -1;
    if (ReserveWords(q, nl - dl + 1) != 0 || ReserveWords(r, nl) != 0) return -1;
    if (&r != &n) CopyWords(r.words, n.words, nl);
    q.words[nl - dl] = DivShifted(q.words, r.words, nl, d.words, dl, s, shifted.get());
    q.length = nl - dl + 1;
    Normalise(q);
    r.length = dl;
    Normalise(r);
    return 0;
}

}  // namespace

int DivMod(BigInt& q, BigInt& r, const BigInt& n, const BigInt& d) {
    if (Sig(d) == 0 || &q == &r) return -1;
    if (&q == &n || &q == &d || &r == &d) {
        // Work on private values so no input is overwritten while it is still read.
        BigInt nn, dd, qq, rr;
        if (Copy(nn, n) != 0 || Copy(dd, d) != 0 || DivModDistinct(qq, rr, nn, dd) != 0) return -1;
        q = std::move(qq);
        r = std::move(rr);
        return 0;
    }
    return DivModDistinct(q, r, n, d);
}

int Mod(BigInt& dst, const BigInt& src, const BigInt& d) {
    const uint32_t nl = Sig(src), dl = Sig(d);
    if (dl == 0) return -1;
    if (&dst == &d) {
        BigInt dd;
        if (Copy(dd, d) != 0) return -1;
        return Mod(dst, src, dd);
    }
    if (nl < dl) return Copy(dst, src);
    if (dl == 1) {
        const uint32_t rem = ModWordSpan(src.words, nl, d.words[0]);
        return SetWord(dst, rem);
    }
    if (dl >= 3) return DivideLimbs(nullptr, dst, src, d, nl, dl);
    const unsigned s = static_cast<unsigned>(__builtin_clz(d.words[dl - 1]));
    Scratch shifted(s != 0 ? dl : 0);
    if (s != 0 && !shifted) return -1;
    if (ReserveWords(dst, nl) != 0) return -1;
    if (&dst != &src) CopyWords(dst.words, src.words, nl);
    // The quotient is discarded into the dividend's own consumed words.
    DivShifted(dst.words + dl, dst.words, nl, d.words, dl, s, shifted.get());
    dst.length = dl;
    Normalise(dst);
    return 0;
}

uint32_t ModWord(const BigInt& x, uint32_t w) {
    const uint32_t n = Sig(x);
    if (n == 0 || w == 0) return 0;
    if ((w & (w - 1)) == 0) return x.words[0] & (w - 1);
    return ModWordSpan(x.words, n, w);
}

int ShiftLeft(BigInt& x, uint32_t bits) {
    uint32_t n = Sig(x);
    if (n == 0 || bits == 0) {
        x.length = n;
        return 0;
    }
    const uint32_t ws = bits / 32;
    const unsigned bs = bits % 32;
    const uint64_t need = static_cast<uint64_t>(n) + ws + 1;
    if (need > 0xFFFFFFFFu || ReserveWords(x, static_cast<uint32_t>(need)) != 0) return -1;
    if (bs != 0) {
        const uint32_t out = ShiftLeftSpan(x.words, n, bs);
        if (out != 0) x.words[n++] = out;
    }
    if (ws != 0) {
        std::memmove(x.words + ws, x.words, n * sizeof(uint32_t));
        ZeroWords(x.words, ws);
    }
    x.length = n + ws;
    return 0;
}

int ShiftRight(BigInt& x, uint32_t bits) {
    uint32_t n = Sig(x);
    const uint32_t ws = bits / 32;
    const unsigned bs = bits % 32;
    if (ws >= n) {
        x.length = 0;
        return 0;
    }
    if (ws != 0) std::memmove(x.words, x.words + ws, (n - ws) * sizeof(uint32_t));
    n -= ws;
    if (bs != 0) (void)ShiftRightSpan(x.words, n, bs);  // the bits shifted out are dropped
    x.length = n;
    Normalise(x);
    return static_cast<int>(x.length);
}

int MakeOdd(BigInt& x) {
    uint32_t n = Sig(x);
    if (n == 0) {
        x.length = 0;
        return 0;
    }
    uint32_t z = 0;
    while (x.words[z] == 0) ++z;
    if (z != 0) {
        std::memmove(x.words, x.words + z, (n - z) * sizeof(uint32_t));
        n -= z;
    }
    const unsigned tz = static_cast<unsigned>(__builtin_ctz(x.words[0]));
    if (tz != 0) {
        (void)ShiftRightSpan(x.words, n, tz);  // only zero bits go out
        if (x.words[n - 1] == 0) --n;
    }
    x.length = n;
    return static_cast<int>(32 * z + tz);
}

uint32_t BitLength(const BigInt& x) { return static_cast<uint32_t>(BitLengthSpan(x.words, x.length)); }

uint32_t LowWord(const BigInt& x) { return Sig(x) != 0 ? x.words[0] : 0; }

}  // namespace morvane
