#include "bignum/BigInt.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "message/PublicKeyText.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

class Import final : public BookCommand {
public:
    Import()
        : BookCommand({"import", 2, 3, {"--force"}, {}, "import BOOK LOCK [FILE] [--force] [--lock]",
                       "Reads a public key text from FILE (standard input when it is - or not given) into the lock. "
                       "A lock that holds another key needs --force.",
                       true, true},
                      Access::Write)
    {
    }

protected:
    // The key text is read and checked before the book is opened: no password is asked for
    // input that cannot be taken.
    int Prepare(Invocation& c) const override
    {
        std::string text;
        if (int r = ReadInput(c.args.positional.size() > 2 ? &c.args.positional[2] : nullptr, kMaxKeyText,
                              "a public key text", text))
            return r;
        if (!IsValidUtf8(text))
            return Fail(kExitDamaged, "the input is not UTF-8 text");
        c.input = Gbk(text);
        bool found = false;
        std::string n, e;
        ParsePublicKeyText(found, n, e, c.input);
        if (!found)
            return Fail(kExitDamaged, "the input holds no public key text");
        BigInt modulus;
        const std::uint32_t bits = modulus.FromString(16, n) == 1 ? BitLength(modulus) : 0;
        if (bits != 512 && bits != 1024 && bits != 2048 && bits != 4096)
            return Fail(kExitDamaged, "the public key's N has " + std::to_string(bits) +
                                          " bits; only keys of 512, 1024, 2048 or 4096 bits are taken");
        return kExitOk;
    }

    int RunOnBook(Invocation& c) const override
    {
        KeyTree& tree = c.tree;
        bool found = false;
        std::string n, e;
        ParsePublicKeyText(found, n, e, c.input);
        Node lock;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, kMaskLock), "lock", lock))
            return r;
        const std::string oldN = FieldValue(tree.book, lock, ItemKind::ModulusField);
        const std::string oldE = FieldValue(tree.book, lock, ItemKind::PublicExponentField);
        if (oldN == n && oldE == e)
            return kExitOk;  // already there: nothing to write
        if (HasModulus(tree.book, lock) && !c.args.Has("--force"))
            return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                          "\" already holds another key; give --force to replace it");
        ClearMarking(tree);
        tree.clickedItem = lock;
        tree.clickedLineText = tree.book.Text(lock);
        c.desktop.consent = true;  // "发现新公钥, 替换原有公钥吗?" was answered by the command line
        if (!ImportPublicKey(tree, c.input) || FieldValue(tree.book, lock, ItemKind::ModulusField)  != n)
            return Fail(kExitFailure, "the public key could not be stored; nothing was written");
        c.save = true;
        return kExitOk;
    }

};

}  // namespace

const Command& ImportCommand()
{
    static const Import command;
    return command;
}

}  // namespace morvane::cli
