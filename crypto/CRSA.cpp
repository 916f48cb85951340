#include "crypto/CRSA.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "bignum/Montgomery.h"
#include "crypto/CRandom.h"
#include "platform/Wipe.h"

namespace morvane {

namespace {

constexpr std::uint32_t kExcludedResidue = 65537;
constexpr std::uint32_t kTopTwoBits = 0xC0;
constexpr std::uint32_t kOdd = 1;

int StopOrFail(int result, int& status)
{
    status = (result == kPrimeStopUser || result == kPrimeStopClosing) ? result : -1;
    return status;
}

bool AllZero(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// Replaces every zero byte of the chunk by a byte of the same chunk at a random index. A chunk
// drawn as all zeros is drawn again (and, from a pool or source that keeps giving zeros, made
// from the source directly), and a zero byte that random picks keep missing takes the next
// non-zero byte, so the filler always ends.
void RepairZeros(CRandom& rnd, std::uint8_t* buf, std::uint32_t n)
{
    RandomSource& src = rnd.Source();
    for (int redraw = 0; AllZero(buf, n); ++redraw) {
        if (redraw < 16) {
            (void)rnd.PickBytes(buf, 0, n, 0);  // capacity 0: unchecked, cannot fail
        } else {
            for (std::uint32_t j = 0; j < n; ++j)
                buf[j] = static_cast<std::uint8_t>(1 + src.Next() % 255);
        }
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t tries = 0;
        while (buf[i] == 0) {
            const std::uint32_t k = src.Next() % n;
            if (++tries <= 4 * n + 16) {
                buf[i] = buf[k];
                continue;
            }
            for (std::uint32_t j = 0; j < n && buf[i] == 0; ++j)
                buf[i] = buf[(k + j) % n];
        }
    }
}

} // namespace

struct CRSA::Prepared {
    // Public part: made from N and E.
    bool publicReady = false;
    BigInt n, e;
    PreparedModulus modN;
    BigInt out;  // one residue mod N

