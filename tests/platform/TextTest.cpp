#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

using namespace morvane;

TEST(Text, ChineseTextsRoundTripThroughGbk)
{
    // Known GBK bytes: the program's files and messages depend on them.
    EXPECT_EQ(Gbk("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Gbk("完成密钥随机化"), "\xCD\xEA\xB3\xC9\xC3\xDC\xD4\xBF\xCB\xE6\xBB\xFA\xBB\xAF");
    EXPECT_EQ(Gbk("Morvane 1.0"), "Morvane 1.0");
    EXPECT_EQ(Gbk(""), "");

    const char* samples[] = {
        "不能打开随机数种子文件: /home/用户/种子.sd",
        "随机数种子文件MD5验证未能通过!",
        "用几分钟在屏幕上移动鼠标产生随机数, 继续吗?",
        "宋体 ABC abc 0123 ，。！？【】",
        "€ 😀 𠀀",  // outside GBK proper: GB18030 four-byte forms keep them
    };
    for (const char* s : samples) {
        const std::string g = Gbk(s);
        EXPECT_EQ(Utf8(g), s);
        // Nothing was replaced on the way in.
        EXPECT_EQ(std::count(g.begin(), g.end(), '?'), std::count(s, s + std::strlen(s), '?')) << s;
    }
}

TEST(Text, InvalidInputIsReplacedNotDropped)
{
    // Broken UTF-8: a lone continuation byte, a truncated sequence, an overlong form.
    EXPECT_EQ(Gbk("a\x80" "b"), "a?b");
    EXPECT_EQ(Gbk("x\xE4\xB8"), "x??");
    EXPECT_EQ(Gbk("\xC0\xAF"), "??");
    // Broken GBK: a lead byte at the end, a lead byte with an invalid trail.
    EXPECT_EQ(Utf8("ok\xD6"), "ok\xEF\xBF\xBD");
    const std::string bad = Utf8("\xD6\x20z");
    EXPECT_EQ(bad.substr(0, 3), "\xEF\xBF\xBD");
    EXPECT_NE(bad.find('z'), std::string::npos);
    // Zero bytes pass through.
    EXPECT_EQ(Gbk(std::string_view("a\0b", 3)), std::string("a\0b", 3));
    // Long input grows the output buffer.
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += "密";
    EXPECT_EQ(Utf8(Gbk(big)), big);
}

// Names typed on a terminal are checked before they reach the book: anything Gbk() would turn
// into '?' must be caught, and nothing it converts faithfully refused.
TEST(Text, Utf8CheckMatchesWhatConvertsFaithfully)
{
    for (const char* good : {"", "Alice", "目录A/对方1", "\xF0\x9F\x94\x91 key", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBD"}) {
        EXPECT_TRUE(IsValidUtf8(good)) << good;
        EXPECT_EQ(Utf8(Gbk(good)), good);
    }
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80",
                            "abc\xE7\x9B", "\x80", "Alice\xFF"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}
