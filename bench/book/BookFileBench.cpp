// Saving and opening whole book files of 1,000 and 10,000 keys (each key with its 31 lines,
// numbers of a 1024-bit key), beside a reference pipeline over the same tree stream made of
// zlib (level 6), OpenSSL AES-256-CBC and OpenSSL MD5, writing and reading the same way.
// Both sides include the file write (atomic replacement with fsync) or read.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "book/BookFile.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "crypto/Md5.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string& Folder()
{
    static std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "morvane-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return dir;
}

std::string Hex(std::mt19937& rng, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s(1, kDigits[1 + rng() % 15]);
    while (static_cast<int>(s.size()) < digits)
        s += kDigits[rng() % 16];
    return s;
}

// A book of `keys` keys in directories of 50, every number line filled; half of the keys
// show the details of a last message.
KeyTree& BookOf(int keys)
{
    static std::map<int, std::unique_ptr<KeyTree>> cache;
    auto& slot = cache[keys];
    if (slot)
        return *slot;
    slot = std::make_unique<KeyTree>();
    KeyTree& t = *slot;
    std::mt19937 rng(static_cast<unsigned>(keys));
    Book& b = t.book;
    Node root = BuildEmptyBook(b);
    Node dir;
    for (int k = 0; k < keys; ++k) {
        if (k % 50 == 0)
            dir = b.Insert(root, ItemKind::Directory, Gbk("目录") + std::to_string(k / 50 + 1));
        Node key = AddRecord(b, dir, KindCode(ItemKind::Key), Gbk("我的钥匙") + std::to_string(k + 1),
                             1767225600 - static_cast<std::time_t>(rng() % 100000000));
        SetField(b, key, KindCode(ItemKind::ModulusField), Hex(rng, 256));
        SetField(b, key, KindCode(ItemKind::PublicExponentField), Hex(rng, 64));
        SetField(b, key, KindCode(ItemKind::PrivateExponentField), Hex(rng, 256));
        SetField(b, key, KindCode(ItemKind::PrimePField), Hex(rng, 128));
        SetField(b, key, KindCode(ItemKind::PrimeQField), Hex(rng, 128));
        SetField(b, key, KindCode(ItemKind::CoefficientField), Hex(rng, 128));
        if (rng() % 2)
            SetField(b, key, KindCode(ItemKind::OutputField), Hex(rng, 260));
    }
    b.Expand(root, true);
    t.bookPassword = "benchmark password";
    return t;
}

const Bytes& StreamOf(int keys)
{
    static std::map<int, Bytes> cache;
    Bytes& s = cache[keys];
    if (s.empty())
        WriteTreeStream(BookOf(keys), Node{}, s);
    return s;
}

std::string PathOf(const char* what, int keys)
{
    return Folder() + "/" + what + std::to_string(keys) + ".Bk";
}

// ---- Reference pipeline: zlib, AES-256-CBC, MD5.
const unsigned char kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const unsigned char kIv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

Bytes Aes(const Bytes& in, bool encrypt)
{
    Bytes out(in.size() + 32);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n1 = 0, n2 = 0;
    EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, kKey, kIv, encrypt ? 1 : 0);
    EVP_CipherUpdate(ctx, out.data(), &n1, in.data(), static_cast<int>(in.size()));
    EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(n1 + n2));
    return out;
}

void OpenSslMd5(const std::uint8_t* p, std::size_t n, unsigned char* digest)
{
    unsigned int len = 0;
    EVP_Digest(p, n, digest, &len, EVP_md5(), nullptr);
}

Bytes RefEncode(const Bytes& stream)
{
    Bytes z(compressBound(stream.size()) + 16);
    uLongf zSize = z.size();
    compress2(z.data(), &zSize, stream.data(), stream.size(), 6);
    z.resize(zSize + 16);
    OpenSslMd5(z.data(), zSize, z.data() + zSize);
    Bytes file(16);
    OpenSslMd5(kKey, sizeof kKey, file.data());
    const Bytes c = Aes(z, true);
    file.insert(file.end(), c.begin(), c.end());
    return file;
}

bool RefDecode(const Bytes& file, std::size_t streamSize, Bytes& stream)
{
    const Bytes plain = Aes(Bytes(file.begin() + 16, file.end()), false);
    if (plain.size() < 16)
        return false;
    unsigned char d[16];
    OpenSslMd5(plain.data(), plain.size() - 16, d);
    stream.resize(streamSize);
    uLongf size = stream.size();
    return std::memcmp(d, plain.data() + plain.size() - 16, 16) == 0 &&
           uncompress(stream.data(), &size, plain.data(), plain.size() - 16) == Z_OK && size == streamSize;
}

// ---- CPU seconds per run for the closing table.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::map<std::string, double> results;

