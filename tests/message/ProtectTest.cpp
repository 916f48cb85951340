#include <gtest/gtest.h>

#include <string>

#include "MessageTesting.h"
#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "crypto/Md5.h"
#include "message/ArmoredText.h"
#include "message/Protect.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

// Alice and Bob in one book: each directory holds its owner's key and the other's lock.
struct Correspondents {
    MessageBook mb;
    Node alice, bob;           // directories
    Node aliceKey, bobLockA;   // in alice's directory
    Node bobKey, aliceLockB;   // in bob's directory
    Correspondents(int aliceBits = 1024, int bobBits = 1024)
    {
        alice = mb.dir;
        bob = mb.AddDirectory("目录B");
        aliceKey = mb.AddKey(alice, "我的", KeyOf(aliceBits, 0));
        bobLockA = mb.AddLock(alice, "鲍勃", KeyOf(bobBits, 1));
        bobKey = mb.AddKey(bob, "我的", KeyOf(bobBits, 1));
        aliceLockB = mb.AddLock(bob, "爱丽丝", KeyOf(aliceBits, 0));
    }
    // Alice protects text for Bob; the armored text, or "" on failure.
    std::string Send(const std::string& gbk, int sign)
    {
        return mb.Protect(bobLockA, gbk, sign) == 1 ? mb.Output(bobLockA) : std::string();
    }
    // Bob opens it; the command's result.
    int Receive(const std::string& armored, int* result = nullptr) { return mb.Protect(bobKey, armored, 0, result); }
};

std::string Text(std::size_t n, std::uint32_t seed)
{
    // Printable ASCII and two-byte GBK characters, exactly n bytes.
    std::mt19937 rng(seed);
    const std::string chinese = Gbk("中文加密通讯薄测试");
    std::string s;
    while (s.size() < n) {
        if (rng() % 3 == 0 && s.size() + 2 <= n) {
            const std::size_t k = 2 * (rng() % (chinese.size() / 2));
            s += chinese.substr(k, 2);
        } else {
            s += static_cast<char>(' ' + rng() % 95);
        }
    }
    return s;
}

}  // namespace

TEST(Protect, RoundTripsAtEveryStrength)
{
    const bool longRun = std::getenv("MORVANE_LONG_TESTS") != nullptr;
    for (int bits : {512, 1024, 2048, 4096}) {
        Correspondents c(bits, bits);
        const std::size_t m = bits / 8;
        std::vector<std::size_t> lengths = {1, m - 19, m - 18, 2 * (m - 9)};
        if (bits <= 1024 || longRun)
            lengths.insert(lengths.end(), {m - 9, 3 * (m - 9) + 1, 2500});
        for (std::size_t n : lengths) {
            const std::string text = Text(n, static_cast<std::uint32_t>(n + bits));
            for (int sign : {0, 1}) {
                const std::string armored = c.Send(text, sign);
                ASSERT_FALSE(armored.empty()) << bits << " " << n << " " << sign;
                EXPECT_EQ(armored.substr(0, 4), sign ? "SIGN" : "N_SI");
                EXPECT_EQ((armored.size() - 36) % (2 * m), 0u);
                c.mb.desktop.messages.clear();
                ASSERT_EQ(c.Receive(armored), 1);
                EXPECT_EQ(c.mb.Output(c.bobKey), text) << bits << " " << n << " " << sign;
                ASSERT_EQ(c.mb.desktop.messages.size(), 1u);
                const std::string expected = (sign ? " <爱丽丝> 的签字通过验证, " : "") + std::string("解密完成! 用时 ");
                EXPECT_EQ(c.mb.desktop.LastMessage().substr(0, expected.size()), expected);
            }
        }
    }
}

