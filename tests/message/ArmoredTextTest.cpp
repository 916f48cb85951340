#include <gtest/gtest.h>

#include "MessageTesting.h"
#include "book/Queries.h"
#include "message/ArmoredText.h"
#include "message/HexText.h"
#include "message/PublicKeyText.h"

using namespace morvane;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v)
{
    std::vector<std::uint8_t> out;
    for (int b : v)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

}  // namespace

TEST(HexText, OrderWidthAndFill)
{
    const auto b = Bytes({0x01, 0xAB, 0xF0});
    std::string t;
    ASSERT_EQ(ToHexText(t, 0, b.data(), 3, kHexFirstByteFirst), 1);
    EXPECT_EQ(t, "01ABF0");
    ASSERT_EQ(ToHexText(t, 0, b.data(), 3, kHexLastByteFirst), 1);
    EXPECT_EQ(t, "F0AB01");
    ASSERT_EQ(ToHexText(t, 10, b.data(), 3, kHexFirstByteFirst), 1);
    EXPECT_EQ(t, "000001ABF0");
    ASSERT_EQ(ToHexText(t, 2, b.data(), 3, kHexFirstByteFirst), 1);  // never narrower than the bytes
    EXPECT_EQ(t, "01ABF0");
    ASSERT_EQ(ToHexText(t, 4, nullptr, 0, kHexFirstByteFirst), 1);
    EXPECT_EQ(t, "0000");
    EXPECT_EQ(ToHexText(t, 0, b.data(), 3, 3), -1);
}

TEST(ArmoredText, BuildShowsRowsAndParsesBack)
{
    MessageBook mb;
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512));
    std::vector<std::uint8_t> blocks(128);
    for (std::size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::string signer = "0123456789ABCDEF0123456789ABCDEF";

    std::string text;
    ASSERT_EQ(BuildArmoredText(mb.tree.book, lock, text, 64, blocks.data(), blocks.size(), true, signer), 1);
    EXPECT_EQ(text.size(), 36u + 256u);
    EXPECT_EQ(text.substr(0, 36), "SIGN" + signer);
    EXPECT_EQ(mb.RowText(lock, ItemKind::SignFlagRow), "签字标志(0004字节): SIGN");
    EXPECT_EQ(mb.RowText(lock, ItemKind::DigestRow), "MD5值   (0032字节): " + signer);
    EXPECT_EQ(mb.RowText(lock, ItemKind::PostTextRow), "后置正文(0256字节): " + text.substr(36));

    std::vector<std::uint8_t> back;
    bool isSigned = false;
    std::string field;
    ASSERT_EQ(ParseArmoredText(back, isSigned, field, text), 1);
    EXPECT_TRUE(isSigned);
    EXPECT_EQ(field, signer);
    EXPECT_EQ(back, blocks);

    // Unsigned; bytes short of whole lock blocks are right-aligned with a '0' fill.
    ASSERT_EQ(BuildArmoredText(mb.tree.book, lock, text, 64, blocks.data(), 100, false, kNoSigner), 1);
    EXPECT_EQ(text.substr(0, 36), "N_SI" + std::string(32, 'F'));
    EXPECT_EQ(text.size(), 36u + 256u);
    EXPECT_EQ(text.substr(36, 56), std::string(56, '0'));
    ASSERT_EQ(ParseArmoredText(back, isSigned, field, text), 1);
    EXPECT_FALSE(isSigned);
    ASSERT_EQ(back.size(), 128u);
    EXPECT_TRUE(std::equal(blocks.begin(), blocks.begin() + 100, back.begin() + 28));

    // Without the record's detail rows the text cannot be built.
    EXPECT_EQ(BuildArmoredText(mb.tree.book, mb.dir, text, 64, blocks.data(), 10, false, kNoSigner), -1);
}

TEST(ArmoredText, CleaningUndoesTheBoxFraming)
{
    const std::string bare = "N_SI" + std::string(32, 'F') + "00112233445566778899AABBCCDDEEFF";
    std::string framed = "**********\r\n";
    for (std::size_t i = 0; i < bare.size(); i += 10)
        framed += bare.substr(i, 10) + "\r\n";
    framed += "**********";
    std::string t = framed;
    ASSERT_EQ(CleanArmoredText(t), 1);
    EXPECT_EQ(t, bare);

    // Line feeds alone (as a mail program or the desktop's text box gives them), and blank
    // lines around the frame.
    t = "\n\n*****\n" + bare.substr(0, 30) + "\n" + bare.substr(30) + "\n*****\n\n";
    ASSERT_EQ(CleanArmoredText(t), 1);
    EXPECT_EQ(t, bare);

    t = bare;
    ASSERT_EQ(CleanArmoredText(t), 1);
    EXPECT_EQ(t, bare);

    for (std::string bad : {"", "****", "\r\n*\r\n", "*A*", "\r\n"}) {
        t = bad;
        EXPECT_EQ(CleanArmoredText(t), -1) << bad;
    }
    t = "*AB*";
    ASSERT_EQ(CleanArmoredText(t), 1);
    EXPECT_EQ(t, "AB");
}

