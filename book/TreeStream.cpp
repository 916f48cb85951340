#include "book/TreeStream.h"

#include <limits>
#include <new>

namespace morvane {

namespace {

constexpr std::uint32_t kMarkers = kFlagFirstVisible | kFlagMarkedParent;

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t w)
{
    std::uint8_t b[4] = {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8),
                         static_cast<std::uint8_t>(w >> 16), static_cast<std::uint8_t>(w >> 24)};
    out.insert(out.end(), b, b + 4);
}

std::uint32_t GetWord(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// One record of a stream, checked and placed; parent is an index into the parsed records,
// or -1 for the node the stream is read under (the top level for a whole book).
struct Parsed {
    std::int32_t kind;
    std::uint32_t state;
    std::uint32_t flags;
    std::size_t textPos;
    std::size_t textLen;
    std::ptrdiff_t parent;
};

// Checks the whole stream before anything is inserted. A close word that would climb out of
// the first level (to the node read under, or above it) makes the stream malformed.
bool Parse(std::span<const std::uint8_t> data, std::vector<Parsed>& out)
{
    const std::uint8_t* d = data.data();
    const std::size_t len = data.size();
    std::size_t p = 0;
    std::ptrdiff_t cur = -1;
    while (p < len) {
        if (len - p < 4)
            return false;
        const std::uint32_t w = GetWord(d + p);
        p += 4;
        if (w == 0) {
            if (cur < 0)
                return false;
            cur = out[static_cast<std::size_t>(cur)].parent;
            if (cur < 0)
                return false;
            continue;
        }
        if (len - p < 4)
            return false;
        const std::uint32_t textLen = GetWord(d + p);
        p += 4;
        if (len - p < textLen)
            return false;
        const std::size_t textPos = p;
        p += textLen;
        if (len - p < 8)
            return false;
        const std::uint32_t state = GetWord(d + p);
        const std::uint32_t flags = GetWord(d + p + 4);
        p += 8;
        out.push_back(Parsed{static_cast<std::int32_t>(w), state, flags, textPos, textLen, cur});
        cur = static_cast<std::ptrdiff_t>(out.size()) - 1;
    }
    return true;
}

struct Markers {
    Node firstVisible;
    Node markedParent;
    std::int32_t marked = 0;
};

// Inserts the parsed records under base (none: top level). On failure the nodes inserted
// so far are removed again and false is returned.
bool Build(Book& book, Node base, std::span<const std::uint8_t> data, const std::vector<Parsed>& items,
           Markers& m)
{
    std::vector<Node> nodes;
    try {
        nodes.reserve(items.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (const Parsed& it : items) {
        const Node parent = it.parent < 0 ? base : nodes[static_cast<std::size_t>(it.parent)];
        const std::string_view text(reinterpret_cast<const char*>(data.data()) + it.textPos, it.textLen);
        const Node n = book.Insert(parent, it.kind, text);
        if (!n) {
            for (std::size_t i = 0; i < nodes.size(); ++i)
                if (items[i].parent < 0)
                    book.Remove(nodes[i]);
            return false;
        }
        nodes.push_back(n);
        if (it.state & kStateExpanded)
            book.SetState(n, kStateExpanded, kStateExpanded);
        if (it.flags & kFlagFirstVisible)
            m.firstVisible = n;
        if (it.flags & kFlagMarkedParent)
            m.markedParent = n;
        if (it.flags & kFlagMarked)
            ++m.marked;
        book.SetFlags(n, it.flags & ~kMarkers);
    }
    return true;
}

}  // namespace

int WriteTreeStream(const Book& book, Node start, int mode, Node markedParent, std::vector<std::uint8_t>& out)
{
    const bool whole = start.IsNone();
    Node firstVisible;
    if (whole) {
        start = book.FirstRoot();
        if (!start)
            return -1;
        mode |= kWriteWholeBook;
        firstVisible = book.FirstVisible();
    } else {
        if (!book.Valid(start))
            return -1;
        markedParent = Node{};
    }
    const bool dropMarks = (mode & kClipCopy) && !(mode & kWriteWholeBook);
    const bool dropCut = (mode & kClipCut) != 0;
    const std::size_t oldSize = out.size();

    try {
        auto record = [&](Node n) {
            const std::string& text = book.Text(n);
            if (text.size() > std::numeric_limits<std::uint32_t>::max())
                throw std::bad_alloc();
            std::uint32_t state = book.State(n);
            std::uint32_t flags = book.Flags(n) & ~kMarkers;
            if (dropCut)
                state &= ~kStateCut;
            if (dropMarks)
                flags &= ~kFlagMarked;
            if (n == firstVisible)
                flags |= kFlagFirstVisible;
            if (n == markedParent)
                flags |= kFlagMarkedParent;
            PutWord(out, static_cast<std::uint32_t>(book.Kind(n)));
            PutWord(out, static_cast<std::uint32_t>(text.size()));
            out.insert(out.end(), text.begin(), text.end());
            PutWord(out, state);
            PutWord(out, flags);
        };

        // Pre-order; each level climbed writes a close word, and so does each step to a next
        // sibling. The start of a subtree write is never closed and its siblings are not
        // written; a whole-book write goes on to the next top-level nodes.
        Node cur = start;
        for (;;) {
            record(cur);
            if (Node child = book.FirstChild(cur)) {
                cur = child;
                continue;
            }
            Node n = cur;
            cur = Node{};
            for (;;) {
                if (!whole && n == start)
                    break;
                if (Node sib = book.NextSibling(n)) {
                    PutWord(out, 0);
                    cur = sib;
                    break;
                }
                Node parent = book.Parent(n);
                if (!parent)
                    break;
                PutWord(out, 0);
                n = parent;
            }
            if (!cur)
                break;
        }
    } catch (const std::bad_alloc&) {
        out.resize(oldSize);
        return -1;
    }
    return 1;
}

int WriteTreeStream(const KeyTree& tree, Node start, std::vector<std::uint8_t>& out)
{
    return WriteTreeStream(tree.book, start, tree.clipboardMode, tree.markedParent, out);
}

int ReadTreeStream(KeyTree& tree, Node parent, std::span<const std::uint8_t> data)
{
    const bool whole = parent.IsNone();
    if (!whole && !tree.book.Valid(parent))
        return -1;
    try {
        std::vector<Parsed> items;
        if (!Parse(data, items))
            return -1;
        Markers m;
        if (whole) {
            // Built aside and swapped in only when complete; its handles never equal one
            // issued before, so every handle kept anywhere to the old book goes stale.
            Book fresh = tree.book.MakeSuccessor();
            if (!Build(fresh, Node{}, data, items, m) || !m.firstVisible)
                return -1;
            fresh.SetFirstVisible(m.firstVisible);
            tree.book.SwapContent(fresh);
            tree.ForgetAllHandles();
            tree.markedParent = m.markedParent;
            tree.markedCount = m.marked;
            return 1;
        }
        if (!Build(tree.book, parent, data, items, m))
            return -1;
        if (m.markedParent)
            tree.markedParent = m.markedParent;
        tree.markedCount += m.marked;
        return 1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int CopySubtrees(KeyTree& tree, Node target, const ItemList& items)
{
    if (!tree.book.Valid(target))
        return -1;
    for (Node item : items) {
        if (!tree.book.Valid(item))
            return -1;
        std::vector<std::uint8_t> buf;
        if (WriteTreeStream(tree, item, buf) != 1 || ReadTreeStream(tree, target, buf) != 1)
            return -1;
    }
    return 1;
}

}  // namespace morvane
