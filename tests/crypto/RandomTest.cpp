#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bignum/BigInt.h"
#include "crypto/CRandom.h"
#include "crypto/Md5.h"
#include "crypto/Rijndael.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "support/LcgSource.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Counts 0, 1, 2, ... so pool positions can be followed.
class CountingSource : public RandomSource {
public:
    std::uint32_t Next() override { return n_++ & 0x7FFF; }

private:
    std::uint32_t n_ = 0;
};

Bytes Raw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteRaw(const std::string& path, const Bytes& b)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(b.data()), b.size());
}

std::uint32_t Le32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// A CRandom wired to a scripted desktop, a login password and a cipher, with its seed file
// in a temporary program folder.
struct Rig {
    TempDataHome home;
    ScriptedDesktop desktop;
    std::string password = Gbk("登录密码");
    CRijndael cipher;
    LcgSource source{12345};
    CRandom random;
    Rig()
    {
        random.SetOwner(&desktop, &password, &cipher);
        random.SetSource(&source);
        random.SetSeedPath(CRandom::DefaultSeedPath());
    }
    const std::string& Path() const { return random.SeedPath(); }
    std::string Message(const char* utf8) const { return std::string(utf8) + Path(); }
};

std::array<std::uint8_t, kPoolSize> Filled(std::uint8_t v)
{
    std::array<std::uint8_t, kPoolSize> p;
    p.fill(v);
    return p;
}

bool FailRename(AtomicStep step, const std::string&)
{
    return step == AtomicStep::Rename;
}

} // namespace

TEST(RandomSeed, MissingFileIsCreatedAndLoadsBack)
{
    Rig rig;
    EXPECT_EQ(rig.Path(), ProgramDir() + "/QVX_RAND_SEED.sd");
    ASSERT_FALSE(FileExists(rig.Path()));
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    EXPECT_TRUE(rig.desktop.messages.empty());

    const Bytes file = Raw(rig.Path());
    ASSERT_EQ(file.size(), kSeedFileSize);
    EXPECT_EQ(Le32(file, 0), 0u);     // stir count
    EXPECT_EQ(Le32(file, 4), 1064u);  // cipher buffer length
    // The cipher buffer holds the pool and its digest under the login password.
    Bytes plain;
    ASSERT_EQ(rig.cipher.Decrypt(plain, Bytes(file.begin() + 8, file.end()), rig.password), 1);
    ASSERT_EQ(plain.size(), 1040u);
    const auto pool = rig.random.Pool();
    EXPECT_TRUE(std::equal(pool.begin(), pool.end(), plain.begin()));
    EXPECT_EQ(Md5Of(std::span<const std::uint8_t>(pool.data(), pool.size())),
              *reinterpret_cast<const Md5Bytes*>(plain.data() + 1024));

    // A new pool is the low bytes of fresh source values, not left-over memory.
    LcgSource expect(12345);
    for (std::size_t i = 0; i < kPoolSize; ++i)
        ASSERT_EQ(pool[i], static_cast<std::uint8_t>(expect.Next())) << i;

    // Loading again restores the stored pool over whatever is in memory.
    rig.random.SetPool(Filled(0xEE));
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    EXPECT_EQ(rig.random.Pool(), pool);
    EXPECT_TRUE(rig.desktop.messages.empty());
}