TEST(ArmoredText, ParserRejectsWhatIsNotAMessage)
{
    const std::string head = "N_SI" + std::string(32, 'F');
    std::vector<std::uint8_t> bytes;
    bool isSigned = true;
    std::string field = "unchanged";

    // Flags are case-sensitive; anything else is refused.
    for (std::string flag : {"sign", "n_si", "SIGn", "XXXX"})
        EXPECT_EQ(ParseArmoredText(bytes, isSigned, field, flag + std::string(32, 'F') + "ABCD"), -1) << flag;
    // Too short to hold the header, or no whole byte after it.
    EXPECT_EQ(ParseArmoredText(bytes, isSigned, field, "SIGN0123"), -1);
    EXPECT_EQ(ParseArmoredText(bytes, isSigned, field, head), -1);
    EXPECT_EQ(ParseArmoredText(bytes, isSigned, field, head + "A"), -1);
    // Only the digits 0-9 and A-F.
    for (std::string digits : {"ab", "0g", "A B0", "12-4", "1\n2"})
        EXPECT_EQ(ParseArmoredText(bytes, isSigned, field, head + digits), -1) << digits;
    EXPECT_EQ(field, "unchanged");

    // A trailing odd digit is ignored.
    ASSERT_EQ(ParseArmoredText(bytes, isSigned, field, head + "0AF"), 1);
    EXPECT_EQ(bytes, Bytes({0x0A}));
    EXPECT_FALSE(isSigned);
}

TEST(PublicKeyText, WrapAndBuild)
{
    std::string t = "ABCDEFGHIJ";
    WrapText(t, 4);
    EXPECT_EQ(t, "ABCD\r\nEFGH\r\nIJ");
    t = "ABCDEFGH";
    WrapText(t, 4);
    EXPECT_EQ(t, "ABCD\r\nEFGH");
    t = "";
    WrapText(t, 4);
    EXPECT_EQ(t, "");

    const std::string text = BuildPublicKeyText("0123456789ABCDEF0123456789AB", "10001");
    EXPECT_EQ(text, std::string(26, '*') + "\r\n...This is Public Key N...\r\n\r\n0123456789ABCDEF0123456789\r\nAB\r\n\r\n"
                    "...This is Public Key E...\r\n\r\n10001\r\n" + std::string(26, '*'));
}

TEST(PublicKeyText, RecognisesKeysAndNothingElse)
{
    const std::string n = "C0FFEE0123456789abcdef0123456789ABCDEF";
    const std::string e = "10001";
    const std::string text = BuildPublicKeyText(n, e);
    bool found = false;
    std::string pn, pe;
    ParsePublicKeyText(found, pn, pe, text);
    ASSERT_TRUE(found);
    EXPECT_EQ(pn, n);
    EXPECT_EQ(pe, e);

    // Extra blank lines, blanks inside the digits and markers, LF-only line breaks and text
    // around the block change nothing.
    std::string messy = "Hello, here is my key:\n\n" + text + "\r\n\r\nbye";
    messy.insert(messy.find("...This") + 10, "  ");
    messy.insert(messy.find("C0FF") + 3, " \r\n\r\n ");
    for (auto& c : messy)
        if (c == '\r')
            c = '\n';
    ParsePublicKeyText(found, pn, pe, messy);
    ASSERT_TRUE(found);
    EXPECT_EQ(pn, n);
    EXPECT_EQ(pe, e);

    auto notKey = [&](const std::string& t) {
        found = true;
        ParsePublicKeyText(found, pn, pe, t);
        return !found;
    };
    EXPECT_TRUE(notKey("...This is Public Key N...\r\nABCDEF"));                 // only the N marker
    EXPECT_TRUE(notKey("...This is Public Key E...\r\n10001"));                  // only the E marker
    EXPECT_TRUE(notKey("...This is Public Key N...ABXY...This is Public Key E...10001"));  // broken N
    EXPECT_TRUE(notKey("...This is Public Key N...AB...This is Public Key E...***"));      // no E digits
    EXPECT_TRUE(notKey("...This is Public Key N......This is Public Key E...10001"));      // no N digits
    EXPECT_TRUE(notKey("...This is Public Key E...1...This is Public Key N...AB"));        // wrong order
    EXPECT_TRUE(notKey(""));
}
