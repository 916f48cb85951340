#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "support/BookTesting.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

// R { D { A, B } } with a few flags and states to see the mode rules.
struct Small {
    KeyTree tree;
    Node r, d, a, b;
    Small()
    {
        Book& bk = tree.book;
        r = bk.Insert(Node{}, ItemKind::BookRoot, "R");
        d = bk.Insert(r, ItemKind::Directory, "D");
        a = bk.Insert(d, ItemKind::Lock, "A");
        b = bk.Insert(d, ItemKind::Key, "B");
        bk.Expand(r, true);
        bk.Expand(d, true);
    }
};

Bytes Write(const KeyTree& t, Node start)
{
    Bytes out;
    EXPECT_EQ(WriteTreeStream(t, start, out), 1);
    return out;
}

// Everything a failed read must leave alone.
struct TreeState {
    std::string dump;
    std::int32_t markedCount;
    Node markedParent, clicked, rightClicked, context, selected, firstVisible;
    std::optional<ItemList> transfer;
    int clipboardMode;
    explicit TreeState(const KeyTree& t)
        : dump(DumpBook(t.book)),
          markedCount(t.markedCount),
          markedParent(t.markedParent),
          clicked(t.clickedItem),
          rightClicked(t.rightClickedItem),
          context(t.contextItem),
          selected(t.book.Selected()),
          firstVisible(t.book.FirstVisible()),
          transfer(t.transferList),
          clipboardMode(t.clipboardMode)
    {
    }
    bool operator==(const TreeState&) const = default;
};

std::vector<Node> AllNodes(const Book& b)
{
    std::vector<Node> out;
    for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n))
        out.push_back(n);
    return out;
}

}  // namespace

TEST(TreeStream, ByteLayouts)
{
    Small s;
    // A subtree: D, A, 0, B, 0.
    Bytes sub = Write(s.tree, s.d);
    StreamBuilder want;
    want.Record(2, "D", kStateExpanded, 0).Record(3, "A").Close().Record(4, "B").Close();
    EXPECT_EQ(sub, want.Data()) << DumpStream(sub);

    // The whole book: R, D, A, 0, B, 0, 0, the root marked as first visible.
    Bytes whole = Write(s.tree, Node{});
    StreamBuilder wantWhole;
    wantWhole.Record(1, "R", kStateExpanded, kFlagFirstVisible)
        .Record(2, "D", kStateExpanded, 0)
        .Record(3, "A")
        .Close()
        .Record(4, "B")
        .Close(2);
    EXPECT_EQ(whole, wantWhole.Data()) << DumpStream(whole);

    // A leaf alone: one record, no close word.
    Bytes leaf = Write(s.tree, s.b);
    EXPECT_EQ(leaf, StreamBuilder().Record(4, "B").Data());

    // Appends at the caller's length.
    Bytes both = sub;
    ASSERT_EQ(WriteTreeStream(s.tree, s.b, both), 1);
    EXPECT_EQ(both.size(), sub.size() + leaf.size());

    // A deeper last item: as many close words as it is deeper than the first.
    Node deep = s.tree.book.Insert(s.b, 12, "x");
    Bytes d2 = Write(s.tree, s.d);
    StreamBuilder want2;
    want2.Record(2, "D", kStateExpanded).Record(3, "A").Close().Record(4, "B").Record(12, "x").Close(2);
    EXPECT_EQ(d2, want2.Data()) << DumpStream(d2);
    s.tree.book.Remove(deep);

    // Stale start or an empty book: nothing written.
    Bytes none;
    s.tree.book.Remove(s.a);
    EXPECT_EQ(WriteTreeStream(s.tree, s.a, none), -1);
    KeyTree empty;
    EXPECT_EQ(WriteTreeStream(empty, Node{}, none), -1);
    EXPECT_TRUE(none.empty());
}

