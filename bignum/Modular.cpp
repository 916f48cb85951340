// Modular arithmetic: Montgomery reduction, exponentiation, gcd and inverse.
#include <algorithm>
#include <utility>

#include "bignum/BigInt.h"
#include "bignum/Limbs.h"
#include "bignum/Montgomery.h"
#include "bignum/SafeAlloc.h"
#include "platform/Wipe.h"

namespace morvane {

using std::size_t;
using std::uint32_t;
using std::uint64_t;

uint32_t MontInverseWord(uint32_t w) {
    uint32_t b = w;  // w * w = 1 mod 8: three correct bits, doubled by each step
    while (w * b != 1) b *= 2 - w * b;
    return 0u - b;
}

void MontReduce(uint32_t* t, const uint32_t* m, size_t n, uint32_t inv) {
    uint32_t topCarries = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t u = t[i] * inv;
        const uint32_t c = MulAddWord(t + i, m, n, u);
        topCarries += AddWordTo(t + i + n, n - i, c);
    }
    uint32_t* upper = t + n;
    // The borrows of the first loop cancel the carries out of the top; the second borrows nothing.
    for (; topCarries != 0; --topCarries) (void)SubSpan(upper, m, n);
    while (CompareSpan(upper, m, n) >= 0) (void)SubSpan(upper, m, n);
}

namespace {

using limbs::u64;
using limbs::W;

uint32_t Sig(const BigInt& x) { return static_cast<uint32_t>(SignificantLength(x.words, x.length)); }

bool Bit(const BigInt& x, size_t i) { return ((x.words[i / 32] >> (i % 32)) & 1) != 0; }

// Owns one heap block of words.
class Block {
public:
    Block() = default;
    explicit Block(size_t words) : p_(static_cast<W*>(NumberAlloc(words * sizeof(W)))), words_(words) {}
    ~Block() { NumberFree(p_, words_ * sizeof(W)); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    Block& operator=(Block&& o) noexcept {
        std::swap(p_, o.p_);
        std::swap(words_, o.words_);
        return *this;
    }
    W* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    W* p_ = nullptr;
    size_t words_ = 0;
};

// Montgomery context over 64-bit limbs (R = 2^(64 * limbs)), its modulus padded to whole limbs.
struct Context {
    size_t words = 0;  // significant words of m
    size_t n = 0;      // limbs
    Block area;        // modulus (n limbs), accumulator (n), scratch (2n)
    limbs::Mont mont{};

    int Init(const BigInt& m) {
        words = Sig(m);
        n = (words + 1) / 2;
        area = Block(8 * n);
        if (!area) return -1;
        W* mod = area.get();
        CopyWords(mod, m.words, words);
        ZeroWords(mod + words, 2 * n - words);
        mont.m = mod;
        mont.n = n;
        mont.inv = limbs::InverseLimb(limbs::At(mod, 0));
        mont.t = mod + 4 * n;
        return 0;
    }
    W* acc() const { return area.get() + 2 * n; }

    // out = v * R mod m, as n limbs.
    int ToMont(W* out, const BigInt& v, const BigInt& m) const {
        BigInt x;
        if (Copy(x, v) != 0 || ShiftLeft(x, static_cast<uint32_t>(64 * n)) != 0 || Mod(x, x, m) != 0) return -1;
        const uint32_t len = Sig(x);
        CopyWords(out, x.words, len);
        ZeroWords(out + len, 2 * n - len);
        return 0;
    }

