// Saving and opening whole book files of 1,000 and 10,000 keys (each key with its 31 lines,
// numbers of a 1024-bit key), beside a reference pipeline over the same tree stream made of
// zlib (level 6), OpenSSL AES-256-CBC and OpenSSL MD5, writing and reading the same way.
// Both sides include the file write (atomic replacement with fsync) or read.
// Then the same for the largest book of that kind the program supports, with the memory each
// step adds at its peak, and the refusal of crafted files that expand far beyond it.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/support/KeyNumbers.h"
#include "book/BookFile.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "crypto/Md5.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "support/CraftedBook.h"

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
        bench::FillKeyNumbers(b, key, rng);
        if (rng() % 2)
            SetField(b, key, KindCode(ItemKind::OutputField), bench::RandomHex(rng, 260));
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
        (void)WriteTreeStream(BookOf(keys), Node{}, s);
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

double WallSeconds();

// CPU and wall seconds per run.
struct Timing {
    double cpu = 0, wall = 0;
};
std::map<std::string, Timing> results;
double wallStart = 0;  // set beside each run's CPU start

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
    const double runs = static_cast<double>(state.iterations());
    results[ResultKey(name, state.range(0))] = {spent / runs, (WallSeconds() - wallStart) / runs};
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(StreamOf(static_cast<int>(state.range(0))).size()));
}

void BM_SaveBook(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    KeyTree& t = BookOf(keys);
    const std::string path = PathOf("ours", keys);
    const double t0 = CpuSeconds();
    wallStart = WallSeconds();
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
    wallStart = WallSeconds();
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
    wallStart = WallSeconds();
    for (auto _ : state) {
        Bytes stream;
        (void)WriteTreeStream(t, Node{}, stream);
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
    wallStart = WallSeconds();
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
        (void)WriteTreeStream(t, Node{}, stream);
        double b = CpuSeconds();
        state.counters["stream_ms"] = (b - a) * 1e3;
        (void)t.codec.Compress(z, stream);
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

// Where an open's time goes, the same way (wall milliseconds: the expander uses every core).
void BM_OpenPhases(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    KeyTree& source = BookOf(keys);
    const std::string path = PathOf("phases", keys);
    if (SaveBook(source, path) != 1)
        state.SkipWithError("save failed");
    for (auto _ : state) {
        KeyTree t;
        double a = WallSeconds();
        auto file = ReadWholeFile(path, kBookFileReadLimit);
        double b = WallSeconds();
        state.counters["read_ms"] = (b - a) * 1e3;
        Bytes plain, stream;
        if (!file || t.cipher.Decrypt(plain, std::span<const std::uint8_t>(*file).subspan(16), source.bookPassword) != 1)
            state.SkipWithError("Decrypt failed");
        a = WallSeconds();
        state.counters["cipher_ms"] = (a - b) * 1e3;
        (void)Md5Of(std::span<const std::uint8_t>(plain.data(), plain.size() - 16));
        b = WallSeconds();
        state.counters["md5_ms"] = (b - a) * 1e3;
        if (t.codec.Expand(stream, plain.data(), plain.size() - 16) != 1)
            state.SkipWithError("Expand failed");
        a = WallSeconds();
        state.counters["expand_ms"] = (a - b) * 1e3;
        if (ReadTreeStream(t, Node{}, stream) != 1)
            state.SkipWithError("ReadTreeStream failed");
        b = WallSeconds();
        state.counters["stream_ms"] = (b - a) * 1e3;
    }
}

BENCHMARK(BM_SavePhases)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenPhases)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefSave)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBook)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefOpen)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenBook)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// ---- The largest supported book: as many keys as fit under both limits (the stream's
// is the one that binds for this kind of book).
constexpr int kMaxKeys = 119000;

// Resident memory of the process, now and at its peak since the last reset, in bytes.
std::size_t StatusBytes(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return static_cast<std::size_t>(std::strtoull(line.c_str() + key.size(), nullptr, 10)) * 1024;
    return 0;
}
void ResetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
double Mb(double bytes)
{
    return bytes / (1 << 20);
}

double WallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// What one step cost: CPU and wall seconds, and the resident memory it added at its peak.
struct Step {
    double cpu = 0, wall = 0, addedMb = 0, beforeMb = 0;
};
std::map<std::string, Step> steps;

template <class F>
Step Measure(benchmark::State& state, const std::string& name, F&& f)
{
    Step step;
    for (auto _ : state) {
        ResetPeak();
        const std::size_t before = StatusBytes("VmRSS");
        const double c0 = CpuSeconds(), w0 = WallSeconds();
        if (!f())
            state.SkipWithError("failed");
        step.cpu = CpuSeconds() - c0;
        step.wall = WallSeconds() - w0;
        step.beforeMb = Mb(static_cast<double>(before));
        step.addedMb = Mb(static_cast<double>(StatusBytes("VmHWM")) - static_cast<double>(before));
    }
    state.counters["cpu_s"] = step.cpu;
    state.counters["peak_added_MB"] = step.addedMb;
    state.counters["rss_before_MB"] = step.beforeMb;
    steps[name] = step;
    return step;
}

// Bytes of the whole-book stream, counted without writing it.
std::size_t StreamSize(const Book& b)
{
    std::size_t n = 0;
    for (Node x = b.FirstRoot(); x; x = b.NextPreOrder(x))
        n += 20 + b.Text(x).size();
    return n - 4;  // every record but the root's is closed once
}

double maxBookMb = 0;
std::size_t maxStream = 0;

KeyTree& MaxBook()
{
    static KeyTree* book = [] {
        ResetPeak();
        const std::size_t before = StatusBytes("VmRSS");
        KeyTree* t = &BookOf(kMaxKeys);
        maxBookMb = Mb(static_cast<double>(StatusBytes("VmRSS")) - static_cast<double>(before));
        maxStream = StreamSize(t->book);
        return t;
    }();
    return *book;
}

void BM_MaxBookSave(benchmark::State& state)
{
    KeyTree& t = MaxBook();
    if (maxStream > kMaxBookStreamBytes || t.book.NodeCount() > kMaxBookItems) {
        state.SkipWithError("beyond the supported maximum");
        return;
    }
    const std::string path = PathOf("ours", kMaxKeys);
    Measure(state, "save", [&] { return SaveBook(t, path) == 1; });
    state.counters["nodes"] = static_cast<double>(t.book.NodeCount());
    state.counters["stream_MB"] = Mb(static_cast<double>(maxStream));
    state.counters["file_MB"] = Mb(static_cast<double>(std::filesystem::file_size(path)));
    state.counters["book_MB"] = maxBookMb;
}

void BM_MaxBookRefSave(benchmark::State& state)
{
    KeyTree& t = MaxBook();
    const std::string path = PathOf("ref", kMaxKeys);
    Measure(state, "ref save", [&] {
        Bytes stream;
        (void)WriteTreeStream(t, Node{}, stream);
        return WriteFileAtomically(path, RefEncode(stream));
    });
    state.counters["file_MB"] = Mb(static_cast<double>(std::filesystem::file_size(path)));
}

void BM_MaxBookOpen(benchmark::State& state)
{
    KeyTree& source = MaxBook();
    const std::string path = PathOf("ours", kMaxKeys);
    if (!std::filesystem::exists(path) && SaveBook(source, path) != 1)
        state.SkipWithError("save failed");
    KeyTree t;
    t.bookPassword = source.bookPassword;
    Measure(state, "open", [&] { return LoadBook(t, path).Loaded(); });
    if (t.book.NodeCount() != source.book.NodeCount())
        state.SkipWithError("book differs");
}

void BM_MaxBookRefOpen(benchmark::State& state)
{
    KeyTree& source = MaxBook();
    const std::string path = PathOf("ref", kMaxKeys);
    if (!std::filesystem::exists(path)) {
        Bytes stream;
        (void)WriteTreeStream(source, Node{}, stream);
        WriteFileAtomically(path, RefEncode(stream));
    }
    KeyTree t;
    Measure(state, "ref open", [&] {
        auto file = ReadWholeFile(path, kBookFileReadLimit);
        Bytes back;
        return file && RefDecode(*file, maxStream, back) && ReadTreeStream(t, Node{}, back) == 1;
    });
}

