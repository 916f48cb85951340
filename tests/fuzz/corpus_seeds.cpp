// Writes the seed corpus of every fuzz target from the program's own outputs: the sample book
// as a tree stream (whole, one directory, one leaf), coded and as a book file; run and seed
// files as start-up and exit write them; armored texts as the protect command writes them for
// the armored text target's key, signed and unsigned, bare and framed; public key texts.
// Usage: morvane_fuzz_corpus <corpus folder>; tests/fuzz/make_corpus.sh runs it.
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzWorld.h"
#include "book/BookFile.h"
#include "book/Compress.h"
#include "book/RunFile.h"
#include "book/TreeStream.h"
#include "crypto/Md5.h"
#include "message/PublicKeyText.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "support/TempDataHome.h"

using namespace morvane;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

fs::path root;
int failures = 0;

void Fail(const std::string& what)
{
    std::fprintf(stderr, "morvane_fuzz_corpus: %s\n", what.c_str());
    ++failures;
}

// target/name = prefix bytes, then data.
void Put(const std::string& target, const std::string& name, std::string_view prefix, const Bytes& data)
{
    if (data.empty()) {
        Fail(target + "/" + name + " has no content");
        return;
    }
    const fs::path dir = root / target;
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out)
        Fail("cannot write " + (dir / name).string());
}

void Put(const std::string& target, const std::string& name, std::string_view prefix, std::string_view text)
{
    Put(target, name, prefix, Bytes(text.begin(), text.end()));
}

Bytes Coded(CCompress& coder, const Bytes& data)
{
    Bytes z;
    if (coder.Compress(z, data) != 1)
        Fail("compress");
    return z;
}

Bytes FileOf(const std::string& path)
{
    auto data = ReadWholeFile(path);
    if (!data)
        Fail("cannot read " + path);
    return data ? *data : Bytes{};
}

// The output box's frame: star lines around the text broken into lines, CR LF between.
std::string Framed(const std::string& text)
{
    std::string wrapped = text;
    WrapText(wrapped, 60);
    return std::string(60, '*') + "\r\n" + wrapped + "\r\n" + std::string(60, '*');
}

void Books()
{
    KeyTree tree;
    BuildSampleBook(tree.book);
    const Node top = tree.book.FirstRoot();
    const Node dir = tree.book.FirstChild(top);
    tree.markedParent = dir;
    Bytes whole, directory, leaf;
    if (WriteTreeStream(tree, Node{}, whole) != 1 || WriteTreeStream(tree, dir, directory) != 1 ||
        WriteTreeStream(tree, tree.book.FirstChild(tree.book.FirstChild(dir)), leaf) != 1)
        Fail("tree stream");
    Put("tree_stream", "sample-book", "", whole);
    Put("tree_stream", "directory", "", directory);
    Put("tree_stream", "leaf", "", leaf);

    CCompress coder;
    const Bytes coded = Coded(coder, whole);
    Put("expand", "sample-book", "", coded);
    Put("expand", "one-byte", "", Coded(coder, Bytes{'A'}));
    Put("expand", "abab", "", Coded(coder, Bytes{'a', 'b', 'a', 'b'}));
    Put("expand", "long-run", "", Coded(coder, Bytes(20000, 'k')));

    // The book file target: the first byte picks the layer (file, coded content, stream),
    // under the password "pw".
    Bytes file;
    if (EncodeBookFile(tree, "pw", file) != 1)
        Fail("book file");
    Put("book_file", "sample-book-file", std::string_view("\0", 1), file);
    Put("book_file", "sample-book-coded", "\x01", coded);
    Put("book_file", "sample-book-stream", "\x02", whole);
    KeyTree empty;
    BuildEmptyBook(empty.book);
    Bytes emptyFile;
    if (EncodeBookFile(empty, "pw", emptyFile) != 1)
        Fail("empty book file");
    Put("book_file", "empty-book-file", std::string_view("\0", 1), emptyFile);
}

void RunAndSeedFiles()
{
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree(&desk);
    tree.loginPassword = "pw";
    // A fixed pool and fixed paths, so that the files come out the same every time.
    std::array<std::uint8_t, kPoolSize> pool;
    for (std::size_t i = 0; i < pool.size(); ++i)
        pool[i] = static_cast<std::uint8_t>(i * 37 + 11);
    tree.random.SetPool(pool);
    const std::string seedPath = home.File(kSeedFileName);
    tree.random.SetSeedPath(seedPath);
    fs::create_directories(fs::path(RunFilePath()).parent_path());
    if (tree.random.SaveSeed() != 1)
        Fail("seed file");
    tree.bookPath = "/home/user/密钥/通讯簿.Bk";
    tree.random.SetSeedPath("/home/user/.local/share/Morvane/QVX_RAND_SEED.sd");
    if (WriteRunFile(tree) != 1)
        Fail("run file");
    const Bytes run = FileOf(RunFilePath());
    // The run file target puts the digest of "pw" in front when the first byte is odd.
    Put("run_file", "run-file", std::string_view("\0", 1), run);
    if (run.size() > kMd5Size)
        Put("run_file", "run-file-after-digest", "\x01", Bytes(run.begin() + kMd5Size, run.end()));
    tree.bookPath.clear();
    if (WriteRunFile(tree) != 1)
        Fail("run file without a book");
    Put("run_file", "run-file-no-book", std::string_view("\0", 1), FileOf(RunFilePath()));

    // The seed file target enciphers the rest itself when the first byte is odd.
    Put("seed_file", "seed-file", std::string_view("\0", 1), FileOf(seedPath));
    Bytes plain(tree.random.Pool().begin(), tree.random.Pool().end());
    const Md5Bytes d = Md5Of(plain);
    plain.insert(plain.end(), d.begin(), d.end());
    Put("seed_file", "seed-pool-and-digest", "\x01", plain);
}

void Messages()
{
    FuzzWorld w;
    const std::string plain = "the one message";
    // Plain text mode needs an even first byte: "N_SI" has one; a signed text gets a leading
    // blank, which the command drops.
    if (w.Protect(w.lock, plain, 0) != 1)
        Fail("encrypt");
    const std::string sealed = w.Output(w.lock);
    if (w.Protect(w.lock, plain, 1) != 1)
        Fail("sign and encrypt");
    const std::string signedText = w.Output(w.lock);
    Put("armored_text", "unsigned", "", sealed);
    Put("armored_text", "signed", " ", signedText);
    Put("armored_text", "unsigned-framed", "", Framed(sealed));
    Put("armored_text", "signed-framed", "", Framed(signedText));
    // Edit mode (odd first byte; bit 1 picks the signed message): the rest of the input goes in
    // at the position the next two bytes give.
    Put("armored_text", "edit-relabelled", std::string_view("\x03\x00\x00", 3), std::string("N_SI"));
    Put("armored_text", "edit-digits", std::string_view("\x01\x00\x30", 3), std::string("0F"));

    const std::string key = BuildPublicKeyText(kFuzzN, kFuzzE);
    Put("public_key_text", "public-key", "", key);
    Put("public_key_text", "public-key-in-mail", "", "Hello,\r\n\r\n  " + key + "\r\n\r\nBye\r\n");
    Put("public_key_text", "input-text", "", std::string("the one message"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    root = argv[1];
    Books();
    RunAndSeedFiles();
    Messages();
    return failures == 0 ? 0 : 1;
}
