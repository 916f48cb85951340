#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageTesting.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/PublicKeyText.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find("\r\n", start);
        lines.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return lines;
        start = at + 2;
    }
}

// Pastes text into a box while the lock's line is the clicked line, as the change handler does.
bool Paste(MessageBook& mb, Node line, const std::string& text)
{
    mb.tree.clickedItem = line;
    mb.tree.clickedLineText = mb.tree.book.Text(line);
    // What typing wrote through before the paste was recognised.
    mb.tree.book.SetText(line, mb.tree.book.Text(line) + "typed");
    return ImportPublicKey(mb.tree, text);
}

}  // namespace

TEST(PublicKey, ExportOfA1024BitKey)
{
    MessageBook mb;
    Book& book = mb.tree.book;
    const Node key = mb.AddKey(mb.dir, "我的", KeyOf(1024));
    mb.tree.contextItem = FindChildByKind(book, key, ItemKind::NoteField);  // a field line of the key
    ExportPublicKey(mb.tree);
    EXPECT_EQ(mb.desktop.MessageTexts(), std::vector<std::string>{"输出公钥OK!"});
    EXPECT_EQ(book.Selected(), FindChildByKind(book, key, ItemKind::OutputField));

    const auto lines = Lines(mb.Output(key));
    const std::string n = KeyOf(1024).n, e = KeyOf(1024).e;
    ASSERT_EQ(n.size(), 256u);
    ASSERT_EQ(lines.size(), 1 + 1 + 1 + 10 + 1 + 1 + 1 + (e.size() + 25) / 26 + 1);
    EXPECT_EQ(lines[0], std::string(26, '*'));
    EXPECT_EQ(lines[1], "...This is Public Key N...");
    EXPECT_EQ(lines[2], "");
    std::string digits;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(lines[3 + i].size(), i < 9 ? 26u : 22u);
        digits += lines[3 + i];
    }
    EXPECT_EQ(digits, n);
    EXPECT_EQ(lines[13], "");
    EXPECT_EQ(lines[14], "...This is Public Key E...");
    EXPECT_EQ(lines.back(), std::string(26, '*'));

    // Nothing for a lock, a lock's line, a directory, or while the pool is being stirred.
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512));
    for (Node item : {lock, FindChildByKind(book, lock, ItemKind::ModulusField), mb.dir}) {
        mb.tree.contextItem = item;
        ExportPublicKey(mb.tree);
    }
    mb.tree.contextItem = key;
    SetField(book, key, KindCode(ItemKind::OutputField), "");
    mb.tree.collection.running = true;
    ExportPublicKey(mb.tree);
    mb.tree.collection.running = false;
    mb.tree.keygen.busy = true;
    ExportPublicKey(mb.tree);
    mb.tree.keygen.busy = false;
    EXPECT_EQ(mb.desktop.messages.size(), 1u);
    EXPECT_EQ(mb.Output(lock), "");
    EXPECT_EQ(mb.Output(key), "");

    // An incomplete key, and one whose numbers do not belong together.
    ClearField(book, key, KindCode(ItemKind::CoefficientField));
    ExportPublicKey(mb.tree);
    EXPECT_EQ(mb.desktop.LastMessage(), "密码数据不完整, 无法输出公钥!");
    SetField(book, key, KindCode(ItemKind::CoefficientField), KeyOf(1024).u);
    SetField(book, key, KindCode(ItemKind::PrivateExponentField), KeyOf(1024, 1).d);
    ExportPublicKey(mb.tree);
    EXPECT_EQ(mb.desktop.LastMessage(), "密码数据不能正确加解密, 重新生成密钥与公钥!");
    EXPECT_EQ(mb.Output(key), "");
}

