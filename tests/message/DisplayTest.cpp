#include <gtest/gtest.h>

#include <string>

#include "MessageTesting.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "message/ArmoredText.h"
#include "message/Boxes.h"
#include "message/Display.h"
#include "platform/Text.h"
#include "support/PhraseTesting.h"

using namespace morvane;

namespace {

// The main window's side of a click: the display it keeps, updated by each line shown.
struct Window {
    MessageBook mb;
    LineDisplay display;
    int columns = 40;
    int lastResult = 0;

    Window()
    {
        mb.view.onShowLine = [this](KeyTree& tree, Node p) {
            lastResult = DescribeLine(tree, p, columns, display);
            return lastResult;
        };
    }
    int Show(Node line)
    {
        (void)SelectionDisplay(mb.tree, line);
        return lastResult;
    }
    Node Line(Node record, ItemKind kind) const { return FindChildByKind(mb.tree.book, record, kind); }
    Node Row(Node record, ItemKind group, ItemKind row) const { return Line(Line(record, group), row); }
    std::string Utf(const std::string& gbk) const { return Utf8(gbk); }
    std::string Utf(const Phrase& text) const { return Utf8(text); }
};

}  // namespace

TEST(Display, ActionLinesOfLockAndKey)
{
    Window w;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(1024, 1));
    const Node key = w.mb.AddKey(w.mb.dir, "我的", KeyOf(1024, 0));

    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::InputField)), 0);
    EXPECT_EQ(w.Utf(w.display.button1Label), "加 密");
    EXPECT_EQ(w.Utf(w.display.button2Label), "签字后加密");
    EXPECT_EQ(w.Utf(w.display.checkLabel), "单步运算");
    EXPECT_TRUE(w.display.button1Enabled && w.display.button2Enabled && w.display.checkEnabled);
    EXPECT_TRUE(w.display.input.visible && w.display.input.programSet);
    EXPECT_FALSE(w.display.output.visible || w.display.selectorVisible);
    EXPECT_EQ(w.mb.tree.clickedItem, w.Line(lock, ItemKind::InputField));
    EXPECT_EQ(w.Utf(w.mb.tree.clickedLineLabel), "输    入: ");
    // The engine holds the clicked lock.
    EXPECT_EQ(w.mb.tree.engine[0].N.ToString(16), std::string(KeyOf(1024, 1).n));

    // A key offers decryption only, even after a lock had both buttons on.
    ASSERT_EQ(w.Show(w.Line(key, ItemKind::InputField)), 0);
    EXPECT_EQ(w.Utf(w.display.button1Label), "解 密");
    EXPECT_EQ(w.display.button2Label, "");
    EXPECT_EQ(w.display.checkLabel, "");
    EXPECT_TRUE(w.display.button1Enabled);
    EXPECT_FALSE(w.display.button2Enabled || w.display.checkEnabled);
    EXPECT_TRUE(w.mb.desktop.messages.empty());
}

TEST(Display, PendingSingleStepAndRunningComputations)
{
    Window w;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(512, 0));
    const Node input = w.Line(lock, ItemKind::InputField);

    w.mb.tree.step.pendingButton = 2;
    w.Show(input);
    EXPECT_FALSE(w.display.button1Enabled);
    EXPECT_TRUE(w.display.button2Enabled && w.display.checkEnabled);
    w.mb.tree.step.pendingButton = 1;
    w.Show(input);
    EXPECT_TRUE(w.display.button1Enabled);
    EXPECT_FALSE(w.display.button2Enabled);
    w.mb.tree.step.pendingButton = 0;

    // While a key is generated, or random data collected, the lock's labels show but its
    // buttons are off, whatever the line before left them at.
    w.Show(input);
    ASSERT_TRUE(w.display.button1Enabled);
    w.mb.tree.keygen.busy = true;
    ASSERT_EQ(w.Show(input), 0);
    EXPECT_EQ(w.Utf(w.display.button1Label), "加 密");
    EXPECT_EQ(w.Utf(w.display.button2Label), "签字后加密");
    EXPECT_FALSE(w.display.button1Enabled || w.display.button2Enabled || w.display.checkEnabled);
    w.mb.tree.keygen.busy = false;
    w.mb.tree.collection.running = true;
    w.Show(input);
    EXPECT_FALSE(w.display.button1Enabled || w.display.button2Enabled || w.display.checkEnabled);
    w.mb.tree.collection.running = false;

    // A lock whose N is shorter than its strength line says is refused with the check's message.
    const Node shortLock = w.mb.AddLock(w.mb.dir, "短", KeyOf(512, 1));
    SetField(w.mb.tree.book, shortLock, KindCode(ItemKind::StrengthField), StrengthValue(1024));
    w.Show(input);
    ASSERT_TRUE(w.display.button1Enabled);
    ASSERT_EQ(w.Show(w.Line(shortLock, ItemKind::InputField)), 0);
    EXPECT_EQ(w.mb.desktop.LastMessage(), "密码数据不全, 重新设定密码数据");
    EXPECT_FALSE(w.display.button1Enabled || w.display.button2Enabled || w.display.checkEnabled);
}

