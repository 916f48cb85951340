#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "book/Book.h"
#include "support/BookTesting.h"

using namespace morvane;

namespace {

struct Recorder : BookObserver {
    std::vector<std::string> events;
    const Book* book = nullptr;
    void NodeInserted(Node n) override { events.push_back("ins " + book->Text(n)); }
    void NodeRemoving(Node n) override { events.push_back("rm " + book->Text(n)); }
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
    EXPECT_EQ(b.SetState(d, kStateCut | kStateBold, kStateCut), 1);
    EXPECT_EQ(b.State(d), kStateCut);
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