TEST(RandomSeed, BadFilesGiveTheirMessageAndKeepThePool)
{
    Rig rig;
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    const Bytes good = Raw(rig.Path());
    const auto marker = Filled(0x5A);
    auto loadFails = [&](const Bytes& content) {
        WriteRaw(rig.Path(), content);
        rig.random.SetPool(marker);
        rig.desktop.messages.clear();
        const int r = rig.random.LoadSeed();
        EXPECT_EQ(rig.random.Pool(), marker) << "pool changed";
        return r == 0;
    };

    // Too short: 1044 bytes or fewer.
    EXPECT_TRUE(loadFails(Bytes(good.begin(), good.begin() + 1044)));
    EXPECT_EQ(rig.desktop.LastMessage(), "文件长度错误");
    EXPECT_EQ(rig.desktop.messages.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(rig.desktop.messages.back().caption, "Morvane");
    EXPECT_TRUE(loadFails({}));
    EXPECT_EQ(rig.desktop.LastMessage(), "文件长度错误");
    // Truncated: the recorded cipher length runs past the end of the file.
    EXPECT_TRUE(loadFails(Bytes(good.begin(), good.end() - 1)));
    EXPECT_EQ(rig.desktop.LastMessage(), "文件长度错误");
    Bytes hugeLength = good;
    hugeLength[7] = 0xFF;
    EXPECT_TRUE(loadFails(hugeLength));
    EXPECT_EQ(rig.desktop.messages.size(), 1u);

    // A damaged cipher header is refused by the cipher, without a message.
    Bytes badNb = good;
    badNb[9] = 5;
    EXPECT_TRUE(loadFails(badNb));
    EXPECT_TRUE(rig.desktop.messages.empty());

    // Content of the wrong length.
    std::vector<std::uint8_t> cipher;
    ASSERT_EQ(rig.cipher.Encrypt(cipher, Bytes(1041, 3), rig.password), 1);
    Bytes wrongLength(8 + cipher.size(), 0);
    wrongLength[4] = static_cast<std::uint8_t>(cipher.size());
    wrongLength[5] = static_cast<std::uint8_t>(cipher.size() >> 8);
    std::copy(cipher.begin(), cipher.end(), wrongLength.begin() + 8);
    EXPECT_TRUE(loadFails(wrongLength));
    EXPECT_EQ(rig.desktop.LastMessage(), rig.Message("不能解密随机数种子文件: "));

    // A flipped bit in the enciphered pool fails the digest.
    Bytes flipped = good;
    flipped[100] ^= 1;
    EXPECT_TRUE(loadFails(flipped));
    EXPECT_EQ(rig.desktop.LastMessage(), "随机数种子文件MD5验证未能通过!");

    // Far too large to be a seed file: refused before reading it all.
    Bytes huge(2 * 1024 * 1024, 0);
    std::copy(good.begin(), good.end(), huge.begin());
    EXPECT_TRUE(loadFails(huge));
    EXPECT_EQ(rig.desktop.LastMessage(), "文件长度错误");

    // A folder in the way: no seed file exists, and none can be created.
    std::filesystem::remove(rig.Path());
    std::filesystem::create_directory(rig.Path());
    rig.desktop.messages.clear();
    EXPECT_EQ(rig.random.LoadSeed(), 0);
    EXPECT_EQ(rig.desktop.LastMessage(), rig.Message("不能打开随机数种子文件: "));
    EXPECT_TRUE(std::filesystem::is_directory(rig.Path()));
}

TEST(RandomSeed, AnotherLoginPasswordCannotLoadIt)
{
    Rig rig;
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    const auto marker = Filled(0x11);
    rig.random.SetPool(marker);
    rig.password = Gbk("另一个密码");
    EXPECT_EQ(rig.random.LoadSeed(), 0);
    EXPECT_EQ(rig.random.Pool(), marker);
    ASSERT_EQ(rig.desktop.messages.size(), 1u);
    const std::string text = rig.desktop.LastMessage();
    EXPECT_TRUE(text == "随机数种子文件MD5验证未能通过!" || text == rig.Message("不能解密随机数种子文件: "))
        << text;
    EXPECT_EQ(rig.desktop.messages.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(rig.desktop.messages.back().buttons, MsgButtons::Ok);

    // An empty login password cannot encipher or decipher: quiet failure, file untouched.
    const Bytes before = Raw(rig.Path());
    rig.password.clear();
    rig.desktop.messages.clear();
    EXPECT_EQ(rig.random.SaveSeed(), 0);
    EXPECT_EQ(rig.random.LoadSeed(), 0);
    EXPECT_EQ(Raw(rig.Path()), before);
    EXPECT_TRUE(rig.desktop.messages.empty());
}

TEST(RandomSeed, SavingIsAtomicAndReportsFailure)
{
    Rig rig;
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    const Bytes before = Raw(rig.Path());
    rig.random.Stir(42);
    {
        ScopedAtomicFault fault(FailRename);
        EXPECT_EQ(rig.random.SaveSeed(), 0);
    }
    EXPECT_EQ(Raw(rig.Path()), before);
    EXPECT_EQ(rig.desktop.LastMessage(), rig.Message("不能打开随机数种子文件: "));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(ProgramDir()))
        ++entries;
    EXPECT_EQ(entries, 1u);

    // A folder that does not exist.
    rig.random.SetSeedPath(rig.home.File("missing/QVX_RAND_SEED.sd"));
    rig.desktop.messages.clear();
    EXPECT_EQ(rig.random.LoadSeed(), 0);  // creating it fails
    EXPECT_EQ(rig.desktop.LastMessage(), rig.Message("不能打开随机数种子文件: "));
}

TEST(RandomSeed, StirCountIsKeptAndEvery1024thStirSaves)
{
    Rig rig;
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    const auto start = rig.random.Pool();
    rig.random.Stir(0x00010002);
    EXPECT_NE(rig.random.Pool(), start);
    EXPECT_EQ(rig.random.StirCount(), 1);
    EXPECT_EQ(rig.random.CollectedSamples(), 1);
    rig.random.ResetSamples();
    EXPECT_EQ(rig.random.CollectedSamples(), 0);

    for (int i = 1; i < 1023; ++i)
        rig.random.Stir(static_cast<std::uint32_t>(i));
    EXPECT_EQ(Le32(Raw(rig.Path()), 0), 0u);  // not saved yet
    rig.random.Stir(7);
    EXPECT_EQ(rig.random.StirCount(), 1024);
    EXPECT_EQ(Le32(Raw(rig.Path()), 0), 1024u);
    const auto stirred = rig.random.Pool();

    // A fresh generator takes both the count and the pool from the file.
    CRandom other;
    other.SetOwner(&rig.desktop, &rig.password, &rig.cipher);
    other.SetSeedPath(rig.Path());
    ASSERT_EQ(other.LoadSeed(), 1);
    EXPECT_EQ(other.StirCount(), 1024);
    EXPECT_EQ(other.Pool(), stirred);

    // The same samples with the same source stir identically; another sample differs.
    rig.random.SetPool(start);
    LcgSource s1(9), s2(9);
    rig.random.SetSource(&s1);
    rig.random.Stir(1000);
    const auto a = rig.random.Pool();
    rig.random.SetPool(start);
    rig.random.SetSource(&s2);
    rig.random.Stir(1001);
    EXPECT_NE(rig.random.Pool(), a);
}

TEST(RandomSeed, RecordCollectionNeedsTheFileAndKeepsItLoadable)
{
    Rig rig;
    EXPECT_EQ(rig.random.RecordCollection(), 0);
    EXPECT_EQ(rig.desktop.LastMessage(), rig.Message("无随机数种子文件: "));
    EXPECT_FALSE(FileExists(rig.Path()));

    ASSERT_EQ(rig.random.LoadSeed(), 1);
    for (int i = 0; i < 5; ++i)
        rig.random.Stir(static_cast<std::uint32_t>(i));
    const auto pool = rig.random.Pool();
    rig.desktop.messages.clear();
    EXPECT_EQ(rig.random.RecordCollection(), 1);
    EXPECT_TRUE(rig.desktop.messages.empty());
    const Bytes file = Raw(rig.Path());
    EXPECT_EQ(file.size(), kSeedFileSize);
    EXPECT_EQ(Le32(file, 0), 5u);
    rig.random.SetPool(Filled(0));
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    EXPECT_EQ(rig.random.Pool(), pool);
    EXPECT_EQ(rig.random.StirCount(), 5);
}

TEST(RandomPool, PickBytesHonoursCapacityAndMix)
{
    Rig rig;
    std::array<std::uint8_t, kPoolSize> pool;
    for (std::size_t i = 0; i < kPoolSize; ++i)
        pool[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    rig.random.SetPool(pool);

    std::uint8_t dst[65] = {};
    EXPECT_EQ(rig.random.PickBytes(dst, 64, 65, 0), -1);
    EXPECT_EQ(std::count(dst, dst + 65, 0), 65);
    EXPECT_EQ(rig.source.calls, 0);
    EXPECT_EQ(rig.random.PickBytes(dst, 64, 64, 0), 1);
    EXPECT_EQ(rig.random.PickBytes(dst, 0, 65, 0), 1);  // 0: the caller vouches for the room

    // Positions are (mix ^ value) % 1024; the pool itself is untouched.
    CountingSource counting;
    rig.random.SetSource(&counting);
    ASSERT_EQ(rig.random.PickBytes(dst, sizeof(dst), 3, 0x400 | 5), 1);
    EXPECT_EQ(dst[0], pool[5]);
    EXPECT_EQ(dst[1], pool[4]);
    EXPECT_EQ(dst[2], pool[7]);
    EXPECT_EQ(rig.random.Pool(), pool);
}

TEST(RandomPool, RandomNumbersHaveTheRequestedShape)
{
    Rig rig;
    ASSERT_EQ(rig.random.LoadSeed(), 1);
    BigInt x;
    for (int round = 0; round < 20; ++round) {
        for (int bits : {495, 2065, 512, 1024, 8, 9, 16, 17, 63, 64, 65, 511, 513}) {
            ASSERT_EQ(rig.random.RandomNumber(x, bits, 192, 1, static_cast<std::uint32_t>(round)), 1);
            ASSERT_EQ(BitLength(x), static_cast<std::uint32_t>(bits)) << bits;
            BigInt copy(x);
            (void)ShiftRight(copy, static_cast<std::uint32_t>(bits - 2));
            ASSERT_TRUE(copy.EqualsWord(3)) << bits << ": the two top bits";
            ASSERT_EQ(LowWord(x) & 1, 1u) << bits << ": odd";
        }
    }
    // Without a top pattern the length is at most the requested one.
    for (int bits : {1, 3, 7, 12, 100}) {
        ASSERT_EQ(rig.random.RandomNumber(x, bits, 0, 0, 0), 1);
        EXPECT_LE(BitLength(x), static_cast<std::uint32_t>(bits));
    }
    ASSERT_EQ(rig.random.RandomNumber(x, 3, 192, 1, 0), 1);
    EXPECT_EQ(BitLength(x), 3u);
    EXPECT_EQ(LowWord(x) & 7, 7u);
    EXPECT_EQ(rig.random.RandomNumber(x, 0, 192, 1, 0), -1);
    EXPECT_EQ(rig.random.RandomNumber(x, -5, 192, 1, 0), -1);
}

TEST(RandomPool, LongNumbersAreBuiltTopChunkFirst)
{
    // With pool[i] = i % 256 and positions 0, 1, 2, ... each picked byte shows its order.
    Rig rig;
    std::array<std::uint8_t, kPoolSize> pool;
    for (std::size_t i = 0; i < kPoolSize; ++i)
        pool[i] = static_cast<std::uint8_t>(i);
    rig.random.SetPool(pool);
    CountingSource counting;
    rig.random.SetSource(&counting);
    BigInt x;
    ASSERT_EQ(rig.random.RandomNumber(x, 2065, 192, 1, 0), 1);  // 259 bytes: 64, 64, 64, 64, 3

    std::uint8_t bytes[259];
    int pos = 258;
    ExtractBytesDown(x, bytes, pos, 259, true);  // bytes[k] = byte at position k
    // First chunk (picks 0..63) at positions 195..258, least significant first.
    EXPECT_EQ(bytes[195], 0);
    EXPECT_EQ(bytes[256], 61);
    EXPECT_EQ(bytes[257], 62 | 0x80);    // the top pattern's second bit
    EXPECT_EQ(bytes[258], (63 & 1) | 1);  // one bit used, the pattern's first bit
    // Then picks 64..127 at 131..194, ..., and the last three picks at 0..2.
    EXPECT_EQ(bytes[131], 64);
    EXPECT_EQ(bytes[194], 127);
    EXPECT_EQ(bytes[67], 128);
    EXPECT_EQ(bytes[3], 192);
    EXPECT_EQ(bytes[66], 255);
    EXPECT_EQ(bytes[0], 0 | 1);  // pick 256, made odd
    EXPECT_EQ(bytes[1], 1);
    EXPECT_EQ(bytes[2], 2);

    // Only the first chunk uses mix.
    CountingSource again;
    rig.random.SetSource(&again);
    ASSERT_EQ(rig.random.RandomNumber(x, 2065, 192, 1, 0x40), 1);
    pos = 258;
    ExtractBytesDown(x, bytes, pos, 259, true);
    EXPECT_EQ(bytes[195], 0x40);
    EXPECT_EQ(bytes[131], 64);
}

TEST(RandomPool, SystemSourceGivesFifteenBitValuesAndDistinctPools)
{
    SystemRandomSource source;
    std::uint32_t orAll = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t v = source.Next();
        ASSERT_LE(v, 32767u);
        orAll |= v;
    }
    EXPECT_EQ(orAll, 32767u);
    // Two generators never start from the same (or an all-zero) pool.
    CRandom a, b;
    EXPECT_NE(a.Pool(), b.Pool());
    EXPECT_NE(a.Pool(), Filled(0));
    EXPECT_EQ(&a.Source(), &a.Source());
}