// Book files of a few hundred kilobytes that expand to 256 MiB (13.4 million items, refused
// by their count) and 1 GiB (refused once the expander passes 256 MiB); the open book is the
// sample book.
void BM_RefuseCrafted(benchmark::State& state)
{
    const std::uint64_t items = state.range(0) == 256 ? 13'421'772 : 53'687'091;
    const std::string path = PathOf("crafted", static_cast<int>(state.range(0)));
    {
        const Bytes file = CraftBookFile(items, "benchmark password");
        WriteFileAtomically(path, file);
    }
    KeyTree t;
    BuildSampleBook(t.book);
    t.bookPassword = "benchmark password";
    const std::string name = "refuse " + std::to_string(state.range(0));
    Measure(state, name, [&] { return LoadBook(t, path).status == -1 && t.book.NodeCount() < 1000; });
    state.counters["file_KB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024;
}

BENCHMARK(BM_MaxBookSave)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MaxBookRefSave)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MaxBookOpen)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MaxBookRefOpen)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefuseCrafted)->Arg(256)->Arg(1024)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintSummary()
{
    std::printf("\n%-6s %10s %8s %5s | %9s %9s %6s | %9s %9s %6s\n", "keys", "stream", "nodes", "time",
                "save ms", "ref ms", "ratio", "open ms", "ref ms", "ratio");
    for (int keys : {1000, 10000}) {
        const char* names[4] = {"save", "ref save", "open", "ref open"};
        Timing t[4];
        bool complete = true;
        for (int i = 0; i < 4; ++i) {
            auto it = results.find(ResultKey(names[i], keys));
            complete = complete && it != results.end();
            t[i] = complete ? it->second : Timing{};
        }
        if (!complete)
            continue;
        for (const bool wall : {false, true}) {
            auto at = [&](int i) { return wall ? t[i].wall : t[i].cpu; };
            const double s = at(0), rs = at(1), o = at(2), ro = at(3);
            std::printf("%-6d %10zu %8zu %5s | %9.1f %9.1f %5.2fx | %9.1f %9.1f %5.2fx\n", keys,
                        StreamOf(keys).size(), BookOf(keys).book.NodeCount(), wall ? "wall" : "cpu", s * 1e3,
                        rs * 1e3, s / rs, o * 1e3, ro * 1e3, o / ro);
        }
    }
    std::printf("(CPU time of all threads and wall time per run; ratio = ours / reference, below 1 is faster)\n");

    const char* pairs[2][2] = {{"save", "ref save"}, {"open", "ref open"}};
    if (steps.count("save") || steps.count("open")) {
        std::printf("\nLargest supported book: %d keys, %zu nodes, stream %zu bytes (limits %zu items, %zu bytes), "
                    "%.0f MB resident\n",
                    kMaxKeys, MaxBook().book.NodeCount(), maxStream, kMaxBookItems, kMaxBookStreamBytes, maxBookMb);
        std::printf("%-5s | %8s %8s %6s | %8s %8s %6s | %10s %10s\n", "step", "cpu s", "ref s", "ratio", "wall s",
                    "ref s", "ratio", "added MB", "ref MB");
    }
    for (const auto& pair : pairs) {
        auto a = steps.find(pair[0]), b = steps.find(pair[1]);
        if (a == steps.end() || b == steps.end())
            continue;
        const Step& x = a->second;
        const Step& y = b->second;
        std::printf("%-5s | %8.2f %8.2f %5.2fx | %8.2f %8.2f %5.2fx | %10.0f %10.0f\n", pair[0], x.cpu, y.cpu,
                    x.cpu / y.cpu, x.wall, y.wall, x.wall / y.wall, x.addedMb, y.addedMb);
    }
    for (const char* name : {"refuse 256", "refuse 1024"})
        if (auto it = steps.find(name); it != steps.end())
            std::printf("%s MiB crafted file: refused in %.3f s CPU, %.3f s wall, %.0f MB added at the peak\n",
                        name + 7, it->second.cpu, it->second.wall, it->second.addedMb);
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