    // Private part: made from P, Q, D and U, with P < Q.
    bool privateReady = false;
    BigInt p, q, d, u;
    BigInt d1, d2;  // D mod (P - 1), D mod (Q - 1)
    PreparedModulus modP, modQ;
    BigInt uMont;   // U R mod Q
    BigInt m1, m2;  // residues mod Q (m1 below P)
    std::size_t maxBaseWords = 0;
};

namespace {

bool Same(const BigInt& a, const BigInt& b)
{
    return Compare(a, b) == 0;
}

std::uint32_t Significant(const BigInt& x)
{
    return static_cast<std::uint32_t>(SignificantLength(x.words, x.length));
}

} // namespace

// The numbers wipe their own words when they are released.
CRSA::CRSA() = default;
CRSA::~CRSA() = default;

CRSA::CRSA(const CRSA& other)
    : mode(other.mode), P(other.P), Q(other.Q), E(other.E), U(other.U), N(other.N), D(other.D), random(other.random)
{
}

CRSA& CRSA::operator=(const CRSA& other)
{
    if (this != &other) {
        mode = other.mode;
        P = other.P;
        Q = other.Q;
        E = other.E;
        U = other.U;
        N = other.N;
        D = other.D;
        random = other.random;
    }
    return *this;
}

std::uint32_t CRSA::ModulusBytes() const
{
    return (BitLength(N) + 7) / 8;
}

// ---------------------------------------------------------------------------------------
// Key generation

int CRSA::GeneratePrimes(int bits, PrimeCallback progress, void* context, int& status)
{
    status = 0;
    if (random == nullptr || bits < kMinKeyBits || bits > kMaxKeyBits) {
        status = -1;
        return -1;
    }
    const int h = bits / 2;
    BigInt candidate, distance;

    // P: the smaller factor.
    if (random->RandomNumber(candidate, h - 17, kTopTwoBits, kOdd, static_cast<std::uint32_t>(h - 3)) != 1) {
        status = -1;
        return -1;
    }
    int r = PrimeSearch(candidate, progress, context, {kExcludedResidue});
    if (r != 1)
        return StopOrFail(r, status);
    if (Copy(P, candidate) != 0) {
        status = -1;
        return -1;
    }

    // Q: 34 bits longer, which keeps it far from P; the distance rule still guards the draw.
    for (bool first = true;; first = false) {
        if (progress != nullptr)
            progress(context, kKeygenEventDrawQ);
        const std::uint32_t mix = first ? static_cast<std::uint32_t>((bits + 1) / 2 - 3) : 0;
        if (random->RandomNumber(candidate, h + 17, kTopTwoBits, kOdd, mix) != 1 || Copy(distance, candidate) != 0 ||
            Sub(distance, P) < 0) {
            status = -1;
            return -1;
        }
        if (BitLength(distance) >= static_cast<std::uint32_t>(h - 5))
            break;
    }
    r = PrimeSearch(candidate, progress, context, {kExcludedResidue});
    if (r != 1)
        return StopOrFail(r, status);
    if (Copy(Q, candidate) != 0) {
        status = -1;
        return -1;
    }

    // E: a prime of a quarter of the modulus length.
    if (random->RandomNumber(candidate, bits >> 2, kTopTwoBits, kOdd, static_cast<std::uint32_t>(h - 3)) != 1) {
        status = -1;
        return -1;
    }
    r = PrimeSearch(candidate, progress, context, {kExcludedResidue});
    if (r != 1)
        return StopOrFail(r, status);
    if (Copy(E, candidate) != 0) {
        status = -1;
        return -1;
    }
    return 1;
}

int CRSA::ComputeKey(int& status)
{
    status = 0;
    if (Compare(P, Q) > 0)
        std::swap(P, Q);
    if (random != nullptr) {
        RandomSource& src = random->Source();
        for (int i = 0; i < 5; ++i) {
            const std::uint32_t high = src.Next();
            const std::uint32_t low = src.Next();
            random->Stir((high << 16) | (low & 0xFFFF));
        }
    }
    status = -1;
    // Factors below 3 leave no group to work in.
    if (CompareWord(P, 3) < 0 || CompareWord(Q, 3) < 0)
        return -1;

    BigInt p1, q1, g, quotient, rest, lambda, d, u, n;
    if (Copy(p1, P) != 0 || SubWord(p1, 1) < 0 || Copy(q1, Q) != 0 || SubWord(q1, 1) < 0 || Gcd(g, p1, q1) != 0 ||
        DivMod(quotient, rest, p1, g) != 0)
        return -1;
    if (CompareWord(rest, 0) != 0 || Mul(lambda, quotient, q1) != 0)
        return -1;

    int r = Inverse(d, E, lambda);
    if (r < 0)
        return -1;
    if (r != 0 || BitLength(d) < (BitLength(lambda) >> 2)) {
        status = kStatusRedraw;
        return -1;
    }
    if (Copy(D, d) != 0)
        return -1;

    r = Inverse(u, P, Q);
    if (r != 0 || Copy(U, u) != 0 || Mul(n, P, Q) != 0 || Copy(N, n) != 0)
        return -1;
    status = 0;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Transforms

// Transforms with the prepared values allocate nothing once those are made (beyond growing the
// result). They apply to keys with odd factors of two limbs or more and P < Q, as generated;
// anything else, a base longer than the key, a failure to prepare or a transform already using
// the prepared values takes the general path, which gives the same numbers.

bool CRSA::PreparedPublicPower(BigInt& result, const BigInt& x) const
{
    if (!prepared_)
        prepared_ = std::unique_ptr<Prepared>(new (std::nothrow) Prepared);
    if (!prepared_)
        return false;
    Prepared& c = *prepared_;
    if (!c.publicReady || !Same(c.n, N) || !Same(c.e, E)) {
        c.publicReady = false;
        if (Copy(c.n, N) != 0 || Copy(c.e, E) != 0 || c.modN.Init(N, Significant(N), BitLength(E)) != 0 ||
            ReserveWords(c.out, static_cast<std::uint32_t>(c.modN.Words())) != 0)
            return false;
        c.publicReady = true;
    }
    const std::size_t words = c.modN.Words();
    if (c.modN.Power(c.out.words, x.words, x.length, E.words, E.length) != 0 ||
        ReserveWords(result, static_cast<std::uint32_t>(words)) != 0)
        return false;
    CopyWords(result.words, c.out.words, words);
    result.length = static_cast<std::uint32_t>(SignificantLength(result.words, words));
    WipeBytes(c.out.words, words * sizeof(std::uint32_t));  // the plain text's power
    return true;
}

bool CRSA::PreparedPrivatePower(BigInt& result, const BigInt& x) const
{
    if (!prepared_)
        prepared_ = std::unique_ptr<Prepared>(new (std::nothrow) Prepared);
    if (!prepared_)
        return false;
    Prepared& c = *prepared_;
    if (!c.privateReady || !Same(c.p, P) || !Same(c.q, Q) || !Same(c.d, D) || !Same(c.u, U)) {
        c.privateReady = false;
        if (Compare(P, Q) >= 0 || Significant(P) < 3 || (P.words[0] & 1) == 0 || (Q.words[0] & 1) == 0)
            return false;
        BigInt p1, q1, reduced;
        c.maxBaseWords = std::max(Significant(N), Significant(P) + Significant(Q));
        if (Copy(c.p, P) != 0 || Copy(c.q, Q) != 0 || Copy(c.d, D) != 0 || Copy(c.u, U) != 0 || Copy(p1, P) != 0 ||
            SubWord(p1, 1) != 0 || Mod(c.d1, D, p1) != 0 || Copy(q1, Q) != 0 || SubWord(q1, 1) != 0 ||
            Mod(c.d2, D, q1) != 0 || c.modP.Init(P, c.maxBaseWords, BitLength(c.d1)) != 0 ||
            c.modQ.Init(Q, c.maxBaseWords, BitLength(c.d2)) != 0 || Mod(reduced, U, Q) != 0)
            return false;
        const auto wq = static_cast<std::uint32_t>(c.modQ.Words());
        if (ReserveWords(c.uMont, wq) != 0 || ReserveWords(c.m1, wq) != 0 || ReserveWords(c.m2, wq) != 0 ||
            c.modQ.ToMontgomery(c.uMont.words, reduced.words, reduced.length) != 0)
            return false;
        c.privateReady = true;
    }
    const std::size_t wp = c.modP.Words(), wq = c.modQ.Words();
    if (Significant(x) > c.maxBaseWords || ReserveWords(result, static_cast<std::uint32_t>(wp + wq)) != 0)
        return false;
    std::uint32_t* m1 = c.m1.words;
    std::uint32_t* m2 = c.m2.words;
    // m1 = x^d1 mod P, m2 = x^d2 mod Q. result may be x: x is read only here.
    if (c.modP.Power(m1, x.words, x.length, c.d1.words, c.d1.length) != 0 ||
        c.modQ.Power(m2, x.words, x.length, c.d2.words, c.d2.length) != 0)
        return false;
    ZeroWords(m1 + wp, wq - wp);
    // s = (m2 - m1) mod Q (m1 < P < Q), then h = U s mod Q, in m2.
    if (SubSpan(m2, m1, wq) != 0)
        (void)AddSpan(m2, c.modQ.Modulus(), wq);  // its carry cancels the borrow
    c.modQ.MontMul(m2, m2, c.uMont.words);
    // result = m1 + h P, below N.
    MulSpan(result.words, m2, wq, c.modP.Modulus(), wp);
    (void)AddWordTo(result.words + wp, wq, AddSpan(result.words, m1, wp));  // no carry out: below P Q
    result.length = static_cast<std::uint32_t>(SignificantLength(result.words, wp + wq));
    WipeBytes(m1, wq * sizeof(std::uint32_t));
    WipeBytes(m2, wq * sizeof(std::uint32_t));
    return true;
}

int CRSA::PublicPower(BigInt& result, const BigInt& x) const
{
    if (!busy_.exchange(true, std::memory_order_acquire)) {
        const bool done = PreparedPublicPower(result, x);
        busy_.store(false, std::memory_order_release);
        if (done)
            return 1;
    }
    return ExpMod(result, x, E, N) == 1 ? 1 : -1;
}

int CRSA::PrivatePower(BigInt& result, const BigInt& x) const
{
    if (!busy_.exchange(true, std::memory_order_acquire)) {
        const bool done = PreparedPrivatePower(result, x);
        busy_.store(false, std::memory_order_release);
        if (done)
            return 1;
    }
    return GeneralPrivatePower(result, x);
}

int CRSA::GeneralPrivatePower(BigInt& result, const BigInt& x) const
{
    BigInt p1, q1, d1, d2, m1, m2, t, s, h, base;
    // d1 = D mod (P - 1), m1 = (x mod P)^d1 mod P; the same for Q.
    if (Copy(p1, P) != 0 || SubWord(p1, 1) < 0 || Mod(d1, D, p1) != 0 || Mod(base, x, P) != 0 ||
        ExpMod(m1, base, d1, P) != 1)
        return -1;
    if (Copy(q1, Q) != 0 || SubWord(q1, 1) < 0 || Mod(d2, D, q1) != 0 || Mod(base, x, Q) != 0 ||
        ExpMod(m2, base, d2, Q) != 1)
        return -1;
    // s = (m2 - m1) mod Q: |m2 - t|, and Q less that when m2 was below t.
    if (Mod(t, m1, Q) != 0 || Copy(s, m2) != 0)
        return -1;
    const int below = Sub(s, t);
    if (below < 0 || (below == 1 && Sub(s, Q) < 0))
        return -1;
    // result = m1 + (U * s mod Q) * P.
    if (Mul(h, U, s) != 0 || Mod(h, h, Q) != 0 || Mul(t, h, P) != 0 || Add(t, m1) != 0 || Copy(result, t) != 0)
        return -1;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Padding

int CRSA::FillFixedPadding(BigInt& number, int from, int to)
{
    if (from < 0 || to < from - 1)
        return -1;
    if (to < from)
        return 1;
    std::uint8_t ff[16];
    std::memset(ff, 0xFF, sizeof(ff));
    for (int top = to; top >= from;) {
        const int chunk = std::min(16, top - from + 1);
        if (InsertBytes(number, ff, static_cast<std::uint32_t>(top - chunk + 1), static_cast<std::uint32_t>(chunk)) != 1)
            return -1;
        top -= chunk;
    }
    return 1;
}

int CRSA::FillRandomPadding(BigInt& number, CRandom* rnd, int from, int to)
{
    if (from < 0 || to < from - 1)
        return -1;
    if (to < from)
        return 1;
    if (rnd == nullptr)
        return -1;
    std::uint8_t buf[64];
    int result = 1;
    for (int top = to; top >= from;) {
        const int chunk = std::min(64, top - from + 1);
        const std::uint32_t n = static_cast<std::uint32_t>(chunk);
        (void)rnd->PickBytes(buf, sizeof(buf), n, 0);  // chunk <= 64
        RepairZeros(*rnd, buf, n);
        if (InsertBytes(number, buf, static_cast<std::uint32_t>(top - chunk + 1), n) != 1) {
            result = -1;
            break;
        }
        top -= chunk;
    }
    WipeBytes(buf, sizeof(buf));
    return result;
}

// ---------------------------------------------------------------------------------------
// Simple block

int CRSA::PackSimpleBlock(BigInt& number, CRandom* rnd, const std::uint8_t* data, std::uint32_t length, int type,
                          std::uint32_t m)
{
    if (static_cast<std::uint64_t>(m) < static_cast<std::uint64_t>(length) + 9 || m > 0x7FFFFFFF)
        return -1;
    if ((type != kSimpleRandomPadding && type != kSimpleFixedPadding) || (length != 0 && data == nullptr))
        return -1;
    if (SetWord(number, 0) != 0 || InsertBytes(number, data, 0, length) != 1)
        return -1;
    const int from = static_cast<int>(length);
    const int to = static_cast<int>(m) - 8;
    const int padded = type == kSimpleRandomPadding ? FillRandomPadding(number, rnd, from, to)
                                                    : FillFixedPadding(number, from, to);
    if (padded != 1)
        return -1;
    const std::uint8_t lengthBytes[4] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                         static_cast<std::uint8_t>(length >> 16),
                                         static_cast<std::uint8_t>(length >> 24)};
    const std::uint8_t typeBytes[2] = {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(type >> 8)};
    if (InsertBytes(number, lengthBytes, m - 7, 4) != 1 || InsertBytes(number, typeBytes, m - 3, 2) != 1)
        return -1;
    return 1;
}

int CRSA::UnpackSimpleBlock(std::uint8_t* buffer, std::uint32_t size, const BigInt& number, int type,
                            std::uint32_t m)
{
    if (m < 7 || m > 0x7FFFFFFF)
        return kUnpackBadLength;
    std::uint8_t field[4];
    int pos = static_cast<int>(m) - 2;
    ExtractBytesDown(number, field, pos, 2, true);
    if ((field[0] | (field[1] << 8)) != type)
        return kUnpackTypeMismatch;
    pos = static_cast<int>(m) - 4;
    ExtractBytesDown(number, field, pos, 4, true);
    const std::uint32_t length = std::uint32_t(field[0]) | std::uint32_t(field[1]) << 8 |
                                 std::uint32_t(field[2]) << 16 | std::uint32_t(field[3]) << 24;
    if (buffer == nullptr || static_cast<std::uint64_t>(size) < static_cast<std::uint64_t>(length) + 1 ||
        length > m - 7)
        return kUnpackBadLength;
    pos = static_cast<int>(length) - 1;
    ExtractBytesDown(number, buffer, pos, length, true);
    buffer[length] = 0;
    return static_cast<int>(length);
}

int CRSA::EncryptSimple(BigInt& number, const std::uint8_t* data, std::uint32_t length)
{
    if (PackSimpleBlock(number, random, data, length, kSimpleRandomPadding, ModulusBytes()) != 1)
        return -1;
    return PublicPower(number, number);
}

int CRSA::DecryptSimple(std::vector<std::uint8_t>& buffer, BigInt& number)
{
    const std::uint32_t m = ModulusBytes();
    if (m == 0 || PrivatePower(number, number) != 1)
        return -1;
    try {
        buffer.assign(m, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return UnpackSimpleBlock(buffer.data(), m, number, kSimpleRandomPadding, m);
}

int CRSA::SelfTest(int& failed)
{
    constexpr std::uint32_t kTestBytes = 8192;
    constexpr std::size_t kTextBytes = 16384;
    failed = 0;
    std::unique_ptr<std::uint8_t[]> test(new (std::nothrow) std::uint8_t[kTestBytes]);
    std::unique_ptr<char[]> text(new (std::nothrow) char[kTextBytes]);
    if (!test || !text)
        return -1;
    for (std::uint32_t i = 0; i < kTestBytes; ++i)
        test[i] = static_cast<std::uint8_t>(i);

    const std::uint32_t m = ModulusBytes();
    BigInt sealed, reread;
    std::vector<std::uint8_t> opened;
    if (m < 20) {
        failed = -1;  // no room for a single test byte
    } else {
        const std::uint32_t length = std::min(m - 19, kTestBytes);
        if (EncryptSimple(sealed, test.get(), length) != 1 || sealed.ToHex(text.get(), kTextBytes) != 1 ||
            reread.FromHex(text.get()) != 1) {
            failed = -1;
        } else {
            const int got = DecryptSimple(opened, reread);
            if (got != static_cast<int>(length) || std::memcmp(opened.data(), test.get(), length) != 0)
                failed = -1;
        }
    }
    if (!opened.empty())
        WipeBytes(opened.data(), opened.size());
    return 1;
}

}  // namespace morvane
