#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageTesting.h"
#include "bignum/BigInt.h"
#include "book/Queries.h"
#include "message/Blocks.h"
#include "message/DetailRows.h"
#include "message/HexText.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

std::vector<std::uint8_t> Message(std::size_t n, std::uint32_t seed = 1)
{
    std::vector<std::uint8_t> v(n);
    std::mt19937 rng(seed);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(rng());
    return v;
}

// Encrypts (type 1, with the lock of key) or signs (type 2, with key) data on the tree's
// first engine, the working record being the record given.
std::vector<std::uint8_t> Seal(MessageBook& mb, Node record, const std::vector<std::uint8_t>& data,
                               std::uint16_t type, int* rc = nullptr)
{
    mb.Click(record);
    std::vector<std::uint8_t> out;
    std::size_t outLength = 0;
    const int r = EncryptMessage(mb.tree, mb.tree.engine[0], out, outLength, data.data(), data.size(), 2, type);
    if (rc)
        *rc = r;
    out.resize(outLength);
    return out;
}

// Decrypts (type 1, with key) or verifies (type 2, with the signer's lock) on the first engine.
int Open(MessageBook& mb, Node record, const std::vector<std::uint8_t>& input, std::uint16_t type,
         std::vector<std::uint8_t>& plain)
{
    mb.Click(record);
    std::vector<std::uint8_t> out;
    std::size_t outLength = 0;
    const int r = DecryptMessage(mb.tree, mb.tree.engine[0], out, outLength, input.data(), input.size(), 2, type);
    if (r == 1) {
        EXPECT_EQ(out.size(), outLength + 1);
        EXPECT_EQ(out[outLength], 0) << "terminator after the message";
        out.resize(outLength);
    }
    plain = out;
    return r;
}

struct Pair {
    MessageBook mb;
    Node key, lock;
    explicit Pair(int bits, int index = 0)
    {
        key = mb.AddKey(mb.dir, "我的", KeyOf(bits, index));
        lock = mb.AddLock(mb.dir, "对方", KeyOf(bits, index));
    }
};

}  // namespace

TEST(Blocks, CountBlocks)
{
    std::int32_t serial;
    std::uint64_t size;
    const std::pair<std::uint64_t, std::int32_t> cases[] = {{0, 0},   {1, 0},   {109, 0}, {110, 1},
                                                            {228, 1}, {229, 2}, {347, 2}, {348, 3}};
    for (auto [length, expected] : cases) {
        CountBlocks(length, 128, serial, size);
        EXPECT_EQ(serial, expected) << length;
        EXPECT_EQ(size, (expected + 1) * 128u) << length;
    }
    // The smallest n with (m - 19) + (n - 1)(m - 9) >= T, for every T around the edges.
    for (std::uint32_t m : {20u, 21u, 64u, 128u, 512u})
        for (std::uint64_t t = 0; t < 4 * m; ++t) {
            CountBlocks(t, m, serial, size);
            std::uint64_t n = 1;
            while ((m - 19) + (n - 1) * (m - 9) < t)
                ++n;
            ASSERT_EQ(static_cast<std::uint64_t>(serial) + 1, n) << m << " " << t;
        }
    // Too short a modulus carries nothing.
    CountBlocks(5, 19, serial, size);
    EXPECT_EQ(serial, -1);
    EXPECT_EQ(size, 0u);
}

