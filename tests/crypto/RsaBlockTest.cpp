// Padding fillers, the simple block and the key self-test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "RsaTestSupport.h"

using namespace morvane;

using namespace rsatest;

namespace {

// Byte k of x (0 above its words).
std::uint8_t ByteAt(const BigInt& x, int k)
{
    std::uint8_t b = 0;
    int pos = k;
    ExtractBytesDown(x, &b, pos, 1, true);
    return b;
}

class ConstantSource : public RandomSource {
public:
    explicit ConstantSource(std::uint32_t v) : v_(v) {}
    std::uint32_t Next() override { return v_; }

private:
    std::uint32_t v_;
};

// 0, 1, ..., count - 1, then `after` forever.
class ScriptSource : public RandomSource {
public:
    ScriptSource(std::uint32_t count, std::uint32_t after) : count_(count), after_(after) {}
    std::uint32_t Next() override { return n_ < count_ ? n_++ : after_; }

private:
    std::uint32_t n_ = 0, count_, after_;
};

std::array<std::uint8_t, kPoolSize> PoolWithNonZeroAt(std::initializer_list<std::size_t> positions)
{
    std::array<std::uint8_t, kPoolSize> pool{};
    for (std::size_t p : positions)
        pool[p] = static_cast<std::uint8_t>(0x30 + p % 200);
    return pool;
}

CRSA& Key512()
{
    static TestRandom tr(512);
    static CRSA k;
    static bool made = false;
    if (!made) {
        k.SetRandom(&tr.random);
        made = MakeKey(k, 512) == 1;
    }
    return k;
}

} // namespace

TEST(RsaPadding, RandomPaddingIsNonZeroAndStaysInItsRange)
{
    CRSA rsa;
    // A pool that is mostly zeros makes the repair rule work hard; bytes outside the range
    // must keep their values.
    for (auto pool : {PoolWithNonZeroAt({3, 500, 1000}), PoolWithNonZeroAt({77})}) {
        TestRandom tr(1);
        tr.random.SetPool(pool);
        BigInt x;
        std::vector<std::uint8_t> seven(300, 0x07);
        ASSERT_EQ(InsertBytes(x, seven.data(), 0, 300), 1);
        ASSERT_EQ(rsa.FillRandomPadding(x, &tr.random, 10, 209), 1);  // 200 bytes: 64+64+64+8
        for (int i = 0; i < 300; ++i) {
            if (i >= 10 && i <= 209)
                EXPECT_NE(ByteAt(x, i), 0) << i;
            else
                EXPECT_EQ(ByteAt(x, i), 7) << i;
        }
    }

    // A chunk drawn as all zeros is drawn again; a pool and source that only ever give zeros
    // still end with non-zero bytes.
    {
        ConstantSource zero(0);
        CRandom random;
        random.SetSource(&zero);
        random.SetPool({});
        BigInt x;
        ASSERT_EQ(rsa.FillRandomPadding(x, &random, 0, 130), 1);
        for (int i = 0; i <= 130; ++i)
            EXPECT_NE(ByteAt(x, i), 0) << i;
    }
    {
        // Only the chunk's first byte is non-zero and every random pick after the draw points
        // at a zero byte: the repair still ends, with the non-zero byte.
        ScriptSource script(64, 63);
        CRandom random;
        random.SetSource(&script);
        random.SetPool(PoolWithNonZeroAt({0}));
        BigInt x;
        ASSERT_EQ(rsa.FillRandomPadding(x, &random, 0, 63), 1);
        for (int i = 0; i <= 63; ++i)
            EXPECT_NE(ByteAt(x, i), 0) << i;
    }

    // Empty and invalid ranges; no random pool.
    TestRandom tr(2);
    BigInt x;
    EXPECT_EQ(rsa.FillRandomPadding(x, &tr.random, 5, 4), 1);
    EXPECT_EQ(BitLength(x), 0u);
    EXPECT_EQ(rsa.FillRandomPadding(x, &tr.random, 5, 3), -1);
    EXPECT_EQ(rsa.FillRandomPadding(x, &tr.random, -1, 3), -1);
    EXPECT_EQ(rsa.FillRandomPadding(x, nullptr, 0, 3), -1);
}

TEST(RsaPadding, FixedPaddingFillsItsRangeOnly)
{
    CRSA rsa;
    BigInt x;
    ASSERT_EQ(rsa.FillFixedPadding(x, 3, 40), 1);  // 38 bytes: 16 + 16 + 6
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(ByteAt(x, i), (i >= 3 && i <= 40) ? 0xFF : 0) << i;
    EXPECT_EQ(rsa.FillFixedPadding(x, 2, 1), 1);
    EXPECT_EQ(rsa.FillFixedPadding(x, 2, 0), -1);
}

