#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

class Rename final : public BookCommand {
public:
    Rename()
        : BookCommand({"rename", 3, 3, {}, {}, "rename BOOK ITEM NAME [--dir|--lock|--key]",
                       "Gives a directory, lock or key the name NAME. Refused when a sibling of the same kind has "
                       "that name, as the window refuses such a name for a new item.",
                       true, true},
                      Access::Write)
    {
    }

protected:
    int Prepare(Invocation& c) const override { return CheckNewName(c.args.positional[2], "rename"); }

    int RunOnBook(Invocation& c) const override
    {
        Book& book = c.tree.book;
        const std::string& nameUtf8 = c.args.positional[2];
        Node item;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, 0), "item", item))
            return r;
        const std::string name = Gbk(nameUtf8);
        if (book.Text(item) == name)
            return kExitOk;  // nothing to write
        const std::int32_t kind = book.Kind(item);
        const Node parent = book.Parent(item);
        // The add item dialog's rule: no two siblings of one kind share a name (both kinds of
        // directory count as one).
        unsigned mask = 0;
        for (unsigned m : {kMaskDirectory, kMaskKey, kMaskLock, kMaskSignature, kMaskPolice})
            if (KindMatchesMask(kind, m))
                mask = m;
        if (parent && mask && !FindChildByName(book, parent, name, mask).IsNone())
            return Fail(kExitFailure, "a " + std::string(KindName(kind)) + " named \"" + nameUtf8 +
                                          "\" is already there; nothing was written");
        book.SetText(item, name);
        c.save = true;
        return kExitOk;
    }

};

}  // namespace

const Command& RenameCommand()
{
    static const Rename command;
    return command;
}

}  // namespace morvane::cli
