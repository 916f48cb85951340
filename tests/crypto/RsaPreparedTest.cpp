// The values an engine prepares for its transforms follow the key's numbers as they change,
// and keys or inputs they do not apply to still transform correctly.
#include <gtest/gtest.h>

#include <openssl/bn.h>

#include "RsaTestSupport.h"

using namespace morvane;
using namespace rsatest;

namespace {

struct CtxFree {
    void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};

// x^d mod n with OpenSSL.
BigInt PowerMod(const BigInt& x, const BigInt& d, const BigInt& n)
{
    std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
    Bn r(BN_new()), bx = ToBn(x), bd = ToBn(d), bn = ToBn(n);
    EXPECT_EQ(BN_mod_exp(r.get(), bx.get(), bd.get(), bn.get(), ctx.get()), 1);
    return FromBn(r.get());
}

std::string Hex(const BigInt& x)
{
    return x.ToString(16);
}

TEST(RsaPrepared, TransformsFollowTheKeysNumbersAsTheyChange)
{
    for (int bits : {512, 1024, 1152}) {
        SCOPED_TRACE(bits);
        TestRandom tr(static_cast<std::uint32_t>(bits) * 31u);
        CRSA a, b;
        a.SetRandom(&tr.random);
        b.SetRandom(&tr.random);
        ASSERT_EQ(MakeKey(a, bits), 1);
        ASSERT_EQ(MakeKey(b, bits), 1);
        BigInt x, y;
        ASSERT_EQ(tr.random.RandomNumber(x, bits - 2, 0, 0, 0), 1);

        CRSA engine = a;
        ASSERT_EQ(engine.PrivatePower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, a.D, a.N)));
        ASSERT_EQ(engine.PublicPower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, a.E, a.N)));

        // Another key assigned over the engine.
        engine = b;
        ASSERT_EQ(engine.PrivatePower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, b.D, b.N)));
        ASSERT_EQ(engine.PublicPower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, b.E, b.N)));

        // Single numbers changed in place, as a key record is loaded field by field.
        ASSERT_EQ(AddWord(engine.D, 2), 0);
        ASSERT_EQ(engine.PrivatePower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, engine.D, b.N)));
        ASSERT_EQ(AddWord(engine.E, 2), 0);
        ASSERT_EQ(engine.PublicPower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, engine.E, b.N)));
        engine.N = a.N;
        ASSERT_EQ(engine.PublicPower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(PowerMod(x, engine.E, a.N)));

        // A wrong U changes the recombination exactly as written: m1 + (U (m2 - m1) mod Q) P.
        engine = a;
        ASSERT_EQ(AddWord(engine.U, 1), 0);
        BigInt m1 = PowerMod(x, a.D, a.P), m2 = PowerMod(x, a.D, a.Q), s, h, expect;
        const int below = Sub(m2, m1);
        ASSERT_GE(below, 0);
        if (below == 1) {
            ASSERT_EQ(Sub(m2, a.Q), 1);  // Q - (m1 - m2)
        }
        ASSERT_EQ(Mul(h, engine.U, m2), 0);
        ASSERT_EQ(Mod(h, h, a.Q), 0);
        ASSERT_EQ(Mul(expect, h, a.P), 0);
        ASSERT_EQ(Add(expect, m1), 0);
        ASSERT_EQ(engine.PrivatePower(y, x), 1);
        EXPECT_EQ(Hex(y), Hex(expect));
    }
}

TEST(RsaPrepared, KeysAndInputsOutsideThePreparedFormStillTransform)
{
    TestRandom tr(77);
    CRSA k;
    k.SetRandom(&tr.random);
    ASSERT_EQ(MakeKey(k, 1024), 1);
    BigInt x, y, longer;
    ASSERT_EQ(tr.random.RandomNumber(x, 1000, 0, 0, 0), 1);
    const std::string expect = Hex(PowerMod(x, k.D, k.N));

    // x plus a multiple of N far longer than N: the same residue.
    ASSERT_EQ(Mul(longer, k.N, k.N), 0);
    ASSERT_EQ(Mul(longer, longer, k.N), 0);
    ASSERT_EQ(Add(longer, x), 0);
    ASSERT_EQ(k.PrivatePower(y, longer), 1);
    EXPECT_EQ(Hex(y), expect);
    ASSERT_EQ(k.PublicPower(y, longer), 1);
    EXPECT_EQ(Hex(y), Hex(PowerMod(x, k.E, k.N)));

    // P above Q with U = P^-1 mod Q still recombines to x^D mod N.
    CRSA swapped = k;
    std::swap(swapped.P, swapped.Q);
    ASSERT_EQ(Inverse(swapped.U, swapped.P, swapped.Q), 0);
    ASSERT_EQ(swapped.PrivatePower(y, x), 1);
    EXPECT_EQ(Hex(y), expect);

    // In place, and the result grown from nothing each time.
    y = x;
    ASSERT_EQ(k.PrivatePower(y, y), 1);
    EXPECT_EQ(Hex(y), expect);
    BigInt fresh;
    ASSERT_EQ(k.PrivatePower(fresh, x), 1);
    EXPECT_EQ(Hex(fresh), expect);
}

} // namespace
