// Long random sessions of clicks and editing commands on random books, checked after every
// step against the rules the commands must keep and against a model of the undo queue, while a
// row checker follows the book only through its notifications, as an item model's view would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "EditingTesting.h"
#include "book/AddItem.h"
#include "book/ContextMenu.h"
#include "book/DragDrop.h"
#include "book/Editing.h"
#include "book/FindItems.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/TreeStream.h"
#include "support/BookTesting.h"
#include "support/RowChecker.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

constexpr std::uint32_t kDepth = 3;

class Session {
public:
    explicit Session(unsigned seed) : rng_(seed)
    {
        tree_.view = &view_;
        RandomBookOptions o;
        o.nodes = 60 + static_cast<int>(rng_() % 160);
        o.maxDepth = 5;
        o.maxTextBytes = 2;  // short names, so that pastes and adds clash often
        AddRandomBook(tree_.book, rng_, o);
        // As a loaded book: only the expanded bit of the view state.
        for (Node n = book().FirstRoot(); n; n = book().NextPreOrder(n))
            book().SetState(n, book().State(n) & kStateExpanded, ~0u);
        MendAfterRebuild(tree_);
        EXPECT_EQ(PrepareUndo(tree_), 1);
        ModelPush();
    }

    Book& book() { return tree_.book; }

    // Cut pastes that carried a mark below a moved item (the old marked parent lay inside it).
    int CarriedMarks() const { return carriedMarks_; }
    const RowChecker::Counts& RowChanges() const { return rows_.Seen(); }

    void Step()
    {
        const unsigned pick = rng_() % 18;
        if (pick == 16) {
            CutWorkInsideThenPaste();
            return;
        }
        Act([&] { Command(pick); });
    }

private:
    // Runs one user action, then accounts for its snapshot and checks the invariants.
    template <class F>
    void Act(F&& action)
    {
        const std::uint64_t pushes = tree_.undo.Pushes();
        const bool markInsideCut = tree_.clipboardMode == kClipCut && CutCarriesAMark();
        action();
        if (::testing::Test::HasFatalFailure())
            return;
        if (tree_.undo.Pushes() != pushes) {
            ASSERT_EQ(tree_.undo.Pushes(), pushes + 1);
            ModelPush();
            if (markInsideCut && tree_.clipboardMode == kClipNone)
                ++carriedMarks_;
        }
        CheckInvariants();
        rows_.Verify();
    }

    void Command(unsigned pick)
    {
        switch (pick) {
        case 0:
        case 1:
            ArmView();
            PlainClick(tree_, PickNode());
            break;
        case 2:
        case 3:
            tree_.multiSelect = true;
            CtrlClick(tree_, PickNode(), [this] { return rng_() % 4 != 0; });
            tree_.multiSelect = false;
            break;
        case 4:
        case 5:
        case 6:
        case 7: MenuCommand(); break;
        case 8: DirectCommand(); break;
        case 9:
        case 10: DragAndDrop(); break;
        case 11: Find(); break;
        case 12: Rebuild(true); break;
        case 13: Rebuild(false); break;
        case 14: UndoRedoRoundTrip(); break;
        case 15: CopyOrCutThenPaste(); break;
        default: {
            tree_.rightClickedItem = PickNode();
            Add();
            break;
        }
        }
    }

    // Cut, then Ctrl-clicks and adds inside the cut items (which can move the marked parent
    // into them), then a paste elsewhere: the sequences where marks travel with a moved item.
    void CutWorkInsideThenPaste()
    {
        Act([&] {
            if (OpenContextMenu(tree_, PickNode()))
                (void)RunEditCommand(tree_, kCmdCut);
        });
        for (int i = 1 + static_cast<int>(rng_() % 3); i > 0 && tree_.transferList; --i)
            Act([&] { WorkInsideTransferList(); });
        Act([&] { PasteOnRightClick(PickNode()); });
    }

