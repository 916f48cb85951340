// Key generation and the two transforms, checked with OpenSSL's arithmetic and its RSA key
// validation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include "RsaTestSupport.h"

using namespace morvane;

using namespace rsatest;

namespace {

bool LongTests()
{
    const char* v = std::getenv("MORVANE_LONG_TESTS");
    return v != nullptr && std::string(v) == "1";
}

struct CtxFree {
    void operator()(BN_CTX* c) const { BN_CTX_free(c); }
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
    void operator()(OSSL_PARAM_BLD* b) const { OSSL_PARAM_BLD_free(b); }
    void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, CtxFree>;

// The key as an OpenSSL key pair (OpenSSL's coefficient is q^-1 mod p, with p = P).
Owned<EVP_PKEY> ToOpenSsl(const CRSA& k)
{
    Owned<BN_CTX> ctx(BN_CTX_new());
    Bn n = ToBn(k.N), e = ToBn(k.E), d = ToBn(k.D), p = ToBn(k.P), q = ToBn(k.Q);
    Bn p1(BN_dup(p.get())), q1(BN_dup(q.get())), dp(BN_new()), dq(BN_new()), qinv(BN_new());
    BN_sub_word(p1.get(), 1);
    BN_sub_word(q1.get(), 1);
    BN_mod(dp.get(), d.get(), p1.get(), ctx.get());
    BN_mod(dq.get(), d.get(), q1.get(), ctx.get());
    BN_mod_inverse(qinv.get(), q.get(), p.get(), ctx.get());

    Owned<OSSL_PARAM_BLD> bld(OSSL_PARAM_BLD_new());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, n.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_D, d.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, p.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, q.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, dp.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, dq.get());
    OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, qinv.get());
    Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(bld.get()));
    Owned<EVP_PKEY_CTX> pctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !pctx || EVP_PKEY_fromdata_init(pctx.get()) != 1 ||
        EVP_PKEY_fromdata(pctx.get(), &key, EVP_PKEY_KEYPAIR, params.get()) != 1)
        return nullptr;
    return Owned<EVP_PKEY>(key);
}

// x as m big-endian bytes, and back.
std::vector<unsigned char> Block(const BigInt& x, std::size_t m)
{
    std::vector<unsigned char> out(m);
    Bn b = ToBn(x);
    BN_bn2binpad(b.get(), out.data(), static_cast<int>(m));
    return out;
}

