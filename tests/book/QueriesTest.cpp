#include <gtest/gtest.h>

#include <string>

#include "bignum/BigInt.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"
#include "support/PhraseTesting.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

struct Fixture {
    Book b;
    Node root, dir, lock, key;
    Fixture()
    {
        root = b.Insert(Node{}, ItemKind::BookRoot, "R");
        dir = b.Insert(root, ItemKind::Directory, Gbk("目录A"));
        lock = AddRecord(b, dir, KindCode(ItemKind::Lock), Gbk("对方1"), 0);
        key = AddRecord(b, dir, KindCode(ItemKind::Key), Gbk("我的1"), 0);
    }
};

}  // namespace

TEST(Queries, FieldsReadWriteAndSplit)
{
    Fixture f;
    Book& b = f.b;
    FieldLine line;
    ASSERT_EQ(GetField(b, f.key, 22, line), 1);
    EXPECT_EQ(Utf8(line.label), "E     值: ");
    EXPECT_EQ(line.value, "10001");
    EXPECT_EQ(line.node, FindChildByKind(b, f.key, 22));

    // The detail groups have no label: the whole text is the value.
    ASSERT_EQ(GetField(b, f.key, 27, line), 1);
    EXPECT_EQ(line.label, "");
    EXPECT_EQ(Utf8(line.value), "计算前编码细节");

    // Only the first ": " splits.
    ASSERT_EQ(SetField(b, f.key, 20, "a: b"), 1);
    ASSERT_EQ(GetField(b, f.key, 20, line), 1);
    EXPECT_EQ(Utf8(line.label), "附加说明: ");
    EXPECT_EQ(line.value, "a: b");

    ASSERT_EQ(ClearField(b, f.key, 20), 1);
    EXPECT_EQ(Utf8(b.Text(FindChildByKind(b, f.key, 20))), "附加说明: ");

    // A lock has no D line; a line without ": " cannot be split.
    EXPECT_EQ(GetField(b, f.lock, 23, line), -1);
    EXPECT_EQ(SetField(b, f.lock, 23, "1"), -1);
    EXPECT_EQ(ClearField(b, f.lock, 23), 0);
    Node serial = FindChildByKind(b, f.key, 14);
    b.SetText(serial, "broken:text");
    EXPECT_EQ(GetField(b, f.key, 14, line), -1);
    EXPECT_EQ(SetField(b, f.key, 14, "x"), -1);
    EXPECT_EQ(ClearField(b, f.key, 14), -1);
    EXPECT_EQ(b.Text(serial), "broken:text");

    // Stale items fail cleanly.
    Node gone = f.lock;
    b.Remove(gone);
    EXPECT_EQ(GetField(b, gone, 12, line), -1);
    EXPECT_EQ(SetField(b, gone, 12, "x"), -1);
    EXPECT_EQ(ClearField(b, gone, 12), 0);
    EXPECT_EQ(FindChildByKind(b, gone, 12), Node{});
}

