#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "book/AddItem.h"
#include "book/ContextMenu.h"
#include "book/DragDrop.h"
#include "book/Editing.h"
#include "book/FindItems.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "platform/Text.h"
#include "EditingTesting.h"
#include "support/BookTesting.h"
#include "support/PhraseTesting.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

// The sample book ("加密通讯薄" with 目录A: 对方1, 我的1 and 目录B: 对方2, 我的2), with the undo
// queue prepared as at start-up.
struct Env {
    ScriptedDesktop desk;
    RecordingView view;
    KeyTree tree{&desk};
    Book& book = tree.book;
    Node root;

    Env()
    {
        tree.view = &view;
        root = BuildSampleBook(book);
        EXPECT_EQ(PrepareUndo(tree), 1);
    }

    // The node at a path of names (UTF-8) below the root.
    Node At(std::initializer_list<const char*> path) const
    {
        Node n = root;
        for (const char* name : path) {
            Node c = book.FirstChild(n);
            while (c && book.Text(c) != Gbk(name))
                c = book.NextSibling(c);
            if (!c)
                return Node{};
            n = c;
        }
        return n;
    }

    std::vector<std::string> Names(Node parent) const
    {
        std::vector<std::string> v;
        for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
            v.push_back(Utf8(book.Text(c)));
        return v;
    }

    void RightClick(Node n) { ASSERT_TRUE(OpenContextMenu(tree, n).has_value()); }
    Node AddDir(Node parent, const char* name) { return book.Insert(parent, ItemKind::Directory, Gbk(name)); }
};

}  // namespace

TEST(Editing, CopyPasteKeepsTheSelectionAndCopiesArriveUnmarked)
{
    Env e;
    const Node lock = e.At({"目录A", "对方1"});
    const Node dirB = e.At({"目录B"});
    e.RightClick(lock);
    ASSERT_EQ(Copy(e.tree), 1);
    EXPECT_EQ(e.tree.clipboardMode, kClipCopy);
    EXPECT_TRUE(e.book.Marked(lock));
    EXPECT_EQ(e.tree.markedParent, e.At({"目录A"}));

    e.RightClick(dirB);
    EXPECT_TRUE(MenuRules(e.tree, dirB).Enabled(kCmdPaste));
    ASSERT_EQ(Paste(e.tree), 1);
    EXPECT_FALSE(e.tree.contextItem);
    // A second paste needs a new target: the first one cleared the context item.
    EXPECT_EQ(Paste(e.tree), 0);
    e.RightClick(e.root);
    ASSERT_EQ(Paste(e.tree), 1);

    const Node copyB = e.At({"目录B", "对方1"});
    const Node copyRoot = e.At({"对方1"});
    ASSERT_TRUE(copyB);
    ASSERT_TRUE(copyRoot);
    EXPECT_FALSE(e.book.Marked(copyB));
    EXPECT_FALSE(e.book.Marked(copyRoot));
    EXPECT_EQ(e.book.ChildCount(copyB), 13u);
    EXPECT_TRUE(SubtreesEqual(e.book, copyB, e.book, copyRoot));
    // The source stays marked and listed; each paste took a snapshot.
    EXPECT_TRUE(e.book.Marked(lock));
    EXPECT_EQ(e.tree.markedCount, 1);
    ASSERT_TRUE(e.tree.transferList);
    EXPECT_EQ(*e.tree.transferList, ItemList{lock});
    EXPECT_EQ(e.tree.undo.Current(), 3u);

    // Pasting into the directory that already holds the name is a clash.
    e.RightClick(dirB);
    EXPECT_EQ(Paste(e.tree), 0);
    ASSERT_EQ(e.desk.nameClashes.size(), 1u);
    EXPECT_EQ(Utf8(e.desk.nameClashes[0].first), "<锁>:  \"对方1\" 重名");
    EXPECT_EQ(e.desk.nameClashes[0].second, 3);
    EXPECT_EQ(e.book.ChildCount(dirB), 3u);
}