TEST(PublicKey, ImportReplacesTheLocksKey)
{
    MessageBook mb;
    Book& book = mb.tree.book;
    const Node key = mb.AddKey(mb.dir, "我的", KeyOf(1024));
    mb.tree.contextItem = key;
    ExportPublicKey(mb.tree);
    const std::string exported = mb.Output(key);

    const Node friends = mb.AddDirectory("朋友");
    const Node lock = AddRecord(book, friends, KindCode(ItemKind::Lock), Gbk("新朋友"), mb.desktop.now);
    const Node input = FindChildByKind(book, lock, ItemKind::InputField);
    const std::string inputText = book.Text(input);
    mb.desktop.now += 86400;
    mb.desktop.messages.clear();

    // Cancel: the key is recognised (the box's change ends), the line is put back, nothing else.
    mb.desktop.answers.push_back(MsgAnswer::Cancel);
    EXPECT_TRUE(Paste(mb, input, exported));
    ASSERT_EQ(mb.desktop.messages.size(), 1u);
    EXPECT_EQ(mb.desktop.messages[0].Utf8Text(), "发现新公钥, 替换原有公钥吗?");
    EXPECT_EQ(mb.desktop.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(mb.desktop.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(book.Text(input), inputText);
    EXPECT_EQ(mb.Field(lock, ItemKind::ModulusField), "");

    // OK, with the text pasted the way a mail program may hand it over.
    std::string messy = "Dear friend,\n\nmy lock:\n" + exported + "\r\n\r\n";
    messy.insert(messy.find("This is Public Key N") + 40, " \r\n  \r\n");
    EXPECT_TRUE(Paste(mb, input, messy));
    EXPECT_EQ(book.Text(input), inputText);
    EXPECT_EQ(mb.Field(lock, ItemKind::ModulusField), KeyOf(1024).n);
    EXPECT_EQ(mb.Field(lock, ItemKind::PublicExponentField), KeyOf(1024).e);
    EXPECT_EQ(Utf8(mb.Field(lock, ItemKind::StrengthField)), "中   1024 Bits");
    EXPECT_EQ(GetStrength(book, lock), 1024);
    EXPECT_EQ(mb.Field(lock, ItemKind::DateField), FormatDate(mb.desktop.now));
    EXPECT_EQ(book.Selected(), FindChildByKind(book, lock, ItemKind::ModulusField));

    // The imported lock encrypts for the key.
    ASSERT_EQ(mb.Protect(lock, "hello", 0), 1);
    const std::string armored = mb.Output(lock);
    ASSERT_EQ(mb.Protect(key, armored, 0), 1);
    EXPECT_EQ(mb.Output(key), "hello");

    // Lower-case digits are stored as pasted; other sizes are recognised but not taken.
    const Node lock2 = AddRecord(book, friends, KindCode(ItemKind::Lock), Gbk("二"), mb.desktop.now);
    const Node line2 = FindChildByKind(book, lock2, ItemKind::EmailField);
    std::string lower = KeyOf(512).n;
    for (auto& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(Paste(mb, line2, BuildPublicKeyText(lower, "3")));
    EXPECT_EQ(mb.Field(lock2, ItemKind::ModulusField), lower);
    EXPECT_EQ(Utf8(mb.Field(lock2, ItemKind::StrengthField)), "弱    512 Bits");
    std::string odd = KeyOf(1024).n;
    odd.insert(odd.begin(), '7');
    EXPECT_TRUE(Paste(mb, line2, BuildPublicKeyText(odd, "3")));
    EXPECT_EQ(mb.Field(lock2, ItemKind::ModulusField), lower) << "a 1027-bit modulus is not a lock";
    EXPECT_EQ(mb.Field(lock2, ItemKind::PublicExponentField), "3");

    // Ordinary input: only the N marker, a key record's line, or no clicked lock at all.
    const std::size_t asked = mb.desktop.messages.size();
    EXPECT_FALSE(Paste(mb, line2, "...This is Public Key N...\r\nABCDEF"));
    EXPECT_FALSE(Paste(mb, FindChildByKind(book, key, ItemKind::InputField), exported));
    EXPECT_FALSE(Paste(mb, friends, exported));
    EXPECT_EQ(mb.desktop.messages.size(), asked);
}
