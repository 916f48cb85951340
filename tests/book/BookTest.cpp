#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "book/Book.h"
#include "support/BookTesting.h"
#include "support/RowChecker.h"

using namespace morvane;

namespace {

struct Recorder : BookObserver {
    std::vector<std::string> events;
    const Book* book = nullptr;
    void RowsInserted(Node parent, int first, int) override
    {
        events.push_back("ins " + book->Text(book->ChildAt(parent, first)));
    }
    void RowsAboutToBeRemoved(Node parent, int first, int) override
    {
        events.push_back("rm " + book->Text(book->ChildAt(parent, first)));
    }
    void TextChanged(Node n) override { events.push_back("text " + book->Text(n)); }
    void StateChanged(Node n, std::uint32_t, std::uint32_t s) override
    {
        events.push_back("state " + book->Text(n) + " " + std::to_string(s));
    }
    void FlagsChanged(Node n, std::uint32_t, std::uint32_t f) override
    {
        events.push_back("flags " + book->Text(n) + " " + std::to_string(f));
    }
    void ChildrenReordered(Node) override { events.push_back("sorted"); }
    void SelectionChanged(Node n) override { events.push_back("select " + book->Text(n)); }
    void BookReset() override { events.push_back("reset"); }
};

// The structure calls alone, with parent texts and rows.
struct RowRecorder : BookObserver {
    std::vector<std::string> events;
    const Book* book = nullptr;
    std::string Where(Node parent, int first, int last)
    {
        return (parent ? book->Text(parent) : std::string("top")) + " " + std::to_string(first) + ".." +
               std::to_string(last);
    }
    void RowsAboutToBeInserted(Node p, int f, int l) override { events.push_back("+? " + Where(p, f, l)); }
    void RowsInserted(Node p, int f, int l) override { events.push_back("+ " + Where(p, f, l)); }
    void RowsAboutToBeRemoved(Node p, int f, int l) override { events.push_back("-? " + Where(p, f, l)); }
    void RowsRemoved(Node p, int f, int l) override { events.push_back("- " + Where(p, f, l)); }
    void ChildrenAboutToBeReordered(Node p) override { events.push_back("sort? " + Where(p, 0, 0)); }
    void ChildrenReordered(Node p) override { events.push_back("sort " + Where(p, 0, 0)); }
    void BookAboutToBeReset() override { events.push_back("reset?"); }
    void BookReset() override { events.push_back("reset"); }
};

}  // namespace

TEST(Book, DisplayLabelCutsBytesAndKeepsFullText)
{
    const std::string thirty(30, 'a');
    const std::string thirtyOne = thirty + "b";
    EXPECT_EQ(Book::DisplayLabel(thirty), thirty);
    EXPECT_EQ(Book::DisplayLabel(thirtyOne), thirty + "...");
    EXPECT_EQ(Book::DisplayLabel(""), "");
    // The cut counts bytes, even when it splits a two-byte character.
    const std::string chinese(31, '\xB0');
    EXPECT_EQ(Book::DisplayLabel(chinese), std::string(30, '\xB0') + "...");

    Book b;
    Node n = b.Insert(Node{}, ItemKind::BookRoot, thirtyOne);
    EXPECT_EQ(b.Text(n), thirtyOne);
    EXPECT_EQ(b.Label(n), thirty + "...");
    ASSERT_EQ(b.SetText(n, thirty), 1);
    EXPECT_EQ(b.Label(n), thirty);
    // Texts may hold any bytes, zero included.
    const std::string withZero("a\0b", 3);
    ASSERT_EQ(b.SetText(n, withZero), 1);
    EXPECT_EQ(b.Text(n), withZero);
}

