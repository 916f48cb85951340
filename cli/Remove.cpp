#include "book/Editing.h"
#include "book/Marking.h"
#include "cli/Commands.h"

namespace morvane::cli {

namespace {

class Remove final : public BookCommand {
public:
    Remove()
        : BookCommand({"remove", 2, 2, {"--recursive"}, {}, "remove BOOK ITEM [--recursive] [--dir|--lock|--key]",
                       "Removes a directory, lock or key. A directory that holds items needs --recursive.", true,
                       true},
                      Access::Write)
    {
    }

protected:
    int RunOnBook(Invocation& c) const override
    {
        KeyTree& tree = c.tree;
        Node n;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, 0), "item", n))
            return r;
        if (tree.book.Kind(n) == KindCode(ItemKind::BookRoot))
            return Fail(kExitUsage, "the book's root cannot be removed");
        if (tree.book.Kind(n) == KindCode(ItemKind::Directory) && tree.book.ChildCount(n) > 0 &&
            !c.args.Has("--recursive"))
            return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                          "\" is a directory that holds items; give --recursive to remove it with them");
        ClearMarking(tree);
        tree.rightClickedItem = n;
        c.desktop.consent = true;  // the command line is the answer to "确认删除选定的 ...?"
        if (Delete(tree) != 1)
            return Fail(kExitFailure, "cannot remove \"" + c.args.positional[1] + "\"; nothing was written");
        c.save = true;
        return kExitOk;
    }
};

}  // namespace

const Command& RemoveCommand()
{
    static const Remove command;
    return command;
}

}  // namespace morvane::cli
