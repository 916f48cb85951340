// The book coder against zlib (level 6) on tree streams of generated books of 1,000 and
// 10,000 keys. Each key carries its 31 lines: 17 field lines, two of them the detail groups
// with 11 and 3 rows, hexadecimal N/E/D/P/Q/U of a 1024-bit key, dates, serials and names.
// Then the coder on texts unlike a book, where its match search takes its other paths: one
// long run, random bytes, a short period, and a block repeated with one byte changed.
// After the runs tables put sizes and speeds side by side.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <ctime>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "book/Compress.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Book generation, laid out as the tree stream writer lays it out.
struct Item {
    std::int32_t kind;
    std::string text;  // GBK
    std::uint32_t state = 0;
    std::uint32_t flags = 0;
    std::vector<Item> children;
};

void PutWord(Bytes& out, std::uint32_t w) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(w >> (8 * k)));
}

// Pre-order records; after each child's subtree one close word climbs back to its parent.
void WriteStream(const Item& item, Bytes& out) {
    PutWord(out, static_cast<std::uint32_t>(item.kind));
    PutWord(out, static_cast<std::uint32_t>(item.text.size()));
    out.insert(out.end(), item.text.begin(), item.text.end());
    PutWord(out, item.state);
    PutWord(out, item.flags);
    for (const Item& child : item.children) {
        WriteStream(child, out);
        PutWord(out, 0);
    }
}

class BookMaker {
public:
    explicit BookMaker(unsigned seed) : rng_(seed) {}

    Item Make(int keys) {
        Item root{1, Gbk("密钥通讯薄"), 0x20, 0x40, {}};
        const int perDirectory = 50;
        for (int k = 0; k < keys; ++k) {
            if (k % perDirectory == 0)
                root.children.push_back(
                    {2, Gbk("目录") + std::to_string(k / perDirectory + 1), 0x20, 0, {}});
            root.children.back().children.push_back(Key(k));
        }
        return root;
    }

private:
    std::string HexDigits(int count) {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string s(1, kDigits[1 + rng_() % 15]);  // no leading zero
        while (static_cast<int>(s.size()) < count) s += kDigits[rng_() % 16];
        return s;
    }

    std::string Date() {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d",
                      2019 + static_cast<int>(rng_() % 7), 1 + static_cast<int>(rng_() % 12),
                      1 + static_cast<int>(rng_() % 28), static_cast<int>(rng_() % 24),
                      static_cast<int>(rng_() % 60), static_cast<int>(rng_() % 60));
        return buf;
    }

    Item Line(std::int32_t kind, const char* label, const std::string& value) {
        return {kind, Gbk(label) + value, 0, 0, {}};
    }

    Item Key(int k) {
        static const char* kNames[] = {"张三", "李四", "王五", "赵六", "陈明", "刘洋", "周杰"};
        static const char* kPre[] = {"正文编码", "预留字节", "明文属性", "加密强度", "填充类型",
                                     "明文长度", "段落序号", "消耗长度", "填充数据", "前置正文",
                                     "合成数据"};
        static const std::int32_t kPreKinds[] = {42, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37};
        static const char* kPost[] = {"签字标志", "MD5值   ", " 后置正文"};
        const bool used = rng_() % 2 == 0;  // a used key shows its last message's details
        const std::string name = kNames[rng_() % 7];

        Item key{4, Gbk(name) + Gbk("的钥匙") + std::to_string(k + 1), used ? 0x20u : 0u, 0, {}};
        key.children.push_back(Line(12, "输    入: ", used ? Gbk("你好, 明天见。") : ""));
        Item pre{27, Gbk("计算前编码细节"), 0, 0, {}};
        for (int r = 0; r < 11; ++r) {
            const int bytes = used ? 1 + static_cast<int>(rng_() % 60) : 0;
            char count[16];
            std::snprintf(count, sizeof count, "(%04d", bytes);
            pre.children.push_back({kPreKinds[r], Gbk(kPre[r]) + count + Gbk("字节): ") +
                                        (used ? HexDigits(2 * bytes) : ""), 0, 0, {}});
        }
        key.children.push_back(pre);
        Item post{38, Gbk("计算后编码细节"), 0, 0, {}};
        for (int r = 0; r < 3; ++r) {
            const int bytes = used ? (r == 1 ? 16 : 2) : 0;
            char count[16];
            std::snprintf(count, sizeof count, "(%04d", bytes);
            post.children.push_back({39 + r, Gbk(kPost[r]) + count + Gbk("字节): ") +
                                         (used ? HexDigits(2 * bytes) : ""), 0, 0, {}});
        }
        key.children.push_back(post);
        key.children.push_back(Line(13, "输    出: ", used ? HexDigits(260) : ""));
        key.children.push_back(Line(14, "序    号: ", std::to_string(1000000 + k * 7)));
        key.children.push_back(Line(15, "身    份: ", Gbk(name)));
        key.children.push_back(
            Line(16, "电    邮: ", "user" + std::to_string(k) + "@example.com"));
        key.children.push_back(Line(17, "使用次数: ", std::to_string(rng_() % 40)));
        key.children.push_back(Line(18, "强    度: ", Gbk("中 1024Bits")));
        key.children.push_back(Line(19, "使用日期: ", Date()));
        key.children.push_back(Line(20, "附加说明: ", Gbk("在哪里, 为了谁公布")));
        key.children.push_back(Line(21, "N     值: ", HexDigits(256)));
        key.children.push_back(Line(22, "E     值: ", HexDigits(64)));
        key.children.push_back(Line(23, "D     值: ", HexDigits(256)));
        key.children.push_back(Line(24, "P     值: ", HexDigits(128)));
        key.children.push_back(Line(25, "Q     值: ", HexDigits(128)));
        key.children.push_back(Line(26, "U     值: ", HexDigits(128)));
        return key;
    }

    std::mt19937 rng_;
};