TEST(Display, DirectoryAfterAnActionLine)
{
    Window w;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(512, 0));
    const std::string longName = "一个名字很长很长的目录, 超过三十个字节的显示标签";
    const Node dir = w.mb.AddDirectory(longName);
    w.Show(w.Line(lock, ItemKind::InputField));
    ASSERT_TRUE(w.display.button1Enabled);

    ASSERT_EQ(w.Show(dir), 0);
    EXPECT_FALSE(w.display.button1Enabled || w.display.button2Enabled || w.display.checkEnabled);
    EXPECT_EQ(w.display.button1Label.Gbk() + w.display.button2Label.Gbk() + w.display.checkLabel.Gbk(), "");
    // The whole name, not the tree's cut label.
    EXPECT_EQ(w.Utf(w.display.input.text), longName);
    EXPECT_EQ(w.Utf(w.mb.tree.clickedLineText), longName);
    EXPECT_EQ(w.mb.tree.clickedLineLabel, "");
    EXPECT_TRUE(w.display.input.visible && w.display.input.programSet && w.display.input.enabled);
    EXPECT_FALSE(w.display.output.visible || w.display.selectorVisible);
}

TEST(Display, StrengthLineOfA2048BitKey)
{
    Window w;
    const Node key = w.mb.AddKey(w.mb.dir, "我的", KeyOf(2048, 0));
    w.Show(w.Line(key, ItemKind::InputField));
    ASSERT_TRUE(w.display.button1Enabled);

    ASSERT_EQ(w.Show(w.Line(key, ItemKind::StrengthField)), 0);
    EXPECT_TRUE(w.display.selectorVisible);
    EXPECT_EQ(w.display.selectorIndex, 2);
    EXPECT_EQ(w.Utf(StrengthEntry(w.display.selectorIndex)), "强   2048 Bits");
    EXPECT_FALSE(w.display.input.visible || w.display.output.visible);
    // The buttons stay as they were; only the labels go.
    EXPECT_TRUE(w.display.button1Enabled);
    EXPECT_EQ(w.display.button1Label, "");
    EXPECT_EQ(w.Utf(w.mb.tree.clickedLineLabel), "强    度: ");

    // A strength that is none of the four cannot be shown.
    SetField(w.mb.tree.book, key, KindCode(ItemKind::StrengthField), "1000Bits");
    EXPECT_EQ(w.Show(w.Line(key, ItemKind::StrengthField)), -1);
    EXPECT_EQ(w.mb.tree.clickedItem, Node{});
}

TEST(Display, FieldLinesAndALocksArmoredOutput)
{
    Window w;
    Book& book = w.mb.tree.book;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(512, 0));

    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::DateField)), 0);
    EXPECT_TRUE(w.display.input.visible);
    EXPECT_FALSE(w.display.input.enabled);
    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::NoteField)), 0);
    EXPECT_TRUE(w.display.input.enabled);

    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::ModulusField)), 0);
    EXPECT_TRUE(w.display.output.visible && w.display.output.programSet);
    EXPECT_FALSE(w.display.input.visible);
    EXPECT_EQ(w.display.output.text, KeyOf(512, 0).n);

    const std::string armored = "N_SI" + kNoSigner + std::string(128, 'A');
    SetField(book, lock, KindCode(ItemKind::OutputField), armored);
    w.columns = 50;
    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::OutputField)), 0);
    const std::string stars(50, '*');
    ASSERT_EQ(w.display.input.text.substr(0, 52), stars + "\r\n");
    EXPECT_EQ(w.display.input.text.substr(52, 52), armored.substr(0, 50) + "\r\n");
    std::string cleaned = w.display.input.text;
    ASSERT_EQ(CleanArmoredText(cleaned), 1);
    EXPECT_EQ(cleaned, armored);
    // The line keeps the bare text.
    EXPECT_EQ(w.mb.Output(lock), armored);

    // Text that is not armored, typed into the line, can still be shown and mended.
    SetField(book, lock, KindCode(ItemKind::OutputField), "x");
    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::OutputField)), 0);
    EXPECT_EQ(w.display.input.text, "x");
    // A key's output is shown as it is.
    const Node key = w.mb.AddKey(w.mb.dir, "我的", KeyOf(512, 1));
    SetField(book, key, KindCode(ItemKind::OutputField), armored);
    w.Show(w.Line(key, ItemKind::OutputField));
    EXPECT_EQ(w.display.input.text, armored);
}