BigInt FromBlock(const std::vector<unsigned char>& bytes)
{
    Bn b(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
    return FromBn(b.get());
}

// OpenSSL's raw RSA transform (no padding): private when decrypting, public when encrypting.
BigInt OpenSslRaw(EVP_PKEY* key, const BigInt& x, std::size_t m, bool privateKey)
{
    Owned<EVP_PKEY_CTX> c(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    const int init = privateKey ? EVP_PKEY_decrypt_init(c.get()) : EVP_PKEY_encrypt_init(c.get());
    EXPECT_EQ(init, 1);
    EXPECT_EQ(EVP_PKEY_CTX_set_rsa_padding(c.get(), RSA_NO_PADDING), 1);
    const std::vector<unsigned char> in = Block(x, m);
    std::vector<unsigned char> out(m);
    std::size_t outLen = m;
    const int r = privateKey ? EVP_PKEY_decrypt(c.get(), out.data(), &outLen, in.data(), in.size())
                             : EVP_PKEY_encrypt(c.get(), out.data(), &outLen, in.data(), in.size());
    EXPECT_EQ(r, 1);
    out.resize(outLen);
    return FromBlock(out);
}

BigInt Word(std::uint32_t w)
{
    BigInt x;
    EXPECT_EQ(SetWord(x, w), 0);
    return x;
}

std::string Hex(const BigInt& x) { return x.ToString(16); }

// Every property a generated key must have, checked with OpenSSL's numbers.
void CheckKey(const CRSA& k, int bits)
{
    SCOPED_TRACE("bits " + std::to_string(bits));
    Owned<BN_CTX> ctx(BN_CTX_new());
    Bn n = ToBn(k.N), e = ToBn(k.E), d = ToBn(k.D), p = ToBn(k.P), q = ToBn(k.Q), u = ToBn(k.U);
    const int h = bits / 2;

    EXPECT_EQ(BN_num_bits(n.get()), bits);
    EXPECT_LT(BN_cmp(p.get(), q.get()), 0);
    Bn pq(BN_new());
    BN_mul(pq.get(), p.get(), q.get(), ctx.get());
    EXPECT_EQ(BN_cmp(pq.get(), n.get()), 0);
    EXPECT_EQ(BN_check_prime(p.get(), ctx.get(), nullptr), 1);
    EXPECT_EQ(BN_check_prime(q.get(), ctx.get(), nullptr), 1);
    EXPECT_EQ(BN_num_bits(p.get()), h - 17);
    EXPECT_EQ(BN_num_bits(q.get()), h + 17);

    // E: a prime of a quarter of the modulus length with its two top bits set.
    EXPECT_EQ(BN_check_prime(e.get(), ctx.get(), nullptr), 1);
    EXPECT_EQ(BN_num_bits(e.get()), bits / 4);
    EXPECT_TRUE(BN_is_bit_set(e.get(), bits / 4 - 1) && BN_is_bit_set(e.get(), bits / 4 - 2));

    // |Q - P| has at least h - 5 bits.
    Bn dist(BN_new());
    BN_sub(dist.get(), q.get(), p.get());
    EXPECT_GE(BN_num_bits(dist.get()), h - 5);

    // E * D = 1 mod lcm(P - 1, Q - 1); U * P = 1 mod Q.
    Bn p1(BN_dup(p.get())), q1(BN_dup(q.get())), g(BN_new()), lambda(BN_new()), t(BN_new()), rem(BN_new());
    BN_sub_word(p1.get(), 1);
    BN_sub_word(q1.get(), 1);
    BN_gcd(g.get(), p1.get(), q1.get(), ctx.get());
    BN_mul(t.get(), p1.get(), q1.get(), ctx.get());
    BN_div(lambda.get(), rem.get(), t.get(), g.get(), ctx.get());
    BN_mod_mul(t.get(), e.get(), d.get(), lambda.get(), ctx.get());
    EXPECT_TRUE(BN_is_one(t.get()));
    EXPECT_GE(BN_num_bits(d.get()), BN_num_bits(lambda.get()) / 4);
    BN_mod_mul(t.get(), u.get(), p.get(), q.get(), ctx.get());
    EXPECT_TRUE(BN_is_one(t.get()));

    // OpenSSL's own key validation.
    Owned<EVP_PKEY> key = ToOpenSsl(k);
    ASSERT_TRUE(key);
    Owned<EVP_PKEY_CTX> check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    EXPECT_EQ(EVP_PKEY_pairwise_check(check.get()), 1);
    EXPECT_EQ(EVP_PKEY_private_check(check.get()), 1);
}

// The transforms against each other and against OpenSSL's raw RSA.
void CheckTransforms(const CRSA& k, CRandom& random)
{
    const std::size_t m = k.ModulusBytes();
    Owned<EVP_PKEY> key = ToOpenSsl(k);
    ASSERT_TRUE(key);

    std::vector<BigInt> xs;
    xs.push_back(Word(0));
    xs.push_back(Word(1));
    BigInt nMinus1 = k.N;
    ASSERT_GE(SubWord(nMinus1, 1), 0);
    xs.push_back(nMinus1);
    for (int i = 0; i < 4; ++i) {
        BigInt x;
        ASSERT_EQ(random.RandomNumber(x, static_cast<int>(BitLength(k.N)) - 1, 0, 0, 0), 1);
        xs.push_back(x);
    }
    for (const BigInt& x : xs) {
        SCOPED_TRACE("x = " + Hex(x));
        BigInt c, back;
        ASSERT_EQ(k.PublicPower(c, x), 1);
        if (BitLength(k.N) <= 3072) {
            EXPECT_EQ(Hex(c), Hex(OpenSslRaw(key.get(), x, m, false)));
        } else {
            // OpenSSL refuses public exponents above 64 bits for larger moduli.
            Owned<BN_CTX> ctx(BN_CTX_new());
            Bn r(BN_new()), bx = ToBn(x), be = ToBn(k.E), bn = ToBn(k.N);
            BN_mod_exp(r.get(), bx.get(), be.get(), bn.get(), ctx.get());
            EXPECT_EQ(Hex(c), Hex(FromBn(r.get())));
        }
        ASSERT_EQ(k.PrivatePower(back, c), 1);
        EXPECT_EQ(Hex(back), Hex(x));
        ASSERT_EQ(k.PrivatePower(back, x), 1);
        EXPECT_EQ(Hex(back), Hex(OpenSslRaw(key.get(), x, m, true)));
    }

    // Results whose residue mod Q lies below the one mod P take the wrap-around branch of the
    // recombination: y = Q + 1 (m2 = 1) and y = Q (m2 = 0).
    for (std::uint32_t add : {1u, 0u}) {
        BigInt y = k.Q, x, back;
        ASSERT_EQ(AddWord(y, add), 0);
        ASSERT_EQ(k.PublicPower(x, y), 1);
        ASSERT_EQ(k.PrivatePower(back, x), 1);
        EXPECT_EQ(Hex(back), Hex(y));
        // In place as well.
        ASSERT_EQ(k.PrivatePower(x, x), 1);
        EXPECT_EQ(Hex(x), Hex(y));
    }

    // The public and private transforms of a key without its private part fail cleanly.
    CRSA lock;
    lock.N = k.N;
    lock.E = k.E;
    BigInt out;
    EXPECT_EQ(lock.PublicPower(out, Word(5)), 1);
    EXPECT_EQ(lock.PrivatePower(out, Word(5)), -1);
}

} // namespace

TEST(RsaKeygen, KeysOfEveryStrengthAreSoundAndTransformsInvert)
{
    std::vector<int> sizes = {512, 1024, 2048};
    if (LongTests())
        sizes.push_back(4096);
    for (int bits : sizes) {
        TestRandom tr(static_cast<std::uint32_t>(bits) * 7919u);
        CRSA k;
        k.SetRandom(&tr.random);
        ASSERT_EQ(MakeKey(k, bits), 1);
        CheckKey(k, bits);
        CheckTransforms(k, tr.random);
        int failed = 1;
        EXPECT_EQ(k.SelfTest(failed), 1);
        EXPECT_EQ(failed, 0);
    }
}

TEST(RsaKeygen, SameRandomSourceGivesSameKeyAndEveryRunDiffers)
{
    TestRandom a(42), b(42), c(43);
    CRSA ka, kb, kc;
    ka.SetRandom(&a.random);
    kb.SetRandom(&b.random);
    kc.SetRandom(&c.random);
    ASSERT_EQ(MakeKey(ka, 512), 1);
    ASSERT_EQ(MakeKey(kb, 512), 1);
    ASSERT_EQ(MakeKey(kc, 512), 1);
    EXPECT_EQ(Hex(ka.N), Hex(kb.N));
    EXPECT_EQ(Hex(ka.E), Hex(kb.E));
    EXPECT_NE(Hex(ka.N), Hex(kc.N));
    EXPECT_NE(Hex(ka.E), Hex(kc.E));
    // A second key from the same engine and pool is a new key.
    ASSERT_EQ(MakeKey(ka, 512), 1);
    EXPECT_NE(Hex(ka.N), Hex(kb.N));
    CheckKey(ka, 512);
}

namespace {

// Answers `answer` to the first event of the chosen search: 0 for P, 1 for Q, 2 for E. The
// phase advances with each prime found ('*') and each draw of Q ('>').
struct StopAt {
    StopAt(int s, int a) : search(s), answer(a) {}
    int search;
    int answer;
    int primesFound = 0;
    int draws = 0;
    std::string events;

    static int Call(void* self, char code)
    {
        auto& s = *static_cast<StopAt*>(self);
        s.events += code;
        if (code == kKeygenEventDrawQ) {
            ++s.draws;
            return 1;
        }
        const bool inTarget = s.primesFound == s.search && (s.search == 0 || s.draws > 0);
        if (inTarget)
            return s.answer;
        if (code == kPrimeEventPrime)
            ++s.primesFound;
        return 1;
    }
};

} // namespace

TEST(RsaKeygen, StopAnswersEndEachOfTheThreeSearches)
{
    for (int search = 0; search < 3; ++search) {
        for (int answer : {kPrimeStopUser, kPrimeStopClosing}) {
            SCOPED_TRACE("search " + std::to_string(search) + " answer " + std::to_string(answer));
            TestRandom tr(7);
            CRSA k;
            k.SetRandom(&tr.random);
            k.P = Word(101);
            k.Q = Word(103);
            k.E = Word(107);
            StopAt stop(search, answer);
            int status = 0;
            EXPECT_EQ(k.GeneratePrimes(512, StopAt::Call, &stop, status), answer);
            EXPECT_EQ(status, answer);
            // What was found before the stop is stored; the rest keeps its old value.
            EXPECT_EQ(BitLength(k.P) == 512 / 2 - 17, search > 0);
            EXPECT_EQ(Hex(k.Q) == "67", search < 2);
            EXPECT_EQ(Hex(k.E), "6B");
            EXPECT_EQ(stop.draws, search > 0 ? 1 : 0);
        }
    }

    // Any other answer is an error; a null callback runs to completion.
    TestRandom tr(8);
    CRSA k;
    k.SetRandom(&tr.random);
    int status = 0;
    auto bad = [](void*, char) { return 2; };
    EXPECT_EQ(k.GeneratePrimes(512, bad, nullptr, status), -1);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(k.GeneratePrimes(512, nullptr, nullptr, status), 1);
    EXPECT_EQ(status, 0);
}

TEST(RsaKeygen, GenerationEventsFollowTheSearchOrder)
{
    TestRandom tr(9);
    CRSA k;
    k.SetRandom(&tr.random);
    StopAt watch(99, kPrimeStopUser);  // never stops
    int status = 0;
    ASSERT_EQ(k.GeneratePrimes(1024, StopAt::Call, &watch, status), 1);
    // Exactly three primes, one draw of Q after the first, and only the search's own codes.
    EXPECT_EQ(watch.primesFound, 3);
    EXPECT_EQ(watch.draws, 1);
    const auto firstPrime = watch.events.find('*');
    EXPECT_EQ(watch.events.find('>'), firstPrime + 1);
    EXPECT_EQ(watch.events.find_first_not_of("*.?/>"), std::string::npos);
    EXPECT_EQ(watch.events.back(), '*');
}

TEST(RsaKeygen, RejectsUnusableSizesAndMissingRandom)
{
    TestRandom tr(10);
    CRSA k;
    int status = 0;
    EXPECT_EQ(k.GeneratePrimes(512, nullptr, nullptr, status), -1);  // no random pool yet
    EXPECT_EQ(status, -1);
    k.SetRandom(&tr.random);
    for (int bits : {-1, 0, 16, kMinKeyBits - 1, kMaxKeyBits + 1}) {
        status = 0;
        EXPECT_EQ(k.GeneratePrimes(bits, nullptr, nullptr, status), -1) << bits;
        EXPECT_EQ(status, -1);
    }
    EXPECT_EQ(k.GeneratePrimes(kMinKeyBits, nullptr, nullptr, status), 1);
}

TEST(RsaKeygen, ComputeKeyOrdersPrimesAndAsksForRedraws)
{
    TestRandom tr(11);
    CRSA k;
    k.SetRandom(&tr.random);
    ASSERT_EQ(MakeKey(k, 512), 1);
    const std::string n = Hex(k.N), d = Hex(k.D), p = Hex(k.P), q = Hex(k.Q);

    // Exchanged primes come back in order, with the same key.
    std::swap(k.P, k.Q);
    int status = 1;
    ASSERT_EQ(k.ComputeKey(status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Hex(k.P), p);
    EXPECT_EQ(Hex(k.Q), q);
    EXPECT_EQ(Hex(k.N), n);
    EXPECT_EQ(Hex(k.D), d);
    CheckKey(k, 512);

    // E = lcm + 1 gives D = 1, far shorter than a quarter of the lcm: redraw.
    Bn bp = ToBn(k.P), bq = ToBn(k.Q);
    Owned<BN_CTX> ctx(BN_CTX_new());
    BN_sub_word(bp.get(), 1);
    BN_sub_word(bq.get(), 1);
    Bn g(BN_new()), prod(BN_new()), lambda(BN_new());
    BN_gcd(g.get(), bp.get(), bq.get(), ctx.get());
    BN_mul(prod.get(), bp.get(), bq.get(), ctx.get());
    BN_div(lambda.get(), nullptr, prod.get(), g.get(), ctx.get());
    BN_add_word(lambda.get(), 1);
    k.E = FromBn(lambda.get());
    EXPECT_EQ(k.ComputeKey(status), -1);
    EXPECT_EQ(status, kStatusRedraw);

    // An exponent sharing a factor with the lcm (2, which divides P - 1): redraw.
    k.E = Word(2);
    EXPECT_EQ(k.ComputeKey(status), -1);
    EXPECT_EQ(status, kStatusRedraw);

    // Equal or degenerate primes are failures, not redraws.
    k.E = Word(65537);
    k.Q = k.P;
    EXPECT_EQ(k.ComputeKey(status), -1);
    EXPECT_EQ(status, -1);
    k.P = Word(1);
    EXPECT_EQ(k.ComputeKey(status), -1);
    EXPECT_EQ(status, -1);
}
