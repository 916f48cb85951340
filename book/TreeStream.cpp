#include "book/TreeStream.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <new>

namespace morvane {

namespace {

constexpr std::uint32_t kMarkers = kFlagFirstVisible | kFlagMarkedParent;

std::uint32_t GetWord(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Walks the stream's records and close words without building anything. record(kind, text,
// state, flags) and close() see them in order; a walk that fails stops before the failing
// word reaches them. A close word that would climb out of the first level (to the node read
// under, or above it) makes the stream malformed, so a sound stream has exactly one
// first-level record. Returns 1, -1 when malformed, kStreamTooLarge after maxItems records.
template <class Record, class Close>
int Walk(std::span<const std::uint8_t> data, std::size_t maxItems, Record&& record, Close&& close)
{
    const std::uint8_t* d = data.data();
    const std::size_t len = data.size();
    std::size_t p = 0;
    std::size_t depth = 0;  // levels below the node read under
    std::size_t items = 0;
    while (p < len) {
        if (len - p < 4)
            return -1;
        const std::uint32_t w = GetWord(d + p);
        p += 4;
        if (w == 0) {
            if (depth <= 1)
                return -1;
            --depth;
            close();
            continue;
        }
        if (len - p < 4)
            return -1;
        const std::uint32_t textLen = GetWord(d + p);
        p += 4;
        if (len - p < textLen)
            return -1;
        const std::string_view text(reinterpret_cast<const char*>(d + p), textLen);
        p += textLen;
        if (len - p < 8)
            return -1;
        const std::uint32_t state = GetWord(d + p);
        const std::uint32_t flags = GetWord(d + p + 4);
        p += 8;
        if (++items > maxItems)
            return kStreamTooLarge;
        ++depth;
        record(static_cast<std::int32_t>(w), text, state, flags);
    }
    return 1;
}

struct Markers {
    Node firstVisible;
    Node markedParent;
    std::int32_t marked = 0;
};

// Inserts the records of a checked stream under base (none: top level). On failure the nodes
// inserted so far are removed again and false is returned.
bool Build(Book& book, Node base, std::span<const std::uint8_t> data, Markers& m)
{
    Node first;
    Node cur = base;
    bool ok = true;
    Walk(
        data, kNoItemLimit,
        [&](std::int32_t kind, std::string_view text, std::uint32_t state, std::uint32_t flags) {
            if (!ok)
                return;
            const Node n = book.Append(cur, kind, text, state & kStateExpanded, flags & ~kMarkers);
            if (!n) {
                ok = false;
                return;
            }
            if (!first)
                first = n;
            cur = n;
            if (flags & kFlagFirstVisible)
                m.firstVisible = n;
            if (flags & kFlagMarkedParent)
                m.markedParent = n;
            if (flags & kFlagMarked)
                ++m.marked;
        },
        [&]() { cur = book.Parent(cur); });
    if (!ok && first)
        book.Remove(first);
    return ok;
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

    // Sized first, then written in place: one allocation, and no copy of the stream (a
    // decrypted book) is left behind by a growing buffer.
    struct Sizer final : Book::StreamVisitor {
        std::size_t size = 0;
        bool tooLong = false;
        void Record(Node, std::int32_t, const std::string& text, std::uint32_t, std::uint32_t) override
        {
            tooLong = tooLong || text.size() > std::numeric_limits<std::uint32_t>::max();
            size += 16 + text.size();
        }
        void Close() override { size += 4; }
    };
    struct Writer final : Book::StreamVisitor {
        std::uint8_t* p = nullptr;
        Node firstVisible, markedParent;
        bool dropCut = false, dropMarks = false;
        void Put(std::uint32_t w)
        {
            p[0] = static_cast<std::uint8_t>(w);
            p[1] = static_cast<std::uint8_t>(w >> 8);
            p[2] = static_cast<std::uint8_t>(w >> 16);
            p[3] = static_cast<std::uint8_t>(w >> 24);
            p += 4;
        }
        void Record(Node n, std::int32_t kind, const std::string& text, std::uint32_t state,
                    std::uint32_t flags) override
        {
            flags &= ~kMarkers;
            if (dropCut)
                state &= ~kStateCut;
            if (dropMarks)
                flags &= ~kFlagMarked;
            if (n == firstVisible)
                flags |= kFlagFirstVisible;
            if (n == markedParent)
                flags |= kFlagMarkedParent;
            Put(static_cast<std::uint32_t>(kind));
            Put(static_cast<std::uint32_t>(text.size()));
            if (!text.empty())
                std::memcpy(p, text.data(), text.size());
            p += text.size();
            Put(state);
            Put(flags);
        }
        void Close() override { Put(0); }
    };

    try {
        const Node from = whole ? Node{} : start;
        Sizer sizer;
        if (book.WalkStream(from, sizer) != 1 || sizer.tooLong)
            throw std::bad_alloc();
        out.resize(oldSize + sizer.size);
        Writer writer;
        writer.p = out.data() + oldSize;
        writer.firstVisible = firstVisible;
        writer.markedParent = markedParent;
        writer.dropCut = dropCut;
        writer.dropMarks = dropMarks;
        (void)book.WalkStream(from, writer);
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

int ReadTreeStream(KeyTree& tree, Node parent, std::span<const std::uint8_t> data, std::size_t maxItems)
{
    const bool whole = parent.IsNone();
    if (!whole && !tree.book.Valid(parent))
        return -1;
    try {
        // The checking pass counts the records, so that an oversized stream is refused
        // before any node is made, and a whole book is allocated once.
        std::size_t items = 0;
        const int checked = Walk(
            data, maxItems, [&](std::int32_t, std::string_view, std::uint32_t, std::uint32_t) { ++items; },
            [] {});
        if (checked != 1)
            return checked;
        Markers m;
        if (whole) {
            // Built aside and swapped in only when complete; its handles never equal one
            // issued before, so every handle kept anywhere to the old book goes stale.
            Book fresh = tree.book.MakeSuccessor();
            fresh.Reserve(items);
            if (!Build(fresh, Node{}, data, m) || !m.firstVisible)
                return -1;
            fresh.SetFirstVisible(m.firstVisible);
            tree.book.SwapContent(fresh);
            tree.ForgetAllHandles();
            tree.markedParent = m.markedParent;
            tree.markedCount = m.marked;
            return 1;
        }
        if (!Build(tree.book, parent, data, m))
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