TEST(Display, DetailLinesSelectTheirPart)
{
    Window w;
    Book& book = w.mb.tree.book;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(512, 0));
    w.mb.AddKey(w.mb.dir, "我的", KeyOf(512, 1));
    // Two blocks of a 512-bit lock (45 and 55 bytes): the rows show the second.
    ASSERT_EQ(w.mb.Protect(lock, std::string(100, 'm'), 0), 1);
    const std::string output = w.mb.Output(lock);

    // Rows 39 to 41 are the parts of the armored text.
    ASSERT_EQ(w.Show(w.Row(lock, ItemKind::PostDetails, ItemKind::DigestRow)), 0);
    EXPECT_TRUE(w.display.output.visible);
    EXPECT_FALSE(w.display.input.visible);
    EXPECT_EQ(w.display.output.text, output);
    EXPECT_TRUE(w.display.output.hasSelection);
    EXPECT_EQ(w.display.output.selStart, 4u);
    EXPECT_EQ(w.display.output.selLength, 32u);
    EXPECT_FALSE(w.display.output.programSet);

    // Row 42 (the message in hex) selects what the shown block carried, in hex digits.
    ASSERT_EQ(w.Show(w.Row(lock, ItemKind::PreDetails, ItemKind::MessageRow)), 0);
    EXPECT_TRUE(w.display.output.hasSelection);
    EXPECT_EQ(w.display.output.selStart, 2u * 45);
    EXPECT_EQ(w.display.output.selLength, 2u * 55);

    // The lock's input line selects the same part of the message.
    ASSERT_EQ(w.Show(w.Line(lock, ItemKind::InputField)), 0);
    EXPECT_TRUE(w.display.input.hasSelection);
    EXPECT_EQ(w.display.input.selStart, 45u);
    EXPECT_EQ(w.display.input.selLength, 55u);

    // A field of a first block is a part of row 37, the block as a whole.
    ASSERT_EQ(w.mb.Protect(lock, std::string(20, 'm'), 0), 1);
    const Node blockRow = w.Row(lock, ItemKind::PreDetails, ItemKind::BlockNumberRow);
    const std::string block = book.Text(blockRow).substr(book.Text(blockRow).find("): ") + 3);
    ASSERT_EQ(w.Show(w.Row(lock, ItemKind::PreDetails, ItemKind::TotalLengthRow)), 0);
    EXPECT_EQ(w.display.output.text, block);
    ASSERT_TRUE(w.display.output.hasSelection);
    EXPECT_EQ(w.display.output.selStart, 2u + 4 + 4 + 4);
    EXPECT_EQ(w.display.output.text.substr(w.display.output.selStart, w.display.output.selLength), "00000014");

    // A row whose value is not where the reference has it shows just its value.
    FieldLine md5;
    ASSERT_EQ(GetField(book, w.Line(lock, ItemKind::PostDetails), KindCode(ItemKind::DigestRow), md5), 1);
    book.SetText(md5.node, md5.label + "0123");
    ASSERT_EQ(w.Show(md5.node), 0);
    EXPECT_EQ(w.display.output.text, "0123");
    EXPECT_FALSE(w.display.output.hasSelection);
}

TEST(Display, AFailedDisplayLeavesNoLineToWriteInto)
{
    Window w;
    Book& book = w.mb.tree.book;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(512, 0));
    const Node note = w.Line(lock, ItemKind::NoteField);
    ASSERT_EQ(w.Show(note), 0);
    const std::string noteText = book.Text(note);

    // An N that is not a number makes the action line's key check fail.
    SetField(book, lock, KindCode(ItemKind::ModulusField), "xyz");
    EXPECT_EQ(w.Show(w.Line(lock, ItemKind::InputField)), -1);
    EXPECT_EQ(w.mb.tree.clickedItem, Node{});
    EXPECT_EQ(BoxTextChanged(w.mb.tree, true, "typed"), BoxChange::Ignored);
    EXPECT_EQ(book.Text(note), noteText);
    EXPECT_EQ(book.Text(w.Line(lock, ItemKind::InputField)), Gbk("输    入: "));
}

// Lines of a private key's record (output, private numbers, detail rows, the record's own
// line) are marked secret for the clipboard; a lock's and a directory's are not.
TEST(Display, KeyLinesAreSecretLockLinesAreNot)
{
    Window w;
    const Node lock = w.mb.AddLock(w.mb.dir, "对方", KeyOf(1024, 1));
    const Node key = w.mb.AddKey(w.mb.dir, "我的", KeyOf(1024, 0));
    for (Node secret : {w.Line(key, ItemKind::OutputField), w.Line(key, ItemKind::PrivateExponentField),
                        w.Row(key, ItemKind::PreDetails, ItemKind::BlockTextRow), key}) {
        ASSERT_EQ(w.Show(secret), 0);
        EXPECT_TRUE(w.display.input.visible ? w.display.input.secret : w.display.output.secret)
            << w.Utf(w.mb.tree.book.Text(secret));
    }
    for (Node plain : {w.Line(lock, ItemKind::OutputField), w.Line(lock, ItemKind::ModulusField),
                       w.Row(lock, ItemKind::PostDetails, ItemKind::DigestRow), w.mb.dir}) {
        ASSERT_EQ(w.Show(plain), 0);
        EXPECT_FALSE(w.display.input.secret || w.display.output.secret) << w.Utf(w.mb.tree.book.Text(plain));
    }
}
