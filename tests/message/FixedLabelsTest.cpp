// The split of a tree line into its fixed label and what a command or the user wrote: the
// window translates only the label, so the label must give back the stored text exactly and
// must never swallow a user's text.
#include <gtest/gtest.h>

#include <string>

#include "book/Book.h"
#include "book/Records.h"
#include "message/DetailRows.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

void ExpectSplitsBack(const Book& b, Node parent)
{
    for (int i = 0; i < static_cast<int>(b.ChildCount(parent)); ++i) {
        const Node n = b.ChildAt(parent, i);
        const auto line = SplitFixedLabel(b.Kind(n), b.Text(n));
        ASSERT_TRUE(line) << Utf8(b.Text(n));
        EXPECT_TRUE(line->label.Translatable());
        EXPECT_EQ(line->label.Gbk() + line->rest, b.Text(n)) << Utf8(b.Text(n));
        ExpectSplitsBack(b, n);
    }
}

}  // namespace

TEST(FixedLabels, EveryLineOfANewRecordAndAWrittenRow)
{
    Book b;
    const Node dir = b.Insert(Node{}, ItemKind::Directory, "D");
    const Node key = AddRecord(b, dir, KindCode(ItemKind::Key), Gbk("我的1"), 1767225600);
    ASSERT_TRUE(key);
    ExpectSplitsBack(b, key);

    // Rows as the protect command writes them: other labels, counts past four digits.
    ASSERT_TRUE(ShowDetailRow(b, key, 32, 123456, Gbk("值: 12")));
    ASSERT_TRUE(ShowDetailRow(b, key, 41, 7, ""));
    ExpectSplitsBack(b, key);
    const auto row = SplitFixedLabel(32, DetailRowText(32, 123456, Gbk("值: 12")));
    ASSERT_TRUE(row);
    ASSERT_EQ(row->label.args.size(), 1u);
    EXPECT_EQ(row->label.args[0], "123456");
    EXPECT_EQ(row->rest, Gbk("值: 12"));
}

TEST(FixedLabels, TextsWithoutTheirKindsLabelStayWhole)
{
    EXPECT_FALSE(SplitFixedLabel(12, Gbk("输入: x")));              // not the stored label
    EXPECT_FALSE(SplitFixedLabel(12, Gbk("输    入")));              // label cut short
    EXPECT_FALSE(SplitFixedLabel(13, Gbk("输    入: x")));           // another kind's label
    EXPECT_FALSE(SplitFixedLabel(3, Gbk("输    入: x")));            // a lock named like a field
    EXPECT_FALSE(SplitFixedLabel(42, Gbk("正文编码(字节): ")));       // no count
    EXPECT_FALSE(SplitFixedLabel(42, Gbk("正文编码(12a字节): ")));    // not a count
    EXPECT_FALSE(SplitFixedLabel(28, Gbk("正文编码(0000字节): ")));   // another row's label
    EXPECT_FALSE(SplitFixedLabel(27, Gbk("计算后编码细节")));
    EXPECT_FALSE(SplitFixedLabel(-1, ""));
}