    // A Ctrl-click or an add on an item within the transfer list's subtrees.
    void WorkInsideTransferList()
    {
        std::vector<Node> inside;
        for (Node item : LiveTransferList())
            for (Node n = item; n; n = book().NextPreOrder(n, item))
                if (ItemClass(book(), n) != 3)
                    inside.push_back(n);
        if (inside.empty())
            return;
        const Node n = inside[rng_() % inside.size()];
        if (rng_() % 2) {
            tree_.multiSelect = true;
            CtrlClick(tree_, n, [] { return true; });
            tree_.multiSelect = false;
        } else {
            tree_.rightClickedItem = n;
            Add();
        }
    }

    std::vector<Node> LiveTransferList()
    {
        std::vector<Node> v;
        if (tree_.transferList)
            for (Node n : *tree_.transferList)
                if (book().Valid(n))
                    v.push_back(n);
        return v;
    }

    bool CutCarriesAMark()
    {
        for (Node item : LiveTransferList())
            for (Node n = book().FirstChild(item); n; n = book().NextPreOrder(n, item))
                if (book().Marked(n))
                    return true;
        return false;
    }

    // The window's part of the next selection display fails now and then.
    void ArmView()
    {
        const bool fail = rng_() % 10 == 0;
        view_.onShowLine = [fail](KeyTree&, Node) { return fail ? -1 : 0; };
    }

    // A random node, mostly items rather than lines; sometimes none.
    Node PickNode()
    {
        if (rng_() % 20 == 0)
            return Node{};
        std::vector<Node> all, items;
        for (Node n = book().FirstRoot(); n; n = book().NextPreOrder(n)) {
            all.push_back(n);
            if (ItemClass(book(), n) != 3)
                items.push_back(n);
        }
        const std::vector<Node>& from = (rng_() % 4 != 0 && !items.empty()) ? items : all;
        return from.empty() ? Node{} : from[rng_() % from.size()];
    }

    void Answer() { desk_.answers.assign(1, rng_() % 3 == 0 ? MsgAnswer::No : MsgAnswer::Yes); }

    void Run(int id)
    {
        if (id == kCmdUndo || id == kCmdRedo) {
            Rebuild(id == kCmdUndo);
        } else if (id == kCmdAdd) {
            Add();
        } else if (id == kCmdFind) {
            Find();
        } else {
            Answer();
            (void)RunEditCommand(tree_, id);
            desk_.answers.clear();
        }
    }

    // A right click and one of the offered commands.
    void MenuCommand()
    {
        auto menu = OpenContextMenu(tree_, PickNode());
        if (!menu)
            return;
        static const int kIds[] = {kCmdUndo,     kCmdRedo,     kCmdFind,         kCmdSortType, kCmdSortName,
                                   kCmdSortStrength, kCmdSortDate, kCmdCut,      kCmdCopy,     kCmdDelete,
                                   kCmdPaste,    kCmdCopyHere, kCmdCutHere,      kCmdAdd,      kCmdClearTraces};
        std::vector<int> offered;
        for (int id : kIds)
            if (menu->Enabled(id))
                offered.push_back(id);
        if (!offered.empty())
            Run(offered[rng_() % offered.size()]);
    }

    // Any command on any item, offered or not: the commands guard themselves.
    void DirectCommand()
    {
        static const int kIds[] = {kCmdCut,  kCmdCopy,     kCmdPaste,   kCmdDelete,   kCmdCopyHere, kCmdCutHere,
                                   kCmdSortName, kCmdSortDate, kCmdSortType, kCmdSortStrength, kCmdClearTraces};
        tree_.rightClickedItem = PickNode();
        tree_.contextItem = PickNode();
        Run(kIds[rng_() % std::size(kIds)]);
    }

    // A node within n's subtree.
    Node PickWithin(Node n)
    {
        std::vector<Node> v;
        for (Node c = n; c; c = book().NextPreOrder(c, n))
            v.push_back(c);
        return v.empty() ? Node{} : v[rng_() % v.size()];
    }