TEST(TreeStream, WriterModesAndMarkers)
{
    Small s;
    Book& bk = s.tree.book;
    bk.SetFlags(s.a, kFlagMarked | kFlagSortType);
    bk.SetFlags(s.b, kFlagMarked);
    bk.SetState(s.a, kStateCut | kStateBold, kStateCut | kStateBold);
    s.tree.markedParent = s.d;

    // Copy pending: a subtree write drops the marks, a whole-book write keeps them.
    s.tree.clipboardMode = kClipCopy;
    Bytes sub = Write(s.tree, s.d);
    StreamBuilder want;
    want.Record(2, "D", kStateExpanded)
        .Record(3, "A", kStateCut | kStateBold, kFlagSortType)
        .Close()
        .Record(4, "B", 0, 0)
        .Close();
    EXPECT_EQ(sub, want.Data()) << DumpStream(sub);
    Bytes whole = Write(s.tree, Node{});
    StreamBuilder wantWhole;
    wantWhole.Record(1, "R", kStateExpanded, kFlagFirstVisible)
        .Record(2, "D", kStateExpanded, kFlagMarkedParent)
        .Record(3, "A", kStateCut | kStateBold, kFlagMarked | kFlagSortType)
        .Close()
        .Record(4, "B", 0, kFlagMarked)
        .Close(2);
    EXPECT_EQ(whole, wantWhole.Data()) << DumpStream(whole);
    // The markers are written, never stored on the nodes.
    EXPECT_EQ(bk.Flags(s.r), 0u);
    EXPECT_EQ(bk.Flags(s.d), 0u);

    // Cut pending: the cut look is dropped, the marks stay.
    s.tree.clipboardMode = kClipCut;
    Bytes cut = Write(s.tree, s.a);
    EXPECT_EQ(cut, StreamBuilder().Record(3, "A", kStateBold, kFlagMarked | kFlagSortType).Data());

    // Only a whole-book write carries markers; stray marker bits on nodes are not written.
    s.tree.clipboardMode = kClipNone;
    bk.SetFlags(s.b, kFlagFirstVisible | kFlagMarkedParent);
    bk.SetFirstVisible(s.b);
    Bytes sub2 = Write(s.tree, s.d);
    EXPECT_EQ(sub2, StreamBuilder()
                        .Record(2, "D", kStateExpanded)
                        .Record(3, "A", kStateCut | kStateBold, kFlagMarked | kFlagSortType)
                        .Close()
                        .Record(4, "B")
                        .Close()
                        .Data());
    Bytes whole2 = Write(s.tree, Node{});
    KeyTree back;
    ASSERT_EQ(ReadTreeStream(back, Node{}, whole2), 1);
    Node bb = back.book.LastChild(back.book.FirstChild(back.book.FirstRoot()));
    EXPECT_EQ(back.book.FirstVisible(), bb);
    EXPECT_EQ(back.book.Flags(bb), 0u);
    EXPECT_EQ(back.book.Text(back.markedParent), "D");
}

TEST(TreeStream, ReadRebuildsNodesAndState)
{
    Small s;
    Book& bk = s.tree.book;
    bk.SetFlags(s.a, kFlagMarked | kFlagSortName);
    bk.SetFlags(s.b, kFlagMarked);
    bk.SetFlags(s.d, kFlagSortDate);
    bk.SetState(s.a, kStateBold | kStateCut | kStateSelected, ~0u);
    bk.SetFirstVisible(s.d);
    s.tree.markedParent = s.d;
    s.tree.markedCount = 2;
    Bytes whole = Write(s.tree, Node{});

    // Read over a tree holding other nodes and handles of every sort.
    ScriptedDesktop desk;
    KeyTree t(&desk);
    Node oldRoot = BuildSampleBook(t.book);
    std::vector<Node> old = AllNodes(t.book);
    t.markedParent = t.book.FirstChild(oldRoot);
    t.markedCount = 5;
    t.clickedItem = old[3];
    t.rightClickedItem = old[4];
    t.contextItem = old[5];
    t.transferList = ItemList{old[6], old[7]};
    t.clipboardMode = kClipCut;
    ASSERT_EQ(ReadTreeStream(t, Node{}, whole), 1);

    // Only the expanded state bit comes back.
    EXPECT_EQ(DumpBook(t.book), "1 'R' flags=00 state=20\n"
                                "  2 'D' flags=10 state=20\n"
                                "    3 'A' flags=22 state=00\n"
                                "    4 'B' flags=20 state=00\n");
    for (Node n : old)
        EXPECT_FALSE(t.book.Valid(n));
    EXPECT_EQ(t.book.Text(t.markedParent), "D");
    EXPECT_EQ(t.markedCount, 2);
    EXPECT_EQ(t.book.Text(t.book.FirstVisible()), "D");
    EXPECT_EQ(t.clickedItem, Node{});
    EXPECT_EQ(t.rightClickedItem, Node{});
    EXPECT_EQ(t.contextItem, Node{});
    EXPECT_FALSE(t.transferList);
    EXPECT_EQ(t.clipboardMode, kClipNone);
    EXPECT_EQ(t.book.Selected(), Node{});

    // No marked-parent marker: the marked parent becomes none.
    s.tree.markedParent = Node{};
    ASSERT_EQ(ReadTreeStream(t, Node{}, Write(s.tree, Node{})), 1);
    EXPECT_EQ(t.markedParent, Node{});
    EXPECT_EQ(t.markedCount, 2);

    // A subtree read appends under its parent; marked items add to the count.
    Node target = t.book.FirstChild(t.book.FirstChild(t.book.FirstRoot()));  // A
    ASSERT_EQ(ReadTreeStream(t, target, Write(s.tree, s.d)), 1);
    EXPECT_EQ(t.markedCount, 4);
    Node copy = t.book.FirstChild(target);
    EXPECT_TRUE(SubtreesEqual(t.book, copy, bk, s.d));
    EXPECT_EQ(t.book.Flags(copy), kFlagSortDate);
}