TEST(RsaSimpleBlock, LayoutAndUnpackChecks)
{
    CRSA rsa;
    TestRandom tr(4);
    const std::uint8_t data[] = {'a', 'b', 'c'};
    const std::uint32_t m = 64;
    BigInt x;
    ASSERT_EQ(rsa.PackSimpleBlock(x, &tr.random, data, 3, kSimpleFixedPadding, m), 1);
    EXPECT_EQ(ByteAt(x, 0), 'a');
    EXPECT_EQ(ByteAt(x, 2), 'c');
    for (int i = 3; i <= 56; ++i)
        EXPECT_EQ(ByteAt(x, i), 0xFF) << i;
    EXPECT_EQ(ByteAt(x, 57), 3);  // L, low byte first
    EXPECT_EQ(ByteAt(x, 58), 0);
    EXPECT_EQ(ByteAt(x, 60), 0);
    EXPECT_EQ(ByteAt(x, 61), 2);  // type
    EXPECT_EQ(ByteAt(x, 62), 0);
    EXPECT_EQ(ByteAt(x, 63), 0);  // top byte
    EXPECT_LE(BitLength(x), 8 * (m - 1));

    std::uint8_t out[64];
    std::memset(out, 0xEE, sizeof out);
    ASSERT_EQ(CRSA::UnpackSimpleBlock(out, sizeof out, x, kSimpleFixedPadding, m), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "abc");
    EXPECT_EQ(CRSA::UnpackSimpleBlock(out, sizeof out, x, kSimpleRandomPadding, m), kUnpackTypeMismatch);
    EXPECT_EQ(CRSA::UnpackSimpleBlock(out, 3, x, kSimpleFixedPadding, m), kUnpackBadLength);  // no room for the 0
    EXPECT_EQ(CRSA::UnpackSimpleBlock(out, 4, x, kSimpleFixedPadding, m), 3);
    EXPECT_EQ(CRSA::UnpackSimpleBlock(out, sizeof out, x, kSimpleFixedPadding, 6), kUnpackBadLength);

    // A length field larger than the block is refused before anything is copied.
    const std::uint8_t bigLength[4] = {58, 0, 0, 0};  // m - 6
    ASSERT_EQ(InsertBytes(x, bigLength, m - 7, 4), 1);
    std::vector<std::uint8_t> big(200, 0xEE);
    EXPECT_EQ(CRSA::UnpackSimpleBlock(big.data(), 200, x, kSimpleFixedPadding, m), kUnpackBadLength);
    EXPECT_EQ(big[0], 0xEE);
    const std::uint8_t huge[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(InsertBytes(x, huge, m - 7, 4), 1);
    EXPECT_EQ(CRSA::UnpackSimpleBlock(big.data(), 200, x, kSimpleFixedPadding, m), kUnpackBadLength);

    // Capacity: m - 9 bytes fit (one padding byte), one more does not; unknown types fail.
    std::vector<std::uint8_t> full(m - 8, 0x41);
    ASSERT_EQ(rsa.PackSimpleBlock(x, &tr.random, full.data(), m - 9, kSimpleRandomPadding, m), 1);
    EXPECT_NE(ByteAt(x, m - 9), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(CRSA::UnpackSimpleBlock(big.data(), 200, x, kSimpleRandomPadding, m)),
              m - 9);
    EXPECT_EQ(rsa.PackSimpleBlock(x, &tr.random, full.data(), m - 8, kSimpleRandomPadding, m), -1);
    EXPECT_EQ(rsa.PackSimpleBlock(x, &tr.random, data, 3, 3, m), -1);
    EXPECT_EQ(rsa.PackSimpleBlock(x, nullptr, data, 3, kSimpleRandomPadding, m), -1);
}

TEST(RsaSimpleBlock, EncryptDecryptAndSelfTest)
{
    CRSA& k = Key512();
    ASSERT_EQ(BitLength(k.N), 512u);
    const std::uint32_t m = k.ModulusBytes();
    ASSERT_EQ(m, 64u);

    // The self-test's 45 bytes (m - 19) and the largest simple block survive a round trip.
    for (std::uint32_t length : {0u, 1u, m - 19, m - 9}) {
        std::vector<std::uint8_t> data(length);
        for (std::uint32_t i = 0; i < length; ++i)
            data[i] = static_cast<std::uint8_t>(i * 7 + 1);
        BigInt x;
        ASSERT_EQ(k.EncryptSimple(x, data.data(), length), 1);
        std::vector<std::uint8_t> out;
        ASSERT_EQ(k.DecryptSimple(out, x), static_cast<int>(length));
        ASSERT_EQ(out.size(), m);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
        EXPECT_EQ(out[length], 0);
    }
    std::vector<std::uint8_t> tooLong(m - 8);
    BigInt x;
    EXPECT_EQ(k.EncryptSimple(x, tooLong.data(), m - 8), -1);

    // The self-test passes.
    int failed = 5;
    EXPECT_EQ(k.SelfTest(failed), 1);
    EXPECT_EQ(failed, 0);

    // A damaged private exponent, a missing factor and a modulus too short for a test byte fail it.
    CRSA broken = k;
    ASSERT_EQ(AddWord(broken.D, 2), 0);
    EXPECT_EQ(broken.SelfTest(failed), 1);
    EXPECT_EQ(failed, -1);
    broken = k;
    ASSERT_EQ(SetWord(broken.Q, 0), 0);
    EXPECT_EQ(broken.SelfTest(failed), 1);
    EXPECT_EQ(failed, -1);
    CRSA tiny;
    tiny.SetRandom(k.random);
    ASSERT_EQ(SetWord(tiny.N, 0xFFFF), 0);
    EXPECT_EQ(tiny.SelfTest(failed), 1);
    EXPECT_EQ(failed, -1);
}