// name/keys. Appended piece by piece: GCC 12 at -O3 warns wrongly about "/" + to_string().
std::string ResultKey(const char* name, long keys)
{
    std::string k = name;
    k += '/';
    k += std::to_string(keys);
    return k;
}

void Record(benchmark::State& state, const char* name, double spent)
{
    results[ResultKey(name, state.range(0))] = spent / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(StreamOf(static_cast<int>(state.range(0))).size()));
}

void BM_SaveBook(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    KeyTree& t = BookOf(keys);
    const std::string path = PathOf("ours", keys);
    const double t0 = CpuSeconds();
    for (auto _ : state)
        if (SaveBook(t, path) != 1)
            state.SkipWithError("save failed");
    Record(state, "save", CpuSeconds() - t0);
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

void BM_OpenBook(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    KeyTree& source = BookOf(keys);
    const std::string path = PathOf("ours", keys);
    if (SaveBook(source, path) != 1)
        state.SkipWithError("save failed");
    KeyTree t;
    t.bookPassword = source.bookPassword;
    const double t0 = CpuSeconds();
    for (auto _ : state)
        if (!LoadBook(t, path).Loaded())
            state.SkipWithError("open failed");
    Record(state, "open", CpuSeconds() - t0);
    if (t.book.NodeCount() != source.book.NodeCount())
        state.SkipWithError("book differs");
}

// The reference starts from the book too, so that both sides pay for the stream.
void BM_RefSave(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    KeyTree& t = BookOf(keys);
    const std::string path = PathOf("ref", keys);
    const double t0 = CpuSeconds();
    for (auto _ : state) {
        Bytes stream;
        WriteTreeStream(t, Node{}, stream);
        if (!WriteFileAtomically(path, RefEncode(stream)))
            state.SkipWithError("write failed");
    }
    Record(state, "ref save", CpuSeconds() - t0);
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

void BM_RefOpen(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    const Bytes& stream = StreamOf(keys);
    const std::string path = PathOf("ref", keys);
    WriteFileAtomically(path, RefEncode(stream));
    const double t0 = CpuSeconds();
    for (auto _ : state) {
        KeyTree t;
        auto file = ReadWholeFile(path, kBookFileReadLimit);
        Bytes back;
        if (!file || !RefDecode(*file, stream.size(), back) || ReadTreeStream(t, Node{}, back) != 1)
            state.SkipWithError("open failed");
    }
    Record(state, "ref open", CpuSeconds() - t0);
}

// Where a save's time goes: one run of each step, CPU milliseconds as counters.
void BM_SavePhases(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    KeyTree& t = BookOf(keys);
    const std::string path = PathOf("phases", keys);
    for (auto _ : state) {
        Bytes stream, z, c;
        double a = CpuSeconds();
        WriteTreeStream(t, Node{}, stream);
        double b = CpuSeconds();
        state.counters["stream_ms"] = (b - a) * 1e3;
        t.codec.Compress(z, stream);
        a = CpuSeconds();
        state.counters["compress_ms"] = (a - b) * 1e3;
        const Md5Bytes d = Md5Of(std::span<const std::uint8_t>(z));
        z.insert(z.end(), d.begin(), d.end());
        b = CpuSeconds();
        state.counters["md5_ms"] = (b - a) * 1e3;
        if (t.cipher.Encrypt(c, z, t.bookPassword) != 1)
            state.SkipWithError("Encrypt failed");
        a = CpuSeconds();
        state.counters["cipher_ms"] = (a - b) * 1e3;
        WriteFileAtomically(path, c);
        b = CpuSeconds();
        state.counters["write_ms"] = (b - a) * 1e3;
    }
}

BENCHMARK(BM_SavePhases)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefSave)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBook)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefOpen)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenBook)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void PrintSummary()
{
    std::printf("\n%-6s %10s %8s | %9s %9s %6s | %9s %9s %6s\n", "keys", "stream", "nodes", "save ms",
                "ref ms", "ratio", "open ms", "ref ms", "ratio");
    for (int keys : {1000, 10000}) {
        const char* names[4] = {"save", "ref save", "open", "ref open"};
        double t[4];
        bool complete = true;
        for (int i = 0; i < 4; ++i) {
            auto it = results.find(ResultKey(names[i], keys));
            complete = complete && it != results.end();
            t[i] = complete ? it->second : 0;
        }
        if (!complete)
            continue;
        const double s = t[0], rs = t[1], o = t[2], ro = t[3];
        std::printf("%-6d %10zu %8zu | %9.1f %9.1f %5.2fx | %9.1f %9.1f %5.2fx\n", keys, StreamOf(keys).size(),
                    BookOf(keys).book.NodeCount(), s * 1e3, rs * 1e3, s / rs, o * 1e3, ro * 1e3, o / ro);
    }
    std::printf("(CPU time per run; ratio = ours / reference, below 1 is faster)\n");
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