    // dst = acc / R mod m, normalised.
    int Finish(BigInt& dst) const {
        W* t = mont.t;
        CopyWords(t, acc(), 2 * n);
        ZeroWords(t + 2 * n, 2 * n);
        if (ReserveWords(dst, static_cast<uint32_t>(2 * n)) != 0) return -1;
        mont.Reduce(dst.words, t);
        dst.length = static_cast<uint32_t>(2 * n);
        dst.length = Sig(dst);
        return 0;
    }
};

int WindowBits(size_t expBits) {
    static const size_t kLimits[] = {5, 23, 80, 240, 672, 1792};
    int k = 0;
    while (k < 6 && expBits > kLimits[k]) ++k;
    return k;
}

// 1 mod m, 0 for m = 1.
int SetOne(BigInt& dst, const BigInt& m) { return SetWord(dst, CompareWord(m, 1) == 0 ? 0 : 1); }

bool ExpBit(const uint32_t* e, size_t i) { return ((e[i / 32] >> (i % 32)) & 1) != 0; }

// acc = base^exp in Montgomery form for an exponent of ebits >= 1 bits, by a left-to-right
// sliding window. table holds the base's Montgomery form in its first entry and gets the odd
// powers base^3 ... base^(2^(k+1)-1) in the next 2^k - 1.
void WindowPower(const limbs::Mont& mont, W* acc, W* table, int k, const uint32_t* exp, size_t ebits) {
    const size_t n = mont.n;
    auto entry = [&](size_t i) { return table + i * 2 * n; };
    if (k > 0) {
        mont.SqrMod(acc, entry(0));
        for (size_t i = 1; i < (size_t{1} << k); ++i) mont.MulMod(entry(i), entry(i - 1), acc);
    }
    bool started = false;
    size_t i = ebits;  // bits above i have been consumed
    while (i > 0) {
        if (!ExpBit(exp, i - 1)) {
            if (started) mont.SqrMod(acc, acc);
            --i;
            continue;
        }
        // Window from bit i-1 down to its lowest set bit, at most k+1 bits long.
        size_t low = i > static_cast<size_t>(k) + 1 ? i - 1 - static_cast<size_t>(k) : 0;
        while (!ExpBit(exp, low)) ++low;
        size_t v = 0;
        for (size_t b = i; b-- > low;) v = 2 * v + (ExpBit(exp, b) ? 1 : 0);
        if (started) {
            for (size_t s = low; s < i; ++s) mont.SqrMod(acc, acc);
            mont.MulMod(acc, acc, entry((v - 1) / 2));
        } else {
            CopyWords(acc, entry((v - 1) / 2), 2 * n);
            started = true;
        }
        i = low;
    }
}

}  // namespace

int TwoExpMod(BigInt& dst, const BigInt& exp, const BigInt& m) {
    if (Sig(m) == 0 || (m.words[0] & 1) == 0) return -1;
    const size_t ebits = BitLength(exp);
    if (CompareWord(m, 1) == 0) return SetWord(dst, 0);
    if (ebits <= 1) return SetWord(dst, ebits == 0 ? 1 : 2);
    // Leading exponent bits whose value d keeps 2^d below m need no reduction at all.
    const size_t mbits = BitLength(m);
    size_t d = 0;
    size_t i = ebits;
    while (i > 0) {
        const size_t next = 2 * d + (Bit(exp, i - 1) ? 1 : 0);
        if (next >= mbits) break;
        d = next;
        --i;
    }
    BigInt power;
    if (SetWord(power, 1) != 0 || ShiftLeft(power, static_cast<uint32_t>(d)) != 0) return -1;
    if (i == 0) {
        dst = std::move(power);
        return 0;
    }
    Context c;
    if (c.Init(m) != 0 || c.ToMont(c.acc(), power, m) != 0) return -1;
    W* acc = c.acc();
    const W* mod = c.mont.m;
    while (i-- > 0) {
        c.mont.SqrMod(acc, acc);
        if (Bit(exp, i)) {
            const u64 carry = limbs::AddN(acc, acc, acc, c.n);
            if (carry != 0 || limbs::Cmp(acc, mod, c.n) >= 0) (void)limbs::SubN(acc, acc, mod, c.n);  // cancels carry
        }
    }
    return c.Finish(dst);
}

int ExpMod(BigInt& dst, const BigInt& base, const BigInt& exp, const BigInt& m) {
    if (Sig(m) == 0 || (m.words[0] & 1) == 0) return -1;
    if (CompareWord(base, 2) == 0) return TwoExpMod(dst, exp, m) == 0 ? 1 : -1;
    const size_t ebits = BitLength(exp);
    if (ebits == 0) return SetOne(dst, m) == 0 ? 1 : -1;
    if (ebits == 1) return Mod(dst, base, m) == 0 ? 1 : -1;

    Context c;
    if (c.Init(m) != 0) return -1;
    const size_t n = c.n;
    // Table of odd powers base^1, base^3, ..., base^(2^(k+1)-1); it shrinks when memory is short.
    int k = WindowBits(ebits);
    Block table;
    for (;; --k) {
        table = Block((size_t{1} << k) * 2 * n);
        if (table || k == 0) break;
    }
    if (!table) return -1;
    auto entry = [&](size_t i) { return table.get() + i * 2 * n; };
    if (c.ToMont(entry(0), base, m) != 0) return -1;
    WindowPower(c.mont, c.acc(), table.get(), k, exp.words, ebits);
    return c.Finish(dst) == 0 ? 1 : -1;
}

int Gcd(BigInt& dst, const BigInt& a, const BigInt& b) {
    BigInt x, y;
    if (Copy(x, a) != 0 || Copy(y, b) != 0) return -1;
    if (Compare(x, y) < 0) std::swap(x, y);
    // Euclid, the remainders alternating between the two values.
    while (Sig(y) != 0) {
        if (Mod(x, x, y) != 0) return -1;
        std::swap(x, y);
    }
    return Copy(dst, x);
}

int Inverse(BigInt& dst, const BigInt& a, const BigInt& m) {
    if (Sig(m) == 0) return 1;
    BigInt u, r, x, y, q, t, mm;
    if (Mod(u, a, m) != 0 || Copy(mm, m) != 0) return -1;
    if (Sig(u) == 0) return 1;
    if (CompareWord(u, 1) == 0) return Copy(dst, u);
    // Extended Euclid tracking only the cofactors of u: x for u, y for r (with alternating
    // signs, so both stay non-negative and the sign is fixed at the end).
    if (DivMod(y, r, mm, u) != 0 || SetWord(x, 1) != 0) return -1;
    for (;;) {
        if (CompareWord(r, 1) == 0) {
            // r = 1 = -y * a (mod m): the inverse is m - y.
            if (Sub(mm, y) < 0) return -1;
            return Copy(dst, mm);
        }
        if (Sig(r) == 0) return 1;
        if (DivMod(q, u, u, r) != 0 || Mul(t, q, y) != 0 || Add(x, t) != 0) return -1;
        if (Sig(u) == 0) return 1;
        if (CompareWord(u, 1) == 0) return Copy(dst, x);
        if (DivMod(q, r, r, u) != 0 || Mul(t, q, x) != 0 || Add(y, t) != 0) return -1;
        if (Sig(r) == 0) return 1;
    }
}

// ---------------------------------------------------------------------------------------
// Prepared modulus

PreparedModulus::~PreparedModulus() { Clear(); }

void PreparedModulus::Clear() noexcept {
    NumberFree(block_, blockWords_ * sizeof(W));
    block_ = r2_ = table_ = acc_ = product_ = nullptr;
    divisor_ = dividend_ = quotient_ = nullptr;
    blockWords_ = n_ = maxBaseLimbs_ = maxExpBits_ = 0;
    window_ = 0;
    shift_ = 0;
    inv_ = 0;
}

int PreparedModulus::Init(const BigInt& m, size_t maxBaseWords, size_t maxExpBits) {
    Clear();
    const size_t words = Sig(m);
    if (words < 3 || (m.words[0] & 1) == 0) return -1;
    const size_t n = (words + 1) / 2;
    const size_t baseLimbs = std::max(n, (maxBaseWords + 1) / 2);
    const int k = WindowBits(maxExpBits);
    // Modulus, R^2 and divisor first; everything from the dividend on is wiped after a power.
    const size_t total = 3 * 2 * n + 2 * (baseLimbs + 1) + 2 * (baseLimbs - n + 1) + (size_t{1} << k) * 2 * n +
                         2 * n + 4 * n;
    auto* block = static_cast<W*>(NumberAlloc(total * sizeof(W)));
    if (block == nullptr) return -1;
    block_ = block;
    blockWords_ = total;
    n_ = n;
    maxBaseLimbs_ = baseLimbs;
    maxExpBits_ = maxExpBits;
    window_ = k;
    r2_ = block + 2 * n;
    divisor_ = reinterpret_cast<u64*>(block + 4 * n);
    dividend_ = reinterpret_cast<u64*>(block + 6 * n);
    quotient_ = dividend_ + baseLimbs + 1;
    table_ = reinterpret_cast<W*>(quotient_ + (baseLimbs - n + 1));
    acc_ = table_ + (size_t{1} << k) * 2 * n;
    product_ = acc_ + 2 * n;

    CopyWords(block, m.words, words);
    ZeroWords(block + words, 2 * n - words);
    inv_ = limbs::InverseLimb(limbs::At(block, 0));
    for (size_t i = 0; i < n; ++i) divisor_[i] = limbs::At(block, i);
    shift_ = static_cast<unsigned>(__builtin_clzll(divisor_[n - 1]));
    if (shift_ != 0) {
        for (size_t i = n - 1; i > 0; --i) divisor_[i] = (divisor_[i] << shift_) | (divisor_[i - 1] >> (64 - shift_));
        divisor_[0] <<= shift_;
    }
    BigInt r2;
    if (SetWord(r2, 1) != 0 || ShiftLeft(r2, static_cast<uint32_t>(128 * n)) != 0 || Mod(r2, r2, m) != 0) {
        Clear();
        return -1;
    }
    CopyWords(r2_, r2.words, r2.length);
    ZeroWords(r2_ + r2.length, 2 * n - r2.length);
    return 0;
}

int PreparedModulus::Reduce(W* out, const W* v, size_t words) {
    const size_t sig = SignificantLength(v, words);
    const size_t vl = (sig + 1) / 2;
    if (vl > maxBaseLimbs_) return -1;
    if (vl < n_) {
        // Shorter than the modulus's top limb, so already below it.
        CopyWords(out, v, sig);
        ZeroWords(out + sig, 2 * n_ - sig);
        return 0;
    }
    u64* u = dividend_;
    for (size_t i = 0; i < vl; ++i) u[i] = v[2 * i] | (2 * i + 1 < sig ? u64{v[2 * i + 1]} << 32 : 0);
    u[vl] = 0;
    const unsigned s = shift_;
    if (s != 0) {
        u[vl] = u[vl - 1] >> (64 - s);
        for (size_t i = vl - 1; i > 0; --i) u[i] = (u[i] << s) | (u[i - 1] >> (64 - s));
        u[0] <<= s;
    }
    limbs::DivRem(quotient_, u, vl - n_, divisor_, n_);
    for (size_t i = 0; i < n_; ++i) {
        const u64 limb = s == 0 ? u[i] : (u[i] >> s) | (i + 1 < n_ ? u[i + 1] << (64 - s) : 0);
        limbs::Put(out, i, limb);
    }
    return 0;
}

int PreparedModulus::ToMontgomery(W* out, const W* v, size_t words) {
    if (Reduce(out, v, words) != 0) return -1;
    MontMul(out, out, r2_);
    return 0;
}

void PreparedModulus::MontMul(W* out, const W* a, const W* b) {
    const limbs::Mont mont{block_, n_, inv_, product_};
    mont.MulMod(out, a, b);
}

int PreparedModulus::Power(W* out, const W* base, size_t baseWords, const W* exp, size_t expWords) {
    const size_t ebits = BitLengthSpan(exp, expWords);
    if (ebits > maxExpBits_ || ToMontgomery(table_, base, baseWords) != 0) return -1;
    if (ebits == 0) {
        ZeroWords(out, 2 * n_);
        out[0] = 1;  // the modulus is above 1
    } else {
        const limbs::Mont mont{block_, n_, inv_, product_};
        WindowPower(mont, acc_, table_, std::min(window_, WindowBits(ebits)), exp, ebits);
        // Out of the Montgomery form: acc / R, below m.
        CopyWords(product_, acc_, 2 * n_);
        ZeroWords(product_ + 2 * n_, 2 * n_);
        mont.Reduce(out, product_);
    }
    W* scratch = reinterpret_cast<W*>(dividend_);
    WipeBytes(scratch, static_cast<size_t>(block_ + blockWords_ - scratch) * sizeof(W));
    return 0;
}

}  // namespace morvane