TEST(Book, InsertNavigateAndRemove)
{
    Book b;
    EXPECT_TRUE(b.Empty());
    EXPECT_FALSE(b.FirstRoot());
    Node r = b.Insert(Node{}, ItemKind::BookRoot, "R");
    Node d1 = b.Insert(r, ItemKind::Directory, "D1");
    Node d2 = b.Insert(r, ItemKind::Directory, "D2");
    Node a = b.Insert(d1, ItemKind::Lock, "A");
    Node c = b.Insert(d1, ItemKind::Key, "C");
    Node r2 = b.Insert(Node{}, ItemKind::BookRoot, "R2");
    EXPECT_EQ(b.NodeCount(), 6u);
    EXPECT_EQ(b.Kind(a), 3);
    EXPECT_EQ(b.Record(c)->self, c);
    EXPECT_EQ(b.Record(c)->flags, 0u);

    EXPECT_EQ(b.FirstRoot(), r);
    EXPECT_EQ(b.FirstChild(Node{}), r);
    EXPECT_EQ(b.LastChild(Node{}), r2);
    EXPECT_EQ(b.NextSibling(r), r2);
    EXPECT_EQ(b.PrevSibling(r2), r);
    EXPECT_EQ(b.Parent(r), Node{});
    EXPECT_EQ(b.Parent(a), d1);
    EXPECT_EQ(b.FirstChild(d1), a);
    EXPECT_EQ(b.LastChild(d1), c);
    EXPECT_EQ(b.NextSibling(a), c);
    EXPECT_EQ(b.PrevSibling(a), Node{});
    EXPECT_EQ(b.NextSibling(c), Node{});
    EXPECT_EQ(b.ChildCount(r), 2u);
    EXPECT_EQ(b.ChildCount(Node{}), 2u);
    EXPECT_EQ(b.Depth(a), 2);
    EXPECT_TRUE(b.IsWithin(a, r));
    EXPECT_FALSE(b.IsWithin(r, a));

    // Pre-order over the forest and within a subtree.
    std::vector<Node> order;
    for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n))
        order.push_back(n);
    EXPECT_EQ(order, (std::vector<Node>{r, d1, a, c, d2, r2}));
    order.clear();
    for (Node n = d1; n; n = b.NextPreOrder(n, d1))
        order.push_back(n);
    EXPECT_EQ(order, (std::vector<Node>{d1, a, c}));

    // Removing the middle of a sibling chain relinks it; the subtree goes with it.
    EXPECT_EQ(b.Remove(d1), 1);
    EXPECT_EQ(b.NodeCount(), 3u);
    EXPECT_EQ(b.FirstChild(r), d2);
    EXPECT_EQ(b.PrevSibling(d2), Node{});
    for (Node gone : {d1, a, c}) {
        EXPECT_FALSE(b.Valid(gone));
        EXPECT_EQ(b.Kind(gone), 0);
        EXPECT_EQ(b.Text(gone), "");
        EXPECT_EQ(b.Parent(gone), Node{});
        EXPECT_EQ(b.Remove(gone), -1);
        EXPECT_EQ(b.SetText(gone, "x"), -1);
        EXPECT_EQ(b.Insert(gone, ItemKind::Lock, "x"), Node{});
        EXPECT_EQ(b.Record(gone), nullptr);
    }
    // New nodes reuse the freed slots under new generations: old handles stay stale.
    std::vector<Node> fresh;
    for (int i = 0; i < 5; ++i)
        fresh.push_back(b.Insert(d2, ItemKind::Lock, "n" + std::to_string(i)));
    for (Node gone : {d1, a, c}) {
        EXPECT_FALSE(b.Valid(gone));
        EXPECT_TRUE(std::find(fresh.begin(), fresh.end(), gone) == fresh.end());
    }
    EXPECT_EQ(ChildTexts(b, d2), (std::vector<std::string>{"n0", "n1", "n2", "n3", "n4"}));
    EXPECT_EQ(b.Remove(r2), 1);
    EXPECT_EQ(b.LastChild(Node{}), r);
    EXPECT_EQ(b.NextSibling(r), Node{});

    // Kind 0 is never a node.
    EXPECT_EQ(b.Insert(r, 0, "zero"), Node{});
    b.Clear();
    EXPECT_TRUE(b.Empty());
    EXPECT_FALSE(b.Valid(r));
    EXPECT_FALSE(b.Valid(fresh[0]));
}

