// Shared by the RSA engine tests: a reproducible random pool, key generation with redraws, and
// conversions to OpenSSL numbers for independent checks.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include <openssl/bn.h>

#include "bignum/BigInt.h"
#include "crypto/CRSA.h"
#include "crypto/CRandom.h"
#include "support/LcgSource.h"

namespace morvane {

namespace rsatest {

using morvane::LcgSource;

// A pool and positions that depend on the seed only.
struct TestRandom {
    explicit TestRandom(std::uint32_t seed) : source(seed) { SeedRandom(random, source); }
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
    if (ReserveWords(x, words) != 0)
        throw std::bad_alloc();
    BN_bn2lebinpad(b, reinterpret_cast<unsigned char*>(x.words), static_cast<int>(words * 4));
    x.length = words;
    while (x.length > 0 && x.words[x.length - 1] == 0)
        --x.length;
    return x;
}

} // namespace rsatest

}  // namespace morvane
