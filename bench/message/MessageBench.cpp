// The protect command on a 10 KB text at 1024, 2048 and 4096 bits: encrypt, sign-then-encrypt,
// decrypt and decrypt-and-verify, each beside the same number of RSA block transforms done with
// OpenSSL's big numbers (same keys, same algorithms: x^E mod N, and the private power by the
// Chinese remainder theorem) in the same run. The summary prints our time per operation and
// per block, and the ratio to the OpenSSL transforms (lower is better); the difference is the
// big-number speed plus everything the command does around the transforms (block layout,
// detail rows, hex text).
#include <benchmark/benchmark.h>

#include <openssl/bn.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "MessageTesting.h"
#include "book/Queries.h"
#include "message/Blocks.h"
#include "message/Protect.h"

using namespace morvane;

namespace {

constexpr std::size_t kTextBytes = 10 * 1024;

enum Op { kEncrypt, kSignEncrypt, kDecrypt, kDecryptVerify };
const char* const kOpNames[] = {"encrypt", "sign+encrypt", "decrypt", "decrypt+verify"};

// Alice's directory: her key and Bob's lock; Bob's: his key and Alice's lock.
struct World {
    MessageBook mb;
    Node aliceKey, bobLock, bobKey, aliceLock;
    std::string text, sealed, signedSealed;
    int bits;
    explicit World(int b) : bits(b)
    {
        const Node bob = mb.AddDirectory("B");
        aliceKey = mb.AddKey(mb.dir, "alice", KeyOf(bits, 0));
        bobLock = mb.AddLock(mb.dir, "bob", KeyOf(bits, 1));
        bobKey = mb.AddKey(bob, "bob", KeyOf(bits, 1));
        aliceLock = mb.AddLock(bob, "alice", KeyOf(bits, 0));
        for (std::size_t i = 0; i < kTextBytes; ++i)
            text += static_cast<char>('A' + i % 26);
        if (mb.Protect(bobLock, text, 0) != 1)
            std::abort();
        sealed = mb.Output(bobLock);
        if (mb.Protect(bobLock, text, 1) != 1)
            std::abort();
        signedSealed = mb.Output(bobLock);
    }
    int Run(Op op)
    {
        mb.desktop.messages.clear();
        mb.view.progress.clear();
        mb.view.activities.clear();
        switch (op) {
        case kEncrypt: return mb.Protect(bobLock, text, 0);
        case kSignEncrypt: return mb.Protect(bobLock, text, 1);
        case kDecrypt: return mb.Protect(bobKey, sealed, 0);
        default: return mb.Protect(bobKey, signedSealed, 0);
        }
    }
};

World& WorldOf(int bits)
{
    static std::map<int, std::unique_ptr<World>> worlds;
    auto& w = worlds[bits];
    if (!w)
        w = std::make_unique<World>(bits);
    return *w;
}

// Public and private block transforms of one operation.
struct Work {
    int pub = 0, priv = 0;
};

Work WorkOf(int bits, Op op)
{
    const std::uint32_t m = bits / 8;
    std::int32_t serial;
    std::uint64_t size;
    CountBlocks(kTextBytes, m, serial, size);
    const int plainBlocks = serial + 1;
    CountBlocks(size, m, serial, size);
    const int signatureBlocks = serial + 1;  // the signature, encrypted again
    switch (op) {
    case kEncrypt: return {plainBlocks, 0};
    case kSignEncrypt: return {signatureBlocks, plainBlocks};
    case kDecrypt: return {0, plainBlocks};
    default: return {plainBlocks, signatureBlocks};
    }
}

void BM_Protect(benchmark::State& state)
{
    const int bits = static_cast<int>(state.range(0));
    const Op op = static_cast<Op>(state.range(1));
    World& w = WorldOf(bits);
    for (auto _ : state)
        if (w.Run(op) != 1)
            state.SkipWithError("the command failed");
    const Work work = WorkOf(bits, op);
    state.counters["blocks"] = work.pub + work.priv;
    state.SetLabel(kOpNames[op]);
}

// OpenSSL: the same transforms on the same numbers.
struct SslKey {
    BIGNUM *n = BN_new(), *e = BN_new(), *d = BN_new(), *p = BN_new(), *q = BN_new(), *u = BN_new();
    BIGNUM *dp = BN_new(), *dq = BN_new();
    BN_CTX* ctx = BN_CTX_new();
    explicit SslKey(const TestKey& k)
    {
        BN_hex2bn(&n, k.n);
        BN_hex2bn(&e, k.e);
        BN_hex2bn(&d, k.d);
        BN_hex2bn(&p, k.p);
        BN_hex2bn(&q, k.q);
        BN_hex2bn(&u, k.u);
        BIGNUM* t = BN_new();
        BN_sub(t, p, BN_value_one());
        BN_mod(dp, d, t, ctx);
        BN_sub(t, q, BN_value_one());
        BN_mod(dq, d, t, ctx);
        BN_free(t);
    }
    ~SslKey()
    {
        for (BIGNUM* x : {n, e, d, p, q, u, dp, dq})
            BN_free(x);
        BN_CTX_free(ctx);
    }
    void Public(BIGNUM* r, const BIGNUM* x) { BN_mod_exp(r, x, e, n, ctx); }
    // m1 = x^dp mod P, m2 = x^dq mod Q, h = U (m2 - m1) mod Q, r = m1 + h P.
    void Private(BIGNUM* r, const BIGNUM* x, BIGNUM* m1, BIGNUM* m2, BIGNUM* t)
    {
        BN_mod(t, x, p, ctx);
        BN_mod_exp(m1, t, dp, p, ctx);
        BN_mod(t, x, q, ctx);
        BN_mod_exp(m2, t, dq, q, ctx);
        BN_mod_sub(t, m2, m1, q, ctx);
        BN_mod_mul(t, t, u, q, ctx);
        BN_mul(t, t, p, ctx);
        BN_add(r, t, m1);
    }
};

void BM_OpenSsl(benchmark::State& state)
{
    const int bits = static_cast<int>(state.range(0));
    const Op op = static_cast<Op>(state.range(1));
    SslKey key(KeyOf(bits, 1));
    BIGNUM *x = BN_new(), *r = BN_new(), *m1 = BN_new(), *m2 = BN_new(), *t = BN_new();
    BN_rand_range(x, key.n);
    const Work work = WorkOf(bits, op);
    for (auto _ : state) {
        for (int i = 0; i < work.pub; ++i)
            key.Public(r, x);
        for (int i = 0; i < work.priv; ++i)
            key.Private(r, x, m1, m2, t);
        benchmark::DoNotOptimize(r);
    }
    for (BIGNUM* v : {x, r, m1, m2, t})
        BN_free(v);
    state.counters["blocks"] = work.pub + work.priv;
    state.SetLabel(kOpNames[op]);
}

void Args(benchmark::internal::Benchmark* b)
{
    for (int bits : {1024, 2048, 4096})
        for (int op = kEncrypt; op <= kDecryptVerify; ++op)
            b->Args({bits, op});
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Protect)->Apply(Args);
BENCHMARK(BM_OpenSsl)->Apply(Args);

std::map<std::string, double>& Times()
{
    static std::map<std::string, double> times;  // name -> CPU ms per iteration
    return times;
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred)
                Times()[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
};

void PrintSummary()
{
    std::printf("\n%-6s %-15s %7s %12s %12s %12s %7s\n", "bits", "operation", "blocks", "ms/op", "ms/block",
                "OpenSSL ms", "ratio");
    for (int bits : {1024, 2048, 4096})
        for (int op = kEncrypt; op <= kDecryptVerify; ++op) {
            char ourName[64], refName[64];
            std::snprintf(ourName, sizeof ourName, "BM_Protect/%d/%d", bits, op);
            std::snprintf(refName, sizeof refName, "BM_OpenSsl/%d/%d", bits, op);
            const auto ours = Times().find(ourName);
            const auto ref = Times().find(refName);
            if (ours == Times().end() || ref == Times().end())
                continue;
            const Work work = WorkOf(bits, static_cast<Op>(op));
            const int blocks = work.pub + work.priv;
            std::printf("%-6d %-15s %7d %12.2f %12.3f %12.2f %7.2f\n", bits, kOpNames[op], blocks, ours->second,
                        ours->second / blocks, ref->second, ours->second / ref->second);
        }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary();
    benchmark::Shutdown();
    return 0;
}