    void DragAndDrop()
    {
        TreeDrag drag;
        if (!drag.Begin(tree_, PickNode()))
            return;
        if (rng_() % 10 == 0) {
            drag.Cancel();
            return;
        }
        drag.Hover(tree_, rng_() % 3 == 0 ? PickWithin(drag.DraggedItem()) : PickNode());
        const std::size_t nodes = book().NodeCount();
        drag.Drop(tree_);
        EXPECT_EQ(book().NodeCount(), nodes) << "a move lost or made nodes";
    }

    // Copy or cut the item under a right click, then paste on another right click.
    void CopyOrCutThenPaste()
    {
        if (!OpenContextMenu(tree_, PickNode()))
            return;
        EXPECT_TRUE(RunEditCommand(tree_, rng_() % 2 ? kCmdCopy : kCmdCut));
        Node target = PickNode();
        if (rng_() % 4 == 0 && tree_.transferList && !tree_.transferList->empty())
            target = PickWithin(tree_.transferList->front());
        PasteOnRightClick(target);
    }

    // A right click on target and paste, when offered (and sometimes when not).
    void PasteOnRightClick(Node target)
    {
        auto menu = OpenContextMenu(tree_, target);
        if (menu && (menu->Enabled(kCmdPaste) || rng_() % 4 == 0)) {
            const bool moving = tree_.clipboardMode == kClipCut;
            const std::size_t nodes = book().NodeCount();
            EXPECT_TRUE(RunEditCommand(tree_, kCmdPaste));
            if (moving) {
                EXPECT_EQ(book().NodeCount(), nodes) << "a move lost or made nodes";
            }
        }
    }

    void Find()
    {
        if (!tree_.menusEnabled)
            return;
        FindSession find(tree_);
        const Node pick = PickNode();
        find.text = book().Valid(pick) ? book().Text(pick) : std::string("x");
        find.directories = rng_() % 2;
        find.keys = rng_() % 2;
        find.locks = rng_() % 2;
        ArmView();
        find.Search();
        for (int i = rng_() % 4; i > 0; --i) {
            ArmView();
            rng_() % 2 ? find.Next() : find.Previous();
        }
        find.Close();
    }

    void Add()
    {
        AddItemForm form;
        form.FocusName(tree_);
        static const unsigned kMasks[] = {0, kMaskDirectory, kMaskKey, kMaskLock};
        form.ChooseKind(tree_, kMasks[rng_() % 4]);
        form.SetName(tree_, RandomGbkText(rng_, 2));
        const Node parent = tree_.Live(tree_.rightClickedItem);
        const Node added = form.Accept(tree_);
        if (added) {
            EXPECT_EQ(book().Parent(added), parent);
        }
    }

    // Undo or redo through the command; the book must be the snapshot the model names.
    bool Rebuild(bool undo)
    {
        const bool ok = (undo ? UndoCommand(tree_) : RedoCommand(tree_)) == 1;
        const bool expected = undo ? current_ > 1 : current_ < top_;
        EXPECT_EQ(ok, expected);
        if (ok) {
            current_ += undo ? -1 : 1;
            EXPECT_EQ(Image(), images_[current_ - 1]);
        }
        EXPECT_EQ(tree_.undo.Current(), current_);
        EXPECT_EQ(tree_.undo.Top(), top_);
        return ok;
    }

    // Right after a rebuild, undo then redo (or redo then undo) gives the same bytes.
    void UndoRedoRoundTrip()
    {
        if (!Rebuild(rng_() % 2))
            return;
        std::vector<std::uint8_t> before, after;
        ASSERT_EQ(WriteTreeStream(tree_, Node{}, before), 1);
        if (tree_.undo.CanUndo()) {
            Rebuild(true);
            Rebuild(false);
        } else if (tree_.undo.CanRedo()) {
            Rebuild(false);
            Rebuild(true);
        }
        ASSERT_EQ(WriteTreeStream(tree_, Node{}, after), 1);
        EXPECT_TRUE(before == after) << DumpStream(before) << "\n----\n" << DumpStream(after);
    }