TEST(TreeStream, MalformedStreamsChangeNothing)
{
    Small s;
    s.tree.markedParent = s.d;
    s.tree.markedCount = 1;
    s.tree.clickedItem = s.a;
    s.tree.transferList = ItemList{s.a};
    s.tree.book.SetFlags(s.a, kFlagMarked);
    const TreeState before(s.tree);
    const std::vector<Node> nodes = AllNodes(s.tree.book);

    const std::uint32_t fv = kFlagFirstVisible;
    struct Case {
        const char* what;
        Node parent;
        Bytes data;
    };
    std::vector<Case> cases = {
        {"two top-level items", Node{}, StreamBuilder().Record(1, "R", 0, fv).Close().Record(1, "S").Data()},
        {"close of the only item", Node{}, StreamBuilder().Record(1, "R", 0, fv).Close().Data()},
        {"close first", Node{}, StreamBuilder().Close().Record(1, "R", 0, fv).Data()},
        {"ends inside a text", Node{}, StreamBuilder().Record(1, "R", 0, fv).Word(2).Word(5).Bytes("abc").Data()},
        {"ends inside a word", Node{}, StreamBuilder().Record(1, "R", 0, fv).Bytes("\x02\x00").Data()},
        {"ends before the flags", Node{}, StreamBuilder().Record(1, "R", 0, fv).Word(2).Word(0).Word(0).Data()},
        {"text length beyond the end", Node{}, StreamBuilder().Word(1).Word(0xFFFFFFFF).Bytes("R").Data()},
        {"no first-visible marker", Node{}, StreamBuilder().Record(1, "R").Record(2, "D").Close().Data()},
        {"empty whole book", Node{}, Bytes{}},
        {"subtree closes above its parent", s.d, StreamBuilder().Record(3, "X").Close().Record(3, "Y").Data()},
        {"subtree close first", s.d, StreamBuilder().Close().Data()},
        {"subtree cut short", s.d, StreamBuilder().Record(3, "X").Record(12, "l").Close().Bytes("\x0c").Data()},
        {"stale parent", Node{999, 1}, StreamBuilder().Record(3, "X").Data()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadTreeStream(s.tree, c.parent, c.data), -1) << c.what;
        EXPECT_TRUE(TreeState(s.tree) == before) << c.what << "\n" << DumpBook(s.tree.book);
        for (Node n : nodes)
            EXPECT_TRUE(s.tree.book.Valid(n)) << c.what;
    }
    // An empty subtree stream is a successful read of nothing.
    EXPECT_EQ(ReadTreeStream(s.tree, s.d, Bytes{}), 1);
    EXPECT_TRUE(TreeState(s.tree) == before);

    // More records than allowed: refused before anything is built, whole or under a node,
    // even when the stream turns malformed only after the limit.
    const Bytes three = StreamBuilder().Record(1, "R", 0, fv).Record(2, "D").Record(3, "X").Close(2).Data();
    for (Node parent : {Node{}, s.d}) {
        EXPECT_EQ(ReadTreeStream(s.tree, parent, three, 2), kStreamTooLarge);
        EXPECT_TRUE(TreeState(s.tree) == before) << DumpBook(s.tree.book);
        Bytes bad = three;
        bad.push_back(7);
        EXPECT_EQ(ReadTreeStream(s.tree, parent, bad, 2), kStreamTooLarge);
        EXPECT_EQ(ReadTreeStream(s.tree, parent, bad, 3), -1);
        EXPECT_TRUE(TreeState(s.tree) == before);
    }
    EXPECT_EQ(ReadTreeStream(s.tree, Node{}, three, 3), 1);
    EXPECT_EQ(s.tree.book.NodeCount(), 3u);
}

