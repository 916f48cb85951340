// Probable-prime test and prime search.
#include <gtest/gtest.h>

#include <string>

#include "GmpSupport.h"
#include "bignum/BigInt.h"
#include "bignum/Prime.h"
#include "bignum/SafeAlloc.h"

using namespace morvane;

namespace {

BigInt Dec(const char* text) {
    BigInt x;
    EXPECT_EQ(x.FromText(10, text), 1);
    return x;
}

// Records the events and answers from a script (1 once the script is used up).
struct Recorder {
    std::string events;
    char stopAt = 0;  // event at which to give `answer`
    int answer = 1;
    static int Callback(void* context, char event) {
        auto* self = static_cast<Recorder*>(context);
        self->events += event;
        return event == self->stopAt ? self->answer : 1;
    }
};

int Count(const std::string& s, char c) { return static_cast<int>(std::count(s.begin(), s.end(), c)); }

TEST(PrimeTestTest, KnownPrimesAndComposites) {
    for (const char* p : {"19", "23", "65537", "2147483647", "4294967291", "170141183460469231731687303715884105727",
                          "618970019642690137449562111", "1000000000000000000000000000057"}) {
        EXPECT_EQ(PrimeTest(Dec(p)), kProbablePrime) << p;
    }
    // Carmichael numbers, strong pseudoprimes to base 2 and to several bases; the last one
    // passes bases 2 to 13 and only base 17 exposes it.
    for (const char* c : {"561", "1105", "1729", "2465", "2821", "6601", "8911", "41041", "825265", "321197185",
                          "2047", "3277", "4033", "4681", "8321", "1373653", "25326001", "3215031751",
                          "2152302898747", "3474749660383", "21", "25", "65535",
                          "340282366920938463463374607431768211457"}) {
        EXPECT_EQ(PrimeTest(Dec(c)), kComposite) << c;
    }
    // Values the test bases cannot handle are answered exactly.
    for (std::uint32_t v = 0; v < 19; ++v) {
        BigInt x;
        x.Assign(v);
        const bool prime = v == 2 || v == 3 || v == 5 || v == 7 || v == 11 || v == 13 || v == 17;
        EXPECT_EQ(PrimeTest(x), prime ? kProbablePrime : kComposite) << v;
    }
    EXPECT_EQ(PrimeTest(Dec("1000000000000000000000000000058")), kComposite);
}

TEST(PrimeTestTest, AgreesWithGmpInEveryResidueClass) {
    // Random primes and products of two primes, in all classes modulo 8.
    Operands rnd(31);
    Mpz p, q, n;
    int seen[8] = {};
    for (int iter = 0; iter < 60; ++iter) {
        BigInt x;
        rnd.Fill(x, 2 + rnd.Below(6));
        p.Set(x);
        mpz_nextprime(p.get(), p.get());
        BigInt candidate;
        SetFromMpz(candidate, p.get());
        ++seen[LowWord(candidate) & 7];
        EXPECT_EQ(PrimeTest(candidate), kProbablePrime) << p.Hex();
        rnd.Fill(x, 1 + rnd.Below(3));
        q.Set(x);
        mpz_nextprime(q.get(), q.get());
        mpz_mul(n.get(), p.get(), q.get());
        SetFromMpz(candidate, n.get());
        EXPECT_EQ(PrimeTest(candidate), kComposite) << n.Hex();
    }
    EXPECT_GT(seen[1] * seen[3] * seen[5] * seen[7], 0);
}

TEST(PrimeTestTest, EventsAndAnswers) {
    // 2^((x-1)/4) = 1 mod x: the full strong test to base 2 runs first (seven tests).
    Mpz p, e, r, two;
    mpz_set_ui(two.get(), 2);
    mpz_set_str(p.get(), "100000000000000000000000000", 16);
    bool found = false;
    for (int i = 0; i < 100000 && !found; ++i) {
        mpz_nextprime(p.get(), p.get());
        if (mpz_fdiv_ui(p.get(), 8) != 1) continue;
        mpz_sub_ui(e.get(), p.get(), 1);
        mpz_fdiv_q_2exp(e.get(), e.get(), 2);
        mpz_powm(r.get(), two.get(), e.get(), p.get());
        found = mpz_cmp_ui(r.get(), 1) == 0;
    }
    ASSERT_TRUE(found);
    BigInt x;
    SetFromMpz(x, p.get());
    Recorder seven;
    EXPECT_EQ(PrimeTest(x, Recorder::Callback, &seven), kProbablePrime);
    EXPECT_EQ(seven.events, "???????*");

    Recorder six;
    EXPECT_EQ(PrimeTest(Dec("170141183460469231731687303715884105727"), Recorder::Callback, &six), kProbablePrime);
    EXPECT_EQ(six.events, "??????*");

    // Stop answers come back as they are; any other answer is an error, never "composite".
    for (int answer : {3, 4, 0, 2, -7}) {
        Recorder stop;
        stop.stopAt = '?';
        stop.answer = answer;
        const int expected = answer == 3 || answer == 4 ? answer : -1;
        EXPECT_EQ(PrimeTest(x, Recorder::Callback, &stop), expected) << answer;
        EXPECT_EQ(stop.events, "?");
        Recorder last;
        last.stopAt = '*';
        last.answer = answer;
        EXPECT_EQ(PrimeTest(x, Recorder::Callback, &last), expected) << answer;
    }
}

// The prime GMP finds at or after start that is not 1 modulo 65537.
void ExpectedSearchResult(Mpz& out, const BigInt& start) {
    Mpz s(start);
    mpz_sub_ui(out.get(), s.get(), 1);
    do {
        mpz_nextprime(out.get(), out.get());
    } while (mpz_fdiv_ui(out.get(), 65537) == 1);
}

TEST(PrimeSearchTest, FindsTheFirstSuitablePrime) {
    BigInt x;
    x.Assign(1);
    ASSERT_EQ(ShiftLeft(x, 127), 0);
    Mpz expect;
    ExpectedSearchResult(expect, x);
    ASSERT_EQ(PrimeSearch(x, nullptr, nullptr, {65537}), 1);
    EXPECT_EQ(HexOf(x), expect.Hex());
    // From a suitable prime itself, that prime.
    BigInt again = x;
    ASSERT_EQ(PrimeSearch(again, nullptr, nullptr, {65537}), 1);
    EXPECT_EQ(Compare(again, x), 0);

    Operands rnd(32);
    for (int iter = 0; iter < 12; ++iter) {
        BigInt start;
        rnd.Fill(start, 4 + rnd.Below(5));
        BigInt found = start;
        Recorder events;
        ASSERT_EQ(PrimeSearch(found, Recorder::Callback, &events, {65537}), 1);
        ExpectedSearchResult(expect, start);
        EXPECT_EQ(HexOf(found), expect.Hex());
        EXPECT_EQ(events.events.back(), '*');
        EXPECT_EQ(Count(events.events, '*'), 1);
    }
}

TEST(PrimeSearchTest, SkipsPrimesOneModuloAnExclusion) {
    // A prime p = 1 mod 65537, searched for from just below it.
    Mpz p;
    mpz_set_str(p.get(), "1000000000000000000000000000000", 16);
    mpz_fdiv_q_ui(p.get(), p.get(), 65537);
    do {
        mpz_add_ui(p.get(), p.get(), 1);
        Mpz candidate;
        mpz_mul_ui(candidate.get(), p.get(), 65537);
        mpz_add_ui(candidate.get(), candidate.get(), 1);
        if (mpz_probab_prime_p(candidate.get(), 30) != 0) {
            mpz_set(p.get(), candidate.get());
            break;
        }
    } while (true);
    BigInt start;
    SetFromMpz(start, p.get());
    ASSERT_GE(SubWord(start, 2), 0);
    BigInt plain = start;
    ASSERT_EQ(PrimeSearch(plain, nullptr, nullptr, {}), 1);
    Mpz got(plain);
    EXPECT_LE(mpz_cmp(got.get(), p.get()), 0);  // without the exclusion p itself qualifies
    BigInt x = start;
    ASSERT_EQ(PrimeSearch(x, nullptr, nullptr, {65537}), 1);
    got.Set(x);
    EXPECT_GT(mpz_cmp(got.get(), p.get()), 0);
    Mpz expect;
    ExpectedSearchResult(expect, start);
    EXPECT_EQ(got.Hex(), expect.Hex());

    // Meaningless exclusion values (0, 1, 2) are ignored instead of excluding everything.
    BigInt y = start;
    const std::uint32_t odd[] = {0, 1, 2, 65537};
    ASSERT_EQ(PrimeSearch(y, nullptr, nullptr, odd, 4), 1);
    EXPECT_EQ(Compare(y, x), 0);
    // An even exclusion value removes exactly the candidates that are 1 modulo it.
    BigInt z = start;
    ASSERT_EQ(PrimeSearch(z, nullptr, nullptr, {4}), 1);
    EXPECT_EQ(ModWord(z, 4), 3u);
}

TEST(PrimeSearchTest, SmallStartsAndEvenStarts) {
    for (std::uint32_t start : {0u, 1u, 2u, 3u, 14u, 17u, 18u, 65520u, 65521u, 65522u}) {
        BigInt x;
        x.Assign(start);
        ASSERT_EQ(PrimeSearch(x, nullptr, nullptr, {}), 1) << start;
        Mpz expect;
        mpz_set_ui(expect.get(), start == 0 ? 0 : start - 1);
        mpz_nextprime(expect.get(), expect.get());
        if (mpz_cmp_ui(expect.get(), 2) == 0) mpz_set_ui(expect.get(), 3);  // candidates are odd
        EXPECT_EQ(HexOf(x), expect.Hex()) << start;
    }
}

TEST(PrimeSearchTest, CallbackStopsAndErrors) {
    BigInt start;
    ASSERT_EQ(start.FromHex("F0000000000000000000000000000000000000000000000000000000000000001"), 1);
    {
        Recorder r;
        r.stopAt = '?';
        r.answer = 3;
        BigInt x = start;
        EXPECT_EQ(PrimeSearch(x, Recorder::Callback, &r, {65537}), 3);
        EXPECT_EQ(Count(r.events, '?'), 1);
    }
    {
        Recorder r;
        r.stopAt = '.';
        r.answer = 4;
        BigInt x = start;
        EXPECT_EQ(PrimeSearch(x, Recorder::Callback, &r, {65537}), 4);
        EXPECT_EQ(r.events.back(), '.');
        EXPECT_EQ(PrimeTest(x), kComposite);  // x holds the candidate just rejected
    }
    for (int answer : {2, 0}) {
        Recorder r;
        r.stopAt = '.';
        r.answer = answer;
        BigInt x = start;
        EXPECT_EQ(PrimeSearch(x, Recorder::Callback, &r, {65537}), -1);
    }
    {
        // A gap with no prime in a whole window: 'window exhausted' is reported and
        // answering it with 3 stops the search just past the window.
        Mpz g;
        mpz_primorial_ui(g.get(), 40000);  // g + 2 .. g + 40000 are all composite
        mpz_add_ui(g.get(), g.get(), 3);
        BigInt x;
        SetFromMpz(x, g.get());
        BigInt first = x;
        Recorder r;
        r.stopAt = '/';
        r.answer = 3;
        EXPECT_EQ(PrimeSearch(x, Recorder::Callback, &r, {}), 3);
        EXPECT_EQ(r.events.back(), '/');
        ASSERT_GE(Sub(x, first), 0);
        EXPECT_TRUE(x.EqualsWord(32768));
    }
}

TEST(PrimeSearchTest, MemoryExhaustionIsReported) {
    BigInt start;
    ASSERT_EQ(start.FromHex("F000000000000000000000000000000000000000000000000000000000000001"), 1);
    int failures = 0;
    for (long n = 0; n < 30; ++n) {
        BigInt x = start;
        FailAllocationsAfter(n, 1);
        const int result = PrimeSearch(x, nullptr, nullptr, {65537});
        FailAllocationsAfter(-1);
        EXPECT_TRUE(result == 1 || result == -1);
        if (result == -1) ++failures;
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
