#include "book/Queries.h"
#include "cli/Commands.h"
#include "cli/Items.h"
#include "platform/Text.h"

namespace morvane::cli {

namespace {

struct FieldName {
    ItemKind kind;
    const char* name;
    bool secret;
};
constexpr FieldName kShownFields[] = {
    {ItemKind::SerialField, "serial", false},
    {ItemKind::IdentityField, "identity", false},
    {ItemKind::EmailField, "email", false},
    {ItemKind::UseCountField, "uses", false},
    {ItemKind::StrengthField, "strength", false},
    {ItemKind::DateField, "date", false},
    {ItemKind::NoteField, "note", false},
    {ItemKind::ModulusField, "n", false},
    {ItemKind::PublicExponentField, "e", false},
    {ItemKind::PrivateExponentField, "d", true},
    {ItemKind::PrimePField, "p", true},
    {ItemKind::PrimeQField, "q", true},
    {ItemKind::CoefficientField, "u", true},
};

class Show final : public BookCommand {
public:
    Show()
        : BookCommand({"show", 2, 2, {"--json", "--private"}, {}, "show BOOK ITEM [--private] [--json] [--dir|--lock|--key]",
                       "Shows a lock's or key's fields, or how many items a directory holds. The private values D, "
                       "P, Q and U only with --private.",
                       true, true},
                      Access::Read)
    {
    }

protected:
    int RunOnBook(Invocation& c) const override
    {
        const Book& book = c.tree.book;
        Node n;
        if (int r = Find(c, c.args.positional[1], ItemMask(c.args, 0), "item", n))
            return r;
        const bool json = c.args.Has("--json");
        const bool secrets = c.args.Has("--private");
        const std::int32_t kind = book.Kind(n);
        auto shown = [&](const FieldName& f) { return !f.secret || (secrets && kind != KindCode(ItemKind::Lock)); };
        std::string out;
        if (json) {
            out = "{" + JsonMembers(book, n);
            if (IsRecord(kind)) {
                for (const auto& f : kShownFields) {
                    // The date is among every record's members already; the use count is a number.
                    if (!shown(f) || f.kind == ItemKind::DateField)
                        continue;
                    out += ", " + JsonString(f.name) + ": " +
                           (f.kind == ItemKind::UseCountField ? std::to_string(UseCount(book, n))
                                                              : JsonString(Utf8(FieldValue(book, n, f.kind))));
                }
            } else {
                out += ", \"items\": " + std::to_string(book.ChildCount(n));
            }
            out += "}\n";
        } else {
            auto line = [&](const std::string& name, const std::string& value) {
                out += name + ":" + std::string(name.size() < 9 ? 10 - name.size() : 1, ' ') + value + "\n";
            };
            line("name", Printable(book.Text(n)));
            line("kind", KindName(kind));
            line("path", PathOf(book, n));
            if (IsRecord(kind)) {
                line("bits", std::to_string(GetStrength(book, n)));
                for (const auto& f : kShownFields)
                    if (shown(f))
                        line(f.name, Printable(FieldValue(book, n, f.kind)));
            } else {
                line("items", std::to_string(book.ChildCount(n)));
            }
        }
        return Out(out) ? kExitOk : Fail(kExitFailure, "cannot write the item");
    }
};

}  // namespace

const Command& ShowCommand()
{
    static const Show command;
    return command;
}

}  // namespace morvane::cli
