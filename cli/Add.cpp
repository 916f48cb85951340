#include "book/AddItem.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

class Add final : public BookCommand {
public:
    // --dir, --lock and --key say the new item's kind here; PARENT is always a directory.
    Add()
        : BookCommand({"add", 3, 3, {"--dir", "--lock", "--key"}, {}, "add BOOK PARENT NAME --dir|--lock|--key",
                       "Adds a directory, lock or key named NAME under the directory PARENT (\"\" or / for the root). "
                       "A sibling of the same kind may not have the same name."},
                      Access::Write)
    {
    }

protected:
    int Prepare(Invocation& c) const override
    {
        const unsigned mask = KindMaskOf(c.args);
        if (mask != kMaskDirectory && mask != kMaskLock && mask != kMaskKey)
            return Fail(kExitUsage, "add: give exactly one of --dir, --lock and --key");
        return CheckNewName(c.args.positional[2], "add");
    }

    int RunOnBook(Invocation& c) const override
    {
        const unsigned mask = KindMaskOf(c.args);
        const std::string& nameUtf8 = c.args.positional[2];
        KeyTree& tree = c.tree;
        Node parent;
        if (int r = Find(c, c.args.positional[1], kMaskDirectory, "directory", parent))
            return r;
        const std::int32_t parentKind = tree.book.Kind(parent);
        if (parentKind != KindCode(ItemKind::BookRoot) && parentKind != KindCode(ItemKind::Directory))
            return Fail(kExitFailure, "\"" + c.args.positional[1] + "\" holds no items");
        ClearMarking(tree);
        tree.rightClickedItem = parent;
        AddItemForm form;
        form.FocusName(tree);
        form.ChooseKind(tree, mask);
        form.SetName(tree, Gbk(nameUtf8));
        if (form.nameTaken)
            return Fail(kExitFailure, "a " + std::string(KindName(KindOfMask(mask))) + " named \"" + nameUtf8 +
                                          "\" is already there; nothing was written");
        if (!form.Accept(tree))
            return Fail(kExitFailure, "cannot add \"" + nameUtf8 + "\"; nothing was written");
        c.save = true;
        return kExitOk;
    }
};

}  // namespace

const Command& AddCommand()
{
    static const Add command;
    return command;
}

}  // namespace morvane::cli