TEST(Editing, CutMovesMarkedSiblingsUnlessANameClashes)
{
    Env e;
    const Node dirA = e.At({"目录A"});
    const Node lock = e.At({"目录A", "对方1"});
    const Node key = e.At({"目录A", "我的1"});
    const Node dirC = e.AddDir(e.root, "目录C");
    AddRecord(e.book, dirC, KindCode(ItemKind::Key), Gbk("我的1"), 0);
    const Node dirD = e.AddDir(e.root, "目录D");
    AddRecord(e.book, dirD, KindCode(ItemKind::Lock), Gbk("我的1"), 0);  // same name, other kind

    e.tree.multiSelect = true;
    EXPECT_EQ(Click(e.tree, lock), ClickResult::Marked);
    EXPECT_EQ(Click(e.tree, key), ClickResult::Marked);
    e.tree.multiSelect = false;
    EXPECT_EQ(e.tree.markedCount, 2);
    e.RightClick(key);
    ASSERT_EQ(Cut(e.tree), 1);
    EXPECT_TRUE(e.book.State(lock) & kStateCut);
    EXPECT_TRUE(e.book.State(key) & kStateCut);

    // Into a directory that holds a key of one of the names: the clash dialog, nothing moves.
    e.RightClick(dirC);
    EXPECT_EQ(Paste(e.tree), 0);
    ASSERT_EQ(e.desk.nameClashes.size(), 1u);
    EXPECT_EQ(Utf8(e.desk.nameClashes[0].first), "<钥匙>:  \"我的1\" 重名");
    EXPECT_EQ(e.book.ChildCount(dirA), 2u);
    EXPECT_EQ(e.tree.markedParent, dirA);
    EXPECT_EQ(e.tree.undo.Current(), 1u);

    // A lock of the same name is no clash: both move, arrive marked and are the selection.
    e.RightClick(dirD);
    ASSERT_EQ(Paste(e.tree), 1);
    EXPECT_EQ(e.book.ChildCount(dirA), 0u);
    EXPECT_FALSE(e.book.Valid(lock));
    EXPECT_EQ(e.Names(dirD), (std::vector<std::string>{"我的1", "对方1", "我的1"}));
    EXPECT_EQ(e.tree.markedParent, dirD);
    EXPECT_EQ(e.tree.markedCount, 2);
    EXPECT_EQ(CountMarkedChildren(e.book, dirD), 2);
    for (Node c = e.book.FirstChild(dirD); c; c = e.book.NextSibling(c))
        EXPECT_FALSE(e.book.State(c) & kStateCut);
    EXPECT_FALSE(e.tree.transferList);
    EXPECT_EQ(e.tree.clipboardMode, kClipNone);
    EXPECT_EQ(e.tree.undo.Current(), 2u);

    // Moving a directory into itself or below itself is refused: nothing is lost.
    const Node inner = e.AddDir(dirC, "内");
    PlainClick(e.tree, dirC);
    e.RightClick(dirC);
    ASSERT_EQ(Cut(e.tree), 1);
    e.tree.contextItem = inner;
    EXPECT_EQ(Paste(e.tree), 0);
    e.tree.contextItem = dirC;
    EXPECT_EQ(Paste(e.tree), 0);
    EXPECT_TRUE(e.book.Valid(dirC));
    EXPECT_TRUE(e.book.Valid(inner));
    // The menu does not offer it either: a cut item cannot receive.
    EXPECT_FALSE(MenuRules(e.tree, dirC).Enabled(kCmdPaste));
    EXPECT_FALSE(CanReceive(e.tree, inner));
}

// When the marked parent lies inside a cut item, its marks travel with the copy: none may stay
// marked below an arriving copy, or a later delete takes an item the user never chose.
TEST(Editing, CutPasteLeavesNoMarkBelowTheArrivingCopies)
{
    {
        Env e;
        const Node dirA = e.At({"目录A"}), dirB = e.At({"目录B"});
        e.RightClick(dirA);
        ASSERT_EQ(Cut(e.tree), 1);
        e.RightClick(dirA);
        AddItemForm form;
        form.FocusName(e.tree);
        form.SetName(e.tree, "X");
        form.ChooseKind(e.tree, kMaskDirectory);
        const Node x = form.Accept(e.tree);
        ASSERT_TRUE(x);
        ASSERT_TRUE(e.book.Marked(x));
        ASSERT_FALSE(e.book.Marked(dirA));
        e.RightClick(dirB);
        ASSERT_TRUE(MenuRules(e.tree, dirB).Enabled(kCmdPaste));
        ASSERT_EQ(Paste(e.tree), 1);

        const Node movedX = e.At({"目录B", "目录A", "X"});
        ASSERT_TRUE(movedX);
        EXPECT_FALSE(e.book.Marked(movedX));
        EXPECT_EQ(e.tree.markedParent, dirB);
        EXPECT_EQ(e.tree.markedCount, 0);

        // A later delete takes only what the user chose.
        e.tree.multiSelect = true;
        EXPECT_EQ(Click(e.tree, e.At({"目录B", "目录A", "对方1"})), ClickResult::Marked);
        e.tree.multiSelect = false;
        EXPECT_EQ(Delete(e.tree), 1);
        EXPECT_EQ(e.desk.LastMessage(), "确认删除选定的 <锁>: \"对方1\"?");
        EXPECT_TRUE(e.book.Valid(movedX));
    }
    {
        Env e;
        const Node dirA = e.At({"目录A"}), dirB = e.At({"目录B"});
        e.RightClick(dirA);
        ASSERT_EQ(Cut(e.tree), 1);
        e.tree.multiSelect = true;
        EXPECT_EQ(Click(e.tree, dirA), ClickResult::Unmarked);
        EXPECT_EQ(Click(e.tree, e.At({"目录A", "对方1"})), ClickResult::Marked);
        e.tree.multiSelect = false;
        e.RightClick(dirB);
        ASSERT_EQ(Paste(e.tree), 1);
        const Node movedLock = e.At({"目录B", "目录A", "对方1"});
        ASSERT_TRUE(movedLock);
        EXPECT_FALSE(e.book.Marked(movedLock));
        EXPECT_EQ(e.tree.markedParent, dirB);
        EXPECT_EQ(e.tree.markedCount, CountMarkedChildren(e.book, dirB));
        for (Node n = e.root; n; n = e.book.NextPreOrder(n))
            EXPECT_TRUE(!e.book.Marked(n) || e.book.Parent(n) == dirB) << Utf8(e.book.Text(n));
    }
}