TEST(TreeStream, RandomBooksSurviveRoundTrips)
{
    std::mt19937 rng(20240601);
    for (int round = 0; round < 40; ++round) {
        KeyTree src;
        RandomBookOptions o;
        o.nodes = 50 + static_cast<int>(rng() % 400);
        o.markers = round % 2 == 1;  // stray markers must not disturb anything
        AddRandomBook(src.book, rng, o);
        std::vector<Node> all = AllNodes(src.book);
        src.book.SetFirstVisible(all[rng() % all.size()]);
        src.markedParent = all[rng() % all.size()];
        src.clipboardMode = static_cast<int>(rng() % 3);

        // Whole book: every node, kind, text, flag and expanded bit, and both markers.
        Bytes whole = Write(src, Node{});
        KeyTree dst;
        ASSERT_EQ(ReadTreeStream(dst, Node{}, whole), 1) << DumpStream(whole);
        // Stray marker bits are not part of a node's flags.
        for (Node n : all)
            src.book.SetFlags(n, src.book.Flags(n) & ~(kFlagFirstVisible | kFlagMarkedParent));
        ASSERT_TRUE(BooksEqual(dst.book, src.book)) << "round " << round;
        std::vector<Node> got = AllNodes(dst.book);
        auto index = [&](const std::vector<Node>& v, Node n) { return std::find(v.begin(), v.end(), n) - v.begin(); };
        EXPECT_EQ(index(got, dst.book.FirstVisible()), index(all, src.book.FirstVisible()));
        EXPECT_EQ(index(got, dst.markedParent), index(all, src.markedParent));
        std::int32_t marked = 0;
        for (Node n : all)
            marked += (src.book.Flags(n) & kFlagMarked) != 0;
        EXPECT_EQ(dst.markedCount, marked);
        // Writing the rebuilt book gives the same bytes again (markers land where they were).
        dst.clipboardMode = src.clipboardMode;
        Bytes again = Write(dst, Node{});
        Bytes first = Write(src, Node{});
        EXPECT_EQ(again.size(), first.size());

        // A random subtree, copied under a random node of another book.
        Node start = all[rng() % all.size()];
        src.clipboardMode = kClipNone;
        Bytes sub = Write(src, start);
        std::vector<Node> targets = AllNodes(dst.book);
        Node target = targets[rng() % targets.size()];
        const std::size_t before = dst.book.NodeCount();
        ASSERT_EQ(ReadTreeStream(dst, target, sub), 1);
        Node copy = dst.book.LastChild(target);
        EXPECT_TRUE(SubtreesEqual(dst.book, copy, src.book, start));
        std::size_t subCount = 0;
        for (Node n = start; n; n = src.book.NextPreOrder(n, start))
            ++subCount;
        EXPECT_EQ(dst.book.NodeCount(), before + subCount);
    }
}