TEST(Protect, MixedStrengthsAndSignatureChecks)
{
    // A 2048-bit signer writing to a 512-bit lock, and back.
    Correspondents c(2048, 512);
    const std::string text = Gbk("签字后加密: 不同强度的密钥");
    std::string armored = c.Send(text, 1);
    ASSERT_FALSE(armored.empty());
    ASSERT_EQ(c.Receive(armored), 1);
    EXPECT_EQ(c.mb.Output(c.bobKey), text);

    // The signer field names the signer's N digest.
    std::string digest;
    ASSERT_EQ(ModulusDigest(c.mb.tree.book, c.aliceKey, digest), 1);
    EXPECT_EQ(armored.substr(4, 32), digest);
    EXPECT_EQ(digest, Md5Hex(Md5Of(std::string(KeyOf(2048).n)).data()));

    // Bob's lock for Alice carries the right digest but the wrong key: verification fails,
    // without a message and without output.
    SetField(c.mb.tree.book, c.aliceLockB, KindCode(ItemKind::PublicExponentField), KeyOf(2048, 1).e);
    c.mb.desktop.messages.clear();
    EXPECT_EQ(c.Receive(armored), -1);
    EXPECT_TRUE(c.mb.desktop.messages.empty());
    EXPECT_EQ(c.mb.Output(c.bobKey), "");
    EXPECT_TRUE(c.mb.tree.menusEnabled);
    EXPECT_EQ(c.mb.view.activities.back(), kActivityIdle);
}

TEST(Protect, MessagesCountsDatesAndElapsedTime)
{
    Correspondents c;
    MessageBook& mb = c.mb;
    Book& book = mb.tree.book;
    mb.desktop.now = 1767225600 + 3600;
    mb.desktop.tickStep = 249;  // 250 ms between the two tick readings, one added
    SetField(book, c.aliceKey, KindCode(ItemKind::UseCountField), "7");

    const std::string text = Gbk("你好, Bob");
    const std::string armored = c.Send(text, 1);
    ASSERT_FALSE(armored.empty());
    EXPECT_EQ(mb.desktop.LastMessage(), "签字并加密完成! 用时 0.250 秒");
    EXPECT_EQ(mb.desktop.messages.back().icon, MsgIcon::Information);
    EXPECT_EQ(mb.Field(c.bobLockA, ItemKind::UseCountField), "1");
    EXPECT_EQ(mb.Field(c.bobLockA, ItemKind::DateField), FormatDate(mb.desktop.now));
    // The signing key: its date, its input field and its signature row; not its count.
    EXPECT_EQ(mb.Field(c.aliceKey, ItemKind::DateField), FormatDate(mb.desktop.now));
    EXPECT_EQ(mb.Field(c.aliceKey, ItemKind::UseCountField), "7");
    EXPECT_EQ(mb.Field(c.aliceKey, ItemKind::InputField), text);
    const std::string row41 = mb.RowText(c.aliceKey, ItemKind::PostTextRow);
    EXPECT_EQ(row41.rfind("后置正文(0256字节): ", 0), 0u) << row41;
    // The output field is the selected, clicked line afterwards.
    const Node out = FindChildByKind(book, c.bobLockA, ItemKind::OutputField);
    EXPECT_EQ(book.Selected(), out);
    EXPECT_EQ(mb.tree.clickedItem, out);
    EXPECT_EQ(mb.view.activities.back(), kActivityIdle);

    // A use count that is no number starts again at 1.
    SetField(book, c.bobKey, KindCode(ItemKind::UseCountField), Gbk("很多"));
    mb.desktop.tickStep = 0;
    ASSERT_EQ(c.Receive(armored), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), " <爱丽丝> 的签字通过验证, 解密完成! 用时 0.001 秒");
    EXPECT_EQ(mb.Field(c.bobKey, ItemKind::UseCountField), "1");
    EXPECT_EQ(mb.Output(c.bobKey), text);

    // Plain encryption.
    ASSERT_FALSE(c.Send("x", 0).empty());
    EXPECT_EQ(mb.desktop.LastMessage(), "加密完成! 用时 0.001 秒");
    EXPECT_EQ(mb.Field(c.bobLockA, ItemKind::UseCountField), "2");

    // Empty input.
    int result = 0;
    mb.desktop.messages.clear();
    EXPECT_EQ(mb.Protect(c.bobLockA, "", 0, &result), -1);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(mb.desktop.MessageTexts(), std::vector<std::string>{"输入不能为空"});
    EXPECT_EQ(mb.desktop.messages.back().icon, MsgIcon::Information);
    EXPECT_EQ(mb.Field(c.bobLockA, ItemKind::UseCountField), "2");
    EXPECT_TRUE(mb.tree.menusEnabled);
}

