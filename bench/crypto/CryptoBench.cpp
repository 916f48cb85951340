// MD5 and file cipher throughput on 1 MiB, beside OpenSSL in the same run.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "crypto/Md5.h"
#include "crypto/Rijndael.h"

using namespace morvane;

namespace {

constexpr std::size_t kSize = 1 << 20;

const std::vector<std::uint8_t>& Data()
{
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> v(kSize);
        std::uint32_t x = 2463534242u;
        for (auto& b : v) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<std::uint8_t>(x);
        }
        return v;
    }();
    return data;
}

void BM_Md5(benchmark::State& state)
{
    const auto& data = Data();
    std::uint8_t d[16];
    for (auto _ : state) {
        Md5Digest(data.data(), data.size(), d);
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kSize);
}
BENCHMARK(BM_Md5);

void BM_OpenSslMd5(benchmark::State& state)
{
    const auto& data = Data();
    std::uint8_t d[16];
    unsigned len = 0;
    for (auto _ : state) {
        EVP_Digest(data.data(), data.size(), d, &len, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kSize);
}
BENCHMARK(BM_OpenSslMd5);

void BM_CipherEncrypt(benchmark::State& state)
{
    const auto& data = Data();
    CRijndael cipher;
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        if (cipher.Encrypt(out, data, "login password") != 1) {
            state.SkipWithError("Encrypt failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kSize);
}
BENCHMARK(BM_CipherEncrypt);

void BM_CipherDecrypt(benchmark::State& state)
{
    CRijndael cipher;
    std::vector<std::uint8_t> enc, out;
    if (cipher.Encrypt(enc, Data(), "login password") != 1)
        state.SkipWithError("Encrypt failed");
    for (auto _ : state) {
        if (cipher.Decrypt(out, enc, "login password") != 1) {
            state.SkipWithError("Decrypt failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kSize);
}
BENCHMARK(BM_CipherDecrypt);

// For scale only: OpenSSL has no 256-bit-block Rijndael; AES-256-CBC (hardware-assisted
// where available) is the nearest relative.
void BM_OpenSslAes256CbcEncrypt(benchmark::State& state)
{
    const auto& data = Data();
    std::vector<std::uint8_t> out(kSize + 32);
    const std::uint8_t key[32] = {1, 2, 3};
    const std::uint8_t iv[16] = {4, 5, 6};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        int len = 0;
        EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key, iv);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_EncryptUpdate(ctx, out.data(), &len, data.data(), static_cast<int>(kSize));
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kSize);
}
BENCHMARK(BM_OpenSslAes256CbcEncrypt);

// Keeps each benchmark's throughput so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end())
                rates[run.benchmark_name()] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* ours, const char* theirs) {
        if (reporter.rates.count(ours) && reporter.rates.count(theirs) && reporter.rates[theirs] > 0)
            std::printf("%-28s / %-28s = %.2f\n", ours, theirs, reporter.rates[ours] / reporter.rates[theirs]);
    };
    ratio("BM_Md5", "BM_OpenSslMd5");
    ratio("BM_CipherEncrypt", "BM_OpenSslAes256CbcEncrypt");
    ratio("BM_CipherDecrypt", "BM_OpenSslAes256CbcEncrypt");
    benchmark::Shutdown();
    return 0;
}
