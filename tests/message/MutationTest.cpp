// Damaged armored texts and public key texts, thousands of them: no crash, no read outside the
// input (the sanitizer build checks), and never a wrong plaintext reported as success.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "MessageTesting.h"
#include "book/Queries.h"
#include "message/ArmoredText.h"
#include "message/Blocks.h"
#include "message/PublicKeyText.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

const char kAlphabet[] = "0123456789ABCDEFabcdefSIGN_*\r\n -xyz\x80\xB0\xFF";

std::string Mutate(std::string s, std::mt19937& rng)
{
    const int edits = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < edits; ++k) {
        const std::size_t at = s.empty() ? 0 : rng() % s.size();
        switch (rng() % 7) {
        case 0:  // replace a character
            if (!s.empty())
                s[at] = kAlphabet[rng() % (sizeof kAlphabet - 1)];
            break;
        case 1:  // change a digit to another digit
            if (!s.empty())
                s[at] = "0123456789ABCDEF"[rng() % 16];
            break;
        case 2:  // cut a piece out
            s.erase(at, 1 + rng() % 300);
            break;
        case 3:  // insert characters
            s.insert(at, std::string(1 + rng() % 4, kAlphabet[rng() % (sizeof kAlphabet - 1)]));
            break;
        case 4:  // truncate
            s.resize(at);
            break;
        case 5:  // repeat a piece
            s.insert(at, s.substr(rng() % (s.size() + 1), rng() % 260));
            break;
        default:  // swap two pieces of block size
            if (s.size() > 36 + 512) {
                const std::size_t a = 36 + 128 * (rng() % ((s.size() - 36) / 128 - 1));
                const std::size_t b = 36 + 128 * (rng() % ((s.size() - 36) / 128 - 1));
                const std::string pa = s.substr(a, 128);
                s.replace(a, 128, s.substr(b, 128));
                s.replace(b, 128, pa);
            }
            break;
        }
    }
    return s;
}

}  // namespace

TEST(Mutation, DamagedArmoredTextsNeverOpenWrongly)
{
    MessageBook mb;
    const Node bob = mb.AddDirectory("目录B");
    const Node aliceKey = mb.AddKey(mb.dir, "我的", KeyOf(512, 0));
    const Node bobLock = mb.AddLock(mb.dir, "鲍勃", KeyOf(512, 1));
    const Node bobKey = mb.AddKey(bob, "我的", KeyOf(512, 1));
    mb.AddLock(bob, "爱丽丝", KeyOf(512, 0));
    (void)aliceKey;

    const std::string plain = Gbk("一段要保护的文字, with ASCII too: ") + std::string(120, '#');
    std::vector<std::string> originals;
    for (int sign : {0, 1}) {
        ASSERT_EQ(mb.Protect(bobLock, plain, sign), 1);
        originals.push_back(mb.Output(bobLock));
    }
    std::mt19937 rng(20240601);
    const int rounds = std::getenv("MORVANE_LONG_TESTS") ? 20000 : 5000;
    int opened = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::string damaged = Mutate(originals[i % 2], rng);
        mb.desktop.messages.clear();
        SetField(mb.tree.book, bobKey, KindCode(ItemKind::OutputField), "");
        const int rc = mb.Protect(bobKey, damaged, 0);
        ASSERT_TRUE(rc == 1 || rc == -1);
        const std::string out = mb.Output(bobKey);
        if (!out.empty()) {
            // Only a damage that left the message itself intact (framing, a trailing odd
            // digit...) may open, and then to exactly the plaintext.
            ASSERT_EQ(out, plain) << damaged;
            ASSERT_EQ(rc, 1);
            ++opened;
        }
        EXPECT_TRUE(mb.tree.menusEnabled);
    }
    // Some damage is harmless (a trailing digit, inserted line breaks).
    EXPECT_GT(opened, 0);
    EXPECT_LT(opened, rounds / 4);
}

TEST(Mutation, RandomBlockSequences)
{
    MessageBook mb;
    const Node key = mb.AddKey(mb.dir, "我的", KeyOf(512));
    const Node lock = mb.AddLock(mb.dir, "锁", KeyOf(512));
    std::mt19937 rng(7);
    for (int i = 0; i < 800; ++i) {
        const Node opener = i % 2 ? key : lock;
        mb.Click(opener);
        const std::size_t length = (i % 5 == 0) ? rng() % 300 : 64 * (1 + rng() % 4);
        std::vector<std::uint8_t> input(length);
        for (auto& b : input)
            b = static_cast<std::uint8_t>(rng());
        if (i % 3 == 0 && !input.empty())
            input[0] = 0;  // keep the number below N more often
        std::vector<std::uint8_t> out;
        std::size_t outLength = 0;
        ASSERT_EQ(DecryptMessage(mb.tree, mb.tree.engine[0], out, outLength, input.data(), input.size(), 2,
                                 i % 2 ? kBlockEncrypt : kBlockSign),
                  -1);
    }
}

TEST(Mutation, DamagedPublicKeyTexts)
{
    MessageBook mb;
    const std::string exported = BuildPublicKeyText(KeyOf(1024).n, KeyOf(1024).e);
    const Node friends = mb.AddDirectory("朋友");
    const Node lock = mb.AddLock(friends, "新", KeyOf(512));
    const Node input = FindChildByKind(mb.tree.book, lock, ItemKind::InputField);
    std::mt19937 rng(99);
    const int rounds = std::getenv("MORVANE_LONG_TESTS") ? 40000 : 8000;
    auto isHex = [](const std::string& s) {
        return !s.empty() && s.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
    };
    for (int i = 0; i < rounds; ++i) {
        const std::string damaged = Mutate(exported, rng);
        bool found = false;
        std::string n, e;
        ParsePublicKeyText(found, n, e, damaged);
        if (found) {
            ASSERT_TRUE(isHex(n)) << damaged;
            ASSERT_TRUE(isHex(e)) << damaged;
        }
        if (i % 8 == 0) {
            mb.tree.clickedItem = input;
            mb.tree.clickedLineText = mb.tree.book.Text(input);
            EXPECT_EQ(ImportPublicKey(mb.tree, damaged), found && !n.empty()) << damaged;
            const std::string storedN = mb.Field(lock, ItemKind::ModulusField);
            ASSERT_TRUE(isHex(storedN)) << storedN;
        }
    }
}
