#include <gtest/gtest.h>

#include <string>

#include "MessageTesting.h"
#include "book/Queries.h"
#include "message/ArmoredText.h"
#include "message/Boxes.h"
#include "message/PublicKeyText.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

// The lines a selection display leaves behind for a clicked line.
void Clicked(KeyTree& tree, Node line)
{
    tree.clickedItem = line;
    tree.markedParent = tree.book.Parent(line);
    tree.markedCount = 1;
    tree.clickedLineText = tree.book.Text(line);
    std::string value;
    SplitFieldText(tree.book.Kind(line), tree.book.Text(line), tree.clickedLineLabel, value);
}

}  // namespace

TEST(Boxes, FramingArmoredText)
{
    const std::string armored = "SIGN" + std::string(32, 'C') + std::string(292 - 36, '7');
    std::string text = armored;
    ASSERT_EQ(FrameArmoredText(text, 100), 1);
    const std::string stars(100, '*');
    EXPECT_EQ(text, stars + "\r\n" + armored.substr(0, 100) + "\r\n" + armored.substr(100, 100) + "\r\n" +
                        armored.substr(200) + "\r\n" + stars);
    // Framing a framed text to another width is the same as framing the bare text.
    std::string again = text;
    ASSERT_EQ(FrameArmoredText(again, 30), 1);
    std::string bare = armored;
    FrameArmoredText(bare, 30);
    EXPECT_EQ(again, bare);
    std::string cleaned = again;
    ASSERT_EQ(CleanArmoredText(cleaned), 1);
    EXPECT_EQ(cleaned, armored);

    // A box too narrow for one character still gets one per line.
    std::string narrow = "N_SI";
    ASSERT_EQ(FrameArmoredText(narrow, 0), 1);
    EXPECT_EQ(narrow, "*\r\nN\r\n_\r\nS\r\nI\r\n*");
    std::string empty;
    EXPECT_EQ(FrameArmoredText(empty, 20), 1);
    EXPECT_EQ(empty, "");
    std::string stray = "**\r\nx\r\n**";
    EXPECT_EQ(FrameArmoredText(stray, 20), -1);
    EXPECT_EQ(stray, "**\r\nx\r\n**");
}

TEST(Boxes, TypingIsWrittenThroughIntoTheClickedLine)
{
    MessageBook mb;
    Book& book = mb.tree.book;
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
    const Node input = FindChildByKind(book, lock, ItemKind::InputField);
    Clicked(mb.tree, input);

    EXPECT_EQ(BoxTextChanged(mb.tree, false, "early"), BoxChange::Ignored);
    EXPECT_EQ(book.Text(input), Gbk("输    入: "));
    EXPECT_EQ(BoxTextChanged(mb.tree, true, Gbk("你好\r\nworld")), BoxChange::Written);
    EXPECT_EQ(Utf8(book.Text(input)), "输    入: 你好\r\nworld");
    mb.tree.markedCount = 2;
    EXPECT_EQ(BoxTextChanged(mb.tree, true, "more"), BoxChange::Ignored);
    EXPECT_EQ(Utf8(book.Text(input)), "输    入: 你好\r\nworld");

    // A line made the clicked item without a display is not what the box shows.
    mb.tree.markedCount = 1;
    mb.tree.clickedItem = FindChildByKind(book, lock, ItemKind::ModulusField);
    EXPECT_EQ(BoxTextChanged(mb.tree, true, "typed"), BoxChange::Ignored);
    EXPECT_EQ(mb.Field(lock, ItemKind::ModulusField), KeyOf(512, 0).n);

    // A directory line takes the text as its name.
    Clicked(mb.tree, mb.dir);
    mb.tree.clickedLineLabel.clear();
    EXPECT_EQ(BoxTextChanged(mb.tree, true, Gbk("新目录")), BoxChange::Written);
    EXPECT_EQ(Utf8(book.Text(mb.dir)), "新目录");
}

TEST(Boxes, APastedPublicKeyIsOfferedAndTheLineKept)
{
    MessageBook mb;
    Book& book = mb.tree.book;
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
    const Node input = FindChildByKind(book, lock, ItemKind::InputField);
    Clicked(mb.tree, input);
    const std::string before = book.Text(input);
    const TestKey& other = KeyOf(1024, 1);
    const std::string key = "Hi,\r\n" + BuildPublicKeyText(other.n, other.e);

    mb.desktop.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(BoxTextChanged(mb.tree, true, key), BoxChange::Imported);
    EXPECT_EQ(mb.desktop.LastMessage(), "发现新公钥, 替换原有公钥吗?");
    EXPECT_EQ(book.Text(input), before);
    EXPECT_EQ(mb.Field(lock, ItemKind::ModulusField), KeyOf(512, 0).n);

    mb.desktop.answers = {MsgAnswer::Ok};
    EXPECT_EQ(BoxTextChanged(mb.tree, true, key), BoxChange::Imported);
    EXPECT_EQ(book.Text(input), before);
    EXPECT_EQ(mb.Field(lock, ItemKind::ModulusField), other.n);

    // Under a key, the same text is ordinary input.
    const Node keyRecord = mb.AddKey(mb.dir, "我的", KeyOf(512, 1));
    const Node keyInput = FindChildByKind(book, keyRecord, ItemKind::InputField);
    Clicked(mb.tree, keyInput);
    const std::size_t asked = mb.desktop.messages.size();
    EXPECT_EQ(BoxTextChanged(mb.tree, true, key), BoxChange::Written);
    EXPECT_EQ(mb.desktop.messages.size(), asked);
    EXPECT_EQ(book.Text(keyInput), Gbk("输    入: ") + key);
}

