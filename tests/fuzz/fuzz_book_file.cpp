// Book file reader: arbitrary bytes as a whole file, as the compressed content inside a
// correctly enciphered file, or as the tree stream inside one (the first input byte picks
// the layer, so that the fuzzer reaches the expander and the stream reader past the
// digests). A refused load must leave the open book exactly as it was.
//
// Speed: the trees and every buffer live across inputs, the open book is small (a key tree's
// construction and the sample book's hundreds of small allocations cost more under the
// sanitizers than reading a file), and the stream layer is coded by a quick greedy coder
// rather than by the compressor, whose suffix sorting took most of the time; the
// compressor's round trips are the expand target's, and a loaded book's file round trip.
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

struct Symbol {
    std::uint32_t value;
    int width;
};

int BitLen(std::uint32_t x)
{
    int n = 1;
    while (x >>= 1)
        ++n;
    return n;
}

// The symbols of one chunk: a quick greedy coder (the first earlier place with the same three
// bytes, as a hash remembers it), which is not the compressor's choice of symbols but codes
// the same bytes; the expander must take every valid choice.
void CodeChunk(const std::uint8_t* c, std::uint32_t n, std::vector<std::int32_t>& head, std::vector<Symbol>& out)
{
    std::fill(head.begin(), head.end(), -1);
    out.push_back({0x100u | c[0], 9});
    std::uint32_t i = 1;
    while (i < n) {
        std::uint32_t len = 0, source = 0;
        if (i + 3 <= n) {
            const std::uint32_t h = (c[i] * 506832829u ^ c[i + 1] * 2654435761u ^ c[i + 2] * 40503u) % head.size();
            if (head[h] >= 0) {
                source = static_cast<std::uint32_t>(head[h]);
                const std::uint32_t most = std::min<std::uint32_t>(n - i, CCompress::kMaxMatch);
                while (len < most && c[source + len] == c[i + len])
                    ++len;
            }
            head[h] = static_cast<std::int32_t>(i);
        }
        if (len < 3) {
            out.push_back({0x100u | c[i], 9});
            ++i;
            continue;
        }
        out.push_back({source, BitLen(i) + 1});  // flag 0, then the source
        if (len <= CCompress::kMaxShortMatch) {
            const std::uint32_t q = (len - 2) / 4;  // kind 1, q one-bits, a zero, (len - 2) % 4
            out.push_back({(((std::uint32_t{1} << (q + 1)) - 1) << 3) | (len - 2) % 4, static_cast<int>(q) + 4});
        } else {
            out.push_back({len - 2, 16});  // kind 0, 15-bit length
        }
        i += len;
    }
}

// out = a coded form of data (see CodeChunk).
void Code(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out)
{
    static std::vector<std::int32_t> head(4096);
    static std::vector<Symbol> symbols;
    static std::vector<std::size_t> ends;
    symbols.clear();
    ends.clear();
    for (std::size_t at = 0; at < data.size(); at += CCompress::kChunkSize) {
        const std::size_t n = std::min(CCompress::kChunkSize, data.size() - at);
        CodeChunk(data.data() + at, static_cast<std::uint32_t>(n), head, symbols);
        ends.push_back(symbols.size());
    }
    std::uint64_t total = 35;
    for (const Symbol& sym : symbols)
        total += static_cast<std::uint64_t>(sym.width);
    total += 35 * ends.size();
    out.clear();
    out.reserve((total + 7) / 8);
    Bits w(out);
    w.PutEnd(total);
    std::size_t from = 0;
    for (std::size_t end : ends) {
        std::uint64_t bits = 35;
        for (std::size_t k = from; k < end; ++k)
            bits += static_cast<std::uint64_t>(symbols[k].width);
        w.PutEnd(bits);
        for (; from < end; ++from)
            w.Put(symbols[from].value, symbols[from].width);
    }
    w.Finish();
}

// Once: the expander gives back what Code coded, over chunk ends, in runs and long matches.
void CheckCode()
{
    CCompress coder;
    std::vector<std::uint8_t> data, coded, back;
    for (std::size_t n : {1, 2, 3, 7, 69999, 70000, 70001, 140001}) {
        for (int kind = 0; kind < 3; ++kind) {
            data.resize(n);
            for (std::size_t i = 0; i < n; ++i)
                data[i] = static_cast<std::uint8_t>(kind == 0 ? i * 7 + i / 300 : kind == 1 ? i / 20000 : i % 61 + i / 5000);
            Code(data, coded);
            Check(coder.Expand(back, coded) == 1 && back == data);
        }
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
    std::vector<std::uint8_t> open, beforeStream, nowStream;
    std::vector<std::uint32_t> beforeStates, nowStates;
    std::vector<std::uint8_t> coded, plain, sealed, file, again;
    World()
    {
        CheckCode();
        // A small open book: its size changes nothing in what a load does with it, and it is
        // read and compared on every input.
        KeyTree built;
        Book& b = built.book;
        const Node root = b.Insert(Node{}, ItemKind::BookRoot, "book");
        const Node dir = b.Insert(root, ItemKind::Directory, "dir");
        b.Insert(b.Insert(dir, ItemKind::Lock, "lock"), ItemKind::InputField, "input: ");
        b.SetFlags(b.Insert(dir, ItemKind::Key, "key"), kFlagMarked);
        b.Expand(root, true);
        Check(WriteTreeStream(built, Node{}, open) == 1);
        Reset();
        Snapshot(tree, beforeStream, beforeStates);
    }
    // The open book, its directory marked and clicked. A refused load
    // leaves it so (which is checked), so only a loaded book needs it read again; and that
    // at the end of the same input, so that the input frees as much as it allocates and
    // libFuzzer's leak check stays for real leaks.
    void Reset()
    {
        Check(ReadTreeStream(tree, Node{}, open) == 1);
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
        Code(rest, w.coded);
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
