// Internal: 64-bit limb kernels behind the hot loops (multiplication, squaring and
// Montgomery arithmetic). Not part of the public interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace morvane {

namespace limbs {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

// Two 32-bit words at p, least significant first, as one limb (p need not be aligned).
inline u64 Load(const std::uint32_t* p) {
    u64 v;
    std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = (v << 32) | (v >> 32);
#endif
    return v;
}

inline void Store(std::uint32_t* p, u64 v) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = (v << 32) | (v >> 32);
#endif
    std::memcpy(p, &v, sizeof v);
}

// The kernels below keep their limbs in arrays of 32-bit words (limb i = words 2i, 2i+1),
// so they run directly on the number's own words; lengths count limbs.
using W = std::uint32_t;

inline u64 At(const W* p, std::size_t i) { return Load(p + 2 * i); }
inline void Put(W* p, std::size_t i, u64 v) { Store(p + 2 * i, v); }

// r[0..n) = a[0..n) * b; returns the carry limb.
[[nodiscard]] u64 Mul1(W* r, const W* a, std::size_t n, u64 b);
// r[0..n) += a[0..n) * b; returns the carry limb.
[[nodiscard]] u64 AddMul1(W* r, const W* a, std::size_t n, u64 b);
// r[0..n) = a + b; returns the carry (r may equal a or b).
[[nodiscard]] u64 AddN(W* r, const W* a, const W* b, std::size_t n);
// r[0..n) = a - b; returns the borrow (r may equal a or b).
[[nodiscard]] u64 SubN(W* r, const W* a, const W* b, std::size_t n);
// Compares n limbs from the top: -1, 0, 1.
[[nodiscard]] int Cmp(const W* a, const W* b, std::size_t n);

// prod[0..m+n) = a * b (no overlap; m, n >= 1).
void Mul(W* prod, const W* a, std::size_t m, const W* b, std::size_t n);
// prod[0..2n) = a^2 (no overlap; n >= 1).
void Sqr(W* prod, const W* a, std::size_t n);

// Montgomery arithmetic modulo an odd n-limb m with R = 2^(64n).
struct Mont {
    const W* m;
    std::size_t n;
    u64 inv;  // -(m[0]^-1) mod 2^64
    W* t;     // scratch of 2n limbs

    // r = t * R^-1 mod m for a 2n-limb t below m * R; destroys t. r may not overlap t.
    void Reduce(W* r, W* tt) const;
    void MulMod(W* r, const W* a, const W* b) const;  // r may equal a or b
    void SqrMod(W* r, const W* a) const;              // r may equal a
};

[[nodiscard]] u64 InverseLimb(u64 w);  // -(w^-1) mod 2^64 for odd w

// Knuth's Algorithm D on plain limb arrays: u[0..n+m] (the top limb may be 0) divided by v[0..m)
// with m >= 2 and the top bit of v[m-1] set. The quotient goes to q[0..n], the remainder is
// left in u[0..m).
void DivRem(u64* q, u64* u, std::size_t n, const u64* v, std::size_t m);

// Test hook: forces the portable loops even where the processor offers mulx/adx.
void ForcePortableKernels(bool on);

}  // namespace limbs

}  // namespace morvane
