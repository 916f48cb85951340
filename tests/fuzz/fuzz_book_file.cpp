// Book file reader: arbitrary bytes as a whole file, as the compressed content inside a
// correctly enciphered file, or as the tree stream inside one (the first input byte picks
// the layer, so that the fuzzer reaches the expander and the stream reader past the
// digests). A refused load must leave the open book exactly as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "book/BookFile.h"
#include "book/Compress.h"
#include "book/Records.h"
#include "crypto/Md5.h"
#include "support/BookTesting.h"

using namespace morvane;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

std::vector<std::uint8_t> Wrap(CRijndael& cipher, std::span<const std::uint8_t> z)
{
    std::vector<std::uint8_t> plain(z.begin(), z.end());
    const Md5Bytes d = Md5Of(z);
    plain.insert(plain.end(), d.begin(), d.end());
    std::vector<std::uint8_t> file;
    Check(cipher.Encrypt(file, plain, "pw") == 1);
    const Md5Bytes pd = Md5Of(std::string_view("pw"));
    file.insert(file.begin(), pd.begin(), pd.end());
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);

    KeyTree tree;  // no desktop: every password question is cancelled
    BuildSampleBook(tree.book);
    const Node root = tree.book.FirstRoot();
    tree.markedParent = root;
    tree.clickedItem = tree.book.FirstChild(root);
    tree.bookPassword = "pw";
    tree.bookPath = "/keep.Bk";
    const std::string before = DumpBook(tree.book);

    std::vector<std::uint8_t> file;
    switch (data[0] % 3) {
    case 0:
        file.assign(rest.begin(), rest.end());
        break;
    case 1:
        file = Wrap(tree.cipher, rest);
        break;
    default: {
        if (rest.empty())
            return 0;
        static CCompress coder;
        std::vector<std::uint8_t> z;
        Check(coder.Compress(z, rest) == 1);
        file = Wrap(tree.cipher, z);
        break;
    }
    }

    const LoadOutcome r = LoadBookData(tree, file, "/fuzz.Bk");
    if (r.Loaded()) {
        Check(tree.book.ChildCount(Node{}) == 1);
        Check(!tree.clickedItem);
        Check(tree.markedParent.IsNone() || tree.book.Valid(tree.markedParent));
        Check(tree.bookPath == "/fuzz.Bk");
        // What was loaded saves and loads again to the same book.
        std::vector<std::uint8_t> again;
        Check(EncodeBookFile(tree, "pw", again) == 1);
        KeyTree other;
        other.bookPassword = "pw";
        Check(LoadBookData(other, again, "/again.Bk").Loaded());
        Check(BooksEqual(other.book, tree.book));
    } else {
        Check(DumpBook(tree.book) == before);
        Check(tree.bookPath == "/keep.Bk");
        Check(tree.book.Valid(tree.clickedItem) && tree.markedParent == root);
    }
    return 0;
}
