// Decrypted results must be text the program could have taken in: the check itself, and the
// protect command refusing relabelled signed messages while everything the program writes
// still opens.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "MessageTesting.h"
#include "book/KeyGen.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/Boxes.h"
#include "message/TextCheck.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

std::string Utf8Of(char32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// A text as a box stores it (GBK, CR LF line breaks) of about n characters: ASCII, Chinese,
// tabs, line breaks, and now and then any other character a user can type or paste, outside
// GBK too (four-byte forms).
std::string RandomText(std::mt19937& rng, std::size_t n)
{
    std::string utf8;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned pick = rng() % 20;
        if (pick < 8)
            utf8 += static_cast<char>(' ' + rng() % 95);
        else if (pick < 14)
            utf8 += Utf8Of(0x4E00 + rng() % (0x9FA5 - 0x4E00 + 1));
        else if (pick == 14)
            utf8 += '\t';
        else if (pick == 15)
            utf8 += "\r\n";
        else if (pick == 16)
            utf8 += Utf8Of(0x10000 + rng() % 0x100000);
        else {
            char32_t c;
            do
                c = 0xA0 + rng() % (0x10000 - 0xA0);
            while (c >= 0xD800 && c <= 0xDFFF);
            utf8 += Utf8Of(c);
        }
    }
    return Gbk(utf8);
}

}  // namespace

TEST(TextCheck, AcceptsEverythingTheBoxesStore)
{
    EXPECT_TRUE(IsProgramText(""));
    EXPECT_TRUE(IsProgramText(Gbk("中文\t加密\r\nabc ~")));
    EXPECT_TRUE(IsProgramText(Gbk("😀 € \u00A0 \uFFFD")));  // four-byte forms, outside GBK
    // Every two-byte form (the user-defined areas as well: their characters can be typed).
    std::string pairs;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F)
                pairs += {static_cast<char>(lead), static_cast<char>(trail)};
    EXPECT_TRUE(IsProgramText(pairs));
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        const std::string text = RandomText(rng, rng() % 3000);
        ASSERT_TRUE(IsProgramText(text)) << i;
    }
}

TEST(TextCheck, RefusesBinaryControlsAndBrokenSequences)
{
    const std::string chinese = Gbk("中文");
    for (const std::string& bad : {std::string(1, '\0'), std::string("\x01"), std::string("\x1B[0m"),
                                   std::string("\x7F"), std::string("\x0B"), std::string("\x0C"),
                                   Gbk("\u0085"), Gbk("\u009F"),  // C1 controls, four-byte forms
                                   std::string("\x80"), std::string("\xFF"),
                                   std::string("\x81\x20"), std::string("\x81\x7F"), std::string("\xFE\xFF"),
                                   std::string("\x84\x31\xA5\x30"),  // four-byte form of nothing
                                   std::string("\xE3\x32\x9A\x36"),  // beyond U+10FFFF
                                   chinese.substr(0, 1), std::string("\x81\x30\x81")}) {  // cut short
        EXPECT_FALSE(IsProgramText(bad)) << testing::PrintToString(bad);
        EXPECT_FALSE(IsProgramText("ok " + bad)) << testing::PrintToString(bad);
        EXPECT_FALSE(IsProgramText(bad + chinese)) << testing::PrintToString(bad);
    }
    // The check reads the whole text: faults far beyond the first few kilobytes are found.
    std::mt19937 rng(11);
    const std::string longText = RandomText(rng, 20000);
    ASSERT_TRUE(IsProgramText(longText));
    EXPECT_FALSE(IsProgramText(longText + '\x1F'));
    EXPECT_FALSE(IsProgramText(longText + Gbk("\u0080")));
    EXPECT_FALSE(IsProgramText(longText + '\x81'));
    for (std::size_t at = 4000; at < 4200; at += 3) {
        std::string t = std::string(at, 'a') + Gbk("\u0080") + chinese;
        EXPECT_FALSE(IsProgramText(t)) << at;
    }
}

