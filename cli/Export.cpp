#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "message/PublicKeyText.h"

namespace morvane::cli {

namespace {

class Export final : public BookCommand {
public:
    Export()
        : BookCommand({"export", 2, 2, {}, {"--output"}, "export BOOK KEY [-o FILE] [--key]",
                       "Writes the key's public key text to standard output, or to FILE.", true, true},
                      Access::Read)
    {
    }

protected:
    int RunOnBook(Invocation& c) const override
    {
        KeyTree& tree = c.tree;
        Node n;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, kMaskKey), "key", n))
            return r;
        tree.contextItem = n;
        ExportPublicKey(tree);
        const std::string text = FieldValue(tree.book, n, ItemKind::OutputField);
        bool found = false;
        std::string nText, eText;
        ParsePublicKeyText(found, nText, eText, text);
        if (!found)
            return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                          "\" holds no complete key that passes its self-test; run keygen first");
        // Byte for byte the window's text (its lines end in CR LF), ended by a line break.
        return WriteOutput(c, text + "\r\n", false, "the public key");
    }
};

}  // namespace

const Command& ExportCommand()
{
    static const Export command;
    return command;
}

}  // namespace morvane::cli
