#include "book/DragDrop.h"

#include "book/Editing.h"
#include "book/Marking.h"
#include "book/Queries.h"

namespace morvane {

bool IsContainer(const Book& book, Node n)
{
    const std::int32_t k = book.Kind(n);
    return k == KindCode(ItemKind::BookRoot) || k == KindCode(ItemKind::Directory) ||
           k == KindCode(ItemKind::AltDirectory);
}

Node NearestContainer(const Book& book, Node n)
{
    for (; book.Valid(n); n = book.Parent(n))
        if (IsContainer(book, n))
            return n;
    return Node{};
}

bool TreeDrag::Begin(KeyTree& tree, Node item)
{
    Cancel();
    Book& book = tree.book;
    if (!tree.menusEnabled || !book.Valid(item))
        return false;
    const std::int32_t k = book.Kind(item);
    if (k < KindCode(ItemKind::Directory) || k > KindCode(ItemKind::Police))
        return false;
    const Node parent = book.Parent(item);
    // Items only ever sit in containers; anything else is not moved.
    if (!IsContainer(book, parent))
        return false;
    if (tree.markedCount > 0 && !book.Marked(item)) {
        if (tree.markedCount == 1 && book.Marked(parent)) {
            UnmarkSelection(tree);
            tree.markedParent = Node{};
        } else {
            return false;
        }
    }
    dragged_ = item;
    source_ = NearestContainer(book, parent);
    target_ = Node{};
    dragging_ = true;
    return true;
}

Node TreeDrag::Hover(const KeyTree& tree, Node over)
{
    if (!dragging_)
        return Node{};
    target_ = NearestContainer(tree.book, over);
    return target_;
}

void TreeDrag::Cancel()
{
    dragging_ = false;
    dragged_ = source_ = target_ = Node{};
}

DropResult TreeDrag::Verdict(const KeyTree& tree, Node target) const
{
    if (!dragging_)
        return DropResult::None;
    const Book& book = tree.book;
    const Node item = tree.Live(dragged_);
    const Node source = tree.Live(source_);
    target = tree.Live(target);
    if (!item || !source || !target || target == item || target == source || !IsContainer(book, target))
        return DropResult::None;
    // Moving an item into itself would lose it with its own copy.
    for (Node c = book.FirstChild(source); c; c = book.NextSibling(c))
        if ((c == item || book.Marked(c)) && book.IsWithin(target, c))
            return DropResult::Refused;
    return DropResult::Moved;
}

DropResult TreeDrag::Drop(KeyTree& tree)
{
    if (!dragging_)
        return DropResult::None;
    const Node item = tree.Live(dragged_);
    const Node source = tree.Live(source_);
    const Node target = tree.Live(target_);
    const DropResult verdict = Verdict(tree, target);
    Cancel();
    if (verdict != DropResult::Moved)
        return verdict;
    Book& book = tree.book;
    // The dragged item joins the selection; its marked siblings move with it.
    if (!AddMark(tree, item))
        return DropResult::None;
    ItemList moving = CollectMarked(book, source, kCollectCut).value_or(ItemList{});
    book.Expand(target, true);
    tree.clipboardMode = kClipCut;
    tree.transferList = std::move(moving);
    tree.contextItem = target;
    const int r = Paste(tree);
    if (r == 1)
        return DropResult::Moved;
    return r == 0 ? DropResult::Clash : DropResult::Failed;
}

}  // namespace morvane
