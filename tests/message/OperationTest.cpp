#include <gtest/gtest.h>

#include "MessageTesting.h"
#include "message/Operation.h"
#include "platform/Text.h"

using namespace morvane;

// Ticking the box while a run is pending keeps only the button that started it: pressing
// the other one would start a different message in the middle of the run.
TEST(Operation, SingleStepBoxOffersThePendingRunsButton)
{
    KeyTree tree;
    EXPECT_EQ(ToggleSingleStep(tree), (OperationButtons{true, true}));
    EXPECT_TRUE(tree.singleStep);
    EXPECT_EQ(ToggleSingleStep(tree), (OperationButtons{true, true}));
    EXPECT_FALSE(tree.singleStep);

    tree.step.pendingButton = 2;
    EXPECT_EQ(ToggleSingleStep(tree), (OperationButtons{false, true}));
    EXPECT_EQ(ToggleSingleStep(tree), (OperationButtons{true, true})) << "unticked: both again";
    tree.step.pendingButton = 1;
    EXPECT_EQ(ToggleSingleStep(tree), (OperationButtons{true, false}));
}

// The box decides between a single-step press and the whole command, and only for a lock:
// a key's button always decrypts at once.
TEST(Operation, RunsStepOnlyForATickedLock)
{
    MessageBook mb;
    const Node key = mb.AddKey(mb.dir, "我的", KeyOf(512, 0));
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
    EXPECT_EQ(RunOperation(mb.tree, 0), -1) << "nothing clicked";

    ASSERT_TRUE(mb.Click(lock));
    const std::string text = std::string(150, 'x') + Gbk("你好");  // several 512-bit blocks
    mb.SetInput(lock, text);
    mb.tree.singleStep = true;
    ASSERT_EQ(RunOperation(mb.tree, 0), 1);
    EXPECT_TRUE(mb.tree.step.active);
    EXPECT_EQ(mb.tree.step.pendingButton, 1);
    EXPECT_EQ(mb.Output(lock), "") << "one block only, nothing written yet";

    mb.tree.singleStep = false;
    ASSERT_TRUE(mb.Click(lock));
    ASSERT_EQ(RunOperation(mb.tree, 0), 1);
    EXPECT_FALSE(mb.tree.step.active) << "the whole command ends the pending run";
    const std::string armored = mb.Output(lock);
    ASSERT_FALSE(armored.empty());

    mb.tree.singleStep = true;
    ASSERT_TRUE(mb.Click(key));
    mb.SetInput(key, armored);
    ASSERT_EQ(RunOperation(mb.tree, 0), 1);
    EXPECT_FALSE(mb.tree.step.active);
    EXPECT_EQ(mb.Output(key), text);
}

// A pasted text with a control character would be refused as no text by the receiver: it is
// not encrypted, whether at once or step by step, and the box keeps it for mending.
TEST(Operation, RefusesToEncryptControlCharacters)
{
    MessageBook mb;
    const Node lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
    for (bool step : {false, true}) {
        for (const std::string& text : {Gbk("你好\x01"), std::string("ab\x1b[31m"), std::string("\x81\x30")}) {
            mb.desktop.messages.clear();
            ASSERT_TRUE(mb.Click(lock));
            mb.SetInput(lock, text);
            mb.tree.singleStep = step;
            EXPECT_EQ(RunOperation(mb.tree, 0), 1);
            EXPECT_EQ(mb.desktop.MessageTexts(), std::vector<std::string>{"输入含有控制字符或 GBK 以外的字符, 不能加密!"});
            EXPECT_EQ(mb.desktop.messages.back().icon, MsgIcon::Information);
            EXPECT_FALSE(mb.tree.step.active);
            EXPECT_EQ(mb.Output(lock), "");
            EXPECT_EQ(mb.Field(lock, ItemKind::InputField), text);
        }
    }
    // Tabs, line breaks and characters only GB18030 holds open as text, and are sent.
    mb.tree.singleStep = false;
    ASSERT_TRUE(mb.Click(lock));
    mb.SetInput(lock, Gbk("a\tb\r\n😀"));
    EXPECT_EQ(RunOperation(mb.tree, 0), 1);
    EXPECT_NE(mb.Output(lock), "");
}
