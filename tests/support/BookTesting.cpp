#include "support/BookTesting.h"

#include <cstdio>
#include <sstream>

#include "platform/Text.h"

namespace morvane {

std::string RandomGbkText(std::mt19937& rng, int maxBytes)
{
    std::uniform_int_distribution<int> len(0, maxBytes);
    const int n = len(rng);
    std::string s;
    while (static_cast<int>(s.size()) < n) {
        switch (rng() % 4) {
        case 0:
            s += ' ';
            break;
        case 1:
        case 2:
            s += static_cast<char>(0x21 + rng() % 0x5E);
            break;
        default:
            if (static_cast<int>(s.size()) + 2 > n) {
                s += 'x';
                break;
            }
            // A GB2312 character: lead 0xB0..0xF7, trail 0xA1..0xFE.
            s += static_cast<char>(0xB0 + rng() % 0x48);
            s += static_cast<char>(0xA1 + rng() % 0x5E);
            break;
        }
    }
    return s;
}

namespace {

std::uint32_t RandomFlags(std::mt19937& rng, bool markers)
{
    std::uint32_t f = rng() & (0x01 | 0x02 | 0x04 | 0x10 | 0x20);
    if (markers)
        f |= rng() & (kFlagFirstVisible | kFlagMarkedParent);
    return f;
}

std::uint32_t RandomState(std::mt19937& rng)
{
    return rng() & (kStateSelected | kStateCut | kStateDropHilited | kStateBold | kStateExpanded | 0xF00);
}

void Decorate(Book& book, Node n, std::mt19937& rng, const RandomBookOptions& o)
{
    book.SetFlags(n, RandomFlags(rng, o.markers));
    book.SetState(n, RandomState(rng), ~0u);
}

}  // namespace

Node AddRandomBook(Book& book, std::mt19937& rng, const RandomBookOptions& o)
{
    Node root = book.Insert(Node{}, ItemKind::BookRoot, RandomGbkText(rng, o.maxTextBytes));
    Decorate(book, root, rng, o);
    std::vector<Node> containers{root};  // nodes that may get children
    int made = 1;
    while (made < o.nodes) {
        Node parent = containers[rng() % containers.size()];
        const int depth = book.Depth(parent);
        const std::int32_t pk = book.Kind(parent);
        std::int32_t kind;
        if (pk == 1 || pk == 2) {
            static const std::int32_t kItemKinds[] = {2, 2, 3, 4, 5, 6, 7};
            kind = kItemKinds[rng() % 7];
        } else if (pk >= 3 && pk <= 6) {
            kind = 12 + static_cast<std::int32_t>(rng() % 31);  // 12..42
        } else {
            kind = 28 + static_cast<std::int32_t>(rng() % 15);  // rows below a group
        }
        Node n = book.Insert(parent, kind, RandomGbkText(rng, o.maxTextBytes));
        Decorate(book, n, rng, o);
        ++made;
        const bool container = kind == 2 || (kind >= 3 && kind <= 6) || kind == 27 || kind == 38;
        if (container && depth + 1 < o.maxDepth)
            containers.push_back(n);
    }
    return root;
}

::testing::AssertionResult SubtreesEqual(const Book& a, Node na, const Book& b, Node nb)
{
    Node x = na, y = nb;
    int index = 0;
    while (x || y) {
        if (!x || !y)
            return ::testing::AssertionFailure() << "node " << index << ": one subtree ends early";
        if (a.Kind(x) != b.Kind(y))
            return ::testing::AssertionFailure()
                   << "node " << index << ": kind " << a.Kind(x) << " vs " << b.Kind(y);
        if (a.Text(x) != b.Text(y))
            return ::testing::AssertionFailure() << "node " << index << ": text '" << Utf8(a.Text(x))
                                                 << "' vs '" << Utf8(b.Text(y)) << "'";
        if (a.Flags(x) != b.Flags(y))
            return ::testing::AssertionFailure() << "node " << index << " (" << Utf8(a.Text(x))
                                                 << "): flags " << a.Flags(x) << " vs " << b.Flags(y);
        if (a.Expanded(x) != b.Expanded(y))
            return ::testing::AssertionFailure() << "node " << index << ": expanded differs";
        if (a.Depth(x) - a.Depth(na) != b.Depth(y) - b.Depth(nb))
            return ::testing::AssertionFailure() << "node " << index << ": depth differs";
        x = a.NextPreOrder(x, na);
        y = b.NextPreOrder(y, nb);
        ++index;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult BooksEqual(const Book& a, const Book& b)
{
    if (a.NodeCount() != b.NodeCount())
        return ::testing::AssertionFailure() << "node count " << a.NodeCount() << " vs " << b.NodeCount();
    Node x = a.FirstRoot(), y = b.FirstRoot();
    int root = 0;
    for (; x && y; x = a.NextSibling(x), y = b.NextSibling(y), ++root) {
        auto r = SubtreesEqual(a, x, b, y);
        if (!r)
            return r << " (top-level node " << root << ")";
    }
    if (x || y)
        return ::testing::AssertionFailure() << "top-level count differs";
    return ::testing::AssertionSuccess();
}

namespace {

template <class F>
auto MapChildren(const Book& book, Node parent, F f)
{
    std::vector<decltype(f(parent))> out;
    for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
        out.push_back(f(c));
    return out;
}

}  // namespace

std::vector<std::int32_t> ChildKinds(const Book& book, Node parent)
{
    return MapChildren(book, parent, [&](Node c) { return book.Kind(c); });
}

std::vector<std::string> ChildTexts(const Book& book, Node parent)
{
    return MapChildren(book, parent, [&](Node c) { return std::string(book.Text(c)); });
}

std::vector<std::string> ChildTextsUtf8(const Book& book, Node parent)
{
    return MapChildren(book, parent, [&](Node c) { return Utf8(book.Text(c)); });
}

std::string DumpBook(const Book& book)
{
    std::ostringstream os;
    for (Node n = book.FirstRoot(); n; n = book.NextPreOrder(n)) {
        char tail[64];
        std::snprintf(tail, sizeof tail, " flags=%02X state=%02X", book.Flags(n), book.State(n));
        os << std::string(2 * static_cast<std::size_t>(book.Depth(n)), ' ') << book.Kind(n) << " '"
           << Utf8(book.Text(n)) << "'" << tail << "\n";
    }
    return os.str();
}

std::string DumpStream(std::span<const std::uint8_t> data)
{
    std::ostringstream os;
    std::size_t p = 0;
    int depth = 0;
    auto word = [&](std::uint32_t& w) {
        if (data.size() - p < 4)
            return false;
        w = data[p] | data[p + 1] << 8 | data[p + 2] << 16 | static_cast<std::uint32_t>(data[p + 3]) << 24;
        p += 4;
        return true;
    };
    while (p < data.size()) {
        const std::size_t at = p;
        std::uint32_t kind, len, state, flags;
        if (!word(kind)) {
            os << "@" << at << " truncated word\n";
            break;
        }
        if (kind == 0) {
            os << "@" << at << " " << std::string(2 * static_cast<std::size_t>(depth > 0 ? depth : 0), ' ') << "0\n";
            --depth;
            continue;
        }
        if (!word(len) || data.size() - p < len) {
            os << "@" << at << " kind " << kind << ": truncated text\n";
            break;
        }
        std::string text(reinterpret_cast<const char*>(data.data()) + p, len);
        p += len;
        if (!word(state) || !word(flags)) {
            os << "@" << at << " kind " << kind << ": truncated state or flags\n";
            break;
        }
        char tail[64];
        std::snprintf(tail, sizeof tail, " state=%02X flags=%02X", state, flags);
        os << "@" << at << " " << std::string(2 * static_cast<std::size_t>(depth > 0 ? depth : 0), ' ')
           << kind << " '" << Utf8(text) << "'" << tail << "\n";
        ++depth;
    }
    return os.str();
}

StreamBuilder& StreamBuilder::Word(std::uint32_t w)
{
    for (int i = 0; i < 4; ++i)
        data_.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    return *this;
}

StreamBuilder& StreamBuilder::Bytes(std::string_view bytes)
{
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return *this;
}

StreamBuilder& StreamBuilder::Record(std::int32_t kind, std::string_view text, std::uint32_t state,
                                     std::uint32_t flags)
{
    Word(static_cast<std::uint32_t>(kind));
    Word(static_cast<std::uint32_t>(text.size()));
    Bytes(text);
    Word(state);
    return Word(flags);
}

StreamBuilder& StreamBuilder::Close(int count)
{
    for (int i = 0; i < count; ++i)
        Word(0);
    return *this;
}

}  // namespace morvane
