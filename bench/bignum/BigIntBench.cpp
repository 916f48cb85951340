// Speed of the number routines against GMP, measured in the same run.
//
// Every operation is timed for BigInt and for GMP on the same operands; the summary at the
// end prints the ratio (our time / GMP time) per operation and size.
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "bignum/BigInt.h"
#include "bignum/Limbs.h"
#include "bignum/Prime.h"

using namespace morvane;

namespace {

void Random(BigInt& x, int bits, std::mt19937_64& rng, bool topBit, bool odd) {
    const std::uint32_t words = static_cast<std::uint32_t>((bits + 31) / 32);
    if (ReserveWords(x, words) != 0) std::abort();
    for (std::uint32_t i = 0; i < words; ++i) x.words[i] = static_cast<std::uint32_t>(rng());
    x.length = words;
    if (topBit) x.words[words - 1] |= 0x80000000u;
    if (odd) x.words[0] |= 1;
}

void ToMpz(mpz_t out, const BigInt& x) { mpz_import(out, x.length, -1, 4, 0, 0, x.words); }

// Mean time per iteration of every benchmark, to form the ratios at the end.
std::map<std::string, double>& Times() {
    static std::map<std::string, double> times;
    return times;
}

struct Operands {
    BigInt a, b, m;
    mpz_t ga, gb, gm;
    explicit Operands(int bits) {
        std::mt19937_64 rng(static_cast<unsigned>(bits));
        Random(a, bits, rng, true, false);
        Random(b, bits, rng, true, false);
        Random(m, bits, rng, true, true);
        mpz_inits(ga, gb, gm, nullptr);
        ToMpz(ga, a);
        ToMpz(gb, b);
        ToMpz(gm, m);
    }
    ~Operands() { mpz_clears(ga, gb, gm, nullptr); }
};

void BM_ExpMod(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    BigInt r;
    for (auto _ : state) {
        if (ExpMod(r, o.a, o.b, o.m) != 1) {
            state.SkipWithError("ExpMod failed");
            break;
        }
        benchmark::DoNotOptimize(r.words);
    }
}

// The same with the portable loops, as on processors without mulx/adx.
void BM_ExpModPortable(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    BigInt r;
    limbs::ForcePortableKernels(true);
    for (auto _ : state) {
        if (ExpMod(r, o.a, o.b, o.m) != 1) {
            state.SkipWithError("ExpMod failed");
            break;
        }
        benchmark::DoNotOptimize(r.words);
    }
    limbs::ForcePortableKernels(false);
}

void BM_GmpPowm(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    mpz_t r;
    mpz_init(r);
    for (auto _ : state) {
        mpz_powm(r, o.ga, o.gb, o.gm);
        benchmark::DoNotOptimize(r);
    }
    mpz_clear(r);
}

void BM_Mul(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    BigInt r;
    for (auto _ : state) {
        if (Mul(r, o.a, o.b) != 0) {
            state.SkipWithError("Mul failed");
            break;
        }
        benchmark::DoNotOptimize(r.words);
    }
}

void BM_GmpMul(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    mpz_t r;
    mpz_init(r);
    for (auto _ : state) {
        mpz_mul(r, o.ga, o.gb);
        benchmark::DoNotOptimize(r);
    }
    mpz_clear(r);
}

void BM_Square(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    BigInt r;
    for (auto _ : state) {
        if (Square(r, o.a) != 0) {
            state.SkipWithError("Square failed");
            break;
        }
        benchmark::DoNotOptimize(r.words);
    }
}

void BM_GmpSquare(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    mpz_t r;
    mpz_init(r);
    for (auto _ : state) {
        mpz_mul(r, o.ga, o.ga);
        benchmark::DoNotOptimize(r);
    }
    mpz_clear(r);
}

// A dividend of twice the size divided by a full-length divisor.
void BM_DivMod(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    BigInt n, q, r;
    if (Mul(n, o.a, o.b) != 0) std::abort();
    for (auto _ : state) {
        if (DivMod(q, r, n, o.m) != 0) {
            state.SkipWithError("DivMod failed");
            break;
        }
        benchmark::DoNotOptimize(r.words);
    }
}

void BM_GmpDivMod(benchmark::State& state) {
    Operands o(static_cast<int>(state.range(0)));
    mpz_t n, q, r;
    mpz_inits(n, q, r, nullptr);
    mpz_mul(n, o.ga, o.gb);
    for (auto _ : state) {
        mpz_tdiv_qr(q, r, n, o.gm);
        benchmark::DoNotOptimize(r);
    }
    mpz_clears(n, q, r, nullptr);
}

// Prime search from random starts; each iteration uses a fresh start so the number of
// candidates varies as in real key generation. Counts candidates via the callback.
struct Counts {
    long candidates = 0;
};

int CountEvents(void* context, char event) {
    auto* c = static_cast<Counts*>(context);
    if (event == '.') ++c->candidates;
    if (event == '*') ++c->candidates;
    return 1;
}

void BM_PrimeSearch(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    std::mt19937_64 rng(12345);
    BigInt x;
    Counts counts;
    for (auto _ : state) {
        Random(x, bits, rng, true, true);
        if (PrimeSearch(x, CountEvents, &counts, {65537}) != 1) {
            state.SkipWithError("PrimeSearch failed");
            break;
        }
    }
    state.counters["candidates"] =
        benchmark::Counter(static_cast<double>(counts.candidates), benchmark::Counter::kAvgIterations);
}

void BM_GmpNextPrime(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    std::mt19937_64 rng(12345);
    BigInt x;
    mpz_t g;
    mpz_init(g);
    for (auto _ : state) {
        Random(x, bits, rng, true, true);
        ToMpz(g, x);
        mpz_nextprime(g, g);
    }
    mpz_clear(g);
}

BENCHMARK(BM_ExpMod)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExpModPortable)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GmpPowm)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mul)->Arg(2048)->Arg(4096);
BENCHMARK(BM_GmpMul)->Arg(2048)->Arg(4096);
BENCHMARK(BM_Square)->Arg(2048)->Arg(4096);
BENCHMARK(BM_GmpSquare)->Arg(2048)->Arg(4096);
BENCHMARK(BM_DivMod)->Arg(2048)->Arg(4096);
BENCHMARK(BM_GmpDivMod)->Arg(2048)->Arg(4096);
BENCHMARK(BM_PrimeSearch)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GmpNextPrime)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Collects the mean CPU time of every run so the ratios can be printed at the end; with
// --benchmark_repetitions, the least of the repetitions, the steadiest figure on a shared machine.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            double& time = Times()[run.benchmark_name()];
            const double t = run.GetAdjustedCPUTime();
            time = time == 0 ? t : std::min(time, t);
        }
    }
};

void PrintRatios() {
    static const std::pair<const char*, const char*> kPairs[] = {
        {"BM_ExpMod", "BM_GmpPowm"}, {"BM_ExpModPortable", "BM_GmpPowm"}, {"BM_Mul", "BM_GmpMul"},           {"BM_Square", "BM_GmpSquare"},
        {"BM_DivMod", "BM_GmpDivMod"}, {"BM_PrimeSearch", "BM_GmpNextPrime"}};
    std::printf("\nRatio to GMP (our CPU time / GMP CPU time, lower is better):\n");
    for (const auto& [ours, theirs] : kPairs) {
        for (const auto& [name, time] : Times()) {
            if (name.rfind(std::string(ours) + "/", 0) != 0) continue;
            std::string arg = name.substr(std::string(ours).size());
            arg = arg.substr(0, arg.find('/', 1));  // drop "/min_time:..."
            auto other = Times().find(std::string(theirs) + name.substr(std::string(ours).size()));
            if (other == Times().end() || other->second == 0) continue;
            std::printf("  %-16s %-6s %6.2f\n", ours + 3, arg.c_str() + 1, time / other->second);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios();
    benchmark::Shutdown();
    return 0;
}