TEST(Queries, NumberFieldsAndStrength)
{
    Fixture f;
    Book& b = f.b;
    BigInt x;
    bool has = true;
    // Empty value: no number, result 1, x untouched.
    x.Assign(77);
    ASSERT_EQ(GetNumberField(b, f.key, 21, x, has), 1);
    EXPECT_FALSE(has);
    EXPECT_TRUE(x.EqualsWord(77));
    // Blanks at both ends are dropped; both letter cases parse.
    SetField(b, f.key, 21, " ab12 ");
    has = true;
    ASSERT_EQ(GetNumberField(b, f.key, 21, x, has), 1);
    EXPECT_TRUE(has);
    EXPECT_TRUE(x.EqualsWord(0xAB12));
    SetField(b, f.key, 21, "   ");
    has = true;
    EXPECT_EQ(GetNumberField(b, f.key, 21, x, has), 1);
    EXPECT_FALSE(has);
    SetField(b, f.key, 21, "12 34");
    EXPECT_EQ(GetNumberField(b, f.key, 21, x, has), 0);
    EXPECT_EQ(GetNumberField(b, f.lock, 23, x, has), 0);

    // Writing numbers: upper-case hex after the label.
    BigInt big;
    ASSERT_EQ(big.FromHex("123456789abcdef0fedcba9876543210"), 1);
    ASSERT_EQ(SetNumberField(b, f.key, 24, big), 1);
    EXPECT_EQ(Utf8(b.Text(FindChildByKind(b, f.key, 24))), "P     值: 123456789ABCDEF0FEDCBA9876543210");
    BigInt back;
    ASSERT_EQ(GetNumberField(b, f.key, 24, back, has), 1);
    EXPECT_EQ(back.ToString(16), "123456789ABCDEF0FEDCBA9876543210");
    EXPECT_EQ(SetNumberField(b, f.lock, 24, big), 0);
    b.SetText(FindChildByKind(b, f.key, 25), "Q");
    EXPECT_EQ(SetNumberField(b, f.key, 25, big), -1);

    x.Assign(258);
    EXPECT_EQ(NumberText(x, kNumberHex), "102");
    EXPECT_EQ(NumberText(x, kNumberDecimal), "258");
    EXPECT_EQ(NumberText(x, kNumberEscaped), "\\x02\\x01");
    EXPECT_EQ(NumberText(x, 3), "");
    // A number too long for the 16384-byte buffer gives no text rather than a cut one.
    BigInt huge;
    ASSERT_EQ(huge.FromString(16, std::string(20000, 'F')), 1);
    EXPECT_EQ(NumberText(huge, kNumberHex), "");
    EXPECT_EQ(SetNumberField(b, f.key, 24, huge), -1);

    EXPECT_EQ(GetStrength(b, f.key), 1024);
    SetField(b, f.key, 18, Gbk("超强 4096Bits"));
    EXPECT_EQ(GetStrength(b, f.key), 4096);
    EXPECT_EQ(StrengthFromText(Gbk("强    度: 弱  512Bits")), 512);
    EXPECT_EQ(StrengthFromText("x: 12B34"), 12);    // stops at the first B
    EXPECT_EQ(StrengthFromText("1024 no colon"), 0);
    EXPECT_EQ(StrengthFromText(": " + std::string(40, '9')), 2147483647);  // no overflow
    EXPECT_EQ(GetStrength(b, f.dir), 0);
}

TEST(Queries, KindsClassesAndNames)
{
    Fixture f;
    Book& b = f.b;
    for (int k = -1; k <= 43; ++k) {
        const int cls = k == 1 ? 1 : (k >= 2 && k <= 7) ? 2 : 3;
        EXPECT_EQ(ItemClassOfKind(k), cls) << k;
    }
    EXPECT_EQ(ItemClass(b, f.root), 1);
    EXPECT_EQ(ItemClass(b, f.key), 2);
    EXPECT_EQ(ItemClass(b, b.FirstChild(f.key)), 3);
    EXPECT_EQ(ItemClass(b, Node{}), 0);

    EXPECT_TRUE(KindMatchesMask(2, kMaskDirectory));
    EXPECT_TRUE(KindMatchesMask(7, kMaskDirectory));
    EXPECT_TRUE(KindMatchesMask(4, kMaskKey));
    EXPECT_TRUE(KindMatchesMask(3, kMaskLock));
    EXPECT_TRUE(KindMatchesMask(5, kMaskSignature));
    EXPECT_TRUE(KindMatchesMask(6, kMaskPolice));
    EXPECT_FALSE(KindMatchesMask(1, 0x1F));
    EXPECT_FALSE(KindMatchesMask(12, 0x1F));
    EXPECT_FALSE(KindMatchesMask(4, 0));
    EXPECT_FALSE(KindMatchesMask(4, kMaskLock | kMaskDirectory));

    // A lock named like a key is not found with the lock mask.
    Node twin = b.Insert(f.dir, ItemKind::Lock, Gbk("我的1"));
    EXPECT_EQ(FindChildByName(b, f.dir, Gbk("我的1"), kMaskLock), twin);
    EXPECT_EQ(FindChildByName(b, f.dir, Gbk("我的1"), kMaskKey), f.key);
    EXPECT_EQ(FindChildByName(b, f.dir, Gbk("我的"), 0x1F), Node{});
    EXPECT_EQ(FindChildByName(b, f.dir, Gbk("我的1"), 0), Node{});
    EXPECT_EQ(FindChildByName(b, Node{}, "R", 0x1F), Node{});  // the root's kind never matches

    // All by name: pre-order, any depth, start excluded; none starts at the first root.
    Node sub = b.Insert(f.dir, ItemKind::Directory, "S");
    Node deep = b.Insert(sub, ItemKind::Key, Gbk("我的1"));
    Node alt = b.Insert(sub, ItemKind::AltDirectory, Gbk("我的1"));
    EXPECT_EQ(FindAllByName(b, Node{}, Gbk("我的1"), kMaskKey | kMaskLock), (ItemList{f.key, twin, deep}));
    EXPECT_EQ(FindAllByName(b, sub, Gbk("我的1"), 0x1F), (ItemList{deep, alt}));
    EXPECT_EQ(FindAllByName(b, deep, Gbk("我的1"), 0x1F), ItemList{});
    EXPECT_EQ(FindAllByName(b, Node{}, Gbk("我的1"), 0), ItemList{});
    b.Remove(sub);
    EXPECT_EQ(FindAllByName(b, sub, Gbk("我的1"), 0x1F), ItemList{});
}

