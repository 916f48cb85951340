// Probable-prime test and the sieving prime search.
#include "bignum/Prime.h"

#include <cstring>

#include "platform/Wipe.h"

namespace morvane {

using std::size_t;
using std::uint32_t;
using std::uint64_t;
using std::uint8_t;

namespace {

constexpr size_t kPrimeTableBytes = 4096;  // odd numbers below 65536
constexpr size_t kWindowBytes = 2048;      // 16384 odd candidates
constexpr uint32_t kWindowBits = kWindowBytes * 8;

bool TestBit(const uint8_t* table, size_t i) { return (table[i / 8] >> (i % 8)) & 1; }

// Clears bits s, s + p, s + 2p, ... below 8 * bytes.
void ClearProgression(uint8_t* table, size_t bytes, uint64_t s, uint64_t p) {
    const uint64_t end = 8 * static_cast<uint64_t>(bytes);
    for (uint64_t i = s; i < end; i += p) table[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
}

// Next set bit strictly after position s; 0 when there is none.
size_t NextSetBit(const uint8_t* table, size_t bytes, size_t s) {
    size_t i = s + 1;
    const size_t end = 8 * bytes;
    while (i < end && (i % 8) != 0) {
        if (TestBit(table, i)) return i;
        ++i;
    }
    while (i < end && table[i / 8] == 0) i += 8;
    while (i < end) {
        if (TestBit(table, i)) return i;
        ++i;
    }
    return 0;
}

// Bit i set exactly when 2i + 1 is an odd prime below 65536.
void BuildPrimeTable(uint8_t* table) {
    std::memset(table, 0xFF, kPrimeTableBytes);
    table[0] &= 0xFE;
    for (size_t a = 1; a < 128; ++a) {
        if (!TestBit(table, a)) continue;
        const uint64_t b = 2 * a + 1;
        ClearProgression(table, kPrimeTableBytes, (b * b - 1) / 2, b);
    }
}

// Sieves the window for the odd number start: bit j survives when start + 2j has no odd
// prime factor below 65536 other than itself.
void BuildWindow(uint8_t* window, const uint8_t* primes, const BigInt& start) {
    std::memset(window, 0xFF, kWindowBytes);
    const bool small = CompareWord(start, 65536) < 0;
    const uint32_t startWord = LowWord(start);
    auto sieve = [&](uint32_t p, uint64_t r) {
        uint64_t j = r * ((p - 1) / 2) % p;  // start + 2j = 0 mod p, as (p-1)/2 is -1/2 mod p
        if (small && startWord <= p && j == (p - startWord) / 2) j += p;  // p itself is prime
        ClearProgression(window, kWindowBytes, j, p);
    };
    // Two primes below 2^16 multiply to less than 2^32, so one pass over the number's words
    // serves a pair of them.
    uint32_t pending = 0;
    for (size_t i = 1; i != 0; i = NextSetBit(primes, kPrimeTableBytes, i)) {
        const uint32_t p = static_cast<uint32_t>(2 * i + 1);
        if (pending == 0) {
            pending = p;
            continue;
        }
        const uint32_t r = ModWord(start, pending * p);
        sieve(pending, r % pending);
        sieve(p, r % p);
        pending = 0;
    }
    if (pending != 0) sieve(pending, ModWord(start, pending));
}

// Removes the candidates start + 2j that are 1 modulo q.
void ExcludeResidue(uint8_t* window, const BigInt& start, uint32_t q) {
    const uint32_t r = ModWord(start, q);
    const uint64_t want = r == 0 ? 1 : (r == 1 ? 0 : uint64_t{q} - r + 1);  // 2j = 1 - r mod q
    if (q % 2 == 1) {
        const uint64_t j = want % 2 == 0 ? want / 2 : want / 2 + q / 2 + 1;
        ClearProgression(window, kWindowBytes, j, q);
    } else if (want % 2 == 0) {
        // Even q: 2j = want mod q has the solutions want/2 modulo q/2.
        ClearProgression(window, kWindowBytes, want / 2, q / 2);
    }
}

bool IsSmallPrime(uint32_t v) {
    return v == 2 || v == 3 || v == 5 || v == 7 || v == 11 || v == 13 || v == 17;
}

int StopAnswer(int answer) { return answer == kPrimeStopUser || answer == kPrimeStopClosing ? answer : -1; }

}  // namespace

int PrimeTest(const BigInt& x, BigInt& e, BigInt& a, PrimeCallback callback, void* context) {
    if (CompareWord(x, 19) < 0) return IsSmallPrime(LowWord(x)) ? kProbablePrime : kComposite;
    if ((LowWord(x) & 1) == 0) return kComposite;

    BigInt minusOne;
    if (Copy(minusOne, x) != 0 || SubWord(minusOne, 1) < 0 || Copy(e, minusOne) != 0) return -1;
    const uint32_t x8 = LowWord(x) & 7;
    static const uint32_t kBases[] = {2, 3, 5, 7, 11, 13, 17};
    size_t first = 1;
    int s;
    // Base 2 as an Euler test: 2^((x-1)/2) is the Jacobi symbol (2/x), known from x mod 8.
    if (x8 != 1) {
        if (ShiftRight(e, 1) < 0 || TwoExpMod(a, e, x) != 0) return -1;
        if (x8 == 7) {
            if (CompareWord(a, 1) != 0) return kComposite;
        } else if (Compare(a, minusOne) != 0) {
            return kComposite;
        }
        s = 1;
        if (x8 == 5) {
            (void)ShiftRight(e, 1);
            s = 2;
        }
    } else {
        (void)ShiftRight(e, 2);
        if (TwoExpMod(a, e, x) != 0) return -1;
        if (CompareWord(a, 1) == 0) {
            first = 0;  // inconclusive: the full strong test to base 2 follows
        } else if (Compare(a, minusOne) != 0) {
            return kComposite;
        }
        s = 2 + MakeOdd(e);
    }

    BigInt base;
    for (size_t b = first; b < sizeof kBases / sizeof kBases[0]; ++b) {
        if (callback != nullptr) {
            const int answer = callback(context, kPrimeEventNextTest);
            if (answer != kPrimeContinue) return StopAnswer(answer);
        }
        if (SetWord(base, kBases[b]) != 0 || ExpMod(a, base, e, x) < 0) return -1;
        if (CompareWord(a, 1) == 0) continue;
        for (int round = 1;; ++round) {
            if (Compare(a, minusOne) == 0) break;
            if (round == s) return kComposite;
            if (Square(a, a) != 0 || Mod(a, a, x) != 0) return -1;
            if (CompareWord(a, 1) == 0) return kComposite;
        }
    }
    if (callback != nullptr) {
        const int answer = callback(context, kPrimeEventPrime);
        if (answer != kPrimeContinue) return StopAnswer(answer);
    }
    return kProbablePrime;
}

int PrimeTest(const BigInt& x, PrimeCallback callback, void* context) {
    BigInt e, a;
    return PrimeTest(x, e, a, callback, context);
}

int PrimeSearch(BigInt& x, PrimeCallback callback, void* context, const uint32_t* exclusions,
                size_t exclusionCount) {
    if ((LowWord(x) & 1) == 0 && AddWord(x, 1) != 0) return -1;
    // The window tells where the prime was found: it is wiped when the search ends.
    SecretArray<uint8_t, kWindowBytes> windowBytes;
    uint8_t* window = windowBytes.data();
    uint8_t primes[kPrimeTableBytes];
    BigInt e, a;
    for (;;) {
        BuildPrimeTable(primes);
        BuildWindow(window, primes, x);
        for (size_t k = 0; k < exclusionCount; ++k) {
            if (exclusions[k] >= 3) ExcludeResidue(window, x, exclusions[k]);
        }
        size_t previous = 0;
        size_t i = TestBit(window, 0) ? 0 : NextSetBit(window, kWindowBytes, 0);
        bool more = i != 0 || TestBit(window, 0);
        while (more) {
            if (AddWord(x, static_cast<uint32_t>(2 * (i - previous))) != 0) return -1;
            previous = i;
            const int result = PrimeTest(x, e, a, callback, context);
            if (result == kProbablePrime) return 1;
            if (result != kComposite) return StopAnswer(result);
            if (callback != nullptr) {
                const int answer = callback(context, kPrimeEventComposite);
                if (answer != kPrimeContinue) return StopAnswer(answer);
            }
            i = NextSetBit(window, kWindowBytes, i);
            more = i != 0;
        }
        // Window exhausted: move to the first number beyond it.
        if (AddWord(x, static_cast<uint32_t>(2 * (kWindowBits - previous))) != 0) return -1;
        if (callback != nullptr) {
            const int answer = callback(context, kPrimeEventWindow);
            if (answer != kPrimeContinue) return StopAnswer(answer);
        }
    }
}

int PrimeSearch(BigInt& x, PrimeCallback callback, void* context, std::initializer_list<uint32_t> exclusions) {
    return PrimeSearch(x, callback, context, exclusions.begin(), exclusions.size());
}

}  // namespace morvane