TEST(Blocks, DetailRowsOfAbcWithA512BitLock)
{
    Pair p(512);
    const std::vector<std::uint8_t> abc = {'a', 'b', 'c'};
    int rc = 0;
    const auto sealed = Seal(p.mb, p.lock, abc, kBlockEncrypt, &rc);
    ASSERT_EQ(rc, 1);
    EXPECT_EQ(sealed.size(), 64u);
    MessageBook& mb = p.mb;
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::MessageRow), "正文编码(0003字节): 616263");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::ReservedRow), "预留字节(0001字节): 00");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::AttributeRow), "明文属性(0002字节): 0002");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::StrengthRow), "加密强度(0002字节): 0200");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::PaddingTypeRow), "填充类型(0002字节): 0001");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::TotalLengthRow), "加密长度(0004字节): 00000003");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::SerialRow), "段落序号(0004字节): 00000000");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::ConsumedRow), "消耗长度(0004字节): 00000003");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::BlockTextRow), "前置正文(0003字节): 616263");

    const std::string padPrefix = "填充数据(0042字节): ";
    const std::string pad = mb.RowText(p.lock, ItemKind::PaddingRow);
    ASSERT_EQ(pad.substr(0, padPrefix.size()), padPrefix);
    const std::string padHex = pad.substr(padPrefix.size());
    ASSERT_EQ(padHex.size(), 84u);
    for (std::size_t i = 0; i < padHex.size(); i += 2)
        EXPECT_NE(padHex.substr(i, 2), "00") << "random padding holds no zero byte";

    const std::string numberPrefix = "合成数据(0128字节): ";
    const std::string number = mb.RowText(p.lock, ItemKind::BlockNumberRow);
    ASSERT_EQ(number.substr(0, numberPrefix.size()), numberPrefix);
    EXPECT_EQ(number.substr(numberPrefix.size()),
              "00" "0002" "0200" "0001" "00000003" "00000000" "00000003" + padHex + "616263");
    // The rows after the computation are left empty; both groups are collapsed.
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::PostTextRow), "后置正文(0000字节): ");
    EXPECT_FALSE(mb.tree.book.Expanded(FindChildByKind(mb.tree.book, p.lock, ItemKind::PreDetails)));

    std::vector<std::uint8_t> plain;
    ASSERT_EQ(Open(mb, p.key, sealed, kBlockEncrypt, plain), 1);
    EXPECT_EQ(plain, abc);

    // A reset puts every row back to count 0 and empties the output field, except the row kept.
    SetField(mb.tree.book, p.lock, KindCode(ItemKind::OutputField), "x");
    ASSERT_EQ(ResetDetailRows(mb.tree.book, p.lock, KindCode(ItemKind::MessageRow)), 1);
    EXPECT_EQ(mb.Output(p.lock), "");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::StrengthRow), "加密强度(0000字节): ");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::MessageRow), "正文编码(0003字节): 616263");
    EXPECT_EQ(ResetDetailRows(mb.tree.book, mb.dir, 0), -1);
}

TEST(Blocks, SerialsCountDownAndNotificationsFollow)
{
    Pair p(512);
    MessageBook& mb = p.mb;
    // 45 + 55 + 1 bytes: three blocks.
    const auto data = Message(101);
    mb.view.progress.clear();
    mb.view.activities.clear();
    mb.tree.menusEnabled = true;
    const auto sealed = Seal(mb, p.lock, data, kBlockEncrypt);
    ASSERT_EQ(sealed.size(), 3 * 64u);
    EXPECT_EQ(mb.view.progress, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(mb.view.activities, (std::vector<ActivityMode>{kActivityEncrypting}));
    EXPECT_TRUE(mb.tree.menusEnabled);
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::SerialRow), "段落序号(0004字节): 00000000");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::ConsumedRow), "消耗长度(0004字节): 00000001");

    // Each block taken apart by hand: serials 2, 1, 0; the total only in the first.
    mb.Click(p.key);
    CRSA& engine = mb.tree.engine[0];
    MessageBlock header;
    header.first = 1;
    header.attribute = 2;
    header.strength = 512;
    header.type = kBlockEncrypt;
    header.m = 64;
    const MessageBlock expected = header;
    std::vector<std::uint8_t> got;
    for (int i = 0; i < 3; ++i) {
        BigInt x;
        int pos = 63;
        ASSERT_EQ(InsertBytesDown(x, sealed.data() + 64 * i, pos, 64, false), 1);
        ASSERT_EQ(engine.PrivatePower(x, x), 1);
        std::uint8_t data55[64];
        const int L = UnpackBlock(data55, x, header, expected);
        ASSERT_EQ(L, i == 0 ? 45 : i == 1 ? 55 : 1);
        EXPECT_EQ(header.serial, 2 - i);
        EXPECT_EQ(header.total, 101u);
        got.insert(got.end(), data55, data55 + L);
    }
    EXPECT_EQ(got, data);
    mb.view.progress.clear();
    mb.view.activities.clear();
    std::vector<std::uint8_t> plain;
    ASSERT_EQ(Open(mb, p.key, sealed, kBlockEncrypt, plain), 1);
    EXPECT_EQ(mb.view.progress, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(mb.view.activities, (std::vector<ActivityMode>{kActivityDecrypting}));

    // Signing runs on the second engine: activity 5, then back to idle.
    mb.view.activities.clear();
    mb.Click(p.key);
    mb.tree.engine[1] = mb.tree.engine[0];
    mb.tree.engine[1].mode = 1;
    std::vector<std::uint8_t> out;
    std::size_t outLength = 0;
    ASSERT_EQ(EncryptMessage(mb.tree, mb.tree.engine[1], out, outLength, data.data(), data.size(), 2, kBlockSign), 1);
    EXPECT_EQ(mb.view.activities, (std::vector<ActivityMode>{kActivitySigning, kActivityIdle}));
    // The first block's own rows keep showing it while the later blocks go by.
    EXPECT_EQ(mb.RowText(p.key, ItemKind::PaddingTypeRow), "填充类型(0002字节): 0002");
    EXPECT_EQ(mb.RowText(p.key, ItemKind::PaddingRow), "填充数据(0054字节): " + std::string(108, 'F'));
}