TEST(Book, FlagsStateSelectionAndFirstVisible)
{
    Book b;
    Node r = b.Insert(Node{}, ItemKind::BookRoot, "R");
    Node d = b.Insert(r, ItemKind::Directory, "D");
    EXPECT_EQ(b.ToggleFlags(d, kFlagSortName), kFlagSortName);
    EXPECT_EQ(b.ToggleFlags(d, kFlagSortName | kFlagSortType), kFlagSortType);
    EXPECT_EQ(b.Flags(d), kFlagSortType);
    EXPECT_FALSE(b.AnyWith(kFlagMarked, kStateCut));
    EXPECT_EQ(b.SetState(d, kStateCut | kStateBold, kStateCut), 1);
    EXPECT_EQ(b.State(d), kStateCut);
    EXPECT_TRUE(b.AnyWith(kFlagMarked, kStateCut));
    EXPECT_FALSE(b.AnyWith(kFlagMarked, kStateBold));
    EXPECT_TRUE(b.AnyWith(kFlagSortType, 0));
    b.Expand(d, true);
    EXPECT_TRUE(b.Expanded(d));
    b.Expand(d, false);
    EXPECT_FALSE(b.Expanded(d));

    // Selection carries the selected state bit, moves it, and forgets removed nodes.
    EXPECT_EQ(b.Selected(), Node{});
    b.Select(r);
    b.Select(d);
    EXPECT_EQ(b.Selected(), d);
    EXPECT_EQ(b.State(r) & kStateSelected, 0u);
    EXPECT_NE(b.State(d) & kStateSelected, 0u);
    EXPECT_EQ(b.FirstVisible(), r);  // falls back to the first top-level node
    b.SetFirstVisible(d);
    EXPECT_EQ(b.FirstVisible(), d);
    b.Remove(d);
    EXPECT_FALSE(b.AnyWith(kFlagSortType, kStateCut));  // removed nodes count no more
    EXPECT_EQ(b.Selected(), Node{});
    EXPECT_EQ(b.FirstVisible(), r);
    EXPECT_EQ(b.Select(d), -1);
    EXPECT_EQ(b.SetFirstVisible(d), -1);
    b.Clear();
    EXPECT_EQ(b.FirstVisible(), Node{});
}

TEST(Book, ObserversFollowEveryChange)
{
    Book b;
    Recorder rec;
    rec.book = &b;
    b.AddObserver(&rec);
    Node r = b.Insert(Node{}, ItemKind::BookRoot, "R");
    Node d = b.Insert(r, ItemKind::Directory, "D");
    b.SetText(d, "E");
    b.SetFlags(d, 0x20);
    b.SetFlags(d, 0x20);  // no change, no event
    b.Expand(d, true);
    b.Select(d);
    b.Remove(d);
    b.Clear();
    EXPECT_EQ(rec.events, (std::vector<std::string>{"ins R", "ins D", "text E", "flags E 32", "state E 32",
                                                     "state E 34", "select E", "rm E", "reset"}));
    b.RemoveObserver(&rec);
    b.Insert(Node{}, ItemKind::BookRoot, "X");
    EXPECT_EQ(rec.events.size(), 9u);
}

