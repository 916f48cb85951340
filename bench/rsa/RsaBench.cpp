// RSA key generation and the two transforms, beside OpenSSL and GMP measured in the same run.
//
// Key generation: every iteration makes one whole key as the command does (primes, key
// derivation with redraws, self-test) from the system random source; the median and the spread
// of the per-key CPU times are reported, with the primes found and numbers tested per key.
// OpenSSL generates keys of the same size with its default exponent 65537.
//
// Transforms: one fixed key per strength. OpenSSL's raw RSA (no padding) runs on the same key;
// it refuses public exponents above 64 bits for moduli above 3072 bits, so its public figure at
// 4096 bits is missing. GMP: the two half-size mpz_powm of the private transform, and the single
// mpz_powm of the public one.
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bignum/BigInt.h"
#include "crypto/CRSA.h"
#include "crypto/CRandom.h"
#include "support/LcgSource.h"

using namespace morvane;

namespace {

double CpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Spread {
    double median = 0, min = 0, max = 0;
};

Spread SpreadOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    Spread s;
    if (v.empty())
        return s;
    const std::size_t n = v.size();
    s.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    s.min = v.front();
    s.max = v.back();
    return s;
}

// Summary rows, printed at the end.
struct KeygenRow {
    Spread ours, openssl;
    double primes = 0, tested = 0;
    int runs = 0;
};
std::map<int, KeygenRow>& KeygenRows()
{
    static std::map<int, KeygenRow> rows;
    return rows;
}
std::map<std::string, double>& Times()
{
    static std::map<std::string, double> times;
    return times;
}

struct Counts {
    long primes = 0, tested = 0;
};

int CountEvents(void* context, char code)
{
    auto* c = static_cast<Counts*>(context);
    if (code == '*') {
        ++c->primes;
        ++c->tested;
    } else if (code == '.') {
        ++c->tested;
    }
    return 1;
}

// One key as the command makes it. 1, or -1.
int MakeKey(CRSA& k, int bits, Counts* counts)
{
    for (;;) {
        int status = 0;
        if (k.GeneratePrimes(bits, counts ? CountEvents : nullptr, counts, status) != 1)
            return -1;
        if (k.ComputeKey(status) == 1)
            break;
        if (status != kStatusRedraw)
            return -1;
    }
    int failed = 0;
    return k.SelfTest(failed) == 1 && failed == 0 ? 1 : -1;
}

int Runs(int bits) { return bits >= 4096 ? 5 : (bits >= 2048 ? 11 : 21); }

void BM_KeygenMorvane(benchmark::State& state)
{
    const int bits = static_cast<int>(state.range(0));
    CRandom random;  // system source
    std::vector<double> times;
    Counts counts;
    for (auto _ : state) {
        CRSA k;
        k.SetRandom(&random);
        const double t0 = CpuMs();
        if (MakeKey(k, bits, &counts) != 1)
            state.SkipWithError("key generation failed");
        times.push_back(CpuMs() - t0);
    }
    KeygenRow& row = KeygenRows()[bits];
    row.ours = SpreadOf(times);
    row.runs = static_cast<int>(times.size());
    row.primes = static_cast<double>(counts.primes) / times.size();
    row.tested = static_cast<double>(counts.tested) / times.size();
    state.counters["median_ms"] = row.ours.median;
    state.counters["min_ms"] = row.ours.min;
    state.counters["max_ms"] = row.ours.max;
    state.counters["primes"] = row.primes;
    state.counters["tested"] = row.tested;
}

void BM_KeygenOpenSsl(benchmark::State& state)
{
    const int bits = static_cast<int>(state.range(0));
    std::vector<double> times;
    for (auto _ : state) {
        const double t0 = CpuMs();
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
        EVP_PKEY* key = nullptr;
        if (!ctx || EVP_PKEY_keygen_init(ctx) != 1 || EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, bits) != 1 ||
            EVP_PKEY_generate(ctx, &key) != 1)
            state.SkipWithError("OpenSSL key generation failed");
        times.push_back(CpuMs() - t0);
        EVP_PKEY_free(key);
        EVP_PKEY_CTX_free(ctx);
    }
    KeygenRow& row = KeygenRows()[bits];
    row.openssl = SpreadOf(times);
    state.counters["median_ms"] = row.openssl.median;
    state.counters["min_ms"] = row.openssl.min;
    state.counters["max_ms"] = row.openssl.max;
}

// ---- Transforms on one fixed key per strength.