TEST(Boxes, ResizeReframesOnlyALocksOutput)
{
    MessageBook mb;
    Book& book = mb.tree.book;
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
    const Node key = mb.AddKey(mb.dir, "我的", KeyOf(512, 1));
    Clicked(mb.tree, FindChildByKind(book, lock, ItemKind::OutputField));
    EXPECT_TRUE(ReframeOnResize(mb.tree, true, true));
    EXPECT_FALSE(ReframeOnResize(mb.tree, false, true));
    EXPECT_FALSE(ReframeOnResize(mb.tree, true, false));
    mb.tree.markedCount = 0;
    EXPECT_FALSE(ReframeOnResize(mb.tree, true, true));
    Clicked(mb.tree, FindChildByKind(book, key, ItemKind::OutputField));
    EXPECT_FALSE(ReframeOnResize(mb.tree, true, true));
}

TEST(Boxes, StrengthChange)
{
    MessageBook mb;
    Book& book = mb.tree.book;
    const Node key = mb.AddKey(mb.dir, "我的", KeyOf(1024, 0));
    const Node strength = FindChildByKind(book, key, ItemKind::StrengthField);
    Clicked(mb.tree, strength);
    const std::string before = book.Text(strength);

    // The same strength again: no question, nothing cleared.
    EXPECT_EQ(ChangeStrength(mb.tree, 1, 1), StrengthChange::Written);
    EXPECT_TRUE(mb.desktop.messages.empty());
    EXPECT_EQ(Utf8(book.Text(strength)), "强    度: 中 1024Bits");
    EXPECT_EQ(mb.Field(key, ItemKind::PrivateExponentField), KeyOf(1024, 0).d);

    mb.desktop.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(ChangeStrength(mb.tree, 3, 1), StrengthChange::Cancelled);
    EXPECT_EQ(mb.desktop.LastMessage(), "改变加密强度, 密钥数据将作废, 继续吗?");
    EXPECT_EQ(book.Text(strength), before);
    EXPECT_EQ(mb.Field(key, ItemKind::ModulusField), KeyOf(1024, 0).n);

    mb.desktop.answers = {MsgAnswer::Ok};
    EXPECT_EQ(ChangeStrength(mb.tree, 3, 1), StrengthChange::Written);
    EXPECT_EQ(Utf8(book.Text(strength)), "强    度: 超强 4096Bits");
    EXPECT_EQ(GetStrength(book, key), 4096);
    for (ItemKind k : {ItemKind::ModulusField, ItemKind::PrivateExponentField, ItemKind::PrimePField,
                       ItemKind::PrimeQField, ItemKind::CoefficientField})
        EXPECT_EQ(mb.Field(key, k), "");
    EXPECT_EQ(mb.Field(key, ItemKind::PublicExponentField), KeyOf(1024, 0).e);

    // A lock loses its N only.
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
    Clicked(mb.tree, FindChildByKind(book, lock, ItemKind::StrengthField));
    mb.desktop.answers = {MsgAnswer::Ok};
    EXPECT_EQ(ChangeStrength(mb.tree, 0, 2), StrengthChange::Written);
    EXPECT_EQ(Utf8(mb.Field(lock, ItemKind::StrengthField)), "弱  512Bits");
    EXPECT_EQ(mb.Field(lock, ItemKind::ModulusField), "");
    EXPECT_EQ(mb.Field(lock, ItemKind::PublicExponentField), KeyOf(512, 0).e);

    // Several marked items, or another line clicked: nothing happens.
    mb.tree.markedCount = 2;
    EXPECT_EQ(ChangeStrength(mb.tree, 2, 0), StrengthChange::Ignored);
    Clicked(mb.tree, FindChildByKind(book, lock, ItemKind::NoteField));
    EXPECT_EQ(ChangeStrength(mb.tree, 2, 0), StrengthChange::Ignored);
    EXPECT_EQ(Utf8(mb.Field(lock, ItemKind::StrengthField)), "弱  512Bits");
}

TEST(Boxes, StrengthIndexAndCharacterStarts)
{
    EXPECT_EQ(StrengthIndex(Gbk("中 1024Bits")), 1);
    EXPECT_EQ(StrengthIndex(Gbk("超强 4096 Bits")), 3);
    EXPECT_EQ(StrengthIndex("512B 1024"), 0);
    EXPECT_EQ(StrengthIndex("99999999999999999999Bits"), -1);
    EXPECT_EQ(StrengthIndex(""), -1);

    // "a", a two-byte character, a four-byte character, "b".
    const std::string text = "a" + Gbk("中") + Gbk("\xF0\x9F\x98\x80") + "b";
    ASSERT_EQ(text.size(), 8u);
    EXPECT_EQ(GbkCharStart(text, 0), 0u);
    EXPECT_EQ(GbkCharStart(text, 2), 1u);
    EXPECT_EQ(GbkCharStart(text, 3), 3u);
    EXPECT_EQ(GbkCharStart(text, 5), 3u);
    EXPECT_EQ(GbkCharStart(text, 7), 7u);
    EXPECT_EQ(GbkCharStart(text, 20), 8u);
}
