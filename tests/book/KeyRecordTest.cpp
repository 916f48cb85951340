// Loading and checking keys from lock and key records.
#include <gtest/gtest.h>

#include <string>

#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "crypto/CRSA.h"
#include "platform/Text.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

struct KeyBook {
    ScriptedDesktop desk;
    KeyTree tree{&desk};
    Node dir, key, lock;

    KeyBook()
    {
        Node root = tree.book.Insert(Node{}, ItemKind::BookRoot, Gbk("书"));
        dir = tree.book.Insert(root, ItemKind::Directory, Gbk("目录"));
        key = AddRecord(tree.book, dir, KindCode(ItemKind::Key), Gbk("我的"), 0);
        lock = AddRecord(tree.book, dir, KindCode(ItemKind::Lock), Gbk("对方"), 0);
        Set(key, ItemKind::ModulusField, "7" + std::string(255, 'F'));  // 1023 bits
        Set(key, ItemKind::PublicExponentField, "10001");
        Set(key, ItemKind::PrivateExponentField, "D0D0");
        Set(key, ItemKind::PrimePField, "B1");
        Set(key, ItemKind::PrimeQField, "C3");
        Set(key, ItemKind::CoefficientField, "55");
        Set(lock, ItemKind::ModulusField, "ABCDEF");
        Set(lock, ItemKind::PublicExponentField, "3");
    }
    void Set(Node item, ItemKind field, const std::string& value)
    {
        ASSERT_EQ(SetField(tree.book, item, KindCode(field), value), 1);
    }
};

std::string Hex(const BigInt& x) { return x.ToString(16); }

void Preset(CRSA& k)
{
    for (BigInt* x : {&k.N, &k.E, &k.D, &k.P, &k.Q, &k.U})
        ASSERT_EQ(SetWord(*x, 0x99), 0);
}

} // namespace

TEST(KeyRecord, LoadKeyReadsFieldsUntilTheFirstEmptyOne)
{
    KeyBook b;
    CRSA k;
    int complete = -7;
    ASSERT_EQ(LoadKey(k, complete, b.tree, b.key), 1);
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(k.random, &b.tree.random);
    EXPECT_EQ(Hex(k.N), "7" + std::string(255, 'F'));
    EXPECT_EQ(Hex(k.E), "10001");
    EXPECT_EQ(Hex(k.D), "D0D0");
    EXPECT_EQ(Hex(k.P), "B1");
    EXPECT_EQ(Hex(k.Q), "C3");
    EXPECT_EQ(Hex(k.U), "55");

    // Surrounding white space is dropped, lower case accepted.
    b.Set(b.key, ItemKind::PrimeQField, " \tab12  ");
    ASSERT_EQ(LoadKey(k, complete, b.tree, b.key), 1);
    EXPECT_EQ(Hex(k.Q), "AB12");

    // A lock with an empty E: N is loaded, E keeps its old value, no message.
    b.Set(b.lock, ItemKind::PublicExponentField, "   ");
    Preset(k);
    ASSERT_EQ(LoadKey(k, complete, b.tree, b.lock), 1);
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(Hex(k.N), "ABCDEF");
    EXPECT_EQ(Hex(k.E), "99");
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.lock), 1);
    EXPECT_EQ(complete, 0);
    EXPECT_TRUE(b.desk.messages.empty());

    // A key stops at its first empty value in the order N, E, P, Q, D, U.
    ClearField(b.tree.book, b.key, KindCode(ItemKind::PrimeQField));
    Preset(k);
    ASSERT_EQ(LoadKey(k, complete, b.tree, b.key), 1);
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(Hex(k.P), "B1");
    EXPECT_EQ(Hex(k.Q), "99");
    EXPECT_EQ(Hex(k.D), "99");
    EXPECT_EQ(Hex(k.U), "99");
}

TEST(KeyRecord, LoadKeyRefusesBadRecordsWithoutHalfReadNumbers)
{
    KeyBook b;
    CRSA k;
    int complete = 1;
    // Neither lock nor key.
    EXPECT_EQ(LoadKey(k, complete, b.tree, b.dir), -1);
    EXPECT_EQ(LoadKey(k, complete, b.tree, Node{}), -1);
    Node other = AddRecord(b.tree.book, b.dir, KindCode(ItemKind::Signature), "s", 0);
    EXPECT_EQ(LoadKey(k, complete, b.tree, other), -1);

    // A character outside the hexadecimal digits: -1, and the number keeps its old value.
    b.Set(b.key, ItemKind::PrivateExponentField, "12G4");
    Preset(k);
    EXPECT_EQ(LoadKey(k, complete, b.tree, b.key), -1);
    EXPECT_EQ(Hex(k.D), "99");
    b.Set(b.key, ItemKind::PrivateExponentField, "12 34");
    EXPECT_EQ(LoadKey(k, complete, b.tree, b.key), -1);
    b.Set(b.key, ItemKind::PrivateExponentField, "1234");

    // A missing field line, and one that cannot be split.
    b.tree.book.Remove(FindChildByKind(b.tree.book, b.key, ItemKind::CoefficientField));
    EXPECT_EQ(LoadKey(k, complete, b.tree, b.key), -1);
    EXPECT_EQ(CheckKey(k, complete, b.tree, b.key), -1);
    Node n = FindChildByKind(b.tree.book, b.lock, ItemKind::ModulusField);
    b.tree.book.SetText(n, "N without separator");
    EXPECT_EQ(LoadKey(k, complete, b.tree, b.lock), -1);
    EXPECT_TRUE(b.desk.messages.empty());
}

TEST(KeyRecord, CheckKeyComparesTheModulusWithTheNominalLength)
{
    KeyBook b;
    CRSA k;
    int complete = 0;
    // Nominal 1024 bits ("中 1024Bits" is the default strength): 1023 bits pass.
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.key), 1);
    EXPECT_EQ(complete, 1);
    EXPECT_TRUE(b.desk.messages.empty());

    // 1022 bits are too short.
    b.Set(b.key, ItemKind::ModulusField, "3" + std::string(255, 'F'));
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.key), 1);
    EXPECT_EQ(complete, 0);
    ASSERT_EQ(b.desk.messages.size(), 1u);
    EXPECT_EQ(b.desk.LastMessage(), "密码数据不全, 重新设定密码数据");
    EXPECT_EQ(b.desk.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(b.desk.messages[0].caption, "Morvane");

    // A longer modulus is accepted; so is the lock's, against its own strength line.
    b.Set(b.key, ItemKind::ModulusField, "1" + std::string(258, '0'));
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.key), 1);
    EXPECT_EQ(complete, 1);
    b.Set(b.lock, ItemKind::StrengthField, Gbk("弱  512Bits"));
    b.Set(b.lock, ItemKind::ModulusField, std::string(128, 'F'));
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.lock), 1);
    EXPECT_EQ(complete, 1);
    b.Set(b.lock, ItemKind::StrengthField, Gbk("超强 4096Bits"));
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.lock), 1);
    EXPECT_EQ(complete, 0);
    EXPECT_EQ(b.desk.messages.size(), 2u);
}
