// The C library's classic generator as a random source, for tests and benchmarks that need
// reproducible keys and pools. Header-only, so benchmarks can use it without GoogleTest.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/CRandom.h"

namespace morvane {

// Reproducible values in 0..32767; counts how often it was asked.
class LcgSource : public RandomSource {
public:
    explicit LcgSource(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next() override
    {
        ++calls;
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFF;
    }
    int calls = 0;

private:
    std::uint32_t state_;
};

// Makes source the random's source and fills its pool with the source's next kPoolSize values,
// so pool and positions depend on the seed only.
inline void SeedRandom(CRandom& random, RandomSource& source)
{
    random.SetSource(&source);
    std::array<std::uint8_t, kPoolSize> pool;
    for (auto& b : pool)
        b = static_cast<std::uint8_t>(source.Next());
    random.SetPool(pool);
}

}  // namespace morvane
