// Word-array routines and number routines: boundary behaviour and memory exhaustion.
#include <gtest/gtest.h>

#include <vector>

#include "GmpSupport.h"
#include "bignum/BigInt.h"
#include "bignum/SafeAlloc.h"

using namespace morvane;

namespace {

BigInt Hex(const char* text) {
    BigInt x;
    EXPECT_EQ(x.FromHex(text), 1);
    return x;
}

// Disarms the allocation hook even when an assertion leaves the test early.
struct AllocationGuard {
    ~AllocationGuard() { FailAllocationsAfter(-1); }
};

TEST(WordSpans, CarriesBorrowsAndShifts) {
    std::uint32_t a[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0};
    EXPECT_EQ(AddWordTo(a, 2, 1), 1u);  // ripples out of the top
    EXPECT_EQ(a[0], 0u);
    EXPECT_EQ(a[1], 0u);
    EXPECT_EQ(SubWordFrom(a, 2, 1), 1u);
    EXPECT_EQ(a[1], 0xFFFFFFFFu);

    std::uint32_t n[4] = {0, 0, 5, 7};
    NegateSpan(n, 4);  // low zero words stay zero, the first non-zero one is negated
    EXPECT_EQ(n[0], 0u);
    EXPECT_EQ(n[1], 0u);
    EXPECT_EQ(n[2], 0u - 5u);
    EXPECT_EQ(n[3], ~7u);
    std::uint32_t z[2] = {0, 0};
    NegateSpan(z, 2);
    EXPECT_EQ(z[0] | z[1], 0u);

    std::uint32_t s[2] = {0x80000001u, 0xC0000000u};
    EXPECT_EQ(ShiftLeftSpan(s, 2, 3), 6u);
    EXPECT_EQ(s[0], 8u);
    EXPECT_EQ(s[1], 4u);
    EXPECT_EQ(ShiftRightSpan(s, 2, 4), 8u);
    EXPECT_EQ(s[0], 0x40000000u);
    EXPECT_EQ(DoubleSpan(s, 2), 0u);

    const std::uint32_t x[2] = {1, 2}, y[2] = {2, 1};
    EXPECT_EQ(CompareSpan(x, y, 2), 1);
    EXPECT_EQ(CompareSpan(y, x, 2), -1);
    EXPECT_EQ(CompareSpan(x, x, 2), 0);
    EXPECT_EQ(SignificantLength(z, 2), 0u);
    EXPECT_EQ(BitLengthSpan(n, 4), 128u);
    EXPECT_EQ(BitLengthSpan(z, 0), 0u);

    // Multiply-subtract: the borrow word is the high part of the product plus the borrow.
    std::uint32_t acc[2] = {0, 0};
    const std::uint32_t m[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(MulSubWord(acc, m, 2, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(acc[0], 0xFFFFFFFFu);
    EXPECT_EQ(acc[1], 0u);
    EXPECT_EQ(MulAddWord(acc, m, 2, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(acc[0] | acc[1], 0u);

    std::uint32_t q[2];
    std::uint32_t rem;
    const std::uint32_t dividend[3] = {5, 0, 0x10000};
    EXPECT_EQ(DivWordSpan(q, &rem, dividend, 3, 65537), 0u);
    EXPECT_EQ(rem, ModWordSpan(dividend, 3, 65537));
    std::uint32_t prod[3] = {9, 9, 9};
    MulSpan(prod, x, 0, y, 2);  // an empty factor clears the product
    EXPECT_EQ(prod[0] | prod[1], 0u);
    EXPECT_EQ(prod[2], 9u);
}

TEST(NumberRoutines, SubtractionResults) {
    BigInt x = Hex("5"), y = Hex("123456789ABCDEF");
    EXPECT_EQ(Sub(x, y), 1);
    EXPECT_EQ(HexOf(x), "123456789ABCDEA");
    BigInt same = Hex("123456789ABCDEF");
    BigInt other = Hex("123456789ABCDEF");
    EXPECT_EQ(Sub(same, other), 0);
    EXPECT_EQ(same.length, 0u);

    BigInt zero;
    EXPECT_EQ(SubWord(zero, 5), 1);
    EXPECT_EQ(HexOf(zero), "5");
    BigInt z2;
    EXPECT_EQ(SubWord(z2, 0), 0);
    EXPECT_EQ(z2.length, 0u);

    // The one routine that may leave a leading zero word.
    BigInt big = Hex("100000000");
    EXPECT_EQ(SubWord(big, 1), 0);
    EXPECT_EQ(big.length, 2u);
    EXPECT_EQ(big.words[0], 0xFFFFFFFFu);
    EXPECT_EQ(big.words[1], 0u);
    EXPECT_EQ(CompareWord(big, 0xFFFFFFFFu), 0);
    BigInt copy;
    ASSERT_EQ(Copy(copy, big), 0);
    EXPECT_EQ(copy.length, 1u);
    BigInt sum;
    ASSERT_EQ(Copy(sum, big), 0);
    ASSERT_EQ(Add(sum, big), 0);
    EXPECT_EQ(HexOf(sum), "1FFFFFFFE");
    ASSERT_EQ(Mul(sum, big, big), 0);
    EXPECT_EQ(sum.length, 2u);

    BigInt small = Hex("3");
    EXPECT_EQ(SubWord(small, 10), 1);
    EXPECT_EQ(HexOf(small), "7");
    EXPECT_EQ(small.length, 1u);
}

TEST(NumberRoutines, ShiftsMakeOddAndGrowth) {
    BigInt x = Hex("60");
    EXPECT_EQ(MakeOdd(x), 5);
    EXPECT_EQ(HexOf(x), "3");
    BigInt y = Hex("10000000000000000");
    EXPECT_EQ(MakeOdd(y), 64);
    EXPECT_EQ(y.length, 1u);
    EXPECT_EQ(y.words[0], 1u);
    BigInt zero;
    EXPECT_EQ(MakeOdd(zero), 0);

    BigInt s = Hex("ABC");
    EXPECT_EQ(ShiftRight(s, 12), 0);
    EXPECT_EQ(s.length, 0u);
    BigInt t = Hex("1");
    ASSERT_EQ(ShiftLeft(t, 95), 0);
    EXPECT_EQ(t.length, 3u);
    EXPECT_EQ(BitLength(t), 96u);
    EXPECT_EQ(LowWord(t), 0u);

    BigInt g;
    ASSERT_EQ(Reserve(g, 5 * 32), 0);
    EXPECT_EQ(g.capacity, 6u);
    ASSERT_EQ(Reserve(g, 32), 0);  // capacity never shrinks
    EXPECT_EQ(g.capacity, 6u);
}

TEST(NumberRoutines, DivisionShapes) {
    BigInt q = Hex("77"), r, n = Hex("1234"), d = Hex("123456789");
    ASSERT_EQ(DivMod(q, r, n, d), 0);  // dividend shorter than the divisor
    EXPECT_EQ(q.length, 0u);
    EXPECT_EQ(HexOf(r), "1234");
    ASSERT_EQ(DivMod(q, n, n, d), 0);
    EXPECT_EQ(HexOf(n), "1234");

    BigInt zero;
    EXPECT_EQ(DivMod(q, r, d, zero), -1);  // refused instead of dividing by zero
    EXPECT_EQ(Mod(r, d, zero), -1);
    EXPECT_EQ(ModWord(d, 0), 0u);

    // Outputs that are also inputs still get exact results.
    const char* kN = "FFFFFFFFFFFFFFFFFFFFFFFF";
    const char* kD = "FFFFFFFF0001";
    Mpz mn(Hex(kN)), md(Hex(kD)), mq, mr;
    mpz_tdiv_qr(mq.get(), mr.get(), mn.get(), md.get());
    BigInt a = Hex(kN), b = Hex(kD), rr;
    ASSERT_EQ(DivMod(a, rr, a, b), 0);  // quotient over the dividend
    EXPECT_EQ(HexOf(a), mq.Hex());
    EXPECT_EQ(HexOf(rr), mr.Hex());
    BigInt n2 = Hex(kN), d2 = Hex(kD), q2;
    ASSERT_EQ(DivMod(q2, d2, n2, d2), 0);  // remainder over the divisor
    EXPECT_EQ(HexOf(q2), mq.Hex());
    EXPECT_EQ(HexOf(d2), mr.Hex());
    BigInt n3 = Hex(kN), d3 = Hex(kD), r3;
    ASSERT_EQ(DivMod(d3, r3, n3, d3), 0);  // quotient over the divisor
    EXPECT_EQ(HexOf(d3), mq.Hex());
    EXPECT_EQ(HexOf(r3), mr.Hex());
    BigInt m = Hex(kD);
    ASSERT_EQ(Mod(m, n2, m), 0);
    EXPECT_EQ(HexOf(m), mr.Hex());
    BigInt same = Hex(kN);
    EXPECT_EQ(DivMod(same, same, n2, b), -1);  // one object cannot take both results

    // Every non-zero word divisor, including those above 16 bits.
    BigInt v = Hex("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    Mpz mv(v);
    for (std::uint32_t w : {65536u, 65537u, 65521u, 3u, 0xFFFFFFFFu, 0x10001u * 7}) {
        EXPECT_EQ(ModWord(v, w), mpz_fdiv_ui(mv.get(), w)) << w;
    }
}

TEST(NumberRoutines, MemoryExhaustionKeepsDestinationsValid) {
    AllocationGuard guard;
    BigInt a = Hex("123456789ABCDEF0123456789ABCDEF0123456789"), b = Hex("FEDCBA9876543210FEDCBA987");
    BigInt dst = Hex("42");
    BigInt q, r = Hex("7");
    BigInt alias = Hex("123456789ABCDEF0123456789ABCDEF0123456789");
    FailAllocationsAfter(0);
    EXPECT_EQ(Mul(dst, a, b), -1);
    EXPECT_EQ(HexOf(dst), "42");
    EXPECT_EQ(Add(dst, a), -1);
    EXPECT_EQ(HexOf(dst), "42");
    EXPECT_EQ(Sub(dst, a), -1);
    EXPECT_EQ(HexOf(dst), "42");
    EXPECT_EQ(ShiftLeft(dst, 64), -1);
    EXPECT_EQ(HexOf(dst), "42");
    EXPECT_EQ(Copy(dst, a), -1);
    EXPECT_EQ(HexOf(dst), "42");
    EXPECT_EQ(DivMod(q, r, a, b), -1);
    EXPECT_EQ(HexOf(r), "7");
    EXPECT_EQ(Mul(alias, alias, b), -1);
    EXPECT_EQ(HexOf(alias), HexOf(a));
    FailAllocationsAfter(-1);

    Mpz ma(a), mb(b), expect;
    mpz_mul(expect.get(), ma.get(), mb.get());
    bool sawFailure = false;
    for (long n = 0; n < 5; ++n) {
        BigInt x = Hex("123456789ABCDEF0123456789ABCDEF0123456789");
        FailAllocationsAfter(n, 1);
        const int result = Mul(x, x, b);
        FailAllocationsAfter(-1);
        if (result == -1) {
            sawFailure = true;
            EXPECT_EQ(HexOf(x), HexOf(a));
        } else {
            EXPECT_EQ(HexOf(x), expect.Hex());
        }
    }
    EXPECT_TRUE(sawFailure);
}

}  // namespace