TEST(Editing, DeleteAsksAndRemoves)
{
    Env e;
    const Node dirA = e.At({"目录A"});
    const Node lock = e.At({"目录A", "对方1"});
    e.RightClick(lock);
    e.desk.answers.push_back(MsgAnswer::No);
    EXPECT_EQ(Delete(e.tree), 0);
    ASSERT_EQ(e.desk.messages.size(), 1u);
    EXPECT_EQ(e.desk.LastMessage(), "确认删除选定的 <锁>: \"对方1\"?");
    EXPECT_EQ(e.desk.messages[0].caption, "Morvane");
    EXPECT_EQ(e.desk.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(e.desk.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(e.book.Valid(lock));
    EXPECT_FALSE(e.tree.transferList);

    EXPECT_EQ(Delete(e.tree), 1);  // the scripted desktop answers Yes
    EXPECT_FALSE(e.book.Valid(lock));
    EXPECT_EQ(e.tree.markedCount, 0);
    EXPECT_EQ(e.tree.undo.Current(), 2u);
    // The emptied selection binds nothing: a copy elsewhere takes the right-clicked item.
    EXPECT_EQ(e.tree.markedParent, dirA);
    const Node keyB = e.At({"目录B", "我的2"});
    e.RightClick(keyB);
    ASSERT_EQ(Copy(e.tree), 1);
    ASSERT_TRUE(e.tree.transferList);
    EXPECT_EQ(*e.tree.transferList, ItemList{keyB});
    PlainClick(e.tree, Node{});

    // Three marked items get the counting question.
    AddRecord(e.book, dirA, KindCode(ItemKind::Lock), "x", 0);
    e.AddDir(dirA, "y");
    e.tree.multiSelect = true;
    for (Node c = e.book.FirstChild(dirA); c; c = e.book.NextSibling(c))
        Click(e.tree, c);
    e.tree.multiSelect = false;
    ASSERT_EQ(e.tree.markedCount, 3);
    EXPECT_EQ(Delete(e.tree), 1);
    EXPECT_EQ(e.desk.LastMessage(), "确认删除选定的 3 个项目?");
    EXPECT_EQ(e.book.ChildCount(dirA), 0u);
    // ... nor is a Ctrl-click under another parent refused.
    e.tree.multiSelect = true;
    EXPECT_EQ(Click(e.tree, keyB), ClickResult::Marked);
    e.tree.multiSelect = false;
    EXPECT_EQ(e.tree.markedParent, e.At({"目录B"}));

    // A marked field line is not deleted, and no question is asked.
    const Node key = e.At({"目录B", "我的2"});
    const Node serial = FindChildByKind(e.book, key, ItemKind::SerialField);
    PlainClick(e.tree, serial);
    e.RightClick(serial);
    const std::size_t asked = e.desk.messages.size();
    EXPECT_EQ(Delete(e.tree), 0);
    EXPECT_EQ(e.desk.messages.size(), asked);
    EXPECT_TRUE(e.book.Valid(serial));
    // ... and it cannot be pasted elsewhere afterwards.
    EXPECT_FALSE(e.tree.transferList);
    e.RightClick(dirA);
    EXPECT_FALSE(MenuRules(e.tree, dirA).Enabled(kCmdPaste));
    EXPECT_EQ(Paste(e.tree), 0);
    EXPECT_EQ(e.book.Parent(serial), key);

    // The book root is never deleted.
    PlainClick(e.tree, Node{});
    e.RightClick(e.root);
    EXPECT_EQ(Delete(e.tree), 0);
    EXPECT_TRUE(e.book.Valid(e.root));
    EXPECT_EQ(e.desk.messages.size(), asked);
}

TEST(Editing, UndoQueueKeepsThreeSnapshots)
{
    Env e;
    const std::string start = Shape(e.book);
    std::vector<std::string> after;
    // Four edits: four added directories.
    for (int i = 0; i < 4; ++i) {
        e.RightClick(e.root);
        AddItemForm form;
        form.FocusName(e.tree);
        form.SetName(e.tree, "d" + std::to_string(i));
        form.ChooseKind(e.tree, kMaskDirectory);
        ASSERT_TRUE(form.Accept(e.tree));
        after.push_back(Shape(e.book));
    }
    CUndoQue& q = e.tree.undo;
    EXPECT_EQ(q.Current(), 3u);
    EXPECT_EQ(q.Top(), 3u);
    EXPECT_TRUE(q.CanUndo());
    EXPECT_FALSE(q.CanRedo());

    ASSERT_EQ(UndoCommand(e.tree), 1);
    EXPECT_EQ(Shape(e.book), after[2]);
    ASSERT_EQ(UndoCommand(e.tree), 1);
    EXPECT_EQ(Shape(e.book), after[1]);
    // The start and the first edit were dropped: nothing further back.
    EXPECT_FALSE(q.CanUndo());
    EXPECT_EQ(UndoCommand(e.tree), -1);
    EXPECT_EQ(q.Current(), 1u);
    EXPECT_EQ(Shape(e.book), after[1]);
    EXPECT_NE(Shape(e.book), start);

    ASSERT_EQ(RedoCommand(e.tree), 1);
    EXPECT_EQ(Shape(e.book), after[2]);
    ASSERT_EQ(UndoCommand(e.tree), 1);
    EXPECT_TRUE(q.CanRedo());
    e.RightClick(e.tree.book.FirstRoot());
    EXPECT_TRUE(MenuRules(e.tree, e.tree.book.FirstRoot()).Enabled(kCmdRedo));

    // A new edit drops what redo could reach.
    e.RightClick(e.book.FirstRoot());
    AddItemForm form;
    form.FocusName(e.tree);
    form.SetName(e.tree, "new");
    form.ChooseKind(e.tree, kMaskKey);
    ASSERT_TRUE(form.Accept(e.tree));
    EXPECT_FALSE(q.CanRedo());
    EXPECT_EQ(RedoCommand(e.tree), -1);
    const auto menu = MenuRules(e.tree, e.book.FirstRoot());
    EXPECT_FALSE(menu.Enabled(kCmdRedo));
    EXPECT_TRUE(menu.Enabled(kCmdUndo));

    // No snapshot without a tree or with a depth of 1; an empty book cannot be taken.
    CUndoQue lone;
    EXPECT_EQ(lone.Push(), -1);
    lone.Bind(&e.tree);
    lone.SetDepth(1);
    EXPECT_EQ(lone.Push(), -1);
    KeyTree empty;
    CUndoQue q2;
    q2.SetDepth(3);
    q2.Bind(&empty);
    EXPECT_EQ(q2.Push(), -1);
    EXPECT_EQ(q2.Current(), 1u);
    EXPECT_TRUE(q2.Slot(1).empty());
}

TEST(Editing, RebuildForgetsEveryHandleOfTheOldBook)
{
    Env e;
    const Node lock = e.At({"目录A", "对方1"});
    e.RightClick(lock);
    EXPECT_EQ(Copy(e.tree), 1);
    e.RightClick(e.At({"目录B"}));
    ASSERT_EQ(Paste(e.tree), 1);
    PlainClick(e.tree, e.At({"目录B", "我的2"}));
    e.RightClick(e.At({"目录B", "我的2"}));
    EXPECT_EQ(Copy(e.tree), 1);
    e.RightClick(e.At({"目录A"}));
    ASSERT_EQ(UndoCommand(e.tree), 1);
    // Nothing kept names a node of the old book; the marking comes from the snapshot.
    EXPECT_FALSE(e.tree.transferList);
    EXPECT_FALSE(e.tree.contextItem);
    EXPECT_FALSE(e.tree.rightClickedItem);
    EXPECT_FALSE(e.tree.clickedItem);
    EXPECT_EQ(e.tree.clipboardMode, kClipNone);
    const Node dirA = e.tree.book.FirstChild(e.tree.book.FirstRoot());
    EXPECT_EQ(e.tree.markedParent, Node{});  // the start-up snapshot had no selection
    EXPECT_EQ(Paste(e.tree), 0);
    ASSERT_EQ(RedoCommand(e.tree), 1);
    EXPECT_EQ(e.tree.markedParent, e.tree.book.FirstChild(e.tree.book.FirstRoot()));
    EXPECT_NE(e.tree.markedParent, dirA);
    EXPECT_EQ(e.tree.markedCount, 1);

    // A stream with marks under several parents (a damaged or foreign book) is mended: the
    // marked parent's marks stay, the others go, and the count is recounted.
    StreamBuilder s;
    s.Record(1, "R", 0, kFlagFirstVisible)
        .Record(2, "A", 0, kFlagMarkedParent)
        .Record(3, "a1", 0, kFlagMarked)
        .Close()
        .Record(3, "a2", 0, kFlagMarked)
        .Close(2)
        .Record(2, "B")
        .Record(3, "b1", 0, kFlagMarked)
        .Close(2)
        .Record(2, "C", 0, kFlagMarked);
    ASSERT_EQ(ReadTreeStream(e.tree, Node{}, s), 1);
    EXPECT_EQ(e.tree.markedCount, 4);
    MendAfterRebuild(e.tree);
    EXPECT_EQ(e.tree.markedCount, 2);
    EXPECT_EQ(e.book.Text(e.tree.markedParent), "A");
    EXPECT_EQ(CountMarkedChildren(e.book, e.book.FirstRoot()), 0);

    // Without a marker the first marked node decides.
    StreamBuilder t;
    t.Record(1, "R", 0, kFlagFirstVisible).Record(2, "A").Record(3, "a1", 0, kFlagMarked).Close(2).Record(2, "B",
                                                                                                       0, kFlagMarked);
    ASSERT_EQ(ReadTreeStream(e.tree, Node{}, t), 1);
    MendAfterRebuild(e.tree);
    EXPECT_EQ(e.book.Text(e.tree.markedParent), "A");
    EXPECT_EQ(e.tree.markedCount, 1);
    EXPECT_FALSE(e.book.Marked(e.book.LastChild(e.book.FirstRoot())));
}

TEST(Editing, SortsOrderByTheirKeysAndToggleDirection)
{
    Env e;
    const Node dir = e.AddDir(e.root, "S");
    AddRecord(e.book, dir, KindCode(ItemKind::Lock), "b", 0);
    AddRecord(e.book, dir, KindCode(ItemKind::Key), Gbk("甲"), 0);
    e.AddDir(dir, "z");
    AddRecord(e.book, dir, KindCode(ItemKind::Key), "a", 0);
    e.AddDir(dir, "y");
    AddRecord(e.book, dir, KindCode(ItemKind::Lock), "c", 0);

    e.RightClick(dir);
    ASSERT_EQ(Sort(e.tree, SortKind::Name), 1);
    EXPECT_TRUE(e.book.Flags(dir) & kFlagSortName);
    // Byte-wise: ASCII before the GBK lead bytes.
    EXPECT_EQ(e.Names(dir), (std::vector<std::string>{"y", "z", "a", "b", "c", "甲"}));
    ASSERT_EQ(Sort(e.tree, SortKind::Name), 1);
    EXPECT_FALSE(e.book.Flags(dir) & kFlagSortName);
    EXPECT_EQ(e.Names(dir), (std::vector<std::string>{"z", "y", "甲", "c", "b", "a"}));

    // By type: higher kind codes first, then names.
    ASSERT_EQ(Sort(e.tree, SortKind::Type), 1);
    EXPECT_EQ(e.Names(dir), (std::vector<std::string>{"a", "甲", "b", "c", "y", "z"}));

    // By strength: directories first by name, larger strengths first, equal ones keep order.
    const Node a = e.At({"S", "a"}), c = e.At({"S", "c"});
    SetField(e.book, a, KindCode(ItemKind::StrengthField), Gbk("超强 4096Bits"));
    SetField(e.book, c, KindCode(ItemKind::StrengthField), Gbk("弱  512Bits"));
    ASSERT_EQ(Sort(e.tree, SortKind::Strength), 1);
    EXPECT_EQ(e.Names(dir), (std::vector<std::string>{"y", "z", "a", "甲", "b", "c"}));
    ASSERT_EQ(Sort(e.tree, SortKind::Strength), 1);
    EXPECT_EQ(e.Names(dir), (std::vector<std::string>{"y", "z", "c", "甲", "b", "a"}));

    // By date: items without lines first, then by the date line.
    e.book.Insert(dir, ItemKind::AltDirectory, "alt");
    SetField(e.book, e.At({"S", "b"}), KindCode(ItemKind::DateField), "2020-01-01 00:00:00");
    SetField(e.book, e.At({"S", "甲"}), KindCode(ItemKind::DateField), "2021-01-01 00:00:00");
    SetField(e.book, a, KindCode(ItemKind::DateField), "2022-01-01 00:00:00");
    SetField(e.book, c, KindCode(ItemKind::DateField), "2023-01-01 00:00:00");
    ASSERT_EQ(Sort(e.tree, SortKind::Date), 1);
    EXPECT_EQ(e.Names(dir), (std::vector<std::string>{"y", "z", "alt", "b", "甲", "a", "c"}));

    // Every comparison is a consistent order, whatever the pair.
    std::vector<Node> kids;
    for (Node n = e.book.FirstChild(dir); n; n = e.book.NextSibling(n))
        kids.push_back(n);
    for (SortKind k : {SortKind::Type, SortKind::Name, SortKind::Strength, SortKind::Date})
        for (int d : {1, -1})
            for (Node x : kids)
                for (Node y : kids) {
                    EXPECT_EQ(CompareForSort(e.book, k, d, x, y), -CompareForSort(e.book, k, d, y, x));
                    if (x == y) {
                        EXPECT_EQ(CompareForSort(e.book, k, d, x, y), 0);
                    }
                }

    // A lock's lines keep their fixed order.
    e.RightClick(c);
    EXPECT_EQ(Sort(e.tree, SortKind::Name), 0);
    EXPECT_EQ(e.book.Kind(e.book.FirstChild(c)), KindCode(ItemKind::InputField));
}

TEST(Editing, ClearTracesResetsOutputAndDetailRows)
{
    Env e;
    const Node lock = e.At({"目录A", "对方1"});
    const Node pre = FindChildByKind(e.book, lock, ItemKind::PreDetails);
    const Node post = FindChildByKind(e.book, lock, ItemKind::PostDetails);
    SetField(e.book, lock, KindCode(ItemKind::OutputField), "ENC");
    const Node row = e.book.FirstChild(pre);
    e.book.SetText(row, Gbk("正文编码(0004字节): 41424344"));
    e.book.SetText(e.book.LastChild(post), Gbk(" 后置正文(0002字节): ab"));
    const std::string keyBefore = Shape(e.book);

    // From a detail row the nearest lock is found.
    e.RightClick(row);
    ASSERT_EQ(ClearTraces(e.tree), 1);
    EXPECT_EQ(Utf8(e.book.Text(FindChildByKind(e.book, lock, ItemKind::OutputField))), "输    出: ");
    EXPECT_EQ(Utf8(e.book.Text(row)), "正文编码(0000字节): ");
    EXPECT_EQ(Utf8(e.book.Text(e.book.LastChild(post))), " 后置正文(0000字节): ");
    EXPECT_EQ(Utf8(e.book.Text(pre)), "计算前编码细节");

    // Outside a lock or key nothing happens.
    e.RightClick(e.At({"目录A"}));
    const std::string before = Shape(e.book);
    EXPECT_EQ(ClearTraces(e.tree), 0);
    EXPECT_EQ(Shape(e.book), before);
}

TEST(Editing, ClicksMarkSiblingsUnderOneParent)
{
    Env e;
    const Node dirA = e.At({"目录A"}), dirB = e.At({"目录B"});
    const Node lock = e.At({"目录A", "对方1"}), key = e.At({"目录A", "我的1"});
    const Node lockB = e.At({"目录B", "对方2"});

    // A plain click on the root marks it at the top level.
    PlainClick(e.tree, e.root);
    EXPECT_EQ(e.view.shownLines.size(), 1u);
    EXPECT_TRUE(e.book.Marked(e.root));
    EXPECT_EQ(e.tree.markedParent, Node{});
    EXPECT_EQ(e.tree.markedCount, 1);
    EXPECT_EQ(e.tree.clickedItem, e.root);

    // Ctrl-clicking unmarks the root first; a field line is ignored.
    e.tree.multiSelect = true;
    EXPECT_EQ(Click(e.tree, FindChildByKind(e.book, lock, ItemKind::InputField)), ClickResult::Ignored);
    EXPECT_TRUE(e.book.Marked(e.root));
    EXPECT_EQ(Click(e.tree, lock), ClickResult::Marked);
    EXPECT_FALSE(e.book.Marked(e.root));
    EXPECT_EQ(e.tree.markedParent, dirA);
    EXPECT_EQ(e.tree.markedCount, 1);
    EXPECT_EQ(Click(e.tree, key), ClickResult::Marked);
    EXPECT_EQ(e.tree.markedCount, 2);

    // Another parent is refused with a message, and Ctrl released meanwhile ends the mode.
    EXPECT_EQ(CtrlClick(e.tree, lockB, [] { return false; }), ClickResult::Refused);
    EXPECT_EQ(e.desk.LastMessage(), "在同一父代下选择项目!");
    EXPECT_EQ(e.desk.messages.back().icon, MsgIcon::Information);
    EXPECT_FALSE(e.tree.multiSelect);
    EXPECT_FALSE(e.book.Marked(lockB));
    EXPECT_EQ(e.tree.markedCount, 2);

    // Unmarking the last one frees the parent: any parent may follow.
    e.tree.multiSelect = true;
    EXPECT_EQ(Click(e.tree, lock), ClickResult::Unmarked);
    EXPECT_EQ(Click(e.tree, key), ClickResult::Unmarked);
    EXPECT_EQ(e.tree.markedCount, 0);
    EXPECT_FALSE(e.tree.markedParent);
    EXPECT_EQ(Click(e.tree, lockB), ClickResult::Marked);
    EXPECT_EQ(e.tree.markedParent, dirB);

    // A plain click on empty space clears the marks and the transfer list.
    e.RightClick(lockB);
    EXPECT_EQ(Cut(e.tree), 1);
    e.tree.multiSelect = false;
    PlainClick(e.tree, Node{});
    EXPECT_FALSE(e.book.Marked(lockB));
    EXPECT_FALSE(e.book.State(lockB) & kStateCut);
    EXPECT_FALSE(e.tree.transferList);
    EXPECT_EQ(e.tree.markedCount, 0);
    EXPECT_FALSE(e.tree.rightClickedItem);
    EXPECT_FALSE(e.tree.contextItem);

    // A failing display leaves the line unmarked.
    e.view.onShowLine = [](KeyTree&, Node) { return -1; };
    PlainClick(e.tree, lock);
    EXPECT_FALSE(e.book.Marked(lock));
    EXPECT_EQ(e.tree.markedCount, 0);
}

TEST(Editing, ContextMenuRules)
{
    Env e;
    const Node key = e.At({"目录A", "我的1"});
    const Node dirA = e.At({"目录A"});

    // Empty space shows no menu; neither does a tree whose menus are disabled.
    e.tree.rightClickedItem = key;
    EXPECT_FALSE(OpenContextMenu(e.tree, Node{}));
    EXPECT_FALSE(e.tree.rightClickedItem);
    e.tree.menusEnabled = false;
    EXPECT_FALSE(OpenContextMenu(e.tree, key));
    e.tree.menusEnabled = true;

    auto m = OpenContextMenu(e.tree, e.root);
    ASSERT_TRUE(m);
    EXPECT_EQ(e.tree.contextItem, e.root);
    for (int id : {kCmdCut, kCmdCopy, kCmdDelete, kCmdCopyHere, kCmdCutHere, kCmdPaste, kCmdUndo, kCmdRedo,
                   kCmdExportKey, kCmdCollectRandom, kCmdGenerateKey})
        EXPECT_FALSE(m->Enabled(id)) << id;
    for (int id : {kCmdFind, kCmdAdd, kCmdSortName, kCmdClearTraces, kCmdAbout, kCmdNewBook, kCmdOpenBook})
        EXPECT_TRUE(m->Enabled(id)) << id;

    // A key while key generation runs.
    e.tree.keygen.busy = true;
    m = OpenContextMenu(e.tree, key);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->Enabled(kCmdGenerateKey));
    EXPECT_EQ(Utf8(m->Label(kCmdGenerateKey)), "停止生成");
    EXPECT_FALSE(m->Enabled(kCmdExportKey));
    EXPECT_FALSE(m->Enabled(kCmdCollectRandom));
    EXPECT_FALSE(m->Enabled(kCmdSortName));
    // The generation turns the menus off; the stop command must still be reachable, and
    // nothing that touches the book or the engines is.
    e.tree.menusEnabled = false;
    for (Node r : {key, e.root}) {
        m = OpenContextMenu(e.tree, r);
        ASSERT_TRUE(m);
        EXPECT_TRUE(m->Enabled(kCmdGenerateKey));
        EXPECT_EQ(Utf8(m->Label(kCmdGenerateKey)), "停止生成");
        for (int id : {kCmdCut, kCmdPaste, kCmdDelete, kCmdUndo, kCmdOpenBook, kCmdNewBook, kCmdSaveBook,
                       kCmdLoginPassword, kCmdExportKey, kCmdCollectRandom, kCmdAdd, kCmdFind})
            EXPECT_FALSE(m->Enabled(id)) << id;
    }
    e.tree.menusEnabled = true;
    e.tree.keygen.busy = false;
    m = OpenContextMenu(e.tree, key);
    EXPECT_EQ(Utf8(m->Label(kCmdGenerateKey)), "生成密钥");
    EXPECT_FALSE(m->Enabled(kCmdGenerateKey));  // no samples collected yet
    EXPECT_TRUE(m->Enabled(kCmdExportKey));
    EXPECT_TRUE(m->Enabled(kCmdCollectRandom));

    // A field line of a key offers the export only.
    const Node n = FindChildByKind(e.book, key, ItemKind::ModulusField);
    m = OpenContextMenu(e.tree, n);
    EXPECT_TRUE(m->Enabled(kCmdExportKey));
    EXPECT_FALSE(m->Enabled(kCmdPaste));
    EXPECT_FALSE(m->Enabled(kCmdCopy));
    m = OpenContextMenu(e.tree, FindChildByKind(e.book, e.At({"目录A", "对方1"}), ItemKind::ModulusField));
    EXPECT_FALSE(m->Enabled(kCmdExportKey));

    // A directory with a selection elsewhere: paste and the here commands.
    PlainClick(e.tree, key);
    e.RightClick(key);
    EXPECT_EQ(Copy(e.tree), 1);
    const Node dirB = e.At({"目录B"});
    m = OpenContextMenu(e.tree, dirB);
    EXPECT_TRUE(m->Enabled(kCmdPaste));
    EXPECT_TRUE(m->Enabled(kCmdCopyHere));
    EXPECT_FALSE(m->Enabled(kCmdCut));
    // ... but not on the marked parent itself.
    m = OpenContextMenu(e.tree, dirA);
    EXPECT_FALSE(m->Enabled(kCmdPaste));
    EXPECT_FALSE(m->Enabled(kCmdCopyHere));

    // Copy to here through the menu command.
    e.RightClick(dirB);
    EXPECT_TRUE(RunEditCommand(e.tree, kCmdCopyHere));
    EXPECT_TRUE(e.At({"目录B", "我的1"}));
    EXPECT_FALSE(e.tree.rightClickedItem);
    EXPECT_FALSE(RunEditCommand(e.tree, kCmdAbout));

    // Layout: the menu's lines and labels.
    int commands = 0;
    for (const MenuLine& line : ContextMenuLayout())
        commands += line.id > 0;
    EXPECT_EQ(commands, 24);
    EXPECT_EQ(Utf8(ContextMenuState().Label(kCmdCutHere)), "将选定项目剪切至此");
}

TEST(Editing, DragAndDropMovesIntoTheNearestContainer)
{
    Env e;
    const Node dirA = e.At({"目录A"}), dirB = e.At({"目录B"});
    const Node lock = e.At({"目录A", "对方1"});
    const Node lockB = e.At({"目录B", "对方2"});
    TreeDrag drag;

    // Field lines and the root are not dragged; nor is anything while menus are disabled.
    EXPECT_FALSE(drag.Begin(e.tree, FindChildByKind(e.book, lock, ItemKind::InputField)));
    EXPECT_FALSE(drag.Begin(e.tree, e.root));
    e.tree.menusEnabled = false;
    EXPECT_FALSE(drag.Begin(e.tree, lock));
    e.tree.menusEnabled = true;

    // Another item marked (not the dragged item's parent): refused, marks kept.
    PlainClick(e.tree, lockB);
    EXPECT_FALSE(drag.Begin(e.tree, lock));
    EXPECT_TRUE(e.book.Marked(lockB));
    // The dragged item's marked parent is unmarked and the drag goes on.
    PlainClick(e.tree, dirA);
    ASSERT_TRUE(drag.Begin(e.tree, lock));
    EXPECT_FALSE(e.book.Marked(dirA));
    EXPECT_EQ(e.tree.markedCount, 0);
    EXPECT_EQ(drag.SourceContainer(), dirA);

    // Dropping on the own directory (or a line of a sibling in it) does nothing.
    EXPECT_EQ(drag.Hover(e.tree, FindChildByKind(e.book, e.At({"目录A", "我的1"}), ItemKind::NoteField)), dirA);
    const std::string before = Shape(e.book);
    EXPECT_EQ(drag.Drop(e.tree), DropResult::None);
    EXPECT_EQ(Shape(e.book), before);
    EXPECT_FALSE(drag.Dragging());

    // Dropping on a lock in another directory moves into that directory.
    ASSERT_TRUE(drag.Begin(e.tree, lock));
    EXPECT_EQ(drag.Hover(e.tree, lockB), dirB);
    EXPECT_EQ(drag.Drop(e.tree), DropResult::Moved);
    EXPECT_FALSE(e.book.Valid(lock));
    const Node moved = e.At({"目录B", "对方1"});
    ASSERT_TRUE(moved);
    EXPECT_TRUE(e.book.Marked(moved));
    EXPECT_EQ(e.tree.markedParent, dirB);
    EXPECT_EQ(e.tree.markedCount, 1);
    EXPECT_TRUE(e.book.Expanded(dirB));
    EXPECT_EQ(e.tree.undo.Current(), 2u);

    // A directory is never dropped into itself or below itself.
    const Node sub = e.AddDir(dirA, "sub");
    PlainClick(e.tree, dirA);
    ASSERT_TRUE(drag.Begin(e.tree, dirA));
    drag.Hover(e.tree, sub);
    const std::string kept = Shape(e.book);
    EXPECT_EQ(drag.Drop(e.tree), DropResult::Refused);
    EXPECT_TRUE(e.book.Valid(dirA));
    EXPECT_TRUE(e.book.Valid(sub));
    EXPECT_EQ(e.tree.markedCount, CountMarkedChildren(e.book, e.tree.markedParent));

    // A clash keeps everything in place.
    AddRecord(e.book, dirA, KindCode(ItemKind::Lock), Gbk("对方2"), 0);
    PlainClick(e.tree, Node{});
    ASSERT_TRUE(drag.Begin(e.tree, lockB));
    drag.Hover(e.tree, dirA);
    EXPECT_EQ(drag.Drop(e.tree), DropResult::Clash);
    EXPECT_TRUE(e.book.Valid(lockB));
    EXPECT_EQ(e.tree.markedParent, dirB);
    EXPECT_EQ(e.tree.markedCount, CountMarkedChildren(e.book, dirB));
}

TEST(Editing, FindStepsThroughResults)
{
    Env e;
    const Node dirB = e.At({"目录B"});
    AddRecord(e.book, dirB, KindCode(ItemKind::Lock), Gbk("我的1"), 0);
    e.AddDir(e.At({"目录A"}), "我的1");
    e.RightClick(e.root);
    FindSession find(e.tree);
    EXPECT_FALSE(e.tree.menusEnabled);
    EXPECT_FALSE(OpenContextMenu(e.tree, e.root));
    EXPECT_EQ(Utf8(find.text), "我的1");
    EXPECT_EQ(find.Mask(), 7u);
    EXPECT_FALSE(find.previousEnabled);
    EXPECT_FALSE(find.nextEnabled);
    EXPECT_EQ(Utf8(find.status), "就绪");

    const std::vector<Node>& shown = e.view.shownLines;
    find.Search();
    ASSERT_EQ(find.Results().size(), 3u);
    EXPECT_EQ(Utf8(find.status), "搜索到 3 个结果! 第 1/3 个");
    EXPECT_FALSE(find.previousEnabled);
    EXPECT_TRUE(find.nextEnabled);
    EXPECT_EQ(shown.back(), find.Results()[0]);
    EXPECT_TRUE(e.book.Marked(find.Results()[0]));
    EXPECT_EQ(e.book.FirstVisible(), e.At({"目录A"}));

    find.Previous();
    EXPECT_EQ(find.CurrentIndex(), 1);
    find.Next();
    find.Next();
    EXPECT_EQ(Utf8(find.status), "第 3/3 个");
    EXPECT_FALSE(find.nextEnabled);
    EXPECT_TRUE(find.previousEnabled);
    EXPECT_EQ(e.tree.clickedItem, find.Results()[2]);
    EXPECT_EQ(e.tree.markedCount, 1);
    const std::size_t count = shown.size();
    find.Next();
    EXPECT_EQ(find.CurrentIndex(), 3);
    EXPECT_EQ(shown.size(), count);

    // Later searches start at the clicked item's directory; only locks now.
    find.directories = find.keys = false;
    find.Search();
    ASSERT_EQ(find.Results().size(), 1u);
    EXPECT_EQ(e.book.Kind(find.Results()[0]), KindCode(ItemKind::Lock));
    EXPECT_FALSE(find.nextEnabled);
    EXPECT_FALSE(find.previousEnabled);
    find.locks = false;
    find.Search();
    EXPECT_TRUE(find.Results().empty());
    EXPECT_EQ(Utf8(find.status), "搜索无结果!");
    find.Previous();
    find.Next();
    EXPECT_EQ(find.CurrentIndex(), 0);

    find.Close();
    EXPECT_TRUE(e.tree.menusEnabled);
}

TEST(Editing, AddItemChecksTheNameAndInserts)
{
    Env e;
    const Node dirA = e.At({"目录A"});
    e.RightClick(dirA);
    AddItemForm form;
    EXPECT_EQ(Utf8(form.name), "在此输入项目名字");
    EXPECT_EQ(form.Look(), AddItemForm::FieldLook::Hint);

    // A kind chosen before typing: OK stays disabled and the status unchanged.
    form.ChooseKind(e.tree, kMaskLock);
    EXPECT_FALSE(form.okEnabled);
    EXPECT_EQ(Utf8(form.status), "就绪");
    EXPECT_FALSE(form.Accept(e.tree));

    form.FocusName(e.tree);
    EXPECT_TRUE(form.name.empty());
    EXPECT_EQ(form.Look(), AddItemForm::FieldLook::Normal);
    EXPECT_FALSE(form.okEnabled);
    form.SetName(e.tree, Gbk("对方1"));
    EXPECT_TRUE(form.nameTaken);
    EXPECT_FALSE(form.okEnabled);
    EXPECT_EQ(Utf8(form.status), "重名, 不能使用!");
    EXPECT_EQ(form.Look(), AddItemForm::FieldLook::Taken);
    // The same name for a key does not clash with a lock.
    form.ChooseKind(e.tree, kMaskKey);
    EXPECT_FALSE(form.nameTaken);
    EXPECT_TRUE(form.okEnabled);
    EXPECT_EQ(Utf8(form.status), "名字可以使用!");
    form.SetName(e.tree, "");
    EXPECT_FALSE(form.okEnabled);
    EXPECT_EQ(form.status, "");

    form.SetName(e.tree, Gbk("新锁"));
    form.ChooseKind(e.tree, kMaskLock);
    PlainClick(e.tree, e.At({"目录B", "我的2"}));
    e.RightClick(dirA);
    const Node lock = form.Accept(e.tree);
    ASSERT_TRUE(lock);
    EXPECT_EQ(e.book.Parent(lock), dirA);
    EXPECT_EQ(e.book.Kind(lock), 3);
    EXPECT_EQ(e.book.ChildCount(lock), 13u);
    EXPECT_FALSE(FindChildByKind(e.book, lock, ItemKind::PrivateExponentField));
    EXPECT_EQ(Utf8(e.book.Text(FindChildByKind(e.book, lock, ItemKind::DateField))),
              "使用日期: " + Utf8(FormatDate(e.desk.now)));
    EXPECT_EQ(Utf8(e.book.Text(FindChildByKind(e.book, lock, ItemKind::PublicExponentField))), "E     值: 10001");
    // It alone is marked now; the earlier selection elsewhere is gone.
    EXPECT_TRUE(e.book.Marked(lock));
    EXPECT_FALSE(e.book.Marked(e.At({"目录B", "我的2"})));
    EXPECT_EQ(e.tree.markedParent, dirA);
    EXPECT_EQ(e.tree.markedCount, 1);
    EXPECT_EQ(e.tree.undo.Current(), 2u);

    AddItemForm dir;
    dir.FocusName(e.tree);
    dir.SetName(e.tree, "D");
    dir.ChooseKind(e.tree, kMaskDirectory);
    const Node d = dir.Accept(e.tree);
    ASSERT_TRUE(d);
    EXPECT_EQ(e.book.ChildCount(d), 0u);

    // Nothing is added below a lock.
    e.RightClick(lock);
    AddItemForm under;
    under.FocusName(e.tree);
    under.SetName(e.tree, "x");
    under.ChooseKind(e.tree, kMaskKey);
    EXPECT_TRUE(under.okEnabled);
    EXPECT_FALSE(under.Accept(e.tree));
    EXPECT_EQ(e.book.ChildCount(lock), 13u);
}