struct BnDel {
    void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDel>;

Bn ToBn(const BigInt& x)
{
    static const unsigned char zero = 0;
    const unsigned char* p = x.length ? reinterpret_cast<const unsigned char*>(x.words) : &zero;
    return Bn(BN_lebin2bn(p, static_cast<int>(x.length * 4), nullptr));
}

void ToMpz(mpz_t out, const BigInt& x) { mpz_import(out, x.length, -1, 4, 0, 0, x.words); }

struct Fixture {
    LcgSource source;
    CRandom random;
    CRSA key;
    BigInt x, c;  // a random x < N and c = x^E mod N
    EVP_PKEY* pkey = nullptr;
    mpz_t gx, gc, gd, ge, gn, gp, gq, gdp, gdq, r1, r2;

    explicit Fixture(int bits) : source(static_cast<std::uint32_t>(bits))
    {
        random.SetSource(&source);
        key.SetRandom(&random);
        MakeKey(key, bits, nullptr);
        if (random.RandomNumber(x, bits - 1, 0, 0, 0) != 1 || key.PublicPower(c, x) != 1)
            std::abort();

        mpz_inits(gx, gc, gd, ge, gn, gp, gq, gdp, gdq, r1, r2, nullptr);
        ToMpz(gx, x);
        ToMpz(gc, c);
        ToMpz(gd, key.D);
        ToMpz(ge, key.E);
        ToMpz(gn, key.N);
        ToMpz(gp, key.P);
        ToMpz(gq, key.Q);
        mpz_sub_ui(gdp, gp, 1);
        mpz_mod(gdp, gd, gdp);
        mpz_sub_ui(gdq, gq, 1);
        mpz_mod(gdq, gd, gdq);

        // OpenSSL's view of the same key (its coefficient is Q^-1 mod P).
        BN_CTX* ctx = BN_CTX_new();
        Bn n = ToBn(key.N), e = ToBn(key.E), d = ToBn(key.D), p = ToBn(key.P), q = ToBn(key.Q);
        Bn dp(BN_new()), dq(BN_new()), qi(BN_new()), t(BN_new());
        BN_sub(t.get(), p.get(), BN_value_one());
        BN_mod(dp.get(), d.get(), t.get(), ctx);
        BN_sub(t.get(), q.get(), BN_value_one());
        BN_mod(dq.get(), d.get(), t.get(), ctx);
        BN_mod_inverse(qi.get(), q.get(), p.get(), ctx);
        OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_D, d.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_FACTOR1, p.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_FACTOR2, q.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_EXPONENT1, dp.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_EXPONENT2, dq.get());
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_COEFFICIENT1, qi.get());
        OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
        EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
        if (EVP_PKEY_fromdata_init(pctx) != 1 || EVP_PKEY_fromdata(pctx, &pkey, EVP_PKEY_KEYPAIR, params) != 1)
            pkey = nullptr;
        EVP_PKEY_CTX_free(pctx);
        OSSL_PARAM_free(params);
        OSSL_PARAM_BLD_free(bld);
        BN_CTX_free(ctx);
    }
    ~Fixture()
    {
        EVP_PKEY_free(pkey);
        mpz_clears(gx, gc, gd, ge, gn, gp, gq, gdp, gdq, r1, r2, nullptr);
    }
};

Fixture& FixtureFor(int bits)
{
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& f = fixtures[bits];
    if (!f)
        f = std::make_unique<Fixture>(bits);
    return *f;
}

void BM_PrivatePower(benchmark::State& state)
{
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    BigInt r;
    for (auto _ : state) {
        if (f.key.PrivatePower(r, f.c) != 1)
            break;  // the check below reports it
        benchmark::DoNotOptimize(r.words);
    }
    if (Compare(r, f.x) != 0)
        state.SkipWithError("wrong result");
}

void BM_PublicPower(benchmark::State& state)
{
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    BigInt r;
    for (auto _ : state) {
        if (f.key.PublicPower(r, f.x) != 1)
            break;  // the check below reports it
        benchmark::DoNotOptimize(r.words);
    }
    if (Compare(r, f.c) != 0)
        state.SkipWithError("wrong result");
}

