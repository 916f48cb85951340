// Random operands of 1 to 260 words checked against GMP.
#include <gtest/gtest.h>

#include "GmpSupport.h"
#include "bignum/BigInt.h"
#include "bignum/Limbs.h"

using namespace morvane;

namespace {

constexpr std::uint32_t kMaxWords = 260;

TEST(BigIntVersusGmp, AddSubCompare) {
    Operands rnd(1);
    BigInt a, b, x;
    Mpz ma, mb, mr;
    for (int iter = 0; iter < 1500; ++iter) {
        rnd.Fill(a, rnd.Length(kMaxWords));
        rnd.Fill(b, rnd.Below(4) == 0 ? a.length : rnd.Length(kMaxWords));
        if (iter % 7 == 0) {
            ASSERT_EQ(Copy(b, a), 0);
        }
        ma.Set(a);
        mb.Set(b);

        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(Add(x, b), 0);
        mpz_add(mr.get(), ma.get(), mb.get());
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_TRUE(Normal(x));

        ASSERT_EQ(Copy(x, a), 0);
        const int cmp = mpz_cmp(ma.get(), mb.get());
        ASSERT_EQ(Compare(a, b), cmp < 0 ? -1 : (cmp > 0 ? 1 : 0));
        ASSERT_EQ(Sub(x, b), cmp < 0 ? 1 : 0);
        mpz_sub(mr.get(), ma.get(), mb.get());
        mpz_abs(mr.get(), mr.get());
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_TRUE(Normal(x));

        // Destination also the source.
        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(Add(x, x), 0);
        mpz_add(mr.get(), ma.get(), ma.get());
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_EQ(Sub(x, x), 0);
        ASSERT_EQ(x.length, 0u);

        const std::uint32_t w = rnd.Below(3) == 0 ? 0xFFFFFFFFu : rnd.Word();
        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(AddWord(x, w), 0);
        mpz_add_ui(mr.get(), ma.get(), w);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_EQ(Copy(x, a), 0);
        const int below = mpz_cmp_ui(ma.get(), w) < 0 ? 1 : 0;
        ASSERT_EQ(SubWord(x, w), below);
        if (below) {
            mpz_ui_sub(mr.get(), w, ma.get());
        } else {
            mpz_sub_ui(mr.get(), ma.get(), w);
        }
        ASSERT_EQ(HexOf(x), mr.Hex());
    }
}

TEST(BigIntVersusGmp, MulAndSquareInEveryAliasingForm) {
    Operands rnd(2);
    BigInt a, b, x, y;
    Mpz ma, mb, mr;
    for (int iter = 0; iter < 400; ++iter) {
        rnd.Fill(a, rnd.Length(kMaxWords));
        rnd.Fill(b, rnd.Length(kMaxWords));
        ma.Set(a);
        mb.Set(b);
        mpz_mul(mr.get(), ma.get(), mb.get());
        const std::string product = mr.Hex();

        ASSERT_EQ(Mul(x, a, b), 0);
        ASSERT_EQ(HexOf(x), product);
        ASSERT_TRUE(Normal(x));
        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(Mul(x, x, b), 0);
        ASSERT_EQ(HexOf(x), product);
        ASSERT_EQ(Copy(x, b), 0);
        ASSERT_EQ(Mul(x, a, x), 0);
        ASSERT_EQ(HexOf(x), product);

        mpz_mul(mr.get(), ma.get(), ma.get());
        const std::string square = mr.Hex();
        ASSERT_EQ(Square(y, a), 0);
        ASSERT_EQ(HexOf(y), square);
        ASSERT_EQ(Mul(y, a, a), 0);
        ASSERT_EQ(HexOf(y), square);
        ASSERT_EQ(Copy(y, a), 0);
        ASSERT_EQ(Mul(y, y, y), 0);
        ASSERT_EQ(HexOf(y), square);
        ASSERT_EQ(Copy(y, a), 0);
        ASSERT_EQ(Square(y, y), 0);
        ASSERT_EQ(HexOf(y), square);

        const std::uint32_t w = rnd.Word();
        ASSERT_EQ(MulWord(x, a, w), 0);
        mpz_mul_ui(mr.get(), ma.get(), w);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_EQ(Copy(x, a), 0);
        x.MulInPlace(w);
        ASSERT_EQ(HexOf(x), mr.Hex());
    }
}

TEST(BigIntVersusGmp, MulSpanOnOddAndUnevenLengths) {
    // The word routine splits operands into 64-bit pairs plus an odd top word.
    Operands rnd(3);
    BigInt a, b;
    Mpz ma, mb, mr, mp;
    for (std::uint32_t m = 1; m <= 9; ++m) {
        for (std::uint32_t n = 1; n <= 9; ++n) {
            rnd.Fill(a, m);
            rnd.Fill(b, n);
            std::vector<std::uint32_t> prod(m + n + 2, 0xDEADBEEFu);
            MulSpan(prod.data() + 1, a.words, m, b.words, n);
            EXPECT_EQ(prod[0], 0xDEADBEEFu);
            EXPECT_EQ(prod[m + n + 1], 0xDEADBEEFu);
            ma.Set(a);
            mb.Set(b);
            mpz_mul(mr.get(), ma.get(), mb.get());
            mpz_import(mp.get(), m + n, -1, 4, 0, 0, prod.data() + 1);
            EXPECT_EQ(mpz_cmp(mp.get(), mr.get()), 0) << m << "x" << n;
            prod.assign(2 * m + 2, 0xDEADBEEFu);
            SquareSpan(prod.data() + 1, a.words, m);
            mpz_mul(mr.get(), ma.get(), ma.get());
            mpz_import(mp.get(), 2 * m, -1, 4, 0, 0, prod.data() + 1);
            EXPECT_EQ(mpz_cmp(mp.get(), mr.get()), 0) << m;
            EXPECT_EQ(prod[2 * m + 1], 0xDEADBEEFu);
        }
    }
}

TEST(BigIntVersusGmp, DivModAndModIncludingAddBack) {
    Operands rnd(4);
    BigInt n, d, q, r, x;
    Mpz mn, md, mq, mr;
    for (int iter = 0; iter < 1200; ++iter) {
        const std::uint32_t dl = rnd.Length(iter % 3 == 0 ? 4 : kMaxWords);
        rnd.Fill(d, dl);
        rnd.Fill(n, dl + rnd.Below(kMaxWords - dl + 1));
        if (iter % 5 == 0) {
            // Divisor top word with the high bit set over a run of zeros or ones: quotient
            // estimates one too large are frequent with such shapes.
            d.words[dl - 1] = 0x80000000u;
            for (std::uint32_t i = 0; i + 1 < dl; ++i) d.words[i] = iter % 10 == 0 ? 0 : 0xFFFFFFFFu;
            if (dl > 1) d.words[0] |= 1;
        }
        mn.Set(n);
        md.Set(d);
        mpz_tdiv_qr(mq.get(), mr.get(), mn.get(), md.get());

        ASSERT_EQ(DivMod(q, r, n, d), 0);
        ASSERT_EQ(HexOf(q), mq.Hex());
        ASSERT_EQ(HexOf(r), mr.Hex());
        ASSERT_TRUE(Normal(q) && Normal(r));

        ASSERT_EQ(Copy(x, n), 0);
        ASSERT_EQ(DivMod(q, x, x, d), 0);  // remainder over the dividend
        ASSERT_EQ(HexOf(q), mq.Hex());
        ASSERT_EQ(HexOf(x), mr.Hex());

        ASSERT_EQ(Mod(x, n, d), 0);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_EQ(Copy(x, n), 0);
        ASSERT_EQ(Mod(x, x, d), 0);
        ASSERT_EQ(HexOf(x), mr.Hex());

        // The divisor is read only: its words are intact afterwards.
        ASSERT_EQ(HexOf(d), md.Hex());
    }
}

TEST(BigIntVersusGmp, DivSpanLendsTheDivisorAndAcceptsQuotientOverDividend) {
    Operands rnd(5);
    BigInt a, b;
    Mpz ma, mb, mq, mr, got;
    for (int iter = 0; iter < 600; ++iter) {
        const std::uint32_t m = rnd.Length(20);
        const std::uint32_t n = m + rnd.Below(20);
        rnd.Fill(b, m);
        rnd.Fill(a, n);
        if (iter % 3 == 0) {  // shapes that need the add-back step
            b.words[m - 1] = 0x80000000u;
            for (std::uint32_t i = 0; i + 1 < m; ++i) b.words[i] = iter % 2 ? 0 : 0xFFFFFFFFu;
        }
        ma.Set(a);
        mb.Set(b);
        mpz_tdiv_qr(mq.get(), mr.get(), ma.get(), mb.get());
        std::vector<std::uint32_t> work(a.words, a.words + n);
        std::vector<std::uint32_t> div(b.words, b.words + m);
        const std::uint32_t top = DivSpan(work.data() + m, work.data(), n, div.data(), m);
        EXPECT_TRUE(std::equal(div.begin(), div.end(), b.words));
        mpz_import(got.get(), m, -1, 4, 0, 0, work.data());
        EXPECT_EQ(mpz_cmp(got.get(), mr.get()), 0);
        std::vector<std::uint32_t> quotient(work.begin() + m, work.end());
        quotient.push_back(top);
        mpz_import(got.get(), quotient.size(), -1, 4, 0, 0, quotient.data());
        EXPECT_EQ(mpz_cmp(got.get(), mq.get()), 0);
    }
}

TEST(BigIntVersusGmp, ModWordShiftsAndMakeOdd) {
    Operands rnd(6);
    BigInt a, x;
    Mpz ma, mr;
    const std::uint32_t divisors[] = {1, 2, 3, 7, 65535, 65536, 65537, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFBu};
    for (int iter = 0; iter < 600; ++iter) {
        rnd.Fill(a, rnd.Length(kMaxWords));
        ma.Set(a);
        for (std::uint32_t d : divisors) ASSERT_EQ(ModWord(a, d), mpz_fdiv_ui(ma.get(), d)) << d;
        const std::uint32_t d = rnd.Word() | 1;
        ASSERT_EQ(ModWord(a, d), mpz_fdiv_ui(ma.get(), d));

        const std::uint32_t bits = rnd.Below(3 * 32 * kMaxWords / 2);
        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(ShiftLeft(x, bits), 0);
        mpz_mul_2exp(mr.get(), ma.get(), bits);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_TRUE(Normal(x));
        ASSERT_EQ(Copy(x, a), 0);
        const int newLength = ShiftRight(x, bits);
        ASSERT_EQ(newLength, static_cast<int>(x.length));
        mpz_fdiv_q_2exp(mr.get(), ma.get(), bits);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_TRUE(Normal(x));

        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(ShiftLeft(x, rnd.Below(200)), 0);
        Mpz before(x);
        const int removed = MakeOdd(x);
        ASSERT_EQ(static_cast<unsigned long>(removed), mpz_scan1(before.get(), 0));
        mpz_fdiv_q_2exp(mr.get(), before.get(), removed);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_TRUE(Normal(x));
        ASSERT_EQ(BitLength(a), mpz_sizeinbase(ma.get(), 2));
    }
}

TEST(BigIntVersusGmp, ExpModAndTwoExpMod) {
    Operands rnd(7);
    BigInt base, e, m, x, y;
    Mpz mb, me, mm, mr;
    for (int iter = 0; iter < 240; ++iter) {
        const std::uint32_t ml = rnd.Length(iter < 180 ? 24 : 130);
        rnd.Fill(m, ml);
        m.words[0] |= 1;
        rnd.Fill(base, rnd.Length(ml + 2));
        rnd.Fill(e, rnd.Length(iter % 4 == 0 ? 2 : ml));
        mb.Set(base);
        me.Set(e);
        mm.Set(m);
        mpz_powm(mr.get(), mb.get(), me.get(), mm.get());
        ASSERT_EQ(ExpMod(x, base, e, m), 1);
        ASSERT_EQ(HexOf(x), mr.Hex()) << iter;
        ASSERT_EQ(Copy(x, base), 0);
        ASSERT_EQ(ExpMod(x, x, e, m), 1);  // destination over the base
        ASSERT_EQ(HexOf(x), mr.Hex());

        ASSERT_EQ(TwoExpMod(y, e, m), 0);
        mpz_set_ui(mb.get(), 2);
        mpz_powm(mr.get(), mb.get(), me.get(), mm.get());
        ASSERT_EQ(HexOf(y), mr.Hex()) << iter;
        ASSERT_EQ(SetWord(base, 2), 0);
        ASSERT_EQ(ExpMod(y, base, e, m), 1);
        ASSERT_EQ(HexOf(y), mr.Hex());
    }
}

TEST(BigIntVersusGmp, PortableAndProcessorSpecificLoopsAgree) {
    // The mulx/adx loop is chosen at run time; the portable loop must give the same results.
    Operands rnd(10);
    BigInt a, b, m, x, y;
    for (int iter = 0; iter < 60; ++iter) {
        rnd.Fill(a, rnd.Length(70));
        rnd.Fill(b, rnd.Length(70));
        rnd.Fill(m, rnd.Length(40));
        m.words[0] |= 1;
        limbs::ForcePortableKernels(true);
        ASSERT_EQ(Mul(x, a, b), 0);
        ASSERT_EQ(ExpMod(y, a, b, m), 1);
        limbs::ForcePortableKernels(false);
        Mpz ma(a), mb(b), mm(m), expect;
        mpz_mul(expect.get(), ma.get(), mb.get());
        ASSERT_EQ(HexOf(x), expect.Hex());
        mpz_powm(expect.get(), ma.get(), mb.get(), mm.get());
        ASSERT_EQ(HexOf(y), expect.Hex());
    }
}

TEST(BigIntVersusGmp, GcdAndInverse) {
    Operands rnd(8);
    BigInt a, b, g, inv, x;
    Mpz ma, mb, mr;
    int inverses = 0;
    for (int iter = 0; iter < 400; ++iter) {
        rnd.Fill(a, rnd.Length(iter < 300 ? 20 : 130));
        rnd.Fill(b, rnd.Length(iter < 300 ? 20 : 130));
        if (iter % 3 == 0) {
            // A shared factor.
            BigInt f;
            rnd.Fill(f, rnd.Length(3));
            ASSERT_EQ(Mul(a, a, f), 0);
            ASSERT_EQ(Mul(b, b, f), 0);
        }
        ma.Set(a);
        mb.Set(b);
        mpz_gcd(mr.get(), ma.get(), mb.get());
        ASSERT_EQ(Gcd(g, a, b), 0);
        ASSERT_EQ(HexOf(g), mr.Hex());
        ASSERT_EQ(Copy(x, a), 0);
        ASSERT_EQ(Gcd(x, x, b), 0);
        ASSERT_EQ(HexOf(x), mr.Hex());
        ASSERT_EQ(Copy(x, b), 0);
        ASSERT_EQ(Gcd(x, a, x), 0);
        ASSERT_EQ(HexOf(x), mr.Hex());

        const int exists = mpz_invert(mr.get(), ma.get(), mb.get()) != 0 && mpz_cmp_ui(mb.get(), 1) > 0;
        const int result = Inverse(inv, a, b);
        ASSERT_EQ(result, exists ? 0 : 1) << iter;
        if (exists) {
            ++inverses;
            ASSERT_EQ(HexOf(inv), mr.Hex());
            ASSERT_EQ(Copy(x, a), 0);
            ASSERT_EQ(Inverse(x, x, b), 0);
            ASSERT_EQ(HexOf(x), mr.Hex());
        }
    }
    EXPECT_GT(inverses, 50);
}

// x with `extra` zero words above its value (a form every routine must accept).
void PadWithZeros(BigInt& x, std::uint32_t extra) {
    ASSERT_EQ(ReserveWords(x, x.length + extra), 0);
    ZeroWords(x.words + x.length, extra);
    x.length += extra;
}

// The result has the expected value and no leading zero word.
::testing::AssertionResult Gives(const BigInt& x, mpz_srcptr want) {
    Mpz expected;
    mpz_set(expected.get(), want);
    if (HexOf(x) != expected.Hex()) return ::testing::AssertionFailure() << HexOf(x) << " != " << expected.Hex();
    if (!Normal(x)) return ::testing::AssertionFailure() << "length " << x.length << " has leading zero words";
    return ::testing::AssertionSuccess();
}

TEST(BigIntVersusGmp, LeadingZeroWordsInAndNormalFormOutWithDestinationOverSource) {
    // The reported shape: words {5, 0} against a two-word divisor.
    BigInt x, d, q, e;
    Mpz five;
    mpz_set_ui(five.get(), 5);
    auto reset = [&] {
        ASSERT_EQ(SetWord(x, 5), 0);
        PadWithZeros(x, 1);
    };
    ASSERT_EQ(SetWord(d, 1), 0);
    ASSERT_EQ(ShiftLeft(d, 32), 0);
    ASSERT_EQ(AddWord(d, 1), 0);
    ASSERT_EQ(SetWord(e, 1), 0);
    reset();
    ASSERT_EQ(Copy(x, x), 0);
    EXPECT_TRUE(Gives(x, five.get()));
    reset();
    ASSERT_EQ(Mod(x, x, d), 0);
    EXPECT_TRUE(Gives(x, five.get()));
    reset();
    ASSERT_EQ(DivMod(q, x, x, d), 0);
    EXPECT_TRUE(Gives(x, five.get()));
    reset();
    ASSERT_EQ(ExpMod(x, x, e, d), 1);
    EXPECT_TRUE(Gives(x, five.get()));

    Operands rnd(11);
    BigInt a, b, m, n, t, r;
    Mpz ma, mb, mm, mn, me, want, want2;
    for (int iter = 0; iter < 300 && !HasFailure(); ++iter) {
        SCOPED_TRACE(iter);
        const std::uint32_t big = iter < 200 ? 12 : 70;
        rnd.Fill(a, rnd.Length(big));
        rnd.Fill(b, rnd.Length(big));
        rnd.Fill(n, rnd.Length(2 * big));
        rnd.Fill(m, rnd.Length(big));
        m.words[0] |= 1;
        rnd.Fill(e, rnd.Length(iter % 3 == 0 ? 1 : big));
        if (iter % 10 == 0) {
            ASSERT_EQ(SetWord(e, iter % 20 == 0 ? 1 : 0), 0);
        }
        ma.Set(a);
        mb.Set(b);
        mm.Set(m);
        mn.Set(n);
        me.Set(e);
        // Every operand carries 1 to 3 zero words on top.
        for (BigInt* v : {&a, &b, &m, &n, &e}) PadWithZeros(*v, 1 + rnd.Below(3));
        const std::uint32_t w = rnd.Below(4) == 0 ? 0 : rnd.Word();
        const auto with = [&](const BigInt& v) {
            EXPECT_EQ(Copy(x, v), 0);
            PadWithZeros(x, 1 + rnd.Below(3));
        };

        with(a);
        ASSERT_EQ(Copy(x, x), 0);
        EXPECT_TRUE(Gives(x, ma.get()));
        ASSERT_EQ(Copy(t, a), 0);
        EXPECT_TRUE(Gives(t, ma.get()));

        mpz_add(want.get(), ma.get(), mb.get());
        with(a);
        ASSERT_EQ(Add(x, b), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_add(want.get(), ma.get(), ma.get());
        with(a);
        ASSERT_EQ(Add(x, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_sub(want.get(), ma.get(), mb.get());
        mpz_abs(want.get(), want.get());
        with(a);
        ASSERT_GE(Sub(x, b), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_set_ui(want.get(), 0);
        with(a);
        ASSERT_EQ(Sub(x, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_add_ui(want.get(), ma.get(), w);
        with(a);
        ASSERT_EQ(AddWord(x, w), 0);
        EXPECT_TRUE(Gives(x, want.get()));

        mpz_mul(want.get(), ma.get(), mb.get());
        with(a);
        ASSERT_EQ(Mul(x, x, b), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        with(b);
        ASSERT_EQ(Mul(x, a, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_mul(want.get(), ma.get(), ma.get());
        with(a);
        ASSERT_EQ(Mul(x, x, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        with(a);
        ASSERT_EQ(Square(x, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_mul_ui(want.get(), ma.get(), w);
        with(a);
        ASSERT_EQ(MulWord(x, x, w), 0);
        EXPECT_TRUE(Gives(x, want.get()));

        // Division with the dividend or the divisor as a destination.
        mpz_tdiv_qr(want.get(), want2.get(), mn.get(), mb.get());
        with(n);
        ASSERT_EQ(DivMod(q, x, x, b), 0);
        EXPECT_TRUE(Gives(q, want.get()));
        EXPECT_TRUE(Gives(x, want2.get()));
        with(n);
        ASSERT_EQ(DivMod(x, r, x, b), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        EXPECT_TRUE(Gives(r, want2.get()));
        with(b);
        ASSERT_EQ(DivMod(q, x, n, x), 0);
        EXPECT_TRUE(Gives(q, want.get()));
        EXPECT_TRUE(Gives(x, want2.get()));
        with(n);
        ASSERT_EQ(Mod(x, x, b), 0);
        EXPECT_TRUE(Gives(x, want2.get()));
        with(b);
        ASSERT_EQ(Mod(x, n, x), 0);
        EXPECT_TRUE(Gives(x, want2.get()));
        // A dividend shorter than the divisor comes back as it is.
        mpz_tdiv_r(want.get(), ma.get(), mn.get());
        with(a);
        ASSERT_EQ(Mod(x, x, n), 0);
        EXPECT_TRUE(Gives(x, want.get()));

        const std::uint32_t bits = rnd.Below(100);
        mpz_mul_2exp(want.get(), ma.get(), bits);
        with(a);
        ASSERT_EQ(ShiftLeft(x, bits), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_fdiv_q_2exp(want.get(), ma.get(), bits);
        with(a);
        (void)ShiftRight(x, bits);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_fdiv_q_2exp(want.get(), ma.get(), mpz_scan1(ma.get(), 0));
        with(a);
        (void)MakeOdd(x);
        EXPECT_TRUE(Gives(x, want.get()));

        // Exponentiation with the base, the exponent or the modulus as the destination.
        mpz_powm(want.get(), ma.get(), me.get(), mm.get());
        with(a);
        ASSERT_EQ(ExpMod(x, x, e, m), 1);
        EXPECT_TRUE(Gives(x, want.get()));
        with(e);
        ASSERT_EQ(ExpMod(x, a, x, m), 1);
        EXPECT_TRUE(Gives(x, want.get()));
        with(m);
        ASSERT_EQ(ExpMod(x, a, e, x), 1);
        EXPECT_TRUE(Gives(x, want.get()));
        mpz_set_ui(want2.get(), 2);
        mpz_powm(want.get(), want2.get(), me.get(), mm.get());
        with(e);
        ASSERT_EQ(TwoExpMod(x, x, m), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        with(m);
        ASSERT_EQ(TwoExpMod(x, e, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));

        mpz_gcd(want.get(), ma.get(), mb.get());
        with(a);
        ASSERT_EQ(Gcd(x, x, b), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        with(b);
        ASSERT_EQ(Gcd(x, a, x), 0);
        EXPECT_TRUE(Gives(x, want.get()));
        if (mpz_cmp_ui(mm.get(), 1) > 0 && mpz_invert(want.get(), ma.get(), mm.get()) != 0) {
            with(a);
            ASSERT_EQ(Inverse(x, x, m), 0);
            EXPECT_TRUE(Gives(x, want.get()));
            with(m);
            ASSERT_EQ(Inverse(x, a, x), 0);
            EXPECT_TRUE(Gives(x, want.get()));
        }
    }
}

TEST(BigIntVersusGmp, TextRoundTrips) {
    Operands rnd(9);
    BigInt a, x;
    Mpz ma;
    std::vector<char> buffer(32 * kMaxWords / 3 + 16);
    for (int iter = 0; iter < 300; ++iter) {
        rnd.Fill(a, rnd.Length(kMaxWords));
        ma.Set(a);
        ASSERT_EQ(a.ToHex(buffer.data(), buffer.size()), 1);
        ASSERT_EQ(std::string(buffer.data()), ma.Hex());
        ASSERT_EQ(x.FromHex(buffer.data()), 1);
        ASSERT_EQ(Compare(x, a), 0);

        char* dec = mpz_get_str(nullptr, 10, ma.get());
        const std::string expected(dec);
        void (*freefunc)(void*, size_t);
        mp_get_memory_functions(nullptr, nullptr, &freefunc);
        freefunc(dec, expected.size() + 1);
        ASSERT_EQ(a.ToDecimal(buffer.data(), buffer.size()), 1);
        ASSERT_EQ(std::string(buffer.data()), expected);
        ASSERT_EQ(x.FromText(10, buffer.data()), 1);
        ASSERT_EQ(Compare(x, a), 0);
        ASSERT_EQ(a.ToString(10), expected);
    }
}

}  // namespace
