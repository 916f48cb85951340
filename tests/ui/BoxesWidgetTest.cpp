// The text boxes and the strength selector on real widgets, driven by the selection display
// as the main window drives them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>

#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/ArmoredText.h"
#include "message/Boxes.h"
#include "message/Display.h"
#include "book/MainView.h"
#include "message/PublicKeyText.h"
#include "support/ScriptedDesktop.h"
#include "ui/boxes/IoBox.h"
#include "ui/common/QtText.h"
#include "ui/skin/StrengthSelector.h"

using namespace morvane;

namespace {

// A 512-bit modulus (its top bit set) and an exponent, as a correspondent would send them.
const std::string kPeerN = "C" + std::string(127, '3');
const std::string kPeerE = "10001";

// The window's part: both boxes and the selector under one parent, a display kept between
// clicks, and the view the import shows its line through.
class Window : public MainView {
public:
    ScriptedDesktop desktop;
    KeyTree tree{&desktop};
    QWidget pane;
    IoBox input{IoBox::Input, tree, &pane};
    IoBox output{IoBox::Output, tree, &pane};
    StrengthSelector selector{tree, &pane};
    LineDisplay display;
    Node lock, key;

    Window()
    {
        BuildSampleBook(tree.book);
        const Node dir = tree.book.FirstChild(tree.book.FirstRoot());
        lock = FindChildByName(tree.book, dir, Gbk("对方1"), kMaskLock);
        key = FindChildByName(tree.book, dir, Gbk("我的1"), kMaskKey);
        pane.resize(700, 400);
        input.setGeometry(0, 0, 600, 300);
        output.setGeometry(0, 0, 600, 300);
        tree.view = this;
        pane.show();
    }
    void ShowLine(Node line) { (void)SelectionDisplay(tree, line); }
    int ShowLine(KeyTree& t, Node p) override
    {
        const int r = DescribeLine(t, p, input.Columns(), display);
        input.Apply(display.input);
        output.Apply(display.output);
        selector.Apply(display.selectorVisible, display.selectorIndex);
        return r;
    }
    void RepaintLine(Node) override {}
    void ProgressChanged(int) override {}
    void ActivityChanged(ActivityMode) override {}
    void StatusTextChanged(const Phrase&) override {}
    void StartCollectionTimer() override {}
    void StopCollectionTimer() override {}
    Node Line(Node record, ItemKind kind) const { return FindChildByKind(tree.book, record, kind); }
    std::string LineText(Node record, ItemKind kind) const { return Utf8(tree.book.Text(Line(record, kind))); }
};

// What an input method commits: one key event carrying the text (QTest's key helpers take
// ASCII only).
void Type(QWidget* widget, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

QAction* Item(QMenu& menu, BoxCommand command)
{
    for (QAction* a : menu.actions())
        if (a->data().toInt() == static_cast<int>(command))
            return a;
    return nullptr;
}

}  // namespace

TEST(IoBox, TypingIntoALocksInputLineChangesTheLine)
{
    Window w;
    w.ShowLine(w.Line(w.lock, ItemKind::InputField));
    ASSERT_TRUE(w.input.isVisible());
    ASSERT_FALSE(w.output.isVisible());

    Type(&w.input, QString::fromUtf8("你好"));
    QTest::keyClicks(&w.input, QStringLiteral(" Bob"));
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: 你好 Bob");
    QTest::keyClick(&w.input, Qt::Key_Return);
    QTest::keyClicks(&w.input, QStringLiteral("2"));
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: 你好 Bob\r\n2");

    // Showing another line puts its text in without writing anything back.
    w.ShowLine(w.Line(w.lock, ItemKind::NoteField));
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: 你好 Bob\r\n2");
    EXPECT_EQ(w.input.toPlainText(), QString());
    QTest::keyClicks(&w.input, QStringLiteral("note"));
    EXPECT_EQ(w.LineText(w.lock, ItemKind::NoteField), "附加说明: note");
}

TEST(IoBox, APastedPublicKeyAsksAndLeavesTheLine)
{
    Window w;
    const Node input = w.Line(w.lock, ItemKind::InputField);
    w.tree.book.SetText(input, Gbk("输    入: hello"));
    w.ShowLine(input);
    QGuiApplication::clipboard()->setText(ToQt(BuildPublicKeyText(kPeerN, kPeerE)));
    std::unique_ptr<QMenu> menu(w.input.CreateBoxMenu());

    w.desktop.answers = {MsgAnswer::Cancel};
    QAction* paste = Item(*menu, BoxCommand::Paste);
    ASSERT_TRUE(paste && paste->isEnabled());
    paste->trigger();
    EXPECT_EQ(w.desktop.LastMessage(), "发现新公钥, 替换原有公钥吗?");
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: hello");
    EXPECT_EQ(w.LineText(w.lock, ItemKind::ModulusField), "N     值: ");

    // Accepted, the key goes into the lock and its N line is shown.
    w.desktop.answers = {MsgAnswer::Ok};
    w.input.selectAll();
    w.input.paste();
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: hello");
    EXPECT_EQ(w.LineText(w.lock, ItemKind::ModulusField), "N     值: " + kPeerN);
    EXPECT_EQ(w.LineText(w.lock, ItemKind::StrengthField), "强    度: 弱    512 Bits");
    EXPECT_EQ(w.tree.clickedItem, w.Line(w.lock, ItemKind::ModulusField));
    EXPECT_TRUE(w.output.isVisible());
    EXPECT_EQ(w.output.toPlainText(), QString::fromStdString(kPeerN));
}

TEST(IoBox, AResizeReframesAnArmoredOutput)
{
    Window w;
    const std::string armored = "N_SI" + kNoSigner + std::string(256, 'B');
    SetField(w.tree.book, w.lock, KindCode(ItemKind::OutputField), armored);
    w.ShowLine(w.Line(w.lock, ItemKind::OutputField));
    const int wide = w.input.Columns();
    ASSERT_GT(wide, 10);
    EXPECT_EQ(w.input.toPlainText().split(QLatin1Char('\n')).first(), QString(wide, QLatin1Char('*')));

    w.input.resize(300, 300);
    const int narrow = w.input.Columns();
    ASSERT_LT(narrow, wide);
    const QStringList lines = w.input.toPlainText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QString(narrow, QLatin1Char('*')));
    EXPECT_EQ(lines.at(1).size(), narrow);
    // No line runs past the box.
    const QFontMetrics metrics(w.input.font());
    EXPECT_LE(metrics.horizontalAdvance(lines.at(1)), w.input.viewport()->width() - 16);
    std::string cleaned = w.input.Text();
    ASSERT_EQ(CleanArmoredText(cleaned), 1);
    EXPECT_EQ(cleaned, armored);
    // The framing is the box's; the line keeps the bare text.
    EXPECT_EQ(w.LineText(w.lock, ItemKind::OutputField), "输    出: " + armored);