TEST(TreeStream, CopySubtreesFollowsTheClipboardMode)
{
    Small s;
    Book& bk = s.tree.book;
    Node e = bk.Insert(s.r, ItemKind::Directory, "E");
    bk.SetFlags(s.a, kFlagMarked);
    bk.SetFlags(s.b, kFlagMarked);
    bk.Insert(s.b, 12, "line");
    s.tree.markedParent = s.d;
    s.tree.markedCount = 2;

    s.tree.clipboardMode = kClipCopy;
    auto list = CollectMarked(bk, s.d, kCollectCopy);
    ASSERT_TRUE(list);
    ASSERT_EQ(CopySubtrees(s.tree, e, *list), 1);
    ASSERT_EQ(CopySubtrees(s.tree, e, *list), 1);
    EXPECT_EQ(bk.ChildCount(e), 4u);
    for (Node c = bk.FirstChild(e); c; c = bk.NextSibling(c))
        EXPECT_EQ(bk.Flags(c), 0u);
    EXPECT_EQ(s.tree.markedCount, 2);
    EXPECT_TRUE(bk.Marked(s.a));
    EXPECT_EQ(bk.ChildCount(bk.LastChild(e)), 1u);

    // Cut: copies arrive marked, without the cut look, and are counted.
    Node f = bk.Insert(s.r, ItemKind::Directory, "F");
    s.tree.clipboardMode = kClipCut;
    list = CollectMarked(bk, s.d, kCollectCut);
    s.tree.markedCount = 0;
    ASSERT_EQ(CopySubtrees(s.tree, f, *list), 1);
    EXPECT_EQ(s.tree.markedCount, 2);
    for (Node c = bk.FirstChild(f); c; c = bk.NextSibling(c)) {
        EXPECT_TRUE(bk.Marked(c));
        EXPECT_EQ(bk.State(c) & kStateCut, 0u);
    }

    // Into its own subtree: the copy is taken before anything is inserted.
    s.tree.clipboardMode = kClipNone;
    const std::size_t before = bk.NodeCount();
    ASSERT_EQ(CopySubtrees(s.tree, s.b, ItemList{s.d}), 1);
    EXPECT_EQ(bk.NodeCount(), before + 4);

    // Stale entries and targets fail.
    Node gone = bk.Insert(s.r, ItemKind::Directory, "G");
    bk.Remove(gone);
    EXPECT_EQ(CopySubtrees(s.tree, gone, ItemList{s.a}), -1);
    EXPECT_EQ(CopySubtrees(s.tree, f, ItemList{gone}), -1);
    EXPECT_EQ(CopySubtrees(s.tree, f, ItemList{Node{}}), -1);
}

// Damaged streams (bytes flipped, cut, inserted, appended) must never crash or read out of
// bounds (the sanitizer build watches), and a refused one leaves the book as it was.
TEST(TreeStream, DamagedStreamsNeverHarm)
{
    std::mt19937 rng(99);
    KeyTree src;
    AddRandomBook(src.book, rng, {.nodes = 40, .maxDepth = 4, .maxTextBytes = 12});
    std::vector<Node> srcNodes = AllNodes(src.book);
    src.markedParent = srcNodes[3];
    const Bytes whole = Write(src, Node{});
    const Bytes sub = Write(src, srcNodes[1]);

    const int rounds = std::getenv("MORVANE_LONG_TESTS") ? 100000 : 6000;
    int accepted = 0;
    KeyTree live;
    ASSERT_EQ(ReadTreeStream(live, Node{}, whole), 1);
    for (int i = 0; i < rounds; ++i) {
        const bool wholeBook = i % 2 == 0;
        Bytes data = wholeBook ? whole : sub;
        const int edits = 1 + static_cast<int>(rng() % 3);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = data.empty() ? 0 : rng() % data.size();
            switch (rng() % 5) {
            case 0:
                if (!data.empty())
                    data[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                if (!data.empty())
                    data[at] = static_cast<std::uint8_t>(rng());
                break;
            case 2:
                data.resize(at);
                break;
            case 3:
                data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(rng()));
                break;
            default:
                for (int k = static_cast<int>(rng() % 9); k > 0; --k)
                    data.push_back(static_cast<std::uint8_t>(rng()));
                break;
            }
        }
        std::vector<Node> nodes = AllNodes(live.book);
        Node parent = wholeBook ? Node{} : nodes[rng() % nodes.size()];
        live.clickedItem = nodes[rng() % nodes.size()];
        const TreeState before(live);
        const int r = ReadTreeStream(live, parent, data);
        if (r != 1) {
            ASSERT_TRUE(TreeState(live) == before) << "variant " << i;
            for (Node n : nodes)
                ASSERT_TRUE(live.book.Valid(n));
        } else {
            ++accepted;
            // Whatever was accepted is a consistent tree with one root.
            EXPECT_EQ(AllNodes(live.book).size(), live.book.NodeCount());
            EXPECT_EQ(live.book.ChildCount(Node{}), 1u);
        }
        if (live.book.NodeCount() > 2000) {
            ASSERT_EQ(ReadTreeStream(live, Node{}, whole), 1);
        }
    }
    // Some variants (e.g. a changed text byte) are well-formed and must be accepted.
    EXPECT_GT(accepted, 0);
}