void OpenSslRaw(benchmark::State& state, bool privateKey)
{
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    const std::size_t m = f.key.ModulusBytes();
    std::vector<unsigned char> in(m), out(m);
    Bn src = ToBn(privateKey ? f.c : f.x);
    BN_bn2binpad(src.get(), in.data(), static_cast<int>(m));
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, f.pkey, nullptr);
    const int init = privateKey ? EVP_PKEY_decrypt_init(ctx) : EVP_PKEY_encrypt_init(ctx);
    if (!f.pkey || init != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) != 1) {
        state.SkipWithError("OpenSSL refused the key");
    }
    for (auto _ : state) {
        std::size_t len = m;
        const int r = privateKey ? EVP_PKEY_decrypt(ctx, out.data(), &len, in.data(), m)
                                 : EVP_PKEY_encrypt(ctx, out.data(), &len, in.data(), m);
        if (r != 1) {
            state.SkipWithError("OpenSSL refused the operation");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    EVP_PKEY_CTX_free(ctx);
}

void BM_OpenSslPrivate(benchmark::State& state) { OpenSslRaw(state, true); }
void BM_OpenSslPublic(benchmark::State& state) { OpenSslRaw(state, false); }

void BM_GmpTwoHalfPowm(benchmark::State& state)
{
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        mpz_powm(f.r1, f.gc, f.gdp, f.gp);
        mpz_powm(f.r2, f.gc, f.gdq, f.gq);
        benchmark::DoNotOptimize(f.r1);
        benchmark::DoNotOptimize(f.r2);
    }
}

void BM_GmpPublicPowm(benchmark::State& state)
{
    Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        mpz_powm(f.r1, f.gx, f.ge, f.gn);
        benchmark::DoNotOptimize(f.r1);
    }
}

// The iteration count is a property of a registration, so each size gets its own.
#define KEYGEN_BENCHMARKS(bits)                                                                      \
    BENCHMARK(BM_KeygenMorvane)->Arg(bits)->Iterations(Runs(bits))->Unit(benchmark::kMillisecond); \
    BENCHMARK(BM_KeygenOpenSsl)->Arg(bits)->Iterations(Runs(bits))->Unit(benchmark::kMillisecond)
KEYGEN_BENCHMARKS(512);
KEYGEN_BENCHMARKS(1024);
KEYGEN_BENCHMARKS(2048);
KEYGEN_BENCHMARKS(4096);
BENCHMARK(BM_PrivatePower)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenSslPrivate)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GmpTwoHalfPowm)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PublicPower)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenSslPublic)->Arg(512)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GmpPublicPowm)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);

// Keeps the CPU time per iteration of every transform run for the ratios; with
// --benchmark_repetitions, the least of the repetitions, the steadiest figure on a shared machine.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred)
                continue;
            double& time = Times()[run.run_name.function_name + "/" + run.run_name.args];
            const double t = run.GetAdjustedCPUTime();
            time = time == 0 ? t : std::min(time, t);
        }
    }
};

void PrintSummary()
{
    std::printf("\nKey generation, CPU ms per key (median [min - max]); ratio = our median / OpenSSL median:\n");
    std::printf("  %5s %4s  %-28s %8s %8s  %-28s %6s\n", "bits", "runs", "Morvane", "primes", "tested", "OpenSSL",
                "ratio");
    for (const auto& [bits, row] : KeygenRows()) {
        char ours[64], theirs[64];
        std::snprintf(ours, sizeof ours, "%.1f [%.1f - %.1f]", row.ours.median, row.ours.min, row.ours.max);
        std::snprintf(theirs, sizeof theirs, "%.1f [%.1f - %.1f]", row.openssl.median, row.openssl.min,
                      row.openssl.max);
        std::printf("  %5d %4d  %-28s %8.1f %8.1f  %-28s %6.2f\n", bits, row.runs, ours, row.primes, row.tested,
                    theirs, row.openssl.median > 0 ? row.ours.median / row.openssl.median : 0.0);
    }
    std::printf("\nTransforms, CPU us per operation; ratio = ours / reference:\n");
    std::printf("  %5s %10s %10s %6s %10s %6s | %10s %10s %6s %10s %6s\n", "bits", "Private", "OpenSSL", "ratio",
                "GMP 2x1/2", "ratio", "Public", "OpenSSL", "ratio", "GMP", "ratio");
    for (int bits : {512, 1024, 2048, 4096}) {
        auto t = [&](const char* name) {
            auto it = Times().find(std::string(name) + "/" + std::to_string(bits));
            return it == Times().end() ? 0.0 : it->second;
        };
        auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        const double pr = t("BM_PrivatePower"), po = t("BM_OpenSslPrivate"), pg = t("BM_GmpTwoHalfPowm");
        const double ur = t("BM_PublicPower"), uo = t("BM_OpenSslPublic"), ug = t("BM_GmpPublicPowm");
        std::printf("  %5d %10.1f %10.1f %6.2f %10.1f %6.2f | %10.1f %10.1f %6.2f %10.1f %6.2f\n", bits, pr, po,
                    ratio(pr, po), pg, ratio(pr, pg), ur, uo, ratio(ur, uo), ug, ratio(ur, ug));
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary();
    benchmark::Shutdown();
    return 0;
}