    // A key's output is not armored text of the program's making: it stays as it is.
    SetField(w.tree.book, w.key, KindCode(ItemKind::OutputField), armored);
    w.ShowLine(w.Line(w.key, ItemKind::OutputField));
    w.input.resize(500, 300);
    EXPECT_EQ(w.input.Text(), armored);
}

TEST(IoBox, ContextMenuFollowsClipboardAndSelection)
{
    Window w;
    w.ShowLine(w.Line(w.lock, ItemKind::InputField));
    QTest::keyClicks(&w.input, QStringLiteral("some text"));

    QGuiApplication::clipboard()->clear();
    std::unique_ptr<QMenu> menu(w.input.CreateBoxMenu());
    QStringList labels;
    for (QAction* a : menu->actions())
        labels << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(labels.join(QLatin1Char('|')),
              QString::fromUtf8("UnDo|-|复    制|剪    切|删    除|-|复制全文|剪切全文|删除全文|-|全    选|-|粘    贴|粘贴并删除原文"));
    EXPECT_FALSE(Item(*menu, BoxCommand::Paste)->isEnabled());
    EXPECT_FALSE(Item(*menu, BoxCommand::PasteReplace)->isEnabled());
    for (BoxCommand c : {BoxCommand::Copy, BoxCommand::Cut, BoxCommand::Delete})
        EXPECT_FALSE(Item(*menu, c)->isEnabled());
    for (BoxCommand c : {BoxCommand::CopyAll, BoxCommand::CutAll, BoxCommand::DeleteAll, BoxCommand::SelectAll,
                         BoxCommand::Undo})
        EXPECT_TRUE(Item(*menu, c)->isEnabled());

    // Copy all, then paste over everything: the line holds the text once.
    Item(*menu, BoxCommand::CopyAll)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("some text"));
    menu.reset(w.input.CreateBoxMenu());
    EXPECT_TRUE(Item(*menu, BoxCommand::Copy)->isEnabled());
    EXPECT_TRUE(Item(*menu, BoxCommand::PasteReplace)->isEnabled());
    Item(*menu, BoxCommand::PasteReplace)->trigger();
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: some text");
    // "删除全文" empties the box (and the line) without a selection first.
    w.input.moveCursor(QTextCursor::End);
    menu.reset(w.input.CreateBoxMenu());
    Item(*menu, BoxCommand::DeleteAll)->trigger();
    EXPECT_EQ(w.LineText(w.lock, ItemKind::InputField), "输    入: ");
}

TEST(IoBox, SelectionOfTheShownBlockCountsCharacters)
{
    Window w;
    BoxDisplay d;
    d.visible = true;
    d.text = Gbk("中文\r\nab");
    d.hasSelection = true;
    d.selStart = 3;   // inside "文": from its start
    d.selLength = 4;  // up to and with "a"
    w.input.Apply(d);
    EXPECT_EQ(w.input.textCursor().selectedText(), QString::fromUtf8("文\u2029a"));
    d.selStart = 100;
    d.selLength = 100;
    w.input.Apply(d);
    EXPECT_FALSE(w.input.textCursor().hasSelection());
}

TEST(StrengthSelector, ConfirmationAndTheRememberedEntry)
{
    Window w;
    const Node strength = w.Line(w.key, ItemKind::StrengthField);
    w.ShowLine(strength);
    ASSERT_TRUE(w.selector.isVisible());
    ASSERT_FALSE(w.input.isVisible() || w.output.isVisible());
    EXPECT_EQ(w.selector.currentIndex(), 1);
    EXPECT_EQ(w.selector.currentText(), QString::fromUtf8("中   1024 Bits"));
    int changes = 0;
    QObject::connect(&w.selector, &StrengthSelector::lineChanged, [&] { ++changes; });
    SetField(w.tree.book, w.key, KindCode(ItemKind::ModulusField), "ABCD");

    w.desktop.answers = {MsgAnswer::Cancel};
    w.selector.setCurrentIndex(3);
    Q_EMIT w.selector.activated(3);
    EXPECT_EQ(w.selector.currentIndex(), 1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(w.LineText(w.key, ItemKind::ModulusField), "N     值: ABCD");

    w.desktop.answers = {MsgAnswer::Ok};
    w.selector.setCurrentIndex(3);
    Q_EMIT w.selector.activated(3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(w.selector.Remembered(), 3);
    EXPECT_EQ(w.LineText(w.key, ItemKind::StrengthField), "强    度: 超强 4096Bits");
    EXPECT_EQ(w.LineText(w.key, ItemKind::ModulusField), "N     值: ");
}
