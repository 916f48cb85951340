// Rows of the book at the scale of a 10,000-key book: finding a row and the node at a row,
// appending many children to one parent (what the book loader does), and removing many
// siblings one by one (a delete of a large selection), with an observer attached as a view
// would be. The reference is the same appends and erasures on a bare std::vector of the same
// number of 32-bit entries, the floor of any row-addressed list.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "book/Book.h"
#include "book/Records.h"

using namespace morvane;

namespace {

// Counts what an item model would forward.
struct CountingObserver : BookObserver {
    long calls = 0;
    void RowsAboutToBeInserted(Node, int, int) override { ++calls; }
    void RowsInserted(Node, int, int) override { ++calls; }
    void RowsAboutToBeRemoved(Node, int, int) override { ++calls; }
    void RowsRemoved(Node, int, int) override { ++calls; }
};

// 10,000 keys with their 31 lines each, in 100 directories of 100 keys, or all in one
// directory (flat).
Book& KeyBook(bool flat)
{
    static std::unique_ptr<Book> books[2];
    std::unique_ptr<Book>& b = books[flat ? 1 : 0];
    if (!b) {
        b = std::make_unique<Book>();
        const Node root = b->Insert(Node{}, ItemKind::BookRoot, "book");
        Node dir;
        for (int k = 0; k < 10000; ++k) {
            if (k == 0 || (!flat && k % 100 == 0))
                dir = b->Insert(root, ItemKind::Directory, "dir" + std::to_string(k / 100));
            AddRecord(*b, dir, KindCode(ItemKind::Key), "key" + std::to_string(k), 1767225600);
        }
    }
    return *b;
}

// Every node's row, and the node at that row of its parent.
void BM_RowOfAndChildAt(benchmark::State& state)
{
    const Book& b = KeyBook(state.range(0) != 0);
    std::vector<Node> all;
    for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n))
        all.push_back(n);
    for (auto _ : state) {
        std::size_t found = 0;
        for (Node n : all)
            found += b.ChildAt(b.Parent(n), b.RowOf(n)) == n;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
    state.counters["nodes"] = static_cast<double>(all.size());
}
BENCHMARK(BM_RowOfAndChildAt)->ArgName("flat")->Arg(0)->Arg(1);

void BM_AppendChildren(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<Book>();
        CountingObserver view;
        b->AddObserver(&view);
        const Node root = b->Insert(Node{}, ItemKind::BookRoot, "book");
        state.ResumeTiming();
        for (int i = 0; i < n; ++i)
            b->Insert(root, ItemKind::Lock, "x");
        state.PauseTiming();
        b.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AppendChildren)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Removes all n children of one parent, first row first (each removal renumbers the rest) or
// last row first.
void BM_RemoveSiblings(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const bool fromFront = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<Book>();
        CountingObserver view;
        b->AddObserver(&view);
        const Node root = b->Insert(Node{}, ItemKind::BookRoot, "book");
        std::vector<Node> kids;
        for (int i = 0; i < n; ++i)
            kids.push_back(b->Insert(root, ItemKind::Lock, "x"));
        state.ResumeTiming();
        if (fromFront) {
            for (Node k : kids)
                b->Remove(k);
        } else {
            for (auto it = kids.rbegin(); it != kids.rend(); ++it)
                b->Remove(*it);
        }
        state.PauseTiming();
        b.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RemoveSiblings)
    ->ArgNames({"n", "front"})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_RefVectorAppend(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<std::uint32_t> v;
        for (int i = 0; i < n; ++i)
            v.push_back(static_cast<std::uint32_t>(i));
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RefVectorAppend)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_RefVectorEraseFront(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<std::uint32_t> v(static_cast<std::size_t>(n));
        while (!v.empty())
            v.erase(v.begin());
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RefVectorEraseFront)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
