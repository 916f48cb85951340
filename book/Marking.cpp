#include "book/Marking.h"

#include "book/Queries.h"
#include "platform/Text.h"

namespace morvane {

namespace {

// Unmarks the marked children of parent (or those showing the cut look) except keep.
void UnmarkChildren(Book& book, Node parent, Node keep = Node{})
{
    if (!parent.IsNone() && !book.Valid(parent))
        return;
    for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
        if (c != keep && ((book.Flags(c) & kFlagMarked) || (book.State(c) & kStateCut)))
            Unmark(book, c);
}

void Mark(Book& book, Node n)
{
    book.SetFlags(n, book.Flags(n) | kFlagMarked);
}

}  // namespace

std::int32_t CountMarkedChildren(const Book& book, Node parent)
{
    if (!parent.IsNone() && !book.Valid(parent))
        return 0;
    std::int32_t n = 0;
    for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
        if (book.Flags(c) & kFlagMarked)
            ++n;
    return n;
}

void UnmarkSelection(KeyTree& tree)
{
    UnmarkChildren(tree.book, tree.Live(tree.markedParent));
    tree.markedCount = 0;
}

void ClearMarking(KeyTree& tree)
{
    UnmarkSelection(tree);
    tree.markedParent = Node{};
    tree.transferList.reset();
}

int SelectionDisplay(KeyTree& tree, Node p)
{
    ClearMarking(tree);
    p = tree.Live(p);
    if (!p)
        return 1;
    if (tree.view && tree.view->ShowLine(tree, p) == -1)
        return -1;
    if (!tree.book.Valid(p))
        return -1;
    Book& book = tree.book;
    const Node parent = book.Parent(p);
    if (ItemClass(book, p) == 3)
        UnmarkChildren(book, parent);
    // The window may have marked lines of its own; only p stays marked.
    UnmarkChildren(book, tree.Live(tree.markedParent), p);
    Mark(book, p);
    tree.markedCount = 1;
    tree.clickedItem = p;
    tree.markedParent = parent;
    return 0;
}

void DisplayLine(KeyTree& tree, Node line)
{
    if (!tree.book.Valid(line))
        return;
    (void)SelectionDisplay(tree, line);
    tree.book.Select(line);
}

void RedisplayLine(KeyTree& tree, Node line)
{
    if (!tree.book.Valid(line))
        return;
    DisplayLine(tree, line);
    if (tree.view && tree.book.Valid(line))
        tree.view->RepaintLine(line);
}

ClickResult PlainClick(KeyTree& tree, Node hit)
{
    tree.rightClickedItem = Node{};
    tree.contextItem = Node{};
    (void)SelectionDisplay(tree, hit);
    return ClickResult::Shown;
}

ClickResult CtrlClick(KeyTree& tree, Node hit, const std::function<bool()>& ctrlHeld)
{
    tree.rightClickedItem = Node{};
    tree.contextItem = Node{};
    Book& book = tree.book;
    hit = tree.Live(hit);
    if (!hit || ItemClass(book, hit) == 3)
        return ClickResult::Ignored;

    // A marked book root is never part of a multiple selection.
    if (book.Marked(book.FirstRoot())) {
        Unmark(book, book.FirstRoot());
        tree.markedCount = 0;
    }
    tree.markedParent = tree.Live(tree.markedParent);
    const Node parent = book.Parent(hit);
    // A marked parent whose marks are all gone (a delete leaves it) binds nothing.
    if (tree.markedCount == 0)
        tree.markedParent = Node{};

    if (tree.markedParent && parent != tree.markedParent) {
        if (tree.desktop)
            Tell(*tree.desktop, MORVANE_TR("Book", "在同一父代下选择项目!"), MsgIcon::Information, MsgButtons::Ok);
        tree.clickedItem = Node{};
        if (ctrlHeld && !ctrlHeld())
            tree.multiSelect = false;
        return ClickResult::Refused;
    }
    if (tree.markedParent) {
        if (book.Marked(hit)) {
            Unmark(book, hit);
            tree.markedCount = tree.markedCount > 0 ? tree.markedCount - 1 : 0;
            if (tree.markedCount == 0)
                tree.markedParent = Node{};
            return ClickResult::Unmarked;
        }
        Mark(book, hit);
        ++tree.markedCount;
        return ClickResult::Marked;
    }
    // No marked parent: whatever is still marked at the top level goes first.
    UnmarkChildren(book, Node{});
    Mark(book, hit);
    tree.markedCount = 1;
    tree.markedParent = parent;
    return ClickResult::Marked;
}

ClickResult Click(KeyTree& tree, Node hit, const std::function<bool()>& ctrlHeld)
{
    return tree.multiSelect ? CtrlClick(tree, hit, ctrlHeld) : PlainClick(tree, hit);
}

bool AddMark(KeyTree& tree, Node n)
{
    Book& book = tree.book;
    if (!book.Valid(n))
        return false;
    const Node parent = book.Parent(n);
    tree.markedParent = tree.Live(tree.markedParent);
    if (parent != tree.markedParent) {
        if (tree.markedCount > 0 || CountMarkedChildren(book, tree.markedParent) > 0)
            return false;
        tree.markedParent = parent;
        tree.markedCount = 0;
    }
    if (!book.Marked(n)) {
        Mark(book, n);
        ++tree.markedCount;
    }
    return true;
}

void MendAfterRebuild(KeyTree& tree)
{
    Book& book = tree.book;
    tree.clickedItem = tree.Live(tree.clickedItem);
    tree.rightClickedItem = tree.Live(tree.rightClickedItem);
    tree.contextItem = tree.Live(tree.contextItem);
    if (tree.transferList) {
        ItemList& list = *tree.transferList;
        std::erase_if(list, [&](Node n) { return !book.Valid(n); });
        if (list.empty()) {
            tree.transferList.reset();
            tree.clipboardMode = kClipNone;
        }
    }

    // Most books carry no mark and no cut look; one pass over the node store tells, and
    // spares the walks below.
    const bool anyMarks = book.AnyWith(kFlagMarked, kStateCut);
    // The level where marks sit.
    Node level = tree.Live(tree.markedParent);
    if (!level && anyMarks) {
        for (Node n = book.FirstRoot(); n; n = book.NextPreOrder(n)) {
            if (book.Marked(n)) {
                level = book.Parent(n);
                break;
            }
        }
    }
    tree.markedParent = level;
    // Marks elsewhere are left over from an inconsistent source: take them away.
    for (Node n = anyMarks ? book.FirstRoot() : Node{}; n; n = book.NextPreOrder(n))
        if (((book.Flags(n) & kFlagMarked) || (book.State(n) & kStateCut)) && book.Parent(n) != level)
            Unmark(book, n);
    tree.markedCount = CountMarkedChildren(book, level);
}

}  // namespace morvane