TEST(Protect, FindPartnerMessages)
{
    Correspondents c;
    MessageBook& mb = c.mb;
    Book& book = mb.tree.book;
    const std::string keyMsg = "若要签字, 要求同一目录下必须有唯一 <钥匙> 项目!";
    const std::string lockMsg = "内容已被签字, 要求同一目录下必须有MD5值匹配的唯一 <锁> 项目! 但现在匹配的 <锁> 项目有 <";

    // Two keys in Alice's directory.
    const Node second = mb.AddKey(c.alice, "第二", KeyOf(1024, 2));
    SetField(book, c.bobLockA, KindCode(ItemKind::OutputField), "before");
    EXPECT_EQ(mb.Protect(c.bobLockA, "hi", 1), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), keyMsg + "2");
    EXPECT_EQ(mb.desktop.messages.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(mb.Output(c.bobLockA), "before");
    // None.
    book.Remove(second);
    book.Remove(c.aliceKey);
    EXPECT_EQ(mb.Protect(c.bobLockA, "hi", 1), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), keyMsg + "0");
    EXPECT_EQ(mb.Output(c.bobLockA), "before");
    EXPECT_TRUE(mb.tree.menusEnabled);
    // An incomplete own key.
    const Node partial = mb.AddKey(c.alice, "残缺", KeyOf(1024, 0));
    ClearField(book, partial, KindCode(ItemKind::PrivateExponentField));
    EXPECT_EQ(mb.Protect(c.bobLockA, "hi", 1), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), "自己的私钥数据不完整!");
    EXPECT_EQ(mb.Output(c.bobLockA), "before");
    EXPECT_EQ(book.Selected(), FindChildByKind(book, c.bobLockA, ItemKind::InputField));
    SetField(book, partial, KindCode(ItemKind::PrivateExponentField), KeyOf(1024, 0).d);

    const std::string armored = c.Send("signed", 1);
    ASSERT_FALSE(armored.empty());
    // No matching lock in Bob's directory (his lock for Alice has another N).
    const std::string aliceN = c.mb.Field(c.aliceLockB, ItemKind::ModulusField);
    SetField(book, c.aliceLockB, KindCode(ItemKind::ModulusField), KeyOf(1024, 2).n);
    EXPECT_EQ(c.Receive(armored), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), lockMsg + "0> 项。");
    EXPECT_EQ(mb.Output(c.bobKey), "") << "cleared before the search";
    // Two matching locks.
    SetField(book, c.aliceLockB, KindCode(ItemKind::ModulusField), aliceN);
    const Node twin = mb.AddLock(c.bob, "双胞胎", KeyOf(1024, 0));
    EXPECT_EQ(c.Receive(armored), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), lockMsg + "2> 项。");
    book.Remove(twin);
    // A matching lock without E.
    ClearField(book, c.aliceLockB, KindCode(ItemKind::PublicExponentField));
    EXPECT_EQ(c.Receive(armored), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), "对方的公布的锁数据不完整!");
    EXPECT_EQ(mb.Output(c.bobKey), "");
    SetField(book, c.aliceLockB, KindCode(ItemKind::PublicExponentField), KeyOf(1024, 0).e);
    ASSERT_EQ(c.Receive(armored), 1);
    EXPECT_EQ(mb.Output(c.bobKey), "signed");

    // An unsigned text never looks for a lock: Bob's directory may hold none.
    const std::string plain = c.Send("unsigned", 0);
    book.Remove(c.aliceLockB);
    ASSERT_EQ(c.Receive(plain), 1);
    EXPECT_EQ(mb.Output(c.bobKey), "unsigned");

    // Records outside a directory, and an empty signer field.
    Node partner;
    std::string field;
    const Node loose = mb.AddKey(Node{}, "顶层", KeyOf(512));
    EXPECT_EQ(FindPartner(mb.tree, partner, field, loose, kPartnerKey), -1);
    EXPECT_EQ(FindPartner(mb.tree, partner, field, c.bobKey, kPartnerLock), -1);
    // A lock whose N line is gone makes the search fail.
    const Node broken = mb.AddLock(c.bob, "坏", KeyOf(512));
    book.Remove(FindChildByKind(book, broken, ItemKind::ModulusField));
    field = "X";
    EXPECT_EQ(FindPartner(mb.tree, partner, field, c.bobKey, kPartnerLock), -1);
}