TEST(Blocks, RoundTripsAtEveryStrengthAndBoundary)
{
    for (int bits : {512, 1024, 2048, 4096}) {
        Pair p(bits);
        const std::size_t m = bits / 8;
        std::vector<std::size_t> lengths = {0, 1, m - 19, m - 18, m - 9, (m - 19) + (m - 9), (m - 19) + (m - 9) + 1};
        if (bits <= 1024)
            lengths.insert(lengths.end(), {3 * (m - 9), 4 * (m - 9) + 3, 3000});
        for (std::size_t length : lengths) {
            const auto data = Message(length, static_cast<std::uint32_t>(length));
            for (std::uint16_t type : {kBlockEncrypt, kBlockSign}) {
                // Encrypt with the lock and decrypt with the key, or sign with the key and
                // verify with the lock.
                const Node sealer = type == kBlockEncrypt ? p.lock : p.key;
                const Node opener = type == kBlockEncrypt ? p.key : p.lock;
                int rc = 0;
                const auto sealed = Seal(p.mb, sealer, data, type, &rc);
                ASSERT_EQ(rc, 1) << bits << " " << length;
                std::int32_t serial;
                std::uint64_t size;
                CountBlocks(length, static_cast<std::uint32_t>(m), serial, size);
                ASSERT_EQ(sealed.size(), size) << bits << " " << length;
                std::vector<std::uint8_t> plain;
                ASSERT_EQ(Open(p.mb, opener, sealed, type, plain), 1) << bits << " " << length << " " << type;
                EXPECT_EQ(plain, data) << bits << " " << length << " " << type;
            }
        }
    }
}

TEST(Blocks, DecoderRefusesForeignAndDamagedSequences)
{
    Pair p(512);
    MessageBook& mb = p.mb;
    const Node other = mb.AddKey(mb.dir, "别的", KeyOf(512, 1));
    const Node otherLock = mb.AddLock(mb.dir, "别的锁", KeyOf(512, 1));
    const Node big = mb.AddKey(mb.dir, "大", KeyOf(1024));
    const auto data = Message(101);
    const auto sealed = Seal(mb, p.lock, data, kBlockEncrypt);
    const auto signature = Seal(mb, p.key, data, kBlockSign);
    std::vector<std::uint8_t> plain;

    EXPECT_EQ(Open(mb, p.key, sealed, kBlockEncrypt, plain), 1);
    EXPECT_EQ(Open(mb, other, sealed, kBlockEncrypt, plain), -1) << "another key of the same size";
    EXPECT_EQ(Open(mb, big, sealed, kBlockEncrypt, plain), -1) << "a key of another strength";
    EXPECT_EQ(Open(mb, p.lock, signature, kBlockSign, plain), 1);
    EXPECT_EQ(Open(mb, otherLock, signature, kBlockSign, plain), -1) << "the wrong lock";
    EXPECT_EQ(Open(mb, p.lock, sealed, kBlockSign, plain), -1) << "an encryption is no signature";
    EXPECT_EQ(Open(mb, p.key, signature, kBlockEncrypt, plain), -1) << "a signature is no encryption";

    auto blocks = [&](std::initializer_list<int> order) {
        std::vector<std::uint8_t> v;
        for (int i : order)
            v.insert(v.end(), sealed.begin() + 64 * i, sealed.begin() + 64 * (i + 1));
        return v;
    };
    // The first block announces three blocks: fewer in the input is refused before reading on.
    EXPECT_EQ(Open(mb, p.key, blocks({0}), kBlockEncrypt, plain), -1);
    EXPECT_EQ(Open(mb, p.key, blocks({0, 1}), kBlockEncrypt, plain), -1);
    EXPECT_EQ(Open(mb, p.key, blocks({0, 2, 1}), kBlockEncrypt, plain), -1) << "serials out of order";
    EXPECT_EQ(Open(mb, p.key, blocks({0, 1, 1}), kBlockEncrypt, plain), -1) << "a block twice";
    EXPECT_EQ(Open(mb, p.key, blocks({1, 2}), kBlockEncrypt, plain), -1) << "no first block";
    // Not whole blocks, or nothing at all.
    auto cut = sealed;
    cut.pop_back();
    EXPECT_EQ(Open(mb, p.key, cut, kBlockEncrypt, plain), -1);
    EXPECT_EQ(Open(mb, p.key, {}, kBlockEncrypt, plain), -1);
    // Every single flipped bit of the sequence is refused.
    for (std::size_t i = 0; i < sealed.size(); i += 5) {
        auto bad = sealed;
        bad[i] ^= static_cast<std::uint8_t>(1u << (i % 8));
        EXPECT_EQ(Open(mb, p.key, bad, kBlockEncrypt, plain), -1) << i;
    }
}

