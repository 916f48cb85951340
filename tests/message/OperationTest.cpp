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
