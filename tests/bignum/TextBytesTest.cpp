// Text forms, byte placement and SafeAlloc.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "GmpSupport.h"
#include "bignum/BigInt.h"
#include "bignum/SafeAlloc.h"

using namespace morvane;

namespace {

std::string Text(const BigInt& x, int base, std::size_t size, int* result = nullptr) {
    std::string buffer(size, '#');
    const int r = x.ToText(base, buffer.data(), size);
    if (result != nullptr) *result = r;
    return r == 1 ? std::string(buffer.c_str()) : std::string();
}

TEST(TextForms, HexAndDecimalOutput) {
    BigInt x;
    x.Assign(255);
    EXPECT_EQ(Text(x, 16, 64), "FF");
    x.Assign(256);
    EXPECT_EQ(Text(x, 16, 64), "100");
    x.Assign(0u);
    EXPECT_EQ(Text(x, 16, 64), "0");
    EXPECT_EQ(Text(x, 10, 64), "0");
    x.Assign(1).MulInPlace(65536).MulInPlace(65536);
    EXPECT_EQ(Text(x, 10, 64), "4294967296");
    x.Assign(1000000000u);  // a whole decimal chunk with inner zeros
    EXPECT_EQ(Text(x, 10, 64), "1000000000");
    x.Assign(1000000000u).MulInPlace(1000000000u);
    EXPECT_EQ(x.ToString(10), "1000000000000000000");

    // Digits, terminator and four spare characters.
    int result = -1;
    x.Assign(0x1234);
    EXPECT_EQ(Text(x, 16, 9, &result), "1234");
    EXPECT_EQ(Text(x, 16, 8, &result), "");
    EXPECT_EQ(result, 0);
    x.Assign(1234);
    EXPECT_EQ(Text(x, 10, 9), "1234");
    Text(x, 10, 8, &result);
    EXPECT_EQ(result, 0);
    Text(x, 8, 64, &result);
    EXPECT_EQ(result, 0);
    char tiny[1];
    EXPECT_EQ(x.ToText(16, tiny, 1), 0);
    EXPECT_EQ(x.ToText(16, nullptr, 100), 0);

    // The conversion works on a copy.
    x.Assign(0xABCDEF);
    Text(x, 10, 64);
    EXPECT_TRUE(x.EqualsWord(0xABCDEF));
}

TEST(TextForms, Parsing) {
    BigInt x;
    EXPECT_EQ(x.FromHex("ff"), 1);
    EXPECT_TRUE(x.EqualsWord(255));
    EXPECT_EQ(x.FromHex("FF"), 1);
    EXPECT_TRUE(x.EqualsWord(255));
    EXPECT_EQ(x.FromHex("fg"), 0);
    EXPECT_TRUE(x.EqualsWord(15));  // the digits before the bad character
    EXPECT_EQ(x.FromHex(""), 1);
    EXPECT_EQ(x.length, 0u);
    EXPECT_EQ(x.FromHex(nullptr), 0);
    EXPECT_EQ(x.FromHex("00000000000000000001"), 1);
    EXPECT_EQ(x.length, 1u);
    EXPECT_EQ(x.FromText(10, "4294967296"), 1);
    EXPECT_EQ(HexOf(x), "100000000");
    EXPECT_EQ(x.FromText(10, "12a"), 0);
    EXPECT_TRUE(x.EqualsWord(12));
    EXPECT_EQ(x.FromText(10, "-5"), 0);
    EXPECT_EQ(x.FromText(10, " 5"), 0);
    EXPECT_EQ(x.FromText(10, "\xB0\xA1"), 0);  // a GBK character
    EXPECT_EQ(x.FromText(8, "17"), 0);
    EXPECT_EQ(x.FromString(16, std::string_view("1A\0" "2", 4)), 0);
    EXPECT_TRUE(x.EqualsWord(0x1A));
}

TEST(TextForms, EscapedBytes) {
    BigInt x;
    x.Assign(258);
    char buffer[64];
    ASSERT_EQ(x.ToEscapedBytes(buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "\\x02\\x01");
    x.Assign(0u);
    ASSERT_EQ(x.ToEscapedBytes(buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "\\x00");
    x.Assign(0xAB00CD);
    EXPECT_EQ(x.ToEscapedString(), "\\xCD\\x00\\xAB");
    // g groups need 4g + 2 characters.
    x.Assign(258);
    EXPECT_EQ(x.ToEscapedBytes(buffer, 10), 1);
    EXPECT_EQ(x.ToEscapedBytes(buffer, 9), 0);
    EXPECT_EQ(x.ToEscapedBytes(buffer, 4), 0);
}

TEST(BytePlacement, InsertAndExtract) {
    BigInt x;
    const std::uint8_t pair[] = {0x34, 0x12};
    int pos = 7;
    ASSERT_EQ(InsertBytesDown(x, pair, pos, 2, true), 1);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(HexOf(x), "1234000000000000");
    pos = 7;
    BigInt y;
    ASSERT_EQ(InsertBytesDown(y, pair, pos, 2, false), 1);
    EXPECT_EQ(HexOf(y), "3412000000000000");

    // Fields laid down from the top and read back the same way.
    BigInt block;
    const std::uint8_t header[] = {0x00, 0x02};
    const std::uint8_t body[] = {1, 2, 3, 4, 5};
    pos = 9;
    ASSERT_EQ(InsertBytesDown(block, header, pos, 2, false), 1);
    ASSERT_EQ(InsertBytesDown(block, body, pos, 5, false), 1);
    EXPECT_EQ(pos, 2);
    std::uint8_t back[7];
    pos = 9;
    ExtractBytesDown(block, back, pos, 7, false);
    EXPECT_EQ(pos, 2);
    const std::uint8_t expected[] = {0x00, 0x02, 1, 2, 3, 4, 5};
    EXPECT_EQ(std::memcmp(back, expected, 7), 0);

    BigInt v;
    v.Assign(0x0A0B0C0D);
    std::uint8_t out[4] = {9, 9, 9, 9};
    pos = 7;
    ExtractBytesDown(v, out, pos, 4, true);
    EXPECT_EQ(out[0] | out[1] | out[2] | out[3], 0);
    EXPECT_EQ(pos, 3);
    pos = 5;
    ExtractBytesDown(v, out, pos, 4, true);
    EXPECT_EQ(out[0], 0x0B);
    EXPECT_EQ(out[1], 0x0A);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
    pos = 5;
    ExtractBytesDown(v, out, pos, 4, false);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0x0A);
    EXPECT_EQ(out[3], 0x0B);

    // A range reaching below byte 0 is refused on writing and reads as zero.
    pos = 1;
    BigInt keep;
    keep.Assign(77);
    EXPECT_EQ(InsertBytesDown(keep, body, pos, 3, true), -1);
    EXPECT_EQ(pos, 1);
    EXPECT_TRUE(keep.EqualsWord(77));
    pos = 1;
    ExtractBytesDown(v, out, pos, 3, true);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0x0D);
    EXPECT_EQ(out[2], 0x0C);
    EXPECT_EQ(pos, -2);

    // InsertBytes keeps the other bytes and normalises.
    BigInt z;
    z.Assign(0x11223344);
    const std::uint8_t two[] = {0xAA, 0xBB};
    ASSERT_EQ(InsertBytes(z, two, 1, 2), 1);
    EXPECT_EQ(HexOf(z), "11BBAA44");
    ASSERT_EQ(InsertBytes(z, two, 9, 2), 1);
    EXPECT_EQ(HexOf(z), "BBAA000000000011BBAA44");
    const std::uint8_t zeros[] = {0, 0};
    ASSERT_EQ(InsertBytes(z, zeros, 9, 2), 1);
    EXPECT_EQ(z.length, 1u);
}

TEST(SafeAllocTest, GrowsZeroFilledAndReportsExhaustion) {
    int* block = nullptr;
    ASSERT_EQ(SafeAlloc(&block, 4), 1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(SafeBlockSize(block), 4 * sizeof(int));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(block[i], 0);
    block[0] = 11;
    block[3] = 44;
    int* before = block;
    ASSERT_EQ(SafeAlloc(&block, 2), 1);  // large enough: untouched
    EXPECT_EQ(block, before);
    ASSERT_EQ(SafeAlloc(&block, 0), 1);
    EXPECT_EQ(block, before);
    ASSERT_EQ(SafeAlloc(&block, 10), 1);
    EXPECT_EQ(block[0], 11);
    EXPECT_EQ(block[3], 44);
    for (int i = 4; i < 10; ++i) EXPECT_EQ(block[i], 0);

    FailAllocationsAfter(0);
    EXPECT_EQ(SafeAlloc(&block, 100), -1);
    FailAllocationsAfter(-1);
    EXPECT_EQ(block, nullptr);  // the old block is released, not leaked

    void* raw = nullptr;
    EXPECT_EQ(SafeAlloc(&raw, static_cast<std::size_t>(-1) / 2, 4), -1);  // size overflow
    EXPECT_EQ(raw, nullptr);
    SafeFree(nullptr);
}

TEST(BigIntObject, CopiesOwnTheirWords) {
    BigInt a;
    ASSERT_EQ(a.FromHex("123456789ABCDEF0123"), 1);
    BigInt b = a;
    EXPECT_NE(a.words, b.words);
    b.AddInPlace(1);
    EXPECT_EQ(HexOf(a), "123456789ABCDEF0123");
    EXPECT_EQ(HexOf(b), "123456789ABCDEF0124");
    BigInt c;
    c = a;
    EXPECT_EQ(Compare(c, a), 0);
    c = c;  // self-assignment keeps the value
    EXPECT_EQ(Compare(c, a), 0);
    BigInt d = std::move(c);
    EXPECT_EQ(Compare(d, a), 0);
    EXPECT_EQ(c.words, nullptr);
    d.Release();
    EXPECT_EQ(d.words, nullptr);
    EXPECT_EQ(d.length, 0u);
    EXPECT_EQ(d.capacity, 0u);
    EXPECT_TRUE(d.EqualsWord(0));
}

}  // namespace
