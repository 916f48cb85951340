// Exponentiation, Montgomery reduction, gcd and inverse.
#include <gtest/gtest.h>

#include "GmpSupport.h"
#include "bignum/BigInt.h"
#include "bignum/SafeAlloc.h"

using namespace morvane;

namespace {

BigInt Word(std::uint32_t w) {
    BigInt x;
    EXPECT_EQ(SetWord(x, w), 0);
    return x;
}

BigInt Hex(const char* text) {
    BigInt x;
    EXPECT_EQ(x.FromHex(text), 1);
    return x;
}

TEST(ExpModTest, SmallCasesAndRefusals) {
    BigInt r;
    ASSERT_EQ(ExpMod(r, Word(4), Word(13), Word(497)), 1);
    EXPECT_TRUE(r.EqualsWord(445));
    ASSERT_EQ(ExpMod(r, Word(4), Word(0), Word(497)), 1);
    EXPECT_TRUE(r.EqualsWord(1));
    ASSERT_EQ(ExpMod(r, Word(4), Word(1), Word(497)), 1);
    EXPECT_TRUE(r.EqualsWord(4));
    // A base above the modulus is reduced first.
    ASSERT_EQ(ExpMod(r, Word(4 + 497 * 1000), Word(13), Word(497)), 1);
    EXPECT_TRUE(r.EqualsWord(445));
    ASSERT_EQ(ExpMod(r, Word(0), Word(5), Word(497)), 1);
    EXPECT_EQ(r.length, 0u);

    BigInt keep = Word(99);
    EXPECT_EQ(ExpMod(keep, Word(4), Word(13), Word(498)), -1);  // even modulus
    EXPECT_EQ(ExpMod(keep, Word(4), Word(13), BigInt()), -1);   // zero modulus
    EXPECT_EQ(TwoExpMod(keep, Word(13), Word(498)), -1);
    EXPECT_TRUE(keep.EqualsWord(99));

    // Modulus 1: every residue is 0.
    ASSERT_EQ(ExpMod(r, Word(4), Word(0), Word(1)), 1);
    EXPECT_EQ(r.length, 0u);
    ASSERT_EQ(ExpMod(r, Word(4), Word(7), Word(1)), 1);
    EXPECT_EQ(r.length, 0u);

    ASSERT_EQ(TwoExpMod(r, Word(0), Word(1001)), 0);
    EXPECT_TRUE(r.EqualsWord(1));
    ASSERT_EQ(TwoExpMod(r, Word(1), Word(1001)), 0);
    EXPECT_TRUE(r.EqualsWord(2));
    ASSERT_EQ(TwoExpMod(r, Word(10), Word(1001)), 0);
    EXPECT_TRUE(r.EqualsWord(23));
    ASSERT_EQ(TwoExpMod(r, Word(9), Word(1001)), 0);  // 512 < 1001 needs no reduction
    EXPECT_TRUE(r.EqualsWord(512));
}

TEST(ExpModTest, EveryWindowSizeAndAliasing) {
    // Exponent lengths at and around every window threshold, up to 4096 bits.
    Operands rnd(21);
    BigInt m, base, e, r;
    Mpz mm, mb, me, expect;
    rnd.Fill(m, 40);
    m.words[0] |= 1;
    m.words[39] |= 0x80000000u;
    rnd.Fill(base, 40);
    mm.Set(m);
    mb.Set(base);
    for (std::uint32_t bits : {2u, 5u, 6u, 17u, 23u, 24u, 80u, 81u, 240u, 241u, 672u, 673u, 1024u, 1792u, 1793u, 4096u}) {
        ASSERT_EQ(SetWord(e, 1), 0);
        ASSERT_EQ(ShiftLeft(e, bits - 1), 0);
        BigInt low;
        rnd.Fill(low, (bits + 31) / 32);
        (void)ShiftRight(low, 32 * low.length - (bits - 1));
        ASSERT_EQ(Add(e, low), 0);
        ASSERT_EQ(BitLength(e), bits);
        me.Set(e);
        mpz_powm(expect.get(), mb.get(), me.get(), mm.get());
        ASSERT_EQ(ExpMod(r, base, e, m), 1);
        EXPECT_EQ(HexOf(r), expect.Hex()) << bits;
        // The destination may be any of the operands.
        BigInt x = e;
        ASSERT_EQ(ExpMod(x, base, x, m), 1);
        EXPECT_EQ(HexOf(x), expect.Hex()) << bits;
        BigInt y = m;
        ASSERT_EQ(ExpMod(y, base, e, y), 1);
        EXPECT_EQ(HexOf(y), expect.Hex()) << bits;
    }
    // Public exponent 65537 with a one-word and an odd-length modulus.
    for (std::uint32_t len : {1u, 3u, 33u}) {
        rnd.Fill(m, len);
        m.words[0] |= 1;
        mm.Set(m);
        mpz_powm(expect.get(), mb.get(), Mpz(Word(65537)).get(), mm.get());
        ASSERT_EQ(ExpMod(r, base, Word(65537), m), 1);
        EXPECT_EQ(HexOf(r), expect.Hex()) << len;
    }
}

TEST(ExpModTest, ShortOfMemoryEitherFailsCleanlyOrStillComputes) {
    // The odd-power table shrinks when only it cannot be allocated; any other failure is -1.
    Operands rnd(22);
    BigInt m, base, e;
    rnd.Fill(m, 16);
    m.words[0] |= 1;
    rnd.Fill(base, 16);
    rnd.Fill(e, 16);
    Mpz mm(m), mb(base), me(e), expect;
    mpz_powm(expect.get(), mb.get(), me.get(), mm.get());
    int failures = 0;
    for (long n = 0; n < 40; ++n) {
        BigInt r = Word(7);
        FailAllocationsAfter(n, 1);
        const int result = ExpMod(r, base, e, m);
        FailAllocationsAfter(-1);
        if (result == -1) {
            ++failures;
            EXPECT_TRUE(r.EqualsWord(7)) << n;
        } else {
            ASSERT_EQ(result, 1);
            EXPECT_EQ(HexOf(r), expect.Hex()) << n;
        }
    }
    EXPECT_GT(failures, 0);
    // Every allocation failing from the start.
    BigInt r = Word(7);
    FailAllocationsAfter(0);
    EXPECT_EQ(ExpMod(r, base, e, m), -1);
    EXPECT_EQ(TwoExpMod(r, e, m), -1);
    EXPECT_EQ(Gcd(r, base, m), -1);
    EXPECT_EQ(Inverse(r, base, m), -1);
    FailAllocationsAfter(-1);
    EXPECT_TRUE(r.EqualsWord(7));
}

TEST(MontgomeryTest, InverseWordAndReduction) {
    for (std::uint32_t w : {1u, 3u, 0xFFFFFFFFu, 0x12345679u, 65537u}) {
        EXPECT_EQ(w * MontInverseWord(w), 0xFFFFFFFFu) << w;  // w * -(w^-1) = -1
    }
    Operands rnd(23);
    BigInt m, t;
    Mpz mm, mt, expect, rinv;
    for (std::uint32_t n : {1u, 2u, 5u, 16u}) {
        rnd.Fill(m, n);
        m.words[0] |= 1;
        mm.Set(m);
        // t below m * R: a product of two residues.
        BigInt a, b;
        rnd.Fill(a, n);
        rnd.Fill(b, n);
        ASSERT_EQ(Mod(a, a, m), 0);
        ASSERT_EQ(Mod(b, b, m), 0);
        ASSERT_EQ(Mul(t, a, b), 0);
        std::vector<std::uint32_t> span(2 * n, 0);
        CopyWords(span.data(), t.words, t.length);
        MontReduce(span.data(), m.words, n, MontInverseWord(m.words[0]));
        mt.Set(t);
        mpz_set_ui(rinv.get(), 1);
        mpz_mul_2exp(rinv.get(), rinv.get(), 32 * n);
        ASSERT_NE(mpz_invert(rinv.get(), rinv.get(), mm.get()), 0);
        mpz_mul(expect.get(), mt.get(), rinv.get());
        mpz_mod(expect.get(), expect.get(), mm.get());
        Mpz got;
        mpz_import(got.get(), n, -1, 4, 0, 0, span.data() + n);
        EXPECT_EQ(mpz_cmp(got.get(), expect.get()), 0) << n;
    }
}

TEST(GcdInverseTest, SmallCases) {
    BigInt r;
    ASSERT_EQ(Gcd(r, Word(12), Word(18)), 0);
    EXPECT_TRUE(r.EqualsWord(6));
    BigInt x = Hex("123456789ABCDEF");
    ASSERT_EQ(Gcd(r, x, BigInt()), 0);
    EXPECT_EQ(Compare(r, x), 0);
    ASSERT_EQ(Gcd(r, BigInt(), x), 0);
    EXPECT_EQ(Compare(r, x), 0);
    BigInt a = Word(12);
    ASSERT_EQ(Gcd(a, a, Word(18)), 0);
    EXPECT_TRUE(a.EqualsWord(6));
    ASSERT_EQ(Gcd(a, a, a), 0);
    EXPECT_TRUE(a.EqualsWord(6));

    ASSERT_EQ(Inverse(r, Word(3), Word(7)), 0);
    EXPECT_TRUE(r.EqualsWord(5));
    EXPECT_EQ(Inverse(r, Word(6), Word(9)), 1);
    ASSERT_EQ(Inverse(r, Word(1), Word(1000)), 0);
    EXPECT_TRUE(r.EqualsWord(1));
    EXPECT_EQ(Inverse(r, Word(14), Word(7)), 1);  // 0 modulo m
    EXPECT_EQ(Inverse(r, Word(3), BigInt()), 1);   // no modulus
    ASSERT_EQ(Inverse(r, Word(10), Word(7)), 0);  // a above m
    EXPECT_TRUE(r.EqualsWord(5));
    BigInt m = Word(7);
    ASSERT_EQ(Inverse(m, Word(3), m), 0);  // destination over the modulus
    EXPECT_TRUE(m.EqualsWord(5));

    // 65537 against moduli of RSA sizes.
    Operands rnd(24);
    for (std::uint32_t words : {16u, 32u, 64u, 128u}) {
        BigInt n;
        rnd.Fill(n, words);
        if (ModWord(n, 65537) == 0) {
            ASSERT_EQ(AddWord(n, 1), 0);
        }
        ASSERT_EQ(Inverse(r, Word(65537), n), 0);
        BigInt check;
        ASSERT_EQ(MulWord(check, r, 65537), 0);
        ASSERT_EQ(Mod(check, check, n), 0);
        EXPECT_TRUE(check.EqualsWord(1)) << words;
        EXPECT_LT(Compare(r, n), 0);
    }
}

}  // namespace
