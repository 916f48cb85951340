#include <sys/stat.h>

#include "book/BookFile.h"
#include "book/Marking.h"
#include "book/Records.h"
#include "cli/Commands.h"
#include "platform/Wipe.h"

namespace morvane::cli {

namespace {

class New final : public Command {
public:
    New()
        : Command({"new", 1, 1, {}, {}, "new BOOK",
                   "Creates an empty book (its root is named 密钥通讯薄) under a new password. An existing file is "
                   "never overwritten."})
    {
    }

    int Execute(Invocation& c) const override
    {
        c.path = c.args.positional[0];
        struct stat st;
        if (::lstat(c.path.c_str(), &st) == 0)
            return Fail(kExitFailure, c.path + " exists; a new book is never written over a file");
        std::string password;
        WipeOnExit wipePassword{password};
        if (int r = AskPassword(c, "--password-fd", "Password for the new book " + c.path + ": ", true, password))
            return r;
        KeyTree& tree = c.tree;
        ReplaceSecret(tree.bookPassword, password);
        BuildEmptyBook(tree.book);
        MendAfterRebuild(tree);
        tree.bookPath = c.path;
        return SaveBookBack(c);
    }
};

}  // namespace

const Command& NewCommand()
{
    static const New command;
    return command;
}

}  // namespace morvane::cli
