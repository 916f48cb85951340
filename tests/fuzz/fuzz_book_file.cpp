// Book file reader: arbitrary bytes as a whole file, as the compressed content inside a
// correctly enciphered file, or as the tree stream inside one (the first input byte picks
// the layer, so that the fuzzer reaches the expander and the stream reader past the
// digests). A refused load must leave the open book exactly as it was.
//
// Speed: the trees, the sample book and every buffer live across inputs (a key tree's
// construction and the sample book's hundreds of small allocations cost more under the
// sanitizers than reading a file), and the stream layer is coded with literals only rather
// than by the compressor, whose suffix sorting took most of the time; the compressor's round
// trips are the expand target's.
#include <algorithm>
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

// Appends bits most significant first, as the coded form packs them.
class Bits {
public:
    explicit Bits(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(std::uint32_t value, int width)  // width <= 32
    {
        acc_ = (acc_ << width) | value;
        pending_ += width;
        while (pending_ >= 8) {
            pending_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
        }
        acc_ &= (std::uint64_t{1} << pending_) - 1;
    }
    // The end header of a string of n bits that starts on a byte's first bit.
    void PutEnd(std::uint64_t n)
    {
        Put(static_cast<std::uint32_t>((n - 1) / 8), 32);
        Put(static_cast<std::uint32_t>(7 - (n - 1) % 8), 3);
    }
    void Finish()
    {
        if (pending_ > 0)
            out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
        pending_ = 0;
        acc_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int pending_ = 0;
};

// out = the coded form of data with literals only, which the expander takes as it takes the
// compressor's own choice of matches.
void Literals(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out)
{
    out.clear();
    Bits w(out);
    const std::size_t chunks = (data.size() + CCompress::kChunkSize - 1) / CCompress::kChunkSize;
    const std::uint64_t bits = 35 + 35 * chunks + 9 * data.size();
    out.reserve((bits + 7) / 8);
    w.PutEnd(bits);
    for (std::size_t at = 0; at < data.size(); at += CCompress::kChunkSize) {
        const std::size_t n = std::min(CCompress::kChunkSize, data.size() - at);
        w.PutEnd(35 + 9 * n);
        for (std::size_t i = at; i < at + n; ++i)
            w.Put(0x100u | data[i], 9);
    }
    w.Finish();
}

// Once: the expander gives back what Literals coded, over chunk ends too.
void CheckLiterals()
{
    CCompress coder;
    std::vector<std::uint8_t> data, coded, back;
    for (std::size_t n : {1, 2, 69999, 70000, 70001, 140001}) {
        data.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            data[i] = static_cast<std::uint8_t>(i * 7 + i / 300);
        Literals(data, coded);
        Check(coder.Expand(back, coded) == 1 && back == data);
    }
}

// file = the password digest, then z and its digest enciphered under "pw".
void Wrap(CRijndael& cipher, std::span<const std::uint8_t> z, std::vector<std::uint8_t>& plain,
          std::vector<std::uint8_t>& sealed, std::vector<std::uint8_t>& file)
{
    plain.assign(z.begin(), z.end());
    const Md5Bytes d = Md5Of(z);
    plain.insert(plain.end(), d.begin(), d.end());
    Check(cipher.Encrypt(sealed, plain, "pw") == 1);
    static const Md5Bytes pd = Md5Of(std::string_view("pw"));
    file.assign(pd.begin(), pd.end());
    file.insert(file.end(), sealed.begin(), sealed.end());
}

// Kinds, texts, flags and view states of every node in order, with the marked parent: what a
// refused load must leave as it was. A stream carries no view state but the expanded bit.
void Snapshot(const KeyTree& tree, std::vector<std::uint8_t>& stream, std::vector<std::uint32_t>& states)
{
    stream.clear();
    Check(WriteTreeStream(tree, Node{}, stream) == 1);
    states.clear();
    for (Node x = tree.book.FirstRoot(); x; x = tree.book.NextPreOrder(x)) {
        states.push_back(tree.book.State(x));
        states.push_back(tree.book.Flags(x));
    }
}

struct World {
    KeyTree tree;   // no desktop: every password question is cancelled
    KeyTree other;  // where a loaded book's file is read back
    CRijndael cipher;
    std::vector<std::uint8_t> sample, beforeStream, nowStream;
    std::vector<std::uint32_t> beforeStates, nowStates;
    std::vector<std::uint8_t> coded, plain, sealed, file, again;
    World()
    {
        CheckLiterals();
        KeyTree built;
        BuildSampleBook(built.book);
        Check(WriteTreeStream(built, Node{}, sample) == 1);
        Reset();
        Snapshot(tree, beforeStream, beforeStates);
    }
    // The open book: the sample book, its first directory marked and clicked. A refused load
    // leaves it so (which is checked), so only a loaded book needs it read again; and that
    // at the end of the same input, so that the input frees as much as it allocates and
    // libFuzzer's leak check stays for real leaks.
    void Reset()
    {
        Check(ReadTreeStream(tree, Node{}, sample) == 1);
        const Node root = tree.book.FirstRoot();
        tree.markedParent = root;
        tree.clickedItem = tree.book.FirstChild(root);
        tree.bookPassword = "pw";
        tree.bookPath = "/keep.Bk";
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World w;
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    KeyTree& tree = w.tree;
    const Node root = tree.book.FirstRoot();
    tree.bookPassword = "pw";  // a load may have changed it before it failed

    switch (data[0] % 3) {
    case 0:
        w.file.assign(rest.begin(), rest.end());
        break;
    case 1:
        Wrap(w.cipher, rest, w.plain, w.sealed, w.file);
        break;
    default:
        if (rest.empty())
            return 0;
        Literals(rest, w.coded);
        Wrap(w.cipher, w.coded, w.plain, w.sealed, w.file);
        break;
    }

    const LoadOutcome r = LoadBookData(tree, w.file, "/fuzz.Bk");
    if (r.Loaded()) {
        Check(tree.book.ChildCount(Node{}) == 1);
        Check(!tree.clickedItem);
        Check(tree.markedParent.IsNone() || tree.book.Valid(tree.markedParent));
        Check(tree.bookPath == "/fuzz.Bk");
        // What was loaded writes and reads again to the same book: as a file for one input
        // in four (by its length, which mutations change often; the compressor costs more
        // than all the rest), as a stream for the others.
        if (size % 4 == 0) {
            Check(EncodeBookFile(tree, "pw", w.again) == 1);
            w.other.bookPassword = "pw";
            Check(LoadBookData(w.other, w.again, "/again.Bk").Loaded());
        } else {
            w.again.clear();
            Check(WriteTreeStream(tree, Node{}, w.again) == 1);
            Check(ReadTreeStream(w.other, Node{}, w.again) == 1);
        }
        Check(BooksEqual(w.other.book, tree.book));
        w.other.book.Clear();
        w.Reset();
    } else {
        Snapshot(tree, w.nowStream, w.nowStates);
        Check(w.nowStream == w.beforeStream && w.nowStates == w.beforeStates);
        Check(tree.bookPath == "/keep.Bk");
        Check(tree.book.Valid(tree.clickedItem) && tree.markedParent == root);
    }
    return 0;
}