const Bytes& BookStream(int keys) {
    static std::map<int, Bytes> cache;
    auto it = cache.find(keys);
    if (it == cache.end()) {
        Bytes stream;
        WriteStream(BookMaker(static_cast<unsigned>(keys)).Make(keys), stream);
        it = cache.emplace(keys, std::move(stream)).first;
    }
    return it->second;
}

// ---- Results for the closing table: CPU and wall seconds per run and output size. CPU time
// of the whole process (the coder works on every core), so that other work on the machine
// counts less; wall time is what a user waits.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double WallSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Result {
    double seconds = 0;  // CPU
    std::size_t size = 0;
    double wall = 0;
};
std::map<std::string, Result> results;
double wallStart = 0;  // set by each run beside its CPU start

void Record(benchmark::State& state, const std::string& name, std::size_t inputSize,
            std::size_t outputSize, double spent) {
    const double runs = static_cast<double>(state.iterations());
    results[name + "/" + std::to_string(state.range(0))] = {spent / runs, outputSize,
                                                            (WallSeconds() - wallStart) / runs};
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(inputSize));
    state.counters["out_bytes"] = static_cast<double>(outputSize);
}

// zlib level 6 on `in`, recorded under `label`: the reference every coder figure stands beside.
void ZlibCompressRun(benchmark::State& state, const Bytes& in, const char* label) {
    Bytes out(compressBound(in.size()));
    uLongf size = 0;
    const double t0 = CpuSeconds();
    wallStart = WallSeconds();
    for (auto _ : state) {
        size = out.size();
        if (compress2(out.data(), &size, in.data(), in.size(), 6) != Z_OK)
            state.SkipWithError("zlib failed");
        benchmark::DoNotOptimize(out.data());
    }
    Record(state, label, in.size(), size, CpuSeconds() - t0);
}

void BM_ZlibCompress(benchmark::State& state) {
    ZlibCompressRun(state, BookStream(static_cast<int>(state.range(0))), "zlib compress");
}

void BM_ZlibExpand(benchmark::State& state) {
    const Bytes& in = BookStream(static_cast<int>(state.range(0)));
    Bytes packed(compressBound(in.size()));
    uLongf packedSize = packed.size();
    compress2(packed.data(), &packedSize, in.data(), in.size(), 6);
    Bytes out(in.size());
    const double t0 = CpuSeconds();
    wallStart = WallSeconds();
    for (auto _ : state) {
        uLongf size = out.size();
        if (uncompress(out.data(), &size, packed.data(), packedSize) != Z_OK)
            state.SkipWithError("zlib failed");
        benchmark::DoNotOptimize(out.data());
    }
    Record(state, "zlib expand", in.size(), in.size(), CpuSeconds() - t0);
}

void BM_Compress(benchmark::State& state) {
    const Bytes& in = BookStream(static_cast<int>(state.range(0)));
    CCompress codec;
    Bytes out;
    const double t0 = CpuSeconds();
    wallStart = WallSeconds();
    for (auto _ : state) {
        if (codec.Compress(out, in) != 1) state.SkipWithError("compress failed");
        benchmark::DoNotOptimize(out.data());
    }
    Record(state, "Compress", in.size(), out.size(), CpuSeconds() - t0);
}

void BM_Expand(benchmark::State& state) {
    const Bytes& in = BookStream(static_cast<int>(state.range(0)));
    CCompress codec;
    Bytes packed, out;
    (void)codec.Compress(packed, in);
    const double t0 = CpuSeconds();
    wallStart = WallSeconds();
    for (auto _ : state) {
        if (codec.Expand(out, packed) != 1 || out.size() != in.size())
            state.SkipWithError("expand failed");
        benchmark::DoNotOptimize(out.data());
    }
    Record(state, "Expand", in.size(), in.size(), CpuSeconds() - t0);
}

