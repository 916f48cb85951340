#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

class List final : public BookCommand {
public:
    List()
        : BookCommand({"list", 1, 2, {"--json"}, {}, "list BOOK [ITEM] [--json] [--dir|--lock|--key]",
                       "Shows the tree below ITEM (the whole book by default): directories end in '/', locks and "
                       "keys show their kind, strength in bits and last-use date, and \"(no key)\" while they hold "
                       "none.",
                       true, true},
                      Access::Read)
    {
    }

protected:
    int RunOnBook(Invocation& c) const override
    {
        const Book& book = c.tree.book;
        Node top;
        const std::string item = c.args.positional.size() > 1 ? c.args.positional[1] : std::string();
        if (int r = Find(c, item, ItemMask(c.args, 0), "item", top))
            return r;
        const bool json = c.args.Has("--json");
        const int base = book.Depth(top);
        std::string out;
        // Pre-order over the items (field lines are not items), without recursion: a book may
        // be nested deeper than a stack would allow.
        int open = 0;                // JSON objects whose items array is still open
        std::vector<bool> hadChild;  // per open JSON level: a child was written
        for (Node n = top; n; n = book.NextPreOrder(n, top)) {
            const std::int32_t kind = book.Kind(n);
            if (ItemClass(book, n) == 3)
                continue;
            const int depth = book.Depth(n) - base;
            if (json) {
                while (open > depth) {
                    out += "]}";
                    --open;
                    hadChild.pop_back();
                }
                if (!hadChild.empty()) {
                    out += hadChild.back() ? ",\n" : "\n";
                    hadChild.back() = true;
                }
                out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + "{" + JsonMembers(book, n);
                if (IsRecord(kind)) {
                    out += "}";
                } else {
                    out += ", \"items\": [";
                    ++open;
                    hadChild.push_back(false);
                }
            } else {
                out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + Printable(book.Text(n));
                if (IsRecord(kind)) {
                    const std::string date = FieldValue(book, n, ItemKind::DateField);
                    out += "  " + std::string(KindName(kind)) + "  " + std::to_string(GetStrength(book, n)) + "  " +
                           (date.empty() ? std::string("-") : Printable(date));
                    if (!HasModulus(book, n))
                        out += "  (no key)";
                } else {
                    out += "/";
                }
                out += "\n";
            }
            if (out.size() > (1u << 16)) {
                if (!Out(out))
                    return Fail(kExitFailure, "cannot write the list");
                out.clear();
            }
        }
        if (json) {
            while (open-- > 0)
                out += "]}";
            out += "\n";
        }
        return Out(out) ? kExitOk : Fail(kExitFailure, "cannot write the list");
    }
};

}  // namespace

const Command& ListCommand()
{
    static const List command;
    return command;
}

}  // namespace morvane::cli
