#include "cli/Commands.h"
#include "platform/Wipe.h"

namespace morvane::cli {

namespace {

class Passwd final : public BookCommand {
public:
    Passwd()
        : BookCommand({"passwd", 1, 1, {}, {"--new-password-fd"}, "passwd BOOK [--new-password-fd N]",
                       "Changes the book's password: the old one is asked first, then the new one twice on the "
                       "terminal, or read as a line from descriptor N (which may be the --password-fd descriptor: "
                       "its first line is the old password, its second the new one). The book is written anew "
                       "under the new password."},
                      Access::Write)
    {
    }

protected:
    int RunOnBook(Invocation& c) const override
    {
        std::string password;
        WipeOnExit wipePassword{password};
        if (int r = AskPassword(c, "--new-password-fd", "New password for " + c.path + ": ", true, password))
            return r;
        ReplaceSecret(c.tree.bookPassword, password);
        c.save = true;
        return kExitOk;
    }
};

}  // namespace

const Command& PasswdCommand()
{
    static const Passwd command;
    return command;
}

}  // namespace morvane::cli
