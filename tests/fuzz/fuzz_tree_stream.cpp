// Tree stream reader: any bytes, read as a whole book and under a node. A refused stream must
// leave the book as it was; an accepted one must give a consistent tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "book/TreeStream.h"
#include "support/BookTesting.h"

using namespace morvane;

namespace {

std::size_t Walk(const Book& b)
{
    std::size_t n = 0;
    for (Node x = b.FirstRoot(); x; x = b.NextPreOrder(x))
        ++n;
    return n;
}

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// The whole book as its stream: kinds, texts, view states, flags, the first visible node and
// the marked parent, without converting every text as a dump would. Into a buffer that keeps
// its room between inputs.
const std::vector<std::uint8_t>& Snapshot(const KeyTree& tree, std::vector<std::uint8_t>& s)
{
    s.clear();
    Check(WriteTreeStream(tree, Node{}, s) == 1);
    return s;
}

// A small book to read into: a root, a directory holding a lock with one line and a marked
// key, and a second directory; built once and read back from its stream for every input into
// the same trees, which a whole-book read resets. Every node costs time on each input, and
// the reader does not care how many there are.
const std::vector<std::uint8_t>& BaseStream()
{
    static const std::vector<std::uint8_t> stream = [] {
        KeyTree tree;
        Book& b = tree.book;
        const Node root = b.Insert(Node{}, ItemKind::BookRoot, "book");
        const Node dir = b.Insert(root, ItemKind::Directory, "dir");
        const Node lock = b.Insert(dir, ItemKind::Lock, "lock");
        b.Insert(lock, ItemKind::InputField, "input: ");
        b.SetFlags(b.Insert(dir, ItemKind::Key, "key"), kFlagMarked);
        b.Insert(root, ItemKind::AltDirectory, "other");
        b.Expand(root, true);
        std::vector<std::uint8_t> s;
        Check(WriteTreeStream(tree, Node{}, s) == 1);
        return s;
    }();
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static KeyTree tree, again;
    static std::vector<std::uint8_t> before, mid, now, out;
    std::span<const std::uint8_t> bytes(data, size);
    Check(ReadTreeStream(tree, Node{}, BaseStream()) == 1);
    Node root = tree.book.FirstRoot();
    Node dir = tree.book.FirstChild(root);
    tree.markedParent = dir;
    tree.clickedItem = tree.book.FirstChild(dir);
    if (before.empty())
        Snapshot(tree, before);

    // Under a node.
    const bool added = ReadTreeStream(tree, dir, bytes) == 1;
    if (!added) {
        Check(Snapshot(tree, now) == before);
        Check(tree.markedParent == dir && tree.book.Valid(tree.clickedItem));
    }
    Check(Walk(tree.book) == tree.book.NodeCount());

    // As a whole book.
    const std::vector<std::uint8_t>& unchanged = added ? Snapshot(tree, mid) : before;
    if (ReadTreeStream(tree, Node{}, bytes) == 1) {
        Check(tree.book.ChildCount(Node{}) == 1);
        Check(tree.book.Valid(tree.book.FirstVisible()));
        Check(!tree.clickedItem && !tree.transferList);
        Check(tree.markedParent.IsNone() || tree.book.Valid(tree.markedParent));
        // What was read writes back and reads again to the same book.
        out.clear();
        Check(WriteTreeStream(tree, Node{}, out) == 1);
        Check(ReadTreeStream(again, Node{}, out) == 1);
        Check(BooksEqual(again.book, tree.book));
    } else {
        Check(Snapshot(tree, now) == unchanged);
    }
    Check(Walk(tree.book) == tree.book.NodeCount());
    return 0;
}