    std::string Image()
    {
        int index = -1, i = 0;
        for (Node n = book().FirstRoot(); n; n = book().NextPreOrder(n), ++i)
            if (n == tree_.markedParent)
                index = i;
        return Shape(book()) + "parent " + std::to_string(index) + " count " + std::to_string(tree_.markedCount);
    }

    void ModelPush()
    {
        if (current_ >= kDepth) {
            images_.erase(images_.begin());
        } else {
            images_.resize(current_);
            ++current_;
        }
        images_.push_back(Image());
        top_ = current_;
        EXPECT_EQ(tree_.undo.Current(), current_);
        EXPECT_EQ(tree_.undo.Top(), top_);
    }

    void CheckInvariants()
    {
        const Book& b = tree_.book;
        std::size_t nodes = 0;
        std::int32_t marked = 0;
        for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n)) {
            ++nodes;
            ASSERT_TRUE(b.Valid(n));
            EXPECT_EQ(b.Flags(n) & (kFlagFirstVisible | kFlagMarkedParent), 0u);
            if (b.Marked(n)) {
                ++marked;
                EXPECT_EQ(b.Parent(n), tree_.markedParent) << "a mark outside the marked parent";
            } else {
                EXPECT_FALSE(b.State(n) & kStateCut) << "a cut look without a mark";
            }
        }
        EXPECT_EQ(nodes, b.NodeCount());
        EXPECT_EQ(marked, tree_.markedCount);
        EXPECT_EQ(b.FirstRoot(), b.LastChild(Node{})) << "one book root";
        for (Node h : {tree_.markedParent, tree_.clickedItem, tree_.rightClickedItem, tree_.contextItem})
            EXPECT_TRUE(h.IsNone() || b.Valid(h));
        if (tree_.transferList) {
            for (Node n : *tree_.transferList)
                EXPECT_TRUE(b.Valid(n));
        }
        EXPECT_TRUE(tree_.menusEnabled);
    }

    std::mt19937 rng_;
    ScriptedDesktop desk_;
    RecordingView view_;
    KeyTree tree_{&desk_};
    RowChecker rows_{tree_.book};  // from the empty book on, so the random book's inserts count too
    std::vector<std::string> images_;  // the model's snapshots, slot 1 first
    std::uint32_t current_ = 0, top_ = 0;
    int carriedMarks_ = 0;
};

}  // namespace

TEST(EditingModel, RandomSessionsKeepTheBookAndMarkingConsistent)
{
    const bool longRun = std::getenv("MORVANE_LONG_TESTS") != nullptr;
    const int sessions = longRun ? 1000 : 100;
    const int steps = longRun ? 1500 : 400;
    int carriedMarks = 0;
    RowChecker::Counts rows;
    for (int s = 0; s < sessions; ++s) {
        SCOPED_TRACE("session " + std::to_string(s));
        Session session(static_cast<unsigned>(s) * 7919u + 1u);
        for (int i = 0; i < steps; ++i) {
            session.Step();
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << "at step " << i;
                return;
            }
        }
        carriedMarks += session.CarriedMarks();
        rows.inserted += session.RowChanges().inserted;
        rows.removed += session.RowChanges().removed;
        rows.reordered += session.RowChanges().reordered;
        rows.resets += session.RowChanges().resets;
    }
    // The sessions must reach the rare sequences too.
    EXPECT_GT(carriedMarks, 0) << "no cut paste carried a mark below a moved item";
    EXPECT_GT(rows.inserted, 0);
    EXPECT_GT(rows.removed, 0);
    EXPECT_GT(rows.reordered, 0);
    EXPECT_GT(rows.resets, 0);
}
