// Undo snapshots of a 10,000-key book: time per push, undo and redo, and the memory the queue
// holds at depth 3. The reference is a plain copy of the same snapshot bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/KeyNumbers.h"
#include "book/Editing.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"

using namespace morvane;

namespace {

constexpr int kDirectories = 100;
constexpr int kKeysPerDirectory = 100;

// A book of 10,000 keys with 1024-bit values, in 100 directories.
KeyTree& BigTree()
{
    static std::unique_ptr<KeyTree> tree = [] {
        auto t = std::make_unique<KeyTree>();
        std::mt19937 rng(7);
        Book& book = t->book;
        Node root = book.Insert(Node{}, ItemKind::BookRoot, "book");
        for (int d = 0; d < kDirectories; ++d) {
            Node dir = book.Insert(root, ItemKind::Directory, "dir" + std::to_string(d));
            for (int k = 0; k < kKeysPerDirectory; ++k) {
                Node key = AddRecord(book, dir, KindCode(ItemKind::Key), "key" + std::to_string(k), 1767225600);
                bench::FillKeyNumbers(book, key, rng);
            }
        }
        book.Expand(root, true);
        (void)PrepareUndo(*t);
        return t;
    }();
    return *tree;
}

std::size_t SnapshotBytes()
{
    KeyTree& t = BigTree();
    return t.undo.Slot(t.undo.Current()).size();
}

void BM_Push(benchmark::State& state)
{
    KeyTree& t = BigTree();
    for (auto _ : state)
        benchmark::DoNotOptimize(t.undo.Push());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SnapshotBytes());
    state.counters["nodes"] = static_cast<double>(t.book.NodeCount());
    state.counters["held_MiB"] = static_cast<double>(t.undo.HeldBytes()) / (1 << 20);
}
BENCHMARK(BM_Push)->Unit(benchmark::kMillisecond);

// Each undo is followed by an untimed redo, and the other way round.
void BM_Undo(benchmark::State& state)
{
    KeyTree& t = BigTree();
    while (t.undo.Current() < 2)
        t.undo.Push();
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.undo.Undo());
        state.PauseTiming();
        (void)t.undo.Redo();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SnapshotBytes());
}
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond);

void BM_Redo(benchmark::State& state)
{
    KeyTree& t = BigTree();
    while (t.undo.Current() < 2)
        t.undo.Push();
    for (auto _ : state) {
        state.PauseTiming();
        (void)t.undo.Undo();
        state.ResumeTiming();
        benchmark::DoNotOptimize(t.undo.Redo());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SnapshotBytes());
}
BENCHMARK(BM_Redo)->Unit(benchmark::kMillisecond);

void BM_CopySnapshotBytes(benchmark::State& state)
{
    KeyTree& t = BigTree();
    const std::vector<std::uint8_t>& src = t.undo.Slot(t.undo.Current());
    std::vector<std::uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * src.size());
}
BENCHMARK(BM_CopySnapshotBytes)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    KeyTree& t = BigTree();
    for (int i = 0; i < 3; ++i)
        t.undo.Push();
    std::printf("book: %zu nodes, snapshot %.1f MiB; queue at depth %u holds %.1f MiB\n", t.book.NodeCount(),
                static_cast<double>(SnapshotBytes()) / (1 << 20), t.undo.Depth(),
                static_cast<double>(t.undo.HeldBytes()) / (1 << 20));
    const double copy = reporter.times["BM_CopySnapshotBytes"];
    for (const char* name : {"BM_Push", "BM_Undo", "BM_Redo"})
        if (copy > 0 && reporter.times.count(name))
            std::printf("%-8s / copy of the snapshot bytes = %.1f\n", name, reporter.times[name] / copy);
    benchmark::Shutdown();
    return 0;
}
