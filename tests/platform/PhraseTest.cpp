#include "platform/Phrase.h"

#include <gtest/gtest.h>

#include "platform/Text.h"

namespace morvane {
namespace {

TEST(Phrase, FillsArgumentsInOnePass)
{
    // An argument that looks like a placeholder (a name the user wrote) is not filled again.
    EXPECT_EQ(Fill("%1 and %2", {"%2", "b"}), "%2 and b");
    EXPECT_EQ(Fill("%2%1", {"a", "b"}), "ba");
    // A placeholder without an argument, a lone or trailing '%', and 100% stay as written.
    EXPECT_EQ(Fill("%3 %a 100%", {"x"}), "%3 %a 100%");
    EXPECT_EQ(Fill("", {"x"}), "");
}

TEST(Phrase, ChineseTextIsGbkWithArgumentsFilledIn)
{
    const Phrase p(MORVANE_TR("Test", "确认删除选定的 %1 个项目?"), {"3"});
    EXPECT_TRUE(p.Translatable());
    EXPECT_EQ(p.Gbk(), Gbk("确认删除选定的 3 个项目?"));

    // A plain text keeps its bytes, even ones that are not valid GBK.
    const std::string raw("\x81\x25\x31\xff", 4);
    EXPECT_FALSE(Phrase::Plain(raw).Translatable());
    EXPECT_EQ(Phrase::Plain(raw).Gbk(), raw);
    EXPECT_TRUE(Phrase().Empty());
}

}  // namespace
}  // namespace morvane
