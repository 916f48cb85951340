#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/Md5.h"

using namespace morvane;

namespace {

std::string Hex(const std::uint8_t* d)
{
    return Md5Hex(d);
}

std::string DigestHex(const std::string& s)
{
    std::uint8_t d[16];
    Md5Digest(s.data(), s.size(), d);
    return Hex(d);
}

std::string OpenSslHex(const std::vector<std::uint8_t>& v)
{
    std::uint8_t d[16];
    unsigned len = 0;
    EVP_Digest(v.data(), v.size(), d, &len, EVP_md5(), nullptr);
    return Hex(d);
}

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(gen());
    return v;
}

} // namespace

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(DigestHex(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(DigestHex("a"), "0CC175B9C0F1B6A831C399E269772661");
    EXPECT_EQ(DigestHex("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(DigestHex("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
    EXPECT_EQ(DigestHex("abcdefghijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
    EXPECT_EQ(DigestHex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "D174AB98D277D9F5A5611C2C9F419D9F");
    EXPECT_EQ(DigestHex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57EDF4A22BE3C955AC49DA2E2107B67A");
    // A null pointer with no bytes is the empty message.
    std::uint8_t d[16];
    Md5Digest(nullptr, 0, d);
    EXPECT_EQ(Hex(d), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5, LengthsAroundThePaddingBoundaryMatchOpenSsl)
{
    // 55 bytes still take the length in the same block; 56 to 63 need a second one.
    for (std::size_t n : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 4096, 65537}) {
        const auto v = Pattern(n, static_cast<std::uint32_t>(n));
        std::uint8_t d[16];
        Md5Digest(v.data(), v.size(), d);
        EXPECT_EQ(Hex(d), OpenSslHex(v)) << n << " bytes";
    }
}

TEST(Md5, PiecesStraddlingBlocksGiveTheOneShotDigest)
{
    const auto v = Pattern(700, 7);
    std::uint8_t whole[16];
    Md5Digest(v.data(), v.size(), whole);

    // Fixed splits around the 64-byte boundary, then random piece sizes including empty ones.
    const std::vector<std::vector<std::size_t>> splits = {
        {63, 1, 64, 572}, {1, 63, 1, 63, 572}, {55, 9, 56, 8, 572}, {65, 635}, {0, 700, 0}, {128, 572}};
    for (const auto& split : splits) {
        Md5Context ctx;
        Md5Init(ctx);
        std::size_t off = 0;
        for (std::size_t n : split) {
            Md5Update(ctx, v.data() + off, n);
            off += n;
        }
        std::uint8_t d[16];
        Md5Final(ctx, d);
        EXPECT_EQ(Hex(d), Hex(whole));
    }
    std::mt19937 gen(3);
    for (int round = 0; round < 50; ++round) {
        Md5Context ctx;
        Md5Init(ctx);
        std::size_t off = 0;
        while (off < v.size()) {
            std::size_t n = std::min<std::size_t>(gen() % 130, v.size() - off);
            Md5Update(ctx, v.data() + off, n);
            off += n;
        }
        std::uint8_t d[16];
        Md5Final(ctx, d);
        ASSERT_EQ(Hex(d), Hex(whole)) << "round " << round;
    }
}

TEST(Md5, FinalClearsTheContextAndTextFormIsUpperCase)
{
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, "secret password", 15);
    std::uint8_t d[16];
    Md5Final(ctx, d);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&ctx);
    for (std::size_t i = 0; i < sizeof(ctx); ++i)
        ASSERT_EQ(raw[i], 0) << "byte " << i;

    std::string out = "previous";
    EXPECT_EQ(Md5HexText("abc", out), 1);
    EXPECT_EQ(out, "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5HexText("", out), 1);
    EXPECT_EQ(out, "D41D8CD98F00B204E9800998ECF8427E");
    // Bytes of a GBK text, zero bytes included, are digested as they are.
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(Md5HexText(withZero, out), 1);
    EXPECT_EQ(out, OpenSslHex({'a', 0, 'b'}));
    EXPECT_EQ(out.size(), 32u);
    EXPECT_EQ(out.find_first_of("abcdef"), std::string::npos);

    const auto bytes = Md5Of(std::string_view("abc"));
    EXPECT_EQ(Hex(bytes.data()), "900150983CD24FB0D6963F7D28E17F72");
}
