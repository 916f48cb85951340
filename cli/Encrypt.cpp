#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "cli/Commands.h"
#include "message/Protect.h"
#include "message/TextCheck.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane::cli {

// Loads a record's key into engine; kExitOk or the exit code after a message.
int LoadComplete(Invocation& c, CRSA& engine, Node record, const std::string& name)
{
    int complete = 0;
    if (CheckKey(engine, complete, c.tree, record) != 1 || complete != 1)
        return Fail(kExitFailure, "\"" + name + "\" holds no complete key of its strength; nothing was done");
    return kExitOk;
}

namespace {

class Encrypt final : public BookCommand {
public:
    Encrypt()
        : BookCommand({"encrypt", 2, 3, {}, {"--sign", "--output"}, "encrypt BOOK LOCK [FILE] [--sign KEY] [-o FILE] [--lock]",
                       "Encrypts the UTF-8 text in FILE (standard input when it is - or not given) for LOCK, signed "
                       "with KEY first when given, and writes the armored text to standard output, or to FILE. The "
                       "book is not changed.",
                       true, true},
                      Access::Read)
    {
    }

protected:
    int Prepare(Invocation& c) const override
    {
        std::string input;
        WipeOnExit wipeInput{input};
        if (int r = ReadInput(c.args.positional.size() > 2 ? &c.args.positional[2] : nullptr, kMaxPlainText,
                              "the text", input))
            return r;
        if (input.empty())
            return Fail(kExitFailure, "nothing to encrypt: the input is empty");
        if (!IsValidUtf8(input))
            return Fail(kExitDamaged, "the input is not UTF-8 text");
        if (input.find('\0') != std::string::npos)
            return Fail(kExitDamaged, "the input holds a zero byte; only text can be encrypted");
        // Texts keep their line breaks as CR LF, as the window and its peers have them.
        std::string plain;
        WipeOnExit wipePlain{plain};
        plain.reserve(input.size() * 2);
        for (std::size_t i = 0; i < input.size(); ++i) {
            if (input[i] == '\n' && (i == 0 || input[i - 1] != '\r'))
                plain += '\r';
            plain += input[i];
        }
        std::string gbk = Gbk(plain);
        WipeOnExit wipeGbk{gbk};
        // What a receiver would refuse to open is not sent.
        if (!IsProgramText(gbk))
            return Fail(kExitDamaged, "the input holds a control character other than tab and line breaks; only text "
                                      "can be encrypted");
        TakeSecret(c.input, gbk);
        return kExitOk;
    }

    int RunOnBook(Invocation& c) const override
    {
        KeyTree& tree = c.tree;
        Node lock, key;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, kMaskLock), "lock", lock))
            return r;
        const std::string* signWith = c.args.Value("--sign");
        if (signWith) {
            if (int r = Find(c, *signWith, kMaskKey, "key", key))
                return r;
        }
        if (int r = LoadComplete(c, tree.engine[0], lock, c.args.positional[1]))
            return r;
        if (signWith) {
            if (int r = LoadComplete(c, tree.engine[1], key, *signWith))
                return r;
        }
        SealedText sealed;
        WipeOnExit wipeSignature{sealed.signature};
        if (SealText(tree, lock, key, c.input, sealed) != 1)
            return Fail(kExitFailure, signWith ? "signing and encryption failed" : "encryption failed");
        return WriteOutput(c, sealed.armored + "\n", false, "the armored text");
    }
};

}  // namespace

const Command& EncryptCommand()
{
    static const Encrypt command;
    return command;
}

}  // namespace morvane::cli