TEST(Protect, FailuresEndCleanly)
{
    Correspondents c;
    MessageBook& mb = c.mb;
    Book& book = mb.tree.book;
    const std::string armored = c.Send(Gbk("秘密"), 0);
    ASSERT_FALSE(armored.empty());

    int call = 0;
    auto failsQuietly = [&](const std::string& input) {
        ++call;
        mb.desktop.messages.clear();
        mb.view.activities.clear();
        SetField(book, c.bobKey, KindCode(ItemKind::OutputField), "old");
        int result = 5;
        const int rc = c.Receive(input, &result);
        EXPECT_EQ(rc, -1) << "call " << call << ": " << input;
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(mb.desktop.messages.empty()) << input;
        EXPECT_EQ(mb.Output(c.bobKey), "") << input;
        EXPECT_TRUE(mb.tree.menusEnabled) << input;
        ASSERT_FALSE(mb.view.activities.empty());
        EXPECT_EQ(mb.view.activities.back(), kActivityIdle) << input;
    };
    failsQuietly("sign" + armored.substr(4));
    failsQuietly("N_SX" + armored.substr(4));
    failsQuietly(armored.substr(0, armored.size() - 2));
    failsQuietly(armored.substr(0, 36));
    failsQuietly(armored.substr(0, 37));
    failsQuietly(armored + "00");
    std::string lower = armored;
    for (std::size_t i = 36; i < lower.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
    failsQuietly(lower);
    // A text for another key of the same strength.
    const std::string forAlice = c.mb.Protect(c.aliceLockB, "x", 0) == 1 ? mb.Output(c.aliceLockB) : "";
    failsQuietly(forAlice);

    // The same text framed by the box (stars, CR LF), or broken by a mail program, is fine.
    std::string framed = std::string(40, '*') + "\r\n";
    for (std::size_t i = 0; i < armored.size(); i += 40)
        framed += armored.substr(i, 40) + "\r\n";
    framed += std::string(40, '*');
    ASSERT_EQ(c.Receive(framed), 1);
    EXPECT_EQ(mb.Output(c.bobKey), Gbk("秘密"));
    std::string mailed = "  " + armored.substr(0, 70) + "\n  " + armored.substr(70) + " \n";
    ASSERT_EQ(c.Receive(mailed), 1);
    EXPECT_EQ(mb.Output(c.bobKey), Gbk("秘密"));

    // Not the action line, or not a lock or key.
    mb.Click(c.bobKey);
    mb.SetInput(c.bobKey, armored);
    mb.tree.clickedItem = FindChildByKind(book, c.bobKey, ItemKind::OutputField);
    int result = 0;
    mb.tree.menusEnabled = true;
    EXPECT_EQ(ProtectRecord(mb.tree, c.bobKey, 0, result), -1);
    EXPECT_TRUE(mb.tree.menusEnabled);
    mb.Click(c.bobKey);
    EXPECT_EQ(ProtectRecord(mb.tree, c.bob, 0, result), -1);
    EXPECT_TRUE(mb.tree.menusEnabled);
    // A key whose strength is not the lock's.
    Correspondents other(1024, 2048);
    const std::string wide = other.Send("wide", 0);
    ASSERT_FALSE(wide.empty());
    failsQuietly(wide);
}

TEST(Protect, UsesTheRecordsOwnKey)
{
    // The first engine holds another key (as after a key generation elsewhere): the command
    // still encrypts for the record, and refuses a record whose key is incomplete.
    Correspondents c;
    MessageBook& mb = c.mb;
    mb.Click(c.bobLockA);
    mb.SetInput(c.bobLockA, "for bob");
    int complete = 0;
    ASSERT_EQ(LoadKey(mb.tree.engine[0], complete, mb.tree, c.aliceLockB), 1);
    int result = 0;
    ASSERT_EQ(ProtectRecord(mb.tree, c.bobLockA, 0, result), 1);
    ASSERT_EQ(c.Receive(mb.Output(c.bobLockA)), 1);
    EXPECT_EQ(mb.Output(c.bobKey), "for bob");

    mb.Click(c.bobLockA);
    ClearField(mb.tree.book, c.bobLockA, KindCode(ItemKind::PublicExponentField));
    EXPECT_EQ(ProtectRecord(mb.tree, c.bobLockA, 0, result), -1);
    EXPECT_TRUE(mb.tree.menusEnabled);
}

TEST(Protect, RefusesResultsThatAreNotText)
{
    // Only text comes out of a decryption: a result holding a zero byte is refused with a
    // message and nothing in the output field, where it used to be cut at that byte.
    Correspondents c;
    MessageBook& mb = c.mb;
    Book& book = mb.tree.book;
    auto refused = [&](const std::string& armored) {
        mb.desktop.messages.clear();
        SetField(book, c.bobKey, KindCode(ItemKind::OutputField), "old");
        SetField(book, c.bobKey, KindCode(ItemKind::UseCountField), "3");
        mb.tree.menusEnabled = true;
        int result = 5;
        EXPECT_EQ(c.Receive(armored, &result), 1);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(mb.desktop.MessageTexts(), std::vector<std::string>{"解密结果含有零字节, 不是有效的文本, 解密失败!"});
        EXPECT_EQ(mb.desktop.messages.back().icon, MsgIcon::Exclamation);
        EXPECT_EQ(mb.Output(c.bobKey), "");
        EXPECT_EQ(mb.Field(c.bobKey, ItemKind::UseCountField), "3");
        EXPECT_TRUE(mb.tree.menusEnabled);
        EXPECT_EQ(mb.view.activities.back(), kActivityIdle);
    };

    const std::string withZero("abc\0def", 7);
    const std::string sealed = c.Send(withZero, 0);
    ASSERT_FALSE(sealed.empty());
    refused(sealed);
    refused(c.Send(std::string("\0", 1), 0));
    refused(c.Send(withZero, 1));

    // A signed text relabelled "N_SI" (the flag lies outside the encryption) opens to the
    // signature blocks. Take a text whose signature holds a zero byte, as about two in five do
    // for 1024-bit keys.
    std::string downgraded;
    for (int i = 0; i < 40 && downgraded.empty(); ++i) {
        const std::string text = "message " + std::to_string(i);
        const std::string armored = c.Send(text, 1);
        ASSERT_FALSE(armored.empty());
        const std::string row = mb.RowText(c.aliceKey, ItemKind::PostTextRow);
        const std::string hex = row.substr(row.find(": ") + 2);
        for (std::size_t k = 0; k + 1 < hex.size(); k += 2)
            if (hex.compare(k, 2, "00") == 0)
                downgraded = "N_SI" + armored.substr(4);
        // Untouched, it opens and verifies as before.
        ASSERT_EQ(c.Receive(armored), 1);
        EXPECT_EQ(mb.Output(c.bobKey), text);
    }
    ASSERT_FALSE(downgraded.empty());
    refused(downgraded);

    // Nor does a result with other control characters or bytes that are no GBK.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    refused(c.Send(all, 1));
    refused(c.Send(Gbk("文本\x1B[0m"), 0));
    refused(c.Send(Gbk("文本") + '\x81', 0));
}
