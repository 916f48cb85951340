#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "message/Protect.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane::cli {

namespace {

class Decrypt final : public BookCommand {
public:
    Decrypt()
        : BookCommand({"decrypt", 2, 3, {}, {"--verify", "--output"}, "decrypt BOOK KEY [FILE] [--verify LOCK] [-o FILE] [--key]",
                       "Decrypts the armored text in FILE (standard input when it is - or not given) with KEY and "
                       "writes the text to standard output, or to FILE (created private to the user). A signed "
                       "message is verified with LOCK, or else with the one lock beside KEY whose N matches the "
                       "signer; the verdict goes to stderr and to the exit code, and a failed verification gives no "
                       "text. The book is not changed.",
                       true, true},
                      Access::Read)
    {
    }

protected:
    int Prepare(Invocation& c) const override
    {
        return ReadInput(c.args.positional.size() > 2 ? &c.args.positional[2] : nullptr, kMaxArmoredText,
                         "the armored text", c.input);
    }

    int RunOnBook(Invocation& c) const override
    {
        KeyTree& tree = c.tree;
        Book& book = tree.book;
        const std::string& keyName = c.args.positional[1];
        Node key, named;
        if (int r = Find(c, keyName, ItemMask(c.args, kMaskKey), "key", key))
            return r;
        const std::string* verifyWith = c.args.Value("--verify");
        if (verifyWith) {
            if (int r = Find(c, *verifyWith, kMaskLock, "lock", named))
                return r;
        }
        if (int r = LoadComplete(c, tree.engine[0], key, keyName))
            return r;

        int finderCode = kExitOk;
        std::string signerName;
        const SignerFinder findLock = [&](const std::string& signerField, Node& lock) {
            lock = Node{};
            if (verifyWith) {
                std::string digest;
                if (ModulusDigest(book, named, digest) != 1 || digest != signerField) {
                    finderCode = Fail(kExitBadSignature, "verification failed: the message was not signed with the "
                                                         "key of \"" + *verifyWith + "\"");
                    return 1;
                }
                signerName = *verifyWith;
                lock = named;
            } else {
                // The window's rule: the one lock beside the key whose N matches the signer field.
                const Node dir = book.Parent(key);
                int count = 0;
                Node found;
                for (Node ch = book.FirstChild(dir); ch; ch = book.NextSibling(ch)) {
                    std::string digest;
                    if (book.Kind(ch) == KindCode(ItemKind::Lock) && ModulusDigest(book, ch, digest) == 1 &&
                        digest == signerField) {
                        ++count;
                        found = ch;
                    }
                }
                if (count != 1) {
                    finderCode = Fail(kExitBadSignature,
                                      "verification failed: the message is signed, and " +
                                          std::string(count == 0 ? "no lock" : std::to_string(count) + " locks") +
                                          " in \"" + PathOf(book, dir) +
                                          "\" match the signer; name the signer's lock with --verify");
                    return 1;
                }
                signerName = PathOf(book, found);
                lock = found;
            }
            int complete = 0;
            if (LoadKey(tree.engine[1], complete, tree, lock) != 1 || complete != 1) {
                finderCode = Fail(kExitBadSignature, "verification failed: \"" + signerName + "\" holds no complete key");
                lock = Node{};
            }
            return 1;
        };

        OpenedText opened;
        WipeOnExit wipeText{opened.text};
        switch (OpenText(tree, key, c.input, findLock, opened)) {
        case OpenVerdict::Unsigned:
            if (verifyWith)
                return Fail(kExitBadSignature, "verification failed: the message is not signed");
            break;
        case OpenVerdict::Good:
            break;
        case OpenVerdict::NotArmored:
            return Fail(kExitDamaged, "the input is not an armored message");
        case OpenVerdict::NoSigner:
            return finderCode;
        case OpenVerdict::NotForKey:
            return Fail(kExitDamaged, "cannot decrypt: the message is damaged or not meant for \"" + keyName + "\"");
        case OpenVerdict::BadSignature:
            return Fail(kExitBadSignature, "verification failed: BAD signature (\"" + signerName + "\")");
        case OpenVerdict::NotText:
            return Fail(kExitDamaged, "the decrypted message is not text (a zero byte, a control character or no GBK): it "
                                      "is no text of this program");
        case OpenVerdict::Failed:
            return Fail(kExitFailure, "cannot decrypt: the key's record cannot be updated");
        }
        std::string utf8 = Utf8(opened.text);
        WipeOnExit wipeUtf8{utf8};
        std::string plain;
        WipeOnExit wipePlain{plain};
        plain.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i)
            if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n'))
                plain += utf8[i];
        if (int r = WriteOutput(c, plain, true, "the text"))
            return r;
        if (opened.verdict == OpenVerdict::Good)
            (void)WriteAll(STDERR_FILENO, "morvane-cli: good signature from \"" + signerName + "\"\n");
        return kExitOk;
    }
};

}  // namespace

const Command& DecryptCommand()
{
    static const Decrypt command;
    return command;
}

}  // namespace morvane::cli