TEST(Queries, MarkingCollectAndUnmark)
{
    Fixture f;
    Book& b = f.b;
    Node extra = b.Insert(f.dir, ItemKind::Directory, "E");
    b.SetFlags(f.lock, kFlagMarked);
    b.SetFlags(extra, kFlagMarked | kFlagSortName);

    auto cut = CollectMarked(b, f.dir, kCollectCut);
    ASSERT_TRUE(cut);
    EXPECT_EQ(*cut, (ItemList{f.lock, extra}));
    EXPECT_NE(b.State(f.lock) & kStateCut, 0u);
    EXPECT_EQ(b.State(f.key) & kStateCut, 0u);
    auto copy = CollectMarked(b, f.dir, kCollectCopy);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->size(), 2u);
    EXPECT_EQ(b.State(f.lock) & kStateCut, 0u);

    // No children: no list at all; children but none marked: an empty list.
    Node empty = b.Insert(f.dir, ItemKind::Directory, "empty");
    EXPECT_FALSE(CollectMarked(b, empty, kCollectDelete));
    auto none = CollectMarked(b, f.key, kCollectDelete);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());

    CollectMarked(b, f.dir, kCollectCut);
    Unmark(b, f.lock);
    EXPECT_EQ(b.Flags(f.lock), 0u);
    EXPECT_EQ(b.State(f.lock) & kStateCut, 0u);
    // Unmarking a subtree keeps the other flags.
    b.SetFlags(f.root, kFlagMarked);
    b.SetFlags(b.FirstChild(f.key), kFlagMarked);
    UnmarkSubtree(b, Node{});
    for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n))
        EXPECT_EQ(b.Flags(n) & kFlagMarked, 0u);
    EXPECT_EQ(b.Flags(extra), kFlagSortName);
    EXPECT_EQ(b.State(extra) & kStateCut, 0u);

    // Self handles.
    b.SetSelf(f.key, Node{});
    EXPECT_EQ(RefreshSelfHandles(b, f.dir), 1);
    EXPECT_EQ(b.Record(f.key)->self, f.key);
    EXPECT_EQ(RefreshSelfHandles(b, empty), -1);
}