TEST(Book, RowsAreFoundAtOnceAndAnnouncedBeforeAndAfter)
{
    Book b;
    RowRecorder rec;
    rec.book = &b;
    b.AddObserver(&rec);
    Node r = b.Insert(Node{}, ItemKind::BookRoot, "R");
    std::vector<Node> kids;
    for (const char* t : {"a", "b", "c", "d"})
        kids.push_back(b.Insert(r, ItemKind::Lock, t));
    EXPECT_EQ(rec.events, (std::vector<std::string>{"+? top 0..0", "+ top 0..0", "+? R 0..0", "+ R 0..0", "+? R 1..1",
                                                     "+ R 1..1", "+? R 2..2", "+ R 2..2", "+? R 3..3", "+ R 3..3"}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b.ChildAt(r, i), kids[static_cast<std::size_t>(i)]);
        EXPECT_EQ(b.RowOf(kids[static_cast<std::size_t>(i)]), i);
    }
    EXPECT_EQ(b.RowOf(r), 0);
    EXPECT_EQ(b.ChildAt(Node{}, 0), r);
    EXPECT_EQ(b.ChildAt(r, 4), Node{});
    EXPECT_EQ(b.ChildAt(r, -1), Node{});
    EXPECT_EQ(b.RowOf(Node{}), -1);

    // A removal renumbers the later siblings; its handles are stale afterwards.
    rec.events.clear();
    Node inner = b.Insert(kids[1], ItemKind::InputField, "x");
    ASSERT_EQ(b.Remove(kids[1]), 1);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"+? b 0..0", "+ b 0..0", "-? R 1..1", "- R 1..1"}));
    EXPECT_EQ(b.RowOf(kids[2]), 1);
    EXPECT_EQ(b.RowOf(kids[3]), 2);
    EXPECT_EQ(b.ChildAt(r, 1), kids[2]);
    EXPECT_EQ(b.ChildCount(r), 3u);
    for (Node gone : {kids[1], inner}) {
        EXPECT_EQ(b.RowOf(gone), -1);
        EXPECT_EQ(b.ChildCount(gone), 0u);
        EXPECT_EQ(b.ChildAt(gone, 0), Node{});
    }

    rec.events.clear();
    ASSERT_EQ(b.SortChildren(r, [&](Node x, Node y) { return b.Text(y).compare(b.Text(x)); }), 1);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"sort? R 0..0", "sort R 0..0"}));
    EXPECT_EQ(b.RowOf(kids[3]), 0);
    EXPECT_EQ(b.ChildAt(r, 2), kids[0]);
    EXPECT_EQ(b.NextSibling(kids[2]), kids[0]);
    EXPECT_EQ(b.PrevSibling(kids[2]), kids[3]);

    // Whole-book changes: both books' observers see the reset pair.
    Book other = b.MakeSuccessor();
    other.Insert(Node{}, ItemKind::BookRoot, "S");
    RowRecorder otherRec;
    otherRec.book = &other;
    other.AddObserver(&otherRec);
    rec.events.clear();
    b.SwapContent(other);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"reset?", "reset"}));
    EXPECT_EQ(otherRec.events, (std::vector<std::string>{"reset?", "reset"}));
    EXPECT_EQ(b.ChildCount(Node{}), 1u);
    EXPECT_EQ(b.RowOf(b.FirstRoot()), 0);
    EXPECT_EQ(other.RowOf(r), 0);
    rec.events.clear();
    b.Clear();
    EXPECT_EQ(rec.events, (std::vector<std::string>{"reset?", "reset"}));
    EXPECT_EQ(b.ChildCount(Node{}), 0u);
    EXPECT_EQ(b.ChildAt(Node{}, 0), Node{});
    b.RemoveObserver(&rec);
    other.RemoveObserver(&otherRec);
}

// Random inserts, removals, sorts, clears and content swaps, followed only through the
// notifications.
TEST(Book, RandomChangesAnnounceTheirRows)
{
    std::mt19937 rng(11);
    Book b;
    RowChecker checker(b);
    std::vector<Node> all;
    auto pick = [&]() -> Node {
        all.clear();
        for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n))
            all.push_back(n);
        return all.empty() || rng() % 8 == 0 ? Node{} : all[rng() % all.size()];
    };
    for (int step = 0; step < 3000 && !::testing::Test::HasFailure(); ++step) {
        switch (rng() % 10) {
        case 0: {
            const int n = 1 + static_cast<int>(rng() % 8);
            const Node parent = pick();
            for (int i = 0; i < n; ++i)
                b.Insert(parent, ItemKind::Lock, RandomGbkText(rng, 2));
            break;
        }
        case 1:
        case 2:
        case 3: b.Insert(pick(), ItemKind::Directory, RandomGbkText(rng, 2)); break;
        case 4:
        case 5: b.Remove(pick()); break;
        case 6:
            b.SortChildren(pick(), [&](Node x, Node y) { return b.Text(x).compare(b.Text(y)); });
            break;
        case 7:
            if (rng() % 20 == 0)
                b.Clear();
            break;
        case 8:
            if (rng() % 10 == 0) {
                Book next = rng() % 2 ? b.MakeSuccessor() : Book{};
                AddRandomBook(next, rng, {.nodes = 1 + static_cast<int>(rng() % 60)});
                b.SwapContent(next);
            }
            break;
        default: b.Select(pick()); break;
        }
        checker.Verify();
    }
    EXPECT_EQ(checker.Failures(), 0);
    EXPECT_GT(checker.Seen().resets, 0);
    EXPECT_GT(checker.Seen().reordered, 0);
}

