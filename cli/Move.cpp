#include "book/DragDrop.h"
#include "book/Editing.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

class Move final : public BookCommand {
public:
    Move()
        : BookCommand({"move", 3, 3, {}, {}, "move BOOK ITEM DIR [--dir|--lock|--key]",
                       "Moves a directory, lock or key with everything below it into the directory DIR (\"\" or / for "
                       "the root), as a drag in the window does. Refused when DIR already holds an item of the same "
                       "kind and name, or lies within ITEM.",
                       true, true},
                      Access::Write)
    {
    }

protected:
    int RunOnBook(Invocation& c) const override
    {
        KeyTree& tree = c.tree;
        Book& book = tree.book;
        const std::string& itemPath = c.args.positional[1];
        const std::string& dirPath = c.args.positional[2];
        Node item, target;
        if (int r = Find(c, itemPath, ItemMask(c.args, 0), "item", item))
            return r;
        if (book.Kind(item) == KindCode(ItemKind::BookRoot))
            return Fail(kExitUsage, "the book's root cannot be moved");
        if (int r = Find(c, dirPath, kMaskDirectory, "directory", target))
            return r;
        if (!IsContainer(book, target) || book.Kind(target) == KindCode(ItemKind::AltDirectory))
            return Fail(kExitFailure, "\"" + dirPath + "\" holds no items");
        if (target == book.Parent(item))
            return kExitOk;  // already there: nothing to write
        for (Node p = target; p; p = book.Parent(p))
            if (p == item)
                return Fail(kExitFailure, "\"" + dirPath + "\" lies within \"" + itemPath +
                                              "\": an item cannot move into itself; nothing was written");
        if (const NameClash clash = CheckNameClash(book, ItemList{item}, target); clash.Clashes())
            return Fail(kExitFailure, "\"" + dirPath + "\" already holds a " + KindName(clash.kind) + " named \"" +
                                          Printable(book.Text(item)) + "\"; nothing was written");
        // The window's cut and paste to here, on the item alone.
        ClearMarking(tree);
        tree.rightClickedItem = item;
        if (!StartSelection(tree))
            return Fail(kExitFailure, "cannot move \"" + itemPath + "\"; nothing was written");
        tree.contextItem = target;
        if (CutToHere(tree) != 1)
            return Fail(kExitFailure, "cannot move \"" + itemPath + "\"; nothing was written");
        ClearMarking(tree);  // the book is written without a selection
        c.save = true;
        return kExitOk;
    }
};

}  // namespace

const Command& MoveCommand()
{
    static const Move command;
    return command;
}

}  // namespace morvane::cli
