// Tree stream reader: any bytes, read as a whole book and under a node. A refused stream must
// leave the book as it was; an accepted one must give a consistent tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "book/Records.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes(data, size);
    KeyTree tree;
    Node root = BuildSampleBook(tree.book);
    Node dir = tree.book.FirstChild(root);
    tree.markedParent = dir;
    tree.clickedItem = tree.book.FirstChild(dir);
    const std::string before = DumpBook(tree.book);

    // Under a node.
    if (ReadTreeStream(tree, dir, bytes) != 1) {
        Check(DumpBook(tree.book) == before);
        Check(tree.markedParent == dir && tree.book.Valid(tree.clickedItem));
    }
    Check(Walk(tree.book) == tree.book.NodeCount());

    // As a whole book.
    const std::string mid = DumpBook(tree.book);
    if (ReadTreeStream(tree, Node{}, bytes) == 1) {
        Check(tree.book.ChildCount(Node{}) == 1);
        Check(tree.book.Valid(tree.book.FirstVisible()));
        Check(!tree.clickedItem && !tree.transferList);
        Check(tree.markedParent.IsNone() || tree.book.Valid(tree.markedParent));
        // What was read writes back and reads again to the same book.
        std::vector<std::uint8_t> out;
        Check(WriteTreeStream(tree, Node{}, out) == 1);
        KeyTree again;
        Check(ReadTreeStream(again, Node{}, out) == 1);
        Check(BooksEqual(again.book, tree.book));
    } else {
        Check(DumpBook(tree.book) == mid);
    }
    Check(Walk(tree.book) == tree.book.NodeCount());
    return 0;
}
