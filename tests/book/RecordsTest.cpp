#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "book/Book.h"
#include "book/Records.h"
#include "platform/Text.h"
#include "support/BookTesting.h"

using namespace morvane;

TEST(Records, LockAndKeyFieldLines)
{
    Book b;
    Node dir = b.Insert(Node{}, ItemKind::Directory, "D");
    const std::time_t when = 1767225600;
    Node lock = AddRecord(b, dir, KindCode(ItemKind::Lock), Gbk("对方1"), when);
    Node key = AddRecord(b, dir, KindCode(ItemKind::Key), Gbk("我的1"), when);
    ASSERT_TRUE(lock && key);

    const std::vector<std::int32_t> lockKinds{12, 27, 38, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
    std::vector<std::int32_t> keyKinds = lockKinds;
    keyKinds.insert(keyKinds.end(), {23, 24, 25, 26});
    EXPECT_EQ(ChildKinds(b, lock), lockKinds);
    EXPECT_EQ(ChildKinds(b, key), keyKinds);

    const std::string date = FormatDate(when);
    ASSERT_EQ(date.size(), 19u);
    const std::vector<std::string> keyTexts{
        "输    入: ", "计算前编码细节", "计算后编码细节", "输    出: ", "序    号: ", "身    份: ",
        "电    邮: ", "使用次数: 0", "强    度: 中 1024Bits", "使用日期: " + date,
        "附加说明: 在哪里, 为了谁公布", "N     值: ", "E     值: 10001", "D     值: ", "P     值: ",
        "Q     值: ", "U     值: "};
    EXPECT_EQ(ChildTextsUtf8(b, key), keyTexts);

    Node pre = b.NextSibling(b.FirstChild(lock));
    Node post = b.NextSibling(pre);
    EXPECT_EQ(ChildKinds(b, pre), (std::vector<std::int32_t>{42, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37}));
    EXPECT_EQ(ChildKinds(b, post), (std::vector<std::int32_t>{39, 40, 41}));
    EXPECT_EQ(ChildTextsUtf8(b, post),
              (std::vector<std::string>{"签字标志(0000字节): ", "MD5值   (0000字节): ", " 后置正文(0000字节): "}));
    EXPECT_EQ(Utf8(b.Text(b.FirstChild(pre))), "正文编码(0000字节): ");
    EXPECT_EQ(Utf8(InitialDetailText(32)), "明文长度(0000字节): ");
    EXPECT_EQ(b.NodeCount(), 1u + 2 * (1 + 11 + 3) + 13 + 17);

    // Kinds 5 and 6 take the key's lines; nothing else takes lines.
    EXPECT_EQ(FieldLineCount(5), 17);
    EXPECT_EQ(FieldLineCount(6), 17);
    EXPECT_EQ(AddRecord(b, dir, KindCode(ItemKind::Directory), "x", when), Node{});
    EXPECT_EQ(AddRecord(b, dir, KindCode(ItemKind::AltDirectory), "x", when), Node{});
    EXPECT_EQ(AddFieldLines(b, dir, when), -1);
    EXPECT_EQ(ChildKinds(b, dir).size(), 2u);
}

TEST(Records, SampleAndEmptyBooks)
{
    Book b;
    Node root = BuildSampleBook(b);
    ASSERT_TRUE(root);
    EXPECT_EQ(Utf8(b.Text(root)), "加密通讯薄");
    EXPECT_EQ(b.Kind(root), 1);
    EXPECT_EQ(ChildTextsUtf8(b, root), (std::vector<std::string>{"目录A", "目录B"}));
    EXPECT_EQ(b.Selected(), root);
    EXPECT_TRUE(b.Expanded(root));
    Node a = b.FirstChild(root);
    EXPECT_TRUE(b.Expanded(a));
    EXPECT_EQ(ChildTextsUtf8(b, a), (std::vector<std::string>{"对方1", "我的1"}));
    EXPECT_EQ(ChildKinds(b, a), (std::vector<std::int32_t>{3, 4}));
    EXPECT_EQ(ChildTextsUtf8(b, b.NextSibling(a)), (std::vector<std::string>{"对方2", "我的2"}));
    // The sample's date, note and exponent lines hold their labels only.
    Node lock = b.FirstChild(a);
    std::vector<std::string> texts = ChildTextsUtf8(b, lock);
    ASSERT_EQ(texts.size(), 13u);
    EXPECT_EQ(texts[7], "使用次数: 0");
    EXPECT_EQ(texts[8], "强    度: 中 1024Bits");
    EXPECT_EQ(texts[9], "使用日期: ");
    EXPECT_EQ(texts[10], "附加说明: ");
    EXPECT_EQ(texts[12], "E     值: ");
    EXPECT_EQ(b.NodeCount(), 3u + 4 * (1 + 14) + 2 * (13 + 17));

    Book e;
    Node only = BuildEmptyBook(e);
    EXPECT_EQ(e.NodeCount(), 1u);
    EXPECT_EQ(e.Kind(only), 1);
    EXPECT_EQ(Utf8(e.Text(only)), "密钥通讯薄");
}