// ---- Other texts, 40 chunks each.
const char* const kShapeNames[] = {"one run", "random", "period 7", "near repeats"};

const Bytes& ShapeText(int shape) {
    static std::map<int, Bytes> cache;
    auto it = cache.find(shape);
    if (it != cache.end()) return it->second;
    const std::size_t n = 40 * CCompress::kChunkSize;
    std::mt19937 rng(static_cast<unsigned>(shape + 1));
    Bytes text;
    switch (shape) {
        case 0:
            text.assign(n, 0);
            break;
        case 1:
            for (std::size_t k = 0; k < n; ++k) text.push_back(static_cast<std::uint8_t>(rng()));
            break;
        case 2:
            for (std::size_t k = 0; k < n; ++k)
                text.push_back(static_cast<std::uint8_t>("abcdefg"[k % 7]));
            break;
        default: {
            Bytes block(5000);
            for (auto& b : block) b = static_cast<std::uint8_t>(rng());
            while (text.size() < n) {
                text.insert(text.end(), block.begin(), block.end());
                text[text.size() - 1 - rng() % block.size()] ^= 1;
            }
            text.resize(n);
        }
    }
    return cache.emplace(shape, std::move(text)).first->second;
}

void BM_ShapeZlib(benchmark::State& state) {
    ZlibCompressRun(state, ShapeText(static_cast<int>(state.range(0))), "shape zlib");
}

void BM_ShapeCompress(benchmark::State& state) {
    const Bytes& in = ShapeText(static_cast<int>(state.range(0)));
    CCompress codec;
    Bytes out;
    const double t0 = CpuSeconds();
    wallStart = WallSeconds();
    for (auto _ : state) {
        if (codec.Compress(out, in) != 1) state.SkipWithError("compress failed");
        benchmark::DoNotOptimize(out.data());
    }
    Record(state, "shape compress", in.size(), out.size(), CpuSeconds() - t0);
}

BENCHMARK(BM_ZlibCompress)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Compress)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibExpand)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Expand)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShapeZlib)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShapeCompress)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintSummary() {
    std::printf("\n%-8s %12s | %14s %10s %9s | %14s %10s %9s | %8s %8s %8s\n", "keys", "stream",
                "ours coded", "MB/s in", "expand", "zlib-6 coded", "MB/s in", "expand",
                "speed", "size", "wall");
    for (int keys : {1000, 10000}) {
        const std::string k = "/" + std::to_string(keys);
        if (!results.count("Compress" + k) || !results.count("zlib compress" + k)) continue;
        const double mb = static_cast<double>(BookStream(keys).size()) / 1e6;
        const Result& c = results["Compress" + k];
        const Result& z = results["zlib compress" + k];
        const double e = results.count("Expand" + k) ? results["Expand" + k].seconds : 0;
        const double ze = results.count("zlib expand" + k) ? results["zlib expand" + k].seconds : 0;
        std::printf("%-8d %12zu | %14zu %10.1f %9.1f | %14zu %10.1f %9.1f | %7.2fx %7.2fx %7.2fx\n",
                    keys, BookStream(keys).size(), c.size, mb / c.seconds,
                    e > 0 ? mb / e : 0.0, z.size, mb / z.seconds, ze > 0 ? mb / ze : 0.0,
                    z.seconds / c.seconds,
                    static_cast<double>(c.size) / static_cast<double>(z.size), z.wall / c.wall);
        if (results.count("Expand" + k) && results.count("zlib expand" + k))
            std::printf("%-8s expand wall %.1f MB/s, zlib %.1f MB/s: %.2fx\n", "", mb / results["Expand" + k].wall,
                        mb / results["zlib expand" + k].wall,
                        results["zlib expand" + k].wall / results["Expand" + k].wall);
    }
    std::printf("(MB/s of the uncompressed stream in CPU time of all threads; speed = zlib CPU time / ours; "
                "size = ours / zlib; wall = zlib wall time / ours)\n");

    std::printf("\n%-14s %10s | %12s %9s %9s | %12s %9s | %8s %8s\n", "text", "bytes", "ours coded",
                "MB/s", "wall MB/s", "zlib coded", "MB/s", "speed", "wall");
    for (int shape = 0; shape < 4; ++shape) {
        const std::string k = "/" + std::to_string(shape);
        if (!results.count("shape compress" + k) || !results.count("shape zlib" + k)) continue;
        const double mb = static_cast<double>(ShapeText(shape).size()) / 1e6;
        const Result& c = results["shape compress" + k];
        const Result& z = results["shape zlib" + k];
        std::printf("%-14s %10zu | %12zu %9.1f %9.1f | %12zu %9.1f | %7.2fx %7.2fx\n", kShapeNames[shape],
                    ShapeText(shape).size(), c.size, mb / c.seconds, mb / c.wall, z.size, mb / z.seconds,
                    z.seconds / c.seconds, z.wall / c.wall);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