TEST(Book, SortChildrenIsStableAndRelinks)
{
    Book b;
    Node r = b.Insert(Node{}, ItemKind::BookRoot, "R");
    for (const char* t : {"c", "a2", "b", "a1", "d"})
        b.Insert(r, ItemKind::Lock, t);
    // Compare by first letter only: "a2" and "a1" keep their order.
    auto byFirst = [&](Node x, Node y) { return b.Text(x)[0] - b.Text(y)[0]; };
    ASSERT_EQ(b.SortChildren(r, byFirst), 1);
    EXPECT_EQ(ChildTexts(b, r), (std::vector<std::string>{"a2", "a1", "b", "c", "d"}));
    EXPECT_EQ(b.Text(b.LastChild(r)), "d");
    EXPECT_EQ(b.Text(b.PrevSibling(b.LastChild(r))), "c");
    auto reverse = [&](Node x, Node y) { return b.Text(y).compare(b.Text(x)); };
    ASSERT_EQ(b.SortChildren(r, reverse), 1);
    EXPECT_EQ(ChildTexts(b, r), (std::vector<std::string>{"d", "c", "b", "a2", "a1"}));
    // Appending after a sort goes to the new end.
    b.Insert(r, ItemKind::Lock, "z");
    EXPECT_EQ(b.Text(b.LastChild(r)), "z");
    Node leaf = b.FirstChild(r);
    EXPECT_EQ(b.SortChildren(leaf, reverse), -1);
}

TEST(Book, SuccessorHandlesNeverMatchOldOnes)
{
    std::mt19937 rng(7);
    Book live;
    AddRandomBook(live, rng, {.nodes = 200});
    std::vector<Node> old;
    for (Node n = live.FirstRoot(); n; n = live.NextPreOrder(n))
        old.push_back(n);
    // Remove a few so that free slots exist too.
    live.Remove(old[5]);

    Book next = live.MakeSuccessor();
    AddRandomBook(next, rng, {.nodes = 400});
    live.SwapContent(next);
    EXPECT_EQ(live.NodeCount(), 400u);
    for (Node n : old)
        EXPECT_FALSE(live.Valid(n));
    // The new content's handles are valid in the live book after the swap.
    std::size_t count = 0;
    for (Node n = live.FirstRoot(); n; n = live.NextPreOrder(n))
        count += live.Valid(n);
    EXPECT_EQ(count, 400u);
}

TEST(Book, LargeBookRemovalWithoutRecursion)
{
    // A chain 200000 deep would overflow the stack of any recursive walk.
    Book b;
    Node n = b.Insert(Node{}, ItemKind::BookRoot, "R");
    Node root = n;
    for (int i = 0; i < 200000; ++i)
        n = b.Insert(n, ItemKind::Directory, "d");
    EXPECT_EQ(b.Depth(n), 200000);
    int visited = 0;
    for (Node x = root; x; x = b.NextPreOrder(x))
        ++visited;
    EXPECT_EQ(visited, 200001);
    EXPECT_EQ(b.Remove(root), 1);
    EXPECT_TRUE(b.Empty());
}
