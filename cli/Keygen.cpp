#include <sys/random.h>

#include "book/KeyGen.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "message/Boxes.h"

namespace morvane::cli {

namespace {

// The pool starts from the system generator; stirring it with more of the same stands in
// for the mouse samples the window collects.
void StirFromSystem(CRandom& random)
{
    // Below 1024 stirs, so that no seed file is written (the program's own seed file belongs
    // to the window's login).
    for (int i = 0; i < 256; ++i) {
        std::uint32_t sample = 0;
        if (::getrandom(&sample, sizeof sample, 0) != static_cast<ssize_t>(sizeof sample))
            break;
        random.Stir(sample);
    }
}

class Keygen final : public BookCommand {
public:
    Keygen()
        : BookCommand({"keygen", 2, 2, {"--force"}, {"--bits"},
                       "keygen BOOK ITEM --bits 512|1024|2048|4096 [--force] [--lock|--key]",
                       "Generates a key pair into a key (a lock receives N and E only). Randomness comes from the "
                       "operating system's generator; progress goes to stderr when it is a terminal, and Ctrl-C stops "
                       "the generation without writing. An item that holds a key needs --force.",
                       true, true},
                      Access::Write)
    {
    }

protected:
    int Prepare(Invocation& c) const override
    {
        const std::string* bitsText = c.args.Value("--bits");
        for (int i = 0; bitsText && i < 4; ++i)
            if (*bitsText == std::to_string(512 << i))
                return kExitOk;
        return Fail(kExitUsage, "keygen: --bits must be 512, 1024, 2048 or 4096");
    }

    int RunOnBook(Invocation& c) const override
    {
        int index = 0;
        while (*c.args.Value("--bits") != std::to_string(512 << index))
            ++index;
        KeyTree& tree = c.tree;
        Node n;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, kMaskKey | kMaskLock), "lock or key", n))
            return r;
        if (HasModulus(tree.book, n) && !c.args.Has("--force"))
            return Fail(kExitFailure, "\"" + c.args.positional[1] + "\" already holds a key; give --force to replace it");
        // The strength line says what the generation makes, as the window's selector writes it.
        if (SetField(tree.book, n, KindCode(ItemKind::StrengthField), StrengthEntry(index)) != 1)
            return Fail(kExitFailure, "\"" + c.args.positional[1] + "\" has no strength line");
        StirFromSystem(tree.random);

        TerminalProgress progress;
        if (IsTerminal(STDERR_FILENO))
            tree.view = &progress;
        tree.rightClickedItem = n;
        c.desktop.consent = true;  // "原有的密钥数据将被删除, 继续吗?" was answered by --force
        InstallInterruptHandlers();
        const KeygenOutcome outcome = GenerateKeyCommand(tree);
        progress.Finish();
        tree.view = nullptr;
        switch (outcome.end) {
        case KeygenEnd::Done:
            if (!outcome.keyWritten)
                return Fail(kExitFailure, "the new key could not be stored; nothing was written");
            c.save = true;
            return kExitOk;
        case KeygenEnd::Stopped:
            return Fail(kExitFailure, "key generation stopped; nothing was written");
        default:
            return Fail(kExitFailure, "key generation failed (status " + std::to_string(outcome.status) +
                                          "); nothing was written");
        }
    }
};

}  // namespace

const Command& KeygenCommand()
{
    static const Keygen command;
    return command;
}

}  // namespace morvane::cli
