// Shared by the RSA engine tests: a reproducible random pool, key generation with redraws, and
// conversions to OpenSSL numbers for independent checks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <openssl/bn.h>

#include "bignum/BigInt.h"
#include "crypto/CRSA.h"
#include "crypto/CRandom.h"

namespace rsatest {

// The C library's classic generator: reproducible values in 0..32767.
class LcgSource : public RandomSource {
public:
    explicit LcgSource(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next() override
    {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFF;
    }

private:
    std::uint32_t state_;
};

// A pool and positions that depend on the seed only.
struct TestRandom {
    explicit TestRandom(std::uint32_t seed) : source(seed)
    {
        random.SetSource(&source);
        std::array<std::uint8_t, kPoolSize> pool;
        for (auto& b : pool)
            b = static_cast<std::uint8_t>(source.Next());
        random.SetPool(pool);
    }
    LcgSource source;
    CRandom random;
};

// GeneratePrimes and ComputeKey, drawing again on a redraw status, as the command does.
inline int MakeKey(CRSA& rsa, int bits, PrimeCallback callback = nullptr, void* context = nullptr)
{
    for (int round = 0; round < 50; ++round) {
        int status = 0;
        const int r = rsa.GeneratePrimes(bits, callback, context, status);
        if (r != 1)
            return r;
        if (rsa.ComputeKey(status) == 1)
            return 1;
        if (status != kStatusRedraw)
            return -1;
    }
    return -1;
}

struct BnFree {
    void operator()(BIGNUM* b) const { BN_clear_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

inline Bn ToBn(const BigInt& x)
{
    static const unsigned char zero = 0;
    const unsigned char* p = x.length ? reinterpret_cast<const unsigned char*>(x.words) : &zero;
    return Bn(BN_lebin2bn(p, static_cast<int>(x.length * 4), nullptr));
}

inline BigInt FromBn(const BIGNUM* b)
{
    BigInt x;
    const int bytes = BN_num_bytes(b);
    const std::uint32_t words = static_cast<std::uint32_t>(bytes + 3) / 4;
    if (words == 0)
        return x;
    ReserveWords(x, words);
    BN_bn2lebinpad(b, reinterpret_cast<unsigned char*>(x.words), static_cast<int>(words * 4));
    x.length = words;
    while (x.length > 0 && x.words[x.length - 1] == 0)
        --x.length;
    return x;
}

} // namespace rsatest
