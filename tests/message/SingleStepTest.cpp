#include <gtest/gtest.h>

#include <string>

#include "MessageTesting.h"
#include "book/Queries.h"
#include "message/Protect.h"
#include "message/SingleStep.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

struct Session {
    MessageBook mb;
    Node alice, bob;
    Node aliceKey, bobLock;  // Alice's directory
    Node bobKey, aliceLock;  // Bob's directory
    Session()
    {
        alice = mb.dir;
        bob = mb.AddDirectory("目录B");
        aliceKey = mb.AddKey(alice, "我的", KeyOf(1024, 0));
        bobLock = mb.AddLock(alice, "鲍勃", KeyOf(1024, 1));
        bobKey = mb.AddKey(bob, "我的", KeyOf(1024, 1));
        aliceLock = mb.AddLock(bob, "爱丽丝", KeyOf(1024, 0));
    }
    int Press(Node lock, int sign, int* result = nullptr)
    {
        int r = 0;
        const int rc = StepCommand(mb.tree, lock, sign, r);
        if (result)
            *result = r;
        return rc;
    }
    bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
};

}  // namespace

TEST(SingleStep, FivePressSignAndEncrypt)
{
    Session s;
    MessageBook& mb = s.mb;
    Book& book = mb.tree.book;
    const std::string text = std::string(150, 'x') + Gbk("单步");  // 154 bytes: two signature blocks
    ASSERT_TRUE(mb.Click(s.bobLock));
    mb.SetInput(s.bobLock, text);
    mb.desktop.messages.clear();

    // Press 1: the first signature block.
    ASSERT_EQ(s.Press(s.bobLock, 1), 1);
    EXPECT_TRUE(mb.desktop.messages.empty());
    EXPECT_TRUE(mb.tree.step.active);
    EXPECT_EQ(mb.tree.step.pendingButton, 2);
    EXPECT_EQ(mb.tree.step.signSerial, 0);
    EXPECT_EQ(mb.tree.step.encryptSerial, 2) << "256 signature bytes need three 1024-bit blocks";
    EXPECT_EQ(mb.Field(s.aliceKey, ItemKind::InputField), text);
    EXPECT_TRUE(book.Expanded(FindChildByKind(book, s.aliceKey, ItemKind::PreDetails)));
    EXPECT_TRUE(s.StartsWith(mb.RowText(s.aliceKey, ItemKind::PostTextRow), "后置正文(0256字节): "));
    EXPECT_EQ(mb.RowText(s.aliceKey, ItemKind::SerialRow), "段落序号(0004字节): 00000001");
    EXPECT_EQ(mb.RowText(s.aliceKey, ItemKind::ConsumedRow), "消耗长度(0004字节): 0000006D");
    EXPECT_EQ(mb.RowText(s.aliceKey, ItemKind::PaddingTypeRow), "填充类型(0002字节): 0002");
    EXPECT_TRUE(mb.tree.menusEnabled) << "menus are back between presses";
    EXPECT_EQ(book.Selected(), FindChildByKind(book, s.bobLock, ItemKind::InputField));

    // Press 2: the last signature block.
    ASSERT_EQ(s.Press(s.bobLock, 1), 1);
    EXPECT_EQ(mb.desktop.MessageTexts(), std::vector<std::string>{"单步签字完成!继续按键进行单步加密"});
    EXPECT_EQ(mb.RowText(s.aliceKey, ItemKind::PaddingTypeRow), "填充类型(0000字节): ") << "second block clears the first's rows";
    EXPECT_EQ(mb.RowText(s.aliceKey, ItemKind::ConsumedRow), "消耗长度(0004字节): 0000002D");
    EXPECT_EQ(mb.Field(s.aliceKey, ItemKind::UseCountField), "1");
    EXPECT_TRUE(s.StartsWith(mb.RowText(s.bobLock, ItemKind::MessageRow), "正文编码(0512字节): "));
    EXPECT_EQ(book.Selected(), FindChildByKind(book, FindChildByKind(book, s.bobLock, ItemKind::PreDetails),
                                               ItemKind::MessageRow));

    // Presses 3 to 5: the encryption blocks.
    ASSERT_EQ(s.Press(s.bobLock, 1), 1);
    ASSERT_EQ(s.Press(s.bobLock, 1), 1);
    EXPECT_EQ(mb.desktop.messages.size(), 1u);
    EXPECT_EQ(mb.Output(s.bobLock), "");
    EXPECT_FALSE(book.Expanded(FindChildByKind(book, s.aliceKey, ItemKind::PreDetails)));
    EXPECT_TRUE(book.Expanded(FindChildByKind(book, s.bobLock, ItemKind::PreDetails)));
    ASSERT_EQ(s.Press(s.bobLock, 1), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), "单步签字并加密完成!");
    EXPECT_FALSE(mb.tree.step.active);
    EXPECT_EQ(mb.tree.step.pendingButton, 0);
    EXPECT_EQ(mb.Field(s.bobLock, ItemKind::UseCountField), "1");
    EXPECT_EQ(mb.Field(s.aliceKey, ItemKind::UseCountField), "1");
    EXPECT_EQ(mb.view.activities.back(), kActivityIdle);
    EXPECT_EQ(book.Selected(), FindChildByKind(book, s.bobLock, ItemKind::OutputField));

    // The armored text has the normal command's shape and opens and verifies on Bob's side.
    const std::string armored = mb.Output(s.bobLock);
    EXPECT_EQ(armored.size(), 36u + 3 * 256u);
    std::string digest;
    ASSERT_EQ(ModulusDigest(book, s.aliceKey, digest), 1);
    EXPECT_EQ(armored.substr(0, 36), "SIGN" + digest);
    EXPECT_EQ(mb.RowText(s.bobLock, ItemKind::PostTextRow), "后置正文(0768字节): " + armored.substr(36));
    ASSERT_EQ(mb.Protect(s.bobKey, armored, 0), 1);
    EXPECT_EQ(mb.Output(s.bobKey), text);
    EXPECT_TRUE(s.StartsWith(mb.desktop.LastMessage(), " <爱丽丝> 的签字通过验证, 解密完成!"));

    // The same message through the normal command has the same shape.
    ASSERT_EQ(mb.Protect(s.bobLock, text, 1), 1);
    EXPECT_EQ(mb.Output(s.bobLock).size(), armored.size());
    EXPECT_EQ(mb.Output(s.bobLock).substr(0, 36), armored.substr(0, 36));
}

