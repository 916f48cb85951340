#include "book/Queries.h"

#include <climits>
#include <vector>

#include "bignum/BigInt.h"
#include "platform/Text.h"

namespace morvane {

namespace {

bool IsGroupKind(std::int32_t kind)
{
    return kind == KindCode(ItemKind::PreDetails) || kind == KindCode(ItemKind::PostDetails);
}

}  // namespace

bool SplitFieldText(std::int32_t kind, std::string_view text, std::string& label, std::string& value)
{
    if (IsGroupKind(kind)) {
        label.clear();
        value.assign(text);
        return true;
    }
    std::size_t at = text.find(": ");
    if (at == std::string_view::npos)
        return false;
    label.assign(text.substr(0, at + 2));
    value.assign(text.substr(at + 2));
    return true;
}

Node FindChildByKind(const Book& book, Node parent, std::int32_t kind)
{
    if (!parent.IsNone() && !book.Valid(parent))
        return Node{};
    for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
        if (book.Kind(c) == kind)
            return c;
    return Node{};
}

namespace {

// The item's line of that kind, split: 1; 0 when the item or the line does not exist; -1 when
// the text cannot be split. out.node is set on success only.
int FindFieldLine(const Book& book, Node item, std::int32_t fieldKind, FieldLine& out)
{
    if (!book.Valid(item))
        return 0;
    Node line = FindChildByKind(book, item, fieldKind);
    if (!line)
        return 0;
    if (!SplitFieldText(fieldKind, book.Text(line), out.label, out.value))
        return -1;
    out.node = line;
    return 1;
}

}  // namespace

int GetField(const Book& book, Node item, std::int32_t fieldKind, FieldLine& out)
{
    return FindFieldLine(book, item, fieldKind, out) == 1 ? 1 : -1;
}

int SetField(Book& book, Node item, std::int32_t fieldKind, std::string_view value)
{
    FieldLine f;
    if (GetField(book, item, fieldKind, f) != 1)
        return -1;
    f.label.append(value);
    return book.SetText(f.node, f.label);
}

int ClearField(Book& book, Node item, std::int32_t fieldKind)
{
    FieldLine f;
    const int found = FindFieldLine(book, item, fieldKind, f);
    if (found != 1)
        return found;
    return book.SetText(f.node, f.label);
}

int SetNumberField(Book& book, Node item, std::int32_t fieldKind, const BigInt& x)
{
    FieldLine f;
    const int found = FindFieldLine(book, item, fieldKind, f);
    if (found != 1)
        return found;
    std::string hex = NumberText(x, kNumberHex);
    if (hex.empty())
        return -1;
    f.label += hex;
    return book.SetText(f.node, f.label) == 1 ? 1 : -1;
}

int GetNumberField(const Book& book, Node item, std::int32_t fieldKind, BigInt& x, bool& hasValue)
{
    FieldLine f;
    if (FindFieldLine(book, item, fieldKind, f) != 1)
        return 0;
    const std::string& value = f.value;
    std::size_t b = value.find_first_not_of(' ');
    if (b == std::string::npos) {
        hasValue = false;
        return 1;
    }
    std::size_t e = value.find_last_not_of(' ');
    return x.FromString(16, std::string_view(value).substr(b, e - b + 1)) == 1 ? 1 : 0;
}

std::string NumberText(const BigInt& x, int form)
{
    std::vector<char> buf;
    try {
        buf.assign(kNumberTextBuffer, 0);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
    int ok = 0;
    switch (form) {
    case kNumberHex: ok = x.ToHex(buf.data(), buf.size()); break;
    case kNumberDecimal: ok = x.ToDecimal(buf.data(), buf.size()); break;
    case kNumberEscaped: ok = x.ToEscapedBytes(buf.data(), buf.size()); break;
    default: return std::string();
    }
    if (ok != 1)
        return std::string();
    buf.back() = 0;
    return std::string(buf.data());
}

int StrengthFromText(std::string_view text)
{
    std::size_t at = text.find(':');
    if (at == std::string_view::npos)
        return 0;
    long long n = 0;
    for (std::size_t i = at; i < text.size() && text[i] != 'B'; ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            n = n * 10 + (c - '0');
            if (n > INT_MAX)  // a nonsense line must not overflow
                n = INT_MAX;
        }
    }
    return static_cast<int>(n);
}

int GetStrength(const Book& book, Node item)
{
    if (!book.Valid(item))
        return 0;
    Node line = FindChildByKind(book, item, ItemKind::StrengthField);
    return line ? StrengthFromText(book.Text(line)) : 0;
}

bool KindMatchesMask(std::int32_t kind, unsigned mask)
{
    switch (kind) {
    case KindCode(ItemKind::Directory):
    case KindCode(ItemKind::AltDirectory): return (mask & kMaskDirectory) != 0;
    case KindCode(ItemKind::Key): return (mask & kMaskKey) != 0;
    case KindCode(ItemKind::Lock): return (mask & kMaskLock) != 0;
    case KindCode(ItemKind::Signature): return (mask & kMaskSignature) != 0;
    case KindCode(ItemKind::Police): return (mask & kMaskPolice) != 0;
    default: return false;
    }
}

bool KindMatches(const Book& book, Node n, unsigned mask)
{
    return book.Valid(n) && KindMatchesMask(book.Kind(n), mask);
}

int ItemClassOfKind(std::int32_t kind)
{
    if (kind == KindCode(ItemKind::BookRoot))
        return 1;
    if (kind >= KindCode(ItemKind::Directory) && kind <= KindCode(ItemKind::AltDirectory))
        return 2;
    return 3;
}

int ItemClass(const Book& book, Node n)
{
    return book.Valid(n) ? ItemClassOfKind(book.Kind(n)) : 0;
}

Node FindChildByName(const Book& book, Node parent, std::string_view name, unsigned mask)
{
    if (!parent.IsNone() && !book.Valid(parent))
        return Node{};
    for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
        if (KindMatchesMask(book.Kind(c), mask) && book.Text(c) == name)
            return c;
    return Node{};
}

ItemList FindAllByName(const Book& book, Node start, std::string_view name, unsigned mask)
{
    ItemList found;
    Node root = start.IsNone() ? book.FirstRoot() : start;
    if (!book.Valid(root) || mask == 0)
        return found;
    for (Node n = book.NextPreOrder(root, root); n; n = book.NextPreOrder(n, root))
        if (KindMatchesMask(book.Kind(n), mask) && book.Text(n) == name)
            found.push_back(n);
    return found;
}

std::optional<ItemList> CollectMarked(Book& book, Node parent, int mode)
{
    if (!parent.IsNone() && !book.Valid(parent))
        return std::nullopt;
    Node c = book.FirstChild(parent);
    if (!c)
        return std::nullopt;
    ItemList list;
    for (; c; c = book.NextSibling(c)) {
        if (!(book.Flags(c) & kFlagMarked))
            continue;
        list.push_back(c);
        if (mode == kCollectCut)
            book.SetState(c, kStateCut, kStateCut);
        else
            book.SetState(c, 0, kStateCut);
    }
    return list;
}

void Unmark(Book& book, Node n)
{
    if (!book.Valid(n))
        return;
    book.SetFlags(n, book.Flags(n) & ~kFlagMarked);
    book.SetState(n, 0, kStateCut);
}

void UnmarkSubtree(Book& book, Node n)
{
    Node root = n.IsNone() ? book.FirstRoot() : n;
    if (!book.Valid(root))
        return;
    for (Node c = root; c; c = book.NextPreOrder(c, root))
        Unmark(book, c);
}

int RefreshSelfHandles(Book& book, Node parent)
{
    if (!parent.IsNone() && !book.Valid(parent))
        return -1;
    Node c = book.FirstChild(parent);
    if (!c)
        return -1;
    for (; c; c = book.NextSibling(c))
        book.SetSelf(c, c);
    return 1;
}

const KindTexts* TextsOfKind(std::int32_t kind)
{
    static constexpr KindTexts directory{"<目录>", MORVANE_TR("Book", "<目录>:  \"%1\" 重名"),
                                         MORVANE_TR("Book", "确认删除选定的 <目录>: \"%1\"?")};
    static constexpr KindTexts lock{"<锁>", MORVANE_TR("Book", "<锁>:  \"%1\" 重名"),
                                    MORVANE_TR("Book", "确认删除选定的 <锁>: \"%1\"?")};
    static constexpr KindTexts key{"<钥匙>", MORVANE_TR("Book", "<钥匙>:  \"%1\" 重名"),
                                   MORVANE_TR("Book", "确认删除选定的 <钥匙>: \"%1\"?")};
    static constexpr KindTexts signature{"<签字>", MORVANE_TR("Book", "<签字>:  \"%1\" 重名"),
                                         MORVANE_TR("Book", "确认删除选定的 <签字>: \"%1\"?")};
    static constexpr KindTexts police{"<警察>", MORVANE_TR("Book", "<警察>:  \"%1\" 重名"),
                                      MORVANE_TR("Book", "确认删除选定的 <警察>: \"%1\"?")};
    switch (kind) {
    case KindCode(ItemKind::Directory):
    case KindCode(ItemKind::AltDirectory): return &directory;
    case KindCode(ItemKind::Lock): return &lock;
    case KindCode(ItemKind::Key): return &key;
    case KindCode(ItemKind::Signature): return &signature;
    case KindCode(ItemKind::Police): return &police;
    default: return nullptr;
    }
}

std::string KindLabel(std::int32_t kind)
{
    const KindTexts* texts = TextsOfKind(kind);
    return texts ? Gbk(texts->label) : std::string();
}

NameClash CheckNameClash(const Book& book, const ItemList& items, Node target)
{
    NameClash clash;
    if (!target.IsNone() && !book.Valid(target))
        return clash;
    for (Node item : items) {
        if (!book.Valid(item))
            continue;
        const std::string& name = book.Text(item);
        const std::int32_t kind = book.Kind(item);
        for (Node c = book.FirstChild(target); c; c = book.NextSibling(c)) {
            if (book.Kind(c) != kind || book.Text(c) != name)
                continue;
            const KindTexts* texts = TextsOfKind(kind);
            clash.message = texts ? Phrase(texts->clash, {name}) : Phrase::Plain(name);
            clash.kind = kind;
            return clash;
        }
    }
    return clash;
}

bool ReportNameClash(KeyTree& tree, const ItemList& items, Node target)
{
    NameClash clash = CheckNameClash(tree.book, items, target);
    if (!clash.Clashes())
        return false;
    if (tree.desktop)
        tree.desktop->ShowNameClash(clash.message, clash.kind);
    return true;
}

int RemoveItems(KeyTree& tree, Node n)
{
    if (n.IsNone()) {
        tree.book.Clear();
    } else if (tree.book.Remove(n) != 1) {
        return 0;
    }
    tree.ForgetStale();
    return 1;
}

}  // namespace morvane