namespace {

// Two correspondents with keys made by the key generation command: the sender's key and the
// receiver's lock in one directory, the receiver's key and the sender's lock in another.
struct GeneratedPair {
    MessageBook mb;
    Node sender, lock, receiver, senderLock;
    GeneratedPair()
    {
        sender = mb.AddKey(mb.dir, "我的", KeyOf(512, 0));
        lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 1));
        const Node other = mb.AddDirectory("目录B");
        receiver = mb.AddKey(other, "我的", KeyOf(512, 1));
        senderLock = mb.AddLock(other, "对方", KeyOf(512, 0));
        std::array<std::uint8_t, kPoolSize> pool;
        for (auto& b : pool)
            b = static_cast<std::uint8_t>(mb.source.Next());
        mb.tree.random.SetPool(pool);
    }
    void Generate(Node record)
    {
        mb.tree.rightClickedItem = record;
        ASSERT_EQ(GenerateKeyCommand(mb.tree).end, KeygenEnd::Done);
        mb.desktop.messages.clear();
    }
    // A new key, its lock in the other directory.
    void Renew(Node key, Node itsLock)
    {
        Generate(key);
        for (ItemKind k : {ItemKind::ModulusField, ItemKind::PublicExponentField})
            SetField(mb.tree.book, itsLock, KindCode(k), mb.Field(key, k));
    }
};

}  // namespace

TEST(TextCheck, RelabelledSignedMessagesAreAllRefused)
{
    // A signed message relabelled "N_SI" opens to its signature blocks: binary, which is
    // refused whatever bytes it happens to hold, with nothing written.
    GeneratedPair g;
    MessageBook& mb = g.mb;
    std::mt19937 rng(2026);
    int refused = 0;
    for (int i = 0; i < 100; ++i) {
        if (i % 10 == 0)
            g.Renew(g.receiver, g.lock);
        g.Renew(g.sender, g.senderLock);
        const std::string text = RandomText(rng, 1 + rng() % 150);
        ASSERT_EQ(mb.Protect(g.lock, text, 1), 1);
        const std::string armored = mb.Output(g.lock);
        ASSERT_EQ(armored.substr(0, 4), "SIGN");
        SetField(mb.tree.book, g.receiver, KindCode(ItemKind::OutputField), "old");
        mb.desktop.messages.clear();
        int result = 5;
        ASSERT_EQ(mb.Protect(g.receiver, "N_SI" + armored.substr(4), 0, &result), 1);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(mb.Output(g.receiver), "") << i;
        refused += mb.desktop.MessageTexts() ==
                   std::vector<std::string>{"解密结果含有零字节, 不是有效的文本, 解密失败!"};
    }
    EXPECT_EQ(refused, 100);
}

TEST(TextCheck, EverythingTheProgramWritesStillOpens)
{
    // Random texts as the boxes store them, signed or not, pasted bare or framed as the input
    // box shows them, all open to the text sent.
    GeneratedPair g;
    MessageBook& mb = g.mb;
    g.Renew(g.receiver, g.lock);
    g.Renew(g.sender, g.senderLock);
    std::mt19937 rng(99);
    for (int i = 0; i < 60; ++i) {
        const std::string text = RandomText(rng, 1 + rng() % 400);
        const int sign = i % 2;
        ASSERT_EQ(mb.Protect(g.lock, text, sign), 1);
        std::string armored = mb.Output(g.lock);
        if (i % 3 == 0) {
            ASSERT_EQ(FrameArmoredText(armored, 20 + static_cast<int>(rng() % 60)), 1);
        }
        mb.desktop.messages.clear();
        ASSERT_EQ(mb.Protect(g.receiver, armored, 0), 1) << i;
        EXPECT_EQ(mb.Output(g.receiver), text) << i;
        ASSERT_EQ(mb.desktop.messages.size(), 1u);
        EXPECT_NE(mb.desktop.LastMessage().find("解密完成! 用时 "), std::string::npos) << mb.desktop.LastMessage();
    }
}
