// The command table against the menu layout: every command once, names unique, and the
// menu's texts as the window has always shown them.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "book/CommandTable.h"
#include "book/ContextMenu.h"
#include "platform/Text.h"
#include "support/PhraseTesting.h"

using namespace morvane;

TEST(CommandTable, MatchesTheMenuLayout)
{
    std::set<int> ids;
    std::set<std::string> names;
    for (const Command& c : CommandTable()) {
        EXPECT_TRUE(ids.insert(c.id).second) << c.id;
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        EXPECT_EQ(FindCommandByName(c.name), &c);
        EXPECT_FALSE(c.label.empty()) << c.name;
    }
    std::set<int> inMenu;
    std::string sortMenu;
    for (const MenuLine& line : ContextMenuLayout()) {
        if (line.id == kMenuSubmenuBegin)
            sortMenu = line.label.Gbk();
        if (line.id <= 0)
            continue;
        EXPECT_TRUE(inMenu.insert(line.id).second) << "twice in the menu: " << line.id;
        ASSERT_NE(FindCommand(line.id), nullptr) << line.id;
        EXPECT_EQ(line.label.Gbk(), FindCommand(line.id)->label);
    }
    EXPECT_EQ(inMenu, ids) << "every command in the menu, and only those";
    EXPECT_EQ(sortMenu, Gbk("排    序"));
    EXPECT_EQ(ContextMenuLayout().front().label, Gbk("设定软件登录密码"));
    EXPECT_EQ(ContextMenuState().Label(kCmdGenerateKey), Gbk("生成密钥"));
    EXPECT_EQ(FindCommand(kCmdApply), nullptr) << "not a menu command";
}

// The window translates what the menu shows: every label it can show is a marked text.
TEST(CommandTable, EveryMenuLabelIsMarkedForTranslation)
{
    for (const MenuLine& line : ContextMenuLayout()) {
        if (line.id != kMenuSeparator && line.id != kMenuSubmenuEnd) {
            EXPECT_TRUE(line.label.Translatable()) << Utf8(line.label.Gbk());
        }
    }
    EXPECT_TRUE(ContextMenuState().Label(kCmdGenerateKey).Translatable());
}