TEST(SingleStep, OneBlockAndRestarts)
{
    Session s;
    MessageBook& mb = s.mb;
    // One block without signature completes on the first press.
    ASSERT_TRUE(mb.Click(s.bobLock));
    mb.SetInput(s.bobLock, "abc");
    ASSERT_EQ(s.Press(s.bobLock, 0), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), "单步加密完成!");
    EXPECT_FALSE(mb.tree.step.active);
    const std::string armored = mb.Output(s.bobLock);
    EXPECT_EQ(armored.substr(0, 36), "N_SI" + std::string(32, 'F'));
    EXPECT_EQ(mb.RowText(s.bobLock, ItemKind::MessageRow), "正文编码(0003字节): 616263");
    ASSERT_EQ(mb.Protect(s.bobKey, armored, 0), 1);
    EXPECT_EQ(mb.Output(s.bobKey), "abc");

    // An empty input is refused and leaves no session: the next press starts afresh.
    mb.Click(s.bobLock);
    mb.SetInput(s.bobLock, "");
    int result = 0;
    EXPECT_EQ(s.Press(s.bobLock, 1, &result), -1);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(mb.desktop.LastMessage(), "输入不能为空");
    EXPECT_FALSE(mb.tree.step.active);
    EXPECT_EQ(mb.tree.step.pendingButton, 0);
    mb.SetInput(s.bobLock, "again");
    ASSERT_EQ(s.Press(s.bobLock, 0), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), "单步加密完成!");

    // No own key to sign with: the key message, and no session.
    Node second = mb.AddKey(s.alice, "第二", KeyOf(1024, 2));
    mb.Click(s.bobLock);
    EXPECT_EQ(s.Press(s.bobLock, 1), -1);
    EXPECT_EQ(mb.desktop.LastMessage(), "若要签字, 要求同一目录下必须有唯一 <钥匙> 项目!2");
    EXPECT_FALSE(mb.tree.step.active);
    mb.tree.book.Remove(second);

    // The normal command ends a running session.
    const std::string longText(400, 'L');
    mb.Click(s.bobLock);
    mb.SetInput(s.bobLock, longText);
    ASSERT_EQ(s.Press(s.bobLock, 0), 1);
    EXPECT_TRUE(mb.tree.step.active);
    EXPECT_EQ(mb.tree.step.pendingButton, 1);
    int r = 0;
    ASSERT_EQ(ProtectRecord(mb.tree, s.bobLock, 0, r), 1);
    EXPECT_FALSE(mb.tree.step.active);
    EXPECT_EQ(mb.tree.step.pendingButton, 0);

    // A press for another lock ends the running session and starts one for that lock, with its
    // own key even if the first engine was loaded with something else in between.
    const Node carol = mb.AddLock(s.alice, "卡罗尔", KeyOf(1024, 2));
    mb.Click(s.bobLock);
    ASSERT_EQ(s.Press(s.bobLock, 0), 1);
    mb.Click(carol);
    mb.SetInput(carol, "for carol");
    ASSERT_EQ(s.Press(carol, 0), 1);
    EXPECT_EQ(mb.desktop.LastMessage(), "单步加密完成!");
    const Node carolKey = mb.AddKey(s.bob, "卡罗尔的", KeyOf(1024, 2));
    ASSERT_EQ(mb.Protect(carolKey, mb.Output(carol), 0), 1);
    EXPECT_EQ(mb.Output(carolKey), "for carol");

    // Between presses the user may click elsewhere or regenerate the first engine's key: the
    // session keeps encrypting with the lock it started with.
    mb.Click(s.bobLock);
    mb.SetInput(s.bobLock, longText);
    ASSERT_EQ(s.Press(s.bobLock, 0), 1);
    mb.Click(carol);
    mb.tree.engine[0].N.Release();
    mb.tree.clickedItem = FindChildByKind(mb.tree.book, s.bobLock, ItemKind::InputField);
    for (int press = 0; press < 3; ++press)
        ASSERT_EQ(s.Press(s.bobLock, 0), 1);
    ASSERT_EQ(mb.desktop.LastMessage(), "单步加密完成!");
    ASSERT_EQ(mb.Protect(s.bobKey, mb.Output(s.bobLock), 0), 1);
    EXPECT_EQ(mb.Output(s.bobKey), longText);
}

