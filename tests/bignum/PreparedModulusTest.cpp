// A modulus prepared for repeated powers, against GMP, on both kernels.
#include <gtest/gtest.h>

#include <vector>

#include "GmpSupport.h"
#include "bignum/BigInt.h"
#include "bignum/Limbs.h"
#include "bignum/Montgomery.h"

using namespace morvane;

namespace {

// The residue (Words() words) as a number.
BigInt Residue(const std::vector<std::uint32_t>& words) {
    BigInt x;
    EXPECT_EQ(ReserveWords(x, static_cast<std::uint32_t>(words.size())), 0);
    CopyWords(x.words, words.data(), words.size());
    x.length = static_cast<std::uint32_t>(words.size());
    return x;
}

TEST(PreparedModulusTest, PowersAgreeWithGmpAtEveryLimbCountOnBothKernels) {
    // The unrolled rows cover 4, 5, 8, 9 and 16 limbs; the others take the loops.
    Operands rnd(31);
    for (bool portable : {false, true}) {
        limbs::ForcePortableKernels(portable);
        for (std::uint32_t mw : {3u, 4u, 7u, 8u, 9u, 10u, 15u, 16u, 17u, 18u, 31u, 32u, 33u, 34u, 41u}) {
            BigInt m, base, e;
            rnd.Fill(m, mw);
            m.words[0] |= 1;
            const std::uint32_t maxBase = 2 * mw + 1;
            PreparedModulus pm;
            ASSERT_EQ(pm.Init(m, maxBase, 32 * mw), 0);
            ASSERT_GE(pm.Words(), mw);
            Mpz mm(m), mb, me, expect;
            for (int iter = 0; iter < 6; ++iter) {
                rnd.Fill(base, iter == 0 ? maxBase : rnd.Length(maxBase));
                if (iter == 1) {
                    ASSERT_EQ(Mul(base, m, m), 0);  // a multiple of m
                }
                rnd.Fill(e, iter == 2 ? 1 : rnd.Length(mw));
                mb.Set(base);
                me.Set(e);
                mpz_powm(expect.get(), mb.get(), me.get(), mm.get());
                std::vector<std::uint32_t> out(pm.Words(), 0xDEADBEEFu);
                ASSERT_EQ(pm.Power(out.data(), base.words, base.length, e.words, e.length), 0);
                EXPECT_EQ(HexOf(Residue(out)), expect.Hex()) << mw << " " << iter << " " << portable;
            }
            // Exponent 0 gives 1, base 0 gives 0; a zero base may come without words.
            std::vector<std::uint32_t> out(pm.Words());
            ASSERT_EQ(pm.Power(out.data(), base.words, base.length, nullptr, 0), 0);
            EXPECT_EQ(HexOf(Residue(out)), "1");
            ASSERT_EQ(pm.Power(out.data(), nullptr, 0, e.words, e.length), 0);
            EXPECT_EQ(HexOf(Residue(out)), "0");
        }
    }
    limbs::ForcePortableKernels(false);
}

TEST(PreparedModulusTest, MontgomeryFormAndProductAndOverlappingOutput) {
    Operands rnd(32);
    BigInt m, a, b, r;
    rnd.Fill(m, 9);
    m.words[0] |= 1;
    rnd.Fill(a, 20);
    rnd.Fill(b, 8);  // below m: one word shorter
    PreparedModulus pm;
    ASSERT_EQ(pm.Init(m, 20, 64), 0);
    std::vector<std::uint32_t> aR(pm.Words()), bb(pm.Words(), 0);
    ASSERT_EQ(pm.ToMontgomery(aR.data(), a.words, a.length), 0);
    CopyWords(bb.data(), b.words, b.length);
    pm.MontMul(bb.data(), aR.data(), bb.data());  // a R b / R = a b mod m, over b
    Mpz mm(m), ma(a), mb(b), expect;
    mpz_mul(expect.get(), ma.get(), mb.get());
    mpz_mod(expect.get(), expect.get(), mm.get());
    EXPECT_EQ(HexOf(Residue(bb)), expect.Hex());

    // The output may be the base's own words.
    BigInt e;
    rnd.Fill(e, 2);
    std::vector<std::uint32_t> both(pm.Words() + 12, 0);
    CopyWords(both.data(), a.words, a.length);
    ASSERT_EQ(pm.Power(both.data(), both.data(), a.length, e.words, e.length), 0);
    both.resize(pm.Words());
    Mpz me(e);
    mpz_powm(expect.get(), ma.get(), me.get(), mm.get());
    EXPECT_EQ(HexOf(Residue(both)), expect.Hex());
}

TEST(PreparedModulusTest, RefusesWhatItWasNotPreparedFor) {
    Operands rnd(33);
    BigInt m, base, e;
    rnd.Fill(m, 8);
    PreparedModulus pm;
    m.words[0] &= ~1u;
    EXPECT_EQ(pm.Init(m, 8, 64), -1);  // even
    EXPECT_TRUE(pm.Empty());
    m.words[0] |= 1;
    m.length = 2;  // a single limb
    EXPECT_EQ(pm.Init(m, 8, 64), -1);
    EXPECT_TRUE(pm.Empty());
    m.length = 8;
    ASSERT_EQ(pm.Init(m, 10, 64), 0);
    EXPECT_FALSE(pm.Empty());

    std::vector<std::uint32_t> out(pm.Words(), 7);
    rnd.Fill(base, 13);  // beyond 10 words, rounded up to whole limbs
    rnd.Fill(e, 2);
    EXPECT_EQ(pm.Power(out.data(), base.words, base.length, e.words, e.length), -1);
    rnd.Fill(base, 10);
    rnd.Fill(e, 3);  // 65 bits or more
    EXPECT_EQ(pm.Power(out.data(), base.words, base.length, e.words, e.length), -1);
    EXPECT_EQ(out, std::vector<std::uint32_t>(pm.Words(), 7));
    // Leading zero words do not count against the lengths.
    e.words[2] = 0;
    EXPECT_EQ(pm.Power(out.data(), base.words, base.length, e.words, e.length), 0);
    pm.Clear();
    EXPECT_TRUE(pm.Empty());
}

}  // namespace