TEST(Queries, NameClashMessages)
{
    Fixture f;
    Book& b = f.b;
    Node other = b.Insert(f.root, ItemKind::Directory, "B");
    Node keyNamedLock = b.Insert(other, ItemKind::Key, Gbk("对方1"));
    (void)keyNamedLock;
    // Same name, other kind: no clash.
    NameClash c = CheckNameClash(b, ItemList{f.lock}, other);
    EXPECT_FALSE(c.Clashes());
    EXPECT_EQ(c.message, "");
    // Same name and kind: the lock label, the quoted name and " 重名".
    b.Insert(other, ItemKind::Lock, Gbk("对方1"));
    c = CheckNameClash(b, ItemList{f.key, f.lock}, other);
    ASSERT_TRUE(c.Clashes());
    EXPECT_EQ(Utf8(c.message), "<锁>:  \"对方1\" 重名");
    EXPECT_EQ(c.kind, 3);

    Node d7 = b.Insert(f.dir, ItemKind::AltDirectory, "X");
    b.Insert(other, ItemKind::AltDirectory, "X");
    c = CheckNameClash(b, ItemList{d7}, other);
    EXPECT_EQ(Utf8(c.message), "<目录>:  \"X\" 重名");
    // Field lines clash with their bare name.
    Node line = b.FirstChild(f.key);
    Node target = b.Insert(other, ItemKind::Directory, "T");
    b.Insert(target, 12, b.Text(line));
    c = CheckNameClash(b, ItemList{line}, target);
    EXPECT_EQ(c.message, b.Text(line));
    EXPECT_EQ(c.kind, 12);

    EXPECT_EQ(Utf8(KindLabel(4)), "<钥匙>");
    EXPECT_EQ(Utf8(KindLabel(5)), "<签字>");
    EXPECT_EQ(Utf8(KindLabel(6)), "<警察>");
    EXPECT_EQ(KindLabel(1), "");

    ScriptedDesktop desk;
    KeyTree tree(&desk);
    Node r = tree.book.Insert(Node{}, ItemKind::BookRoot, "R");
    Node a = tree.book.Insert(r, ItemKind::Directory, "A");
    Node a1 = tree.book.Insert(a, ItemKind::Key, "k");
    Node bdir = tree.book.Insert(r, ItemKind::Directory, "B");
    EXPECT_FALSE(ReportNameClash(tree, ItemList{a1}, bdir));
    tree.book.Insert(bdir, ItemKind::Key, "k");
    EXPECT_TRUE(ReportNameClash(tree, ItemList{a1}, bdir));
    ASSERT_EQ(desk.nameClashes.size(), 1u);
    EXPECT_EQ(Utf8(desk.nameClashes[0].first), "<钥匙>:  \"k\" 重名");
    EXPECT_EQ(desk.nameClashes[0].second, 4);
}

TEST(Queries, RemoveItemsForgetsStaleHandles)
{
    KeyTree tree;
    Book& b = tree.book;
    Node r = b.Insert(Node{}, ItemKind::BookRoot, "R");
    Node d = b.Insert(r, ItemKind::Directory, "D");
    Node k = b.Insert(d, ItemKind::Key, "K");
    Node e = b.Insert(r, ItemKind::Directory, "E");
    tree.markedParent = d;
    tree.markedCount = 1;
    tree.clickedItem = k;
    tree.rightClickedItem = e;
    tree.contextItem = k;
    tree.transferList = ItemList{k};

    EXPECT_EQ(RemoveItems(tree, d), 1);
    EXPECT_FALSE(b.Valid(k));
    EXPECT_EQ(tree.markedParent, Node{});
    EXPECT_EQ(tree.markedCount, 0);
    EXPECT_EQ(tree.clickedItem, Node{});
    EXPECT_EQ(tree.contextItem, Node{});
    EXPECT_EQ(tree.rightClickedItem, e);
    // The transfer list is left for its walker; its entries simply fail when used.
    ASSERT_TRUE(tree.transferList);
    EXPECT_EQ(tree.transferList->size(), 1u);
    EXPECT_EQ(RemoveItems(tree, d), 0);

    EXPECT_EQ(RemoveItems(tree, Node{}), 1);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(tree.rightClickedItem, Node{});
}