TEST(SingleStep, BlockSpan)
{
    Session s;
    MessageBook& mb = s.mb;
    Book& book = mb.tree.book;
    const Node group = FindChildByKind(book, s.bobLock, ItemKind::PreDetails);
    const Node input = FindChildByKind(book, s.bobLock, ItemKind::InputField);
    const Node serialRow = FindChildByKind(book, group, ItemKind::SerialRow);
    std::uint32_t offset = 99, length = 99;

    // Fresh rows: the start, nothing carried.
    ASSERT_EQ(BlockSpan(book, offset, length, input, 2), 1);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(length, 0u);

    // 400 bytes in 1024-bit blocks: 109 + 119 + 119 + 53; walk the blocks one press at a time.
    const std::string text(400, 'q');
    mb.Click(s.bobLock);
    mb.SetInput(s.bobLock, text);
    const std::uint32_t offsets[] = {0, 109, 228, 347};
    const std::uint32_t lengths[] = {109, 119, 119, 53};
    for (int block = 0; block < 4; ++block) {
        ASSERT_EQ(s.Press(s.bobLock, 0), 1);
        ASSERT_EQ(BlockSpan(book, offset, length, serialRow, 1), 1);
        EXPECT_EQ(offset, offsets[block]) << block;
        EXPECT_EQ(length, lengths[block]) << block;
        ASSERT_EQ(BlockSpan(book, offset, length, input, 2), 1);
        EXPECT_EQ(offset, offsets[block]) << block;
    }
    // Lines that do not belong to a lock's or key's first group.
    EXPECT_EQ(BlockSpan(book, offset, length, s.bobLock, 1), -1);
    EXPECT_EQ(BlockSpan(book, offset, length, FindChildByKind(book, FindChildByKind(book, s.bobLock, ItemKind::PostDetails), ItemKind::PostTextRow), 1), -1);
    EXPECT_EQ(BlockSpan(book, offset, length, s.alice, 2), -1);
    // A strength line that gives no usable size still yields a span at the start.
    SetField(book, s.bobLock, KindCode(ItemKind::StrengthField), "?");
    ASSERT_EQ(BlockSpan(book, offset, length, serialRow, 1), 1);
    EXPECT_EQ(offset, 0u);
}