TEST(Blocks, FieldsAndPackingEdges)
{
    Pair p(512);
    MessageBook& mb = p.mb;
    mb.Click(p.lock);
    BigInt x;
    int pos = 3;
    const std::uint8_t v[4] = {0x78, 0x56, 0x34, 0x12};
    ASSERT_EQ(PutBlockField(mb.tree, x, v, pos, 4, KindCode(ItemKind::SerialRow)), 1);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(x.ToString(), "12345678");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::SerialRow), "段落序号(0004字节): 12345678");
    pos = 3;
    ASSERT_EQ(PutBlockField(mb.tree, x, v, pos, 4, KindCode(ItemKind::BlockTextRow)), 1);
    EXPECT_EQ(x.ToString(), "78563412");
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::BlockTextRow), "前置正文(0004字节): 78563412");
    pos = 2;
    EXPECT_EQ(PutBlockField(mb.tree, x, v, pos, 4, KindCode(ItemKind::SerialRow)), -1) << "below byte 0";
    // No working record: nothing to show the fields in.
    mb.tree.markedParent = Node{};
    pos = 3;
    EXPECT_EQ(PutBlockField(mb.tree, x, v, pos, 4, KindCode(ItemKind::SerialRow)), -1);

    // A block longer than its capacity, or of an unknown type, is not packed.
    mb.Click(p.lock);
    MessageBlock h;
    h.first = 1;
    h.attribute = 2;
    h.strength = 512;
    h.type = kBlockEncrypt;
    h.m = 64;
    h.total = h.length = 46;
    const auto data = Message(64);
    EXPECT_EQ(PackBlock(mb.tree, mb.tree.engine[0], x, data.data(), h), -1);
    h.total = h.length = 45;
    EXPECT_EQ(PackBlock(mb.tree, mb.tree.engine[0], x, data.data(), h), 1);
    EXPECT_EQ(mb.RowText(p.lock, ItemKind::PaddingRow), "填充数据(0000字节): ") << "a full block has no padding";
    h.type = 3;
    EXPECT_EQ(PackBlock(mb.tree, mb.tree.engine[0], x, data.data(), h), -1);

    // Unpacking a block whose length field exceeds its capacity.
    h.type = kBlockSign;
    h.first = 2;
    h.serial = 0;
    h.length = 55;
    ASSERT_EQ(PackBlock(mb.tree, mb.tree.engine[0], x, data.data(), h), 1);
    std::uint8_t buf[64];
    MessageBlock r = h;
    EXPECT_EQ(UnpackBlock(buf, x, r, h), 55);
    const std::uint8_t tooLong[4] = {56, 0, 0, 0};
    pos = 58;
    ASSERT_EQ(InsertBytesDown(x, tooLong, pos, 4, true), 1);
    r = h;
    EXPECT_EQ(UnpackBlock(buf, x, r, h), kBlockBadLength);
    // A signature block whose padding is not all 0xFF is damaged.
    h.length = 40;
    ASSERT_EQ(PackBlock(mb.tree, mb.tree.engine[0], x, data.data(), h), 1);
    const std::uint8_t notFF = 0xFE;
    pos = 50;
    ASSERT_EQ(InsertBytesDown(x, &notFF, pos, 1, true), 1);
    r = h;
    EXPECT_EQ(UnpackBlock(buf, x, r, h), kBlockDamaged);
    // A first block of another strength.
    h.first = 1;
    h.length = 10;
    ASSERT_EQ(PackBlock(mb.tree, mb.tree.engine[0], x, data.data(), h), 1);
    MessageBlock want = h;
    want.strength = 1024;
    r = h;
    EXPECT_EQ(UnpackBlock(buf, x, r, want), kBlockHeaderMismatch);
}
