#include "book/Editing.h"

#include <algorithm>

#include "book/Marking.h"
#include "book/MenuIds.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "platform/Text.h"

namespace morvane {

namespace {

constexpr std::uint32_t kUndoDepth = 3;

bool IsContainerForEdits(std::int32_t kind)
{
    return kind == KindCode(ItemKind::BookRoot) || kind == KindCode(ItemKind::Directory) ||
           kind == KindCode(ItemKind::AltDirectory);
}

// The live entries of the transfer list.
ItemList LiveTransferList(const KeyTree& tree)
{
    ItemList list;
    if (tree.transferList)
        for (Node n : *tree.transferList)
            if (tree.book.Valid(n))
                list.push_back(n);
    return list;
}

bool WithinAny(const Book& book, Node n, const ItemList& items)
{
    return std::any_of(items.begin(), items.end(), [&](Node item) { return book.IsWithin(n, item); });
}

// Takes the marked children of the marked parent into the transfer list in the given mode.
int TakeSelection(KeyTree& tree, int mode)
{
    if (!StartSelection(tree))
        return 0;
    tree.clipboardMode = mode;
    tree.transferList = CollectMarked(tree.book, tree.markedParent, mode);
    return 1;
}

int Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

int CompareText(const std::string& a, const std::string& b)
{
    // Byte-wise, as unsigned bytes: GBK lead bytes sort above ASCII.
    return Sign(a.compare(b));
}

}  // namespace

int PrepareUndo(KeyTree& tree)
{
    tree.undo.SetDepth(kUndoDepth);
    tree.undo.Bind(&tree);
    return tree.undo.Push();
}

bool StartSelection(KeyTree& tree)
{
    tree.markedParent = tree.Live(tree.markedParent);
    // A marked parent without marks (left by a delete) is no selection either.
    if (!tree.markedParent || tree.markedCount == 0) {
        const Node r = tree.Live(tree.rightClickedItem);
        if (r && tree.markedCount == 0) {
            tree.book.SetFlags(r, tree.book.Flags(r) | kFlagMarked);
            tree.markedCount = 1;
            tree.markedParent = tree.book.Parent(r);
        }
    }
    // A selection at the top level is the book root alone: it is never copied, moved or deleted.
    return !tree.markedParent.IsNone();
}

int Copy(KeyTree& tree) { return TakeSelection(tree, kClipCopy); }

int Cut(KeyTree& tree) { return TakeSelection(tree, kClipCut); }

int Paste(KeyTree& tree)
{
    Book& book = tree.book;
    const Node target = tree.Live(tree.contextItem);
    const ItemList list = LiveTransferList(tree);
    if (list.empty() || !target)
        return 0;
    const bool cut = tree.clipboardMode == kClipCut;
    // Moving an item into itself or below itself would remove the copy with the source.
    if (cut && WithinAny(book, target, list))
        return 0;
    if (ReportNameClash(tree, list, target))
        return 0;

    const Node oldParent = tree.Live(tree.markedParent);
    const std::int32_t oldCount = tree.markedCount;
    const Node lastBefore = book.LastChild(target);
    if (cut) {
        tree.markedCount = 0;
        tree.markedParent = target;
    }
    if (CopySubtrees(tree, target, list) != 1) {
        // Take back the copies made so far.
        Node c = lastBefore ? book.NextSibling(lastBefore) : book.FirstChild(target);
        while (c) {
            Node next = book.NextSibling(c);
            RemoveItems(tree, c);
            c = next;
        }
        tree.markedParent = oldParent;
        tree.markedCount = oldCount;
        return -1;
    }
    if (cut) {
        // A marked parent inside a moved item sends its marks along with the copy; below the
        // arriving copies no mark may stay, or it would sit under a parent nobody counts.
        for (Node c = lastBefore ? book.NextSibling(lastBefore) : book.FirstChild(target); c; c = book.NextSibling(c))
            for (Node d = book.FirstChild(c); d; d = book.NextSibling(d))
                UnmarkSubtree(book, d);
        for (Node n : list)
            RemoveItems(tree, n);
        tree.transferList.reset();
        tree.clipboardMode = kClipNone;
        // The moved items are the selection now; marks left at the old place would sit
        // under a parent that is no longer the marked one.
        if (oldParent != target && (oldParent.IsNone() || book.Valid(oldParent)))
            for (Node c = book.FirstChild(oldParent); c; c = book.NextSibling(c))
                if ((book.Flags(c) & kFlagMarked) || (book.State(c) & kStateCut))
                    Unmark(book, c);
        tree.markedCount = CountMarkedChildren(book, target);
    }
    tree.contextItem = Node{};
    tree.undo.Push();
    return 1;
}

namespace {

int PasteHere(KeyTree& tree, int mode)
{
    if (!tree.Live(tree.contextItem) || !tree.Live(tree.markedParent))
        return 0;
    tree.clipboardMode = mode;
    tree.transferList = CollectMarked(tree.book, tree.markedParent, mode);
    const int r = Paste(tree);
    tree.rightClickedItem = Node{};
    return r;
}

}  // namespace

int CopyToHere(KeyTree& tree) { return PasteHere(tree, kClipCopy); }

int CutToHere(KeyTree& tree) { return PasteHere(tree, kClipCut); }

Phrase DeleteQuestion(const Book& book, const ItemList& items)
{
    if (items.empty())
        return Phrase();
    if (items.size() > 1)
        return Phrase(MORVANE_TR("Book", "确认删除选定的 %1 个项目?"), {std::to_string(items.size())});
    const KindTexts* texts = TextsOfKind(book.Kind(items.front()));
    if (!texts)
        return Phrase();
    return Phrase(texts->removal, {book.Text(items.front())});
}

int Delete(KeyTree& tree)
{
    if (!StartSelection(tree))
        return 0;
    Book& book = tree.book;
    tree.transferList = CollectMarked(book, tree.markedParent, kCollectDelete);
    const ItemList list = LiveTransferList(tree);
    if (list.empty())
        return 0;
    const Phrase question = DeleteQuestion(book, list);
    if (question.Empty()) {
        // A list taken for a delete is never pasted: a field line would move out of its record.
        tree.transferList.reset();
        return 0;
    }
    const MsgAnswer answer =
        tree.desktop ? Tell(*tree.desktop, question, MsgIcon::Information, MsgButtons::YesNo) : MsgAnswer::No;
    if (answer != MsgAnswer::Yes) {
        tree.transferList.reset();
        return 0;
    }
    for (Node n : list)
        RemoveItems(tree, n);
    tree.transferList.reset();
    tree.markedCount = 0;
    tree.undo.Push();
    return 1;
}

std::uint32_t SortBit(SortKind kind)
{
    switch (kind) {
    case SortKind::Type: return kFlagSortType;
    case SortKind::Name: return kFlagSortName;
    case SortKind::Strength: return kFlagSortStrength;
    case SortKind::Date: return kFlagSortDate;
    }
    return 0;
}

int CompareForSort(const Book& book, SortKind kind, int d, Node a, Node b)
{
    const std::int32_t ka = book.Kind(a), kb = book.Kind(b);
    const bool dirA = ka == KindCode(ItemKind::Directory), dirB = kb == KindCode(ItemKind::Directory);
    switch (kind) {
    case SortKind::Name:
        if (dirA != dirB)
            return dirA ? -1 : 1;
        return CompareText(book.Text(a), book.Text(b)) * d;
    case SortKind::Type:
        if (ka != kb)
            return ka < kb ? d : -d;
        return CompareText(book.Text(a), book.Text(b)) * d;
    case SortKind::Date:
    case SortKind::Strength:
        break;
    }
    // Date and strength: directories first, among themselves by name and always ascending.
    if (dirA && dirB)
        return CompareText(book.Text(a), book.Text(b));
    if (dirA != dirB)
        return dirA ? -1 : 1;
    if (kind == SortKind::Strength) {
        const int sa = GetStrength(book, a), sb = GetStrength(book, b);
        if (sa == sb)
            return 0;
        return sb < sa ? -d : d;
    }
    // Items without lines have no date: they come before the dated ones.
    const bool linesA = !book.FirstChild(a).IsNone(), linesB = !book.FirstChild(b).IsNone();
    if (!linesA || !linesB)
        return linesA == linesB ? 0 : (linesA ? 1 : -1);
    const Node da = FindChildByKind(book, a, ItemKind::DateField);
    const Node db = FindChildByKind(book, b, ItemKind::DateField);
    return CompareText(book.Text(da), book.Text(db)) * d;
}

int Sort(KeyTree& tree, SortKind kind)
{
    Book& book = tree.book;
    const Node r = tree.Live(tree.rightClickedItem);
    // The field lines of a lock or key keep their fixed order.
    if (!r || !IsContainerForEdits(book.Kind(r)))
        return 0;
    const int d = book.ToggleFlags(r, SortBit(kind)) ? 1 : -1;
    if (RefreshSelfHandles(book, r) != 1)
        return 0;
    const int sorted = book.SortChildren(r, [&](Node a, Node b) { return CompareForSort(book, kind, d, a, b); });
    return sorted == 1 ? 1 : 0;
}

int ResetTraces(Book& book, Node record)
{
    const std::int32_t kind = book.Kind(record);
    if (kind != KindCode(ItemKind::Lock) && kind != KindCode(ItemKind::Key))
        return -1;
    ClearField(book, record, KindCode(ItemKind::OutputField));
    for (ItemKind group : {ItemKind::PreDetails, ItemKind::PostDetails}) {
        const Node g = FindChildByKind(book, record, group);
        for (Node row = book.FirstChild(g); row; row = book.NextSibling(row)) {
            const std::string initial = InitialDetailText(book.Kind(row));
            if (!initial.empty() && book.Text(row) != initial)
                book.SetText(row, initial);
        }
    }
    return 1;
}

int ClearTraces(KeyTree& tree)
{
    Book& book = tree.book;
    for (Node n = tree.Live(tree.rightClickedItem); n; n = book.Parent(n)) {
        const std::int32_t kind = book.Kind(n);
        if (kind == KindCode(ItemKind::Lock) || kind == KindCode(ItemKind::Key))
            return ResetTraces(book, n) == 1 ? 1 : 0;
    }
    return 0;
}

int UndoCommand(KeyTree& tree) { return tree.undo.Undo(); }

int RedoCommand(KeyTree& tree) { return tree.undo.Redo(); }

bool RunEditCommand(KeyTree& tree, int id)
{
    // Each command has told the user whatever needs telling and leaves the book consistent
    // however it ends; the menu only needs to know that the id was one of these.
    switch (id) {
    case kCmdUndo: (void)UndoCommand(tree); return true;
    case kCmdRedo: (void)RedoCommand(tree); return true;
    case kCmdApply: return true;
    case kCmdCut: (void)Cut(tree); return true;
    case kCmdCopy: (void)Copy(tree); return true;
    case kCmdPaste: (void)Paste(tree); return true;
    case kCmdDelete: (void)Delete(tree); return true;
    case kCmdSortType: (void)Sort(tree, SortKind::Type); return true;
    case kCmdSortName: (void)Sort(tree, SortKind::Name); return true;
    case kCmdSortStrength: (void)Sort(tree, SortKind::Strength); return true;
    case kCmdSortDate: (void)Sort(tree, SortKind::Date); return true;
    case kCmdCopyHere: (void)CopyToHere(tree); return true;
    case kCmdCutHere: (void)CutToHere(tree); return true;
    case kCmdClearTraces: (void)ClearTraces(tree); return true;
    default: return false;
    }
}

}  // namespace morvane
