#include "bignum/Limbs.h"

#include "bignum/BigInt.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace morvane {

namespace limbs {

u64 Mul1(W* r, const W* a, std::size_t n, u64 b) {
    u64 c = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const u128 p = static_cast<u128>(At(a, i)) * b + c;
        Put(r, i, static_cast<u64>(p));
        c = static_cast<u64>(p >> 64);
    }
    return c;
}

u64 AddN(W* r, const W* a, const W* b, std::size_t n) {
    u64 c = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const u128 s = static_cast<u128>(At(a, i)) + At(b, i) + c;
        Put(r, i, static_cast<u64>(s));
        c = static_cast<u64>(s >> 64);
    }
    return c;
}

u64 SubN(W* r, const W* a, const W* b, std::size_t n) {
    u64 borrow = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const u128 d = static_cast<u128>(At(a, i)) - At(b, i) - borrow;
        Put(r, i, static_cast<u64>(d));
        borrow = static_cast<u64>(d >> 64) & 1;
    }
    return borrow;
}

int Cmp(const W* a, const W* b, std::size_t n) {
    while (n-- > 0) {
        const u64 x = At(a, n), y = At(b, n);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

namespace {

// One row of a product: r[0..n) += a[0..n) * b, returning the carry limb. The row loops of
// multiplication, squaring and reduction are templates over the row, so the processor check
// happens once per product and the row is inlined into its loop.
struct PortableRow {
    static inline u64 AddMul(W* r, const W* a, std::size_t n, u64 b) {
        u64 c = 0;
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            u128 p0 = static_cast<u128>(At(a, i)) * b + At(r, i) + c;
            u128 p1 = static_cast<u128>(At(a, i + 1)) * b + At(r, i + 1);
            u128 p2 = static_cast<u128>(At(a, i + 2)) * b + At(r, i + 2);
            u128 p3 = static_cast<u128>(At(a, i + 3)) * b + At(r, i + 3);
            Put(r, i, static_cast<u64>(p0));
            p1 += static_cast<u64>(p0 >> 64);
            Put(r, i + 1, static_cast<u64>(p1));
            p2 += static_cast<u64>(p1 >> 64);
            Put(r, i + 2, static_cast<u64>(p2));
            p3 += static_cast<u64>(p2 >> 64);
            Put(r, i + 3, static_cast<u64>(p3));
            c = static_cast<u64>(p3 >> 64);
        }
        for (; i < n; ++i) {
            const u128 p = static_cast<u128>(At(a, i)) * b + At(r, i) + c;
            Put(r, i, static_cast<u64>(p));
            c = static_cast<u64>(p >> 64);
        }
        return c;
    }
};

#if defined(__x86_64__) && defined(__GNUC__)
bool CpuHasMulxAdx() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ebx & (1u << 8)) != 0 && (ebx & (1u << 19)) != 0;  // BMI2 and ADX
}

bool g_mulxAdx = CpuHasMulxAdx();

// The row with mulx and two independent carry chains (CF for the product high words, OF for
// the accumulator): four limbs a step, then single limbs. Only mov, lea and jrcxz run between
// the additions, as they leave both chains alone.
struct AdxRow {
    static inline __attribute__((always_inline)) u64 AddMul(W* r, const W* a, std::size_t n, u64 b) {
        u64 carry = 0, zero, lo0, hi0, lo1;
        std::size_t count = n / 4;
        const std::size_t singles = n % 4;
        asm volatile(
            "xor %k[z], %k[z]\n\t"  // clears CF and OF
            "jrcxz 3f\n\t"
            "1:\n\t"
            "mulx (%[a]), %[lo0], %[hi0]\n\t"
            "adcx %[c], %[lo0]\n\t"
            "adox (%[r]), %[lo0]\n\t"
            "mov %[lo0], (%[r])\n\t"
            "mulx 8(%[a]), %[lo1], %[c]\n\t"
            "adcx %[hi0], %[lo1]\n\t"
            "adox 8(%[r]), %[lo1]\n\t"
            "mov %[lo1], 8(%[r])\n\t"
            "mulx 16(%[a]), %[lo0], %[hi0]\n\t"
            "adcx %[c], %[lo0]\n\t"
            "adox 16(%[r]), %[lo0]\n\t"
            "mov %[lo0], 16(%[r])\n\t"
            "mulx 24(%[a]), %[lo1], %[c]\n\t"
            "adcx %[hi0], %[lo1]\n\t"
            "adox 24(%[r]), %[lo1]\n\t"
            "mov %[lo1], 24(%[r])\n\t"
            "lea 32(%[a]), %[a]\n\t"
            "lea 32(%[r]), %[r]\n\t"
            "lea -1(%[n]), %[n]\n\t"
            "jrcxz 3f\n\t"
            "jmp 1b\n\t"
            "3:\n\t"
            "mov %[s], %[n]\n\t"
            "jrcxz 5f\n\t"
            "4:\n\t"
            "mulx (%[a]), %[lo0], %[hi0]\n\t"
            "adcx %[c], %[lo0]\n\t"
            "adox (%[r]), %[lo0]\n\t"
            "mov %[lo0], (%[r])\n\t"
            "mov %[hi0], %[c]\n\t"
            "lea 8(%[a]), %[a]\n\t"
            "lea 8(%[r]), %[r]\n\t"
            "lea -1(%[n]), %[n]\n\t"
            "jrcxz 5f\n\t"
            "jmp 4b\n\t"
            "5:\n\t"
            "adcx %[z], %[c]\n\t"
            "adox %[z], %[c]\n\t"
            : [a] "+&r"(a), [r] "+&r"(r), [n] "+&c"(count), [c] "+&r"(carry), [z] "=&r"(zero), [lo0] "=&r"(lo0),
              [hi0] "=&r"(hi0), [lo1] "=&r"(lo1)
            : "d"(b), [s] "r"(singles)
            : "cc", "memory");
        return carry;
    }
};

// Rows of a fixed length, unrolled without a loop: 1 to 17 limbs, for the moduli and factors
// of the common key sizes and the cross rows of their squares. Even limbs use lo0/hi0, odd
// limbs lo1/c, as in AdxRow.
#define MORVANE_STEP_EVEN(off)                   \
    "mulx " #off "(%[a]), %[lo0], %[hi0]\n\t"    \
    "adcx %[c], %[lo0]\n\t"                      \
    "adox " #off "(%[r]), %[lo0]\n\t"            \
    "mov %[lo0], " #off "(%[r])\n\t"
#define MORVANE_STEP_ODD(off)                    \
    "mulx " #off "(%[a]), %[lo1], %[c]\n\t"      \
    "adcx %[hi0], %[lo1]\n\t"                    \
    "adox " #off "(%[r]), %[lo1]\n\t"            \
    "mov %[lo1], " #off "(%[r])\n\t"
#define MORVANE_STEPS_4(o0, o1, o2, o3) \
    MORVANE_STEP_EVEN(o0) MORVANE_STEP_ODD(o1) MORVANE_STEP_EVEN(o2) MORVANE_STEP_ODD(o3)
// Ends a row of an even length (carry in c) or an odd one (carry in hi0).
#define MORVANE_ROW_END_EVEN "adcx %[z], %[c]\n\tadox %[z], %[c]\n\t"
#define MORVANE_ROW_END_ODD "adcx %[z], %[hi0]\n\tadox %[z], %[hi0]\n\tmov %[hi0], %[c]\n\t"
#define MORVANE_FIXED_ROW(N, BODY)                                                                            \
    template <>                                                                                               \
    struct FixedRow<N> {                                                                                      \
        static inline __attribute__((always_inline)) u64 AddMul(W* r, const W* a, std::size_t, u64 b) {      \
            u64 carry = 0, zero, lo0, hi0, lo1;                                                               \
            asm volatile("xor %k[z], %k[z]\n\t" BODY                                                          \
                         : [c] "+&r"(carry), [z] "=&r"(zero), [lo0] "=&r"(lo0), [hi0] "=&r"(hi0), [lo1] "=&r"(lo1) \
                         : [a] "r"(a), [r] "r"(r), "d"(b)                                                     \
                         : "cc", "memory");                                                                   \
            return carry;                                                                                     \
        }                                                                                                     \
    };

template <std::size_t N>
struct FixedRow;
MORVANE_FIXED_ROW(1, MORVANE_STEP_EVEN(0) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(2, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(3, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(4, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(5, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(6, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(7, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(8, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(9, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(10, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(11, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(12, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_STEP_ODD(88) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(13, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_STEP_ODD(88) MORVANE_STEP_EVEN(96) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(14, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_STEP_ODD(88) MORVANE_STEP_EVEN(96) MORVANE_STEP_ODD(104) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(15, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_STEP_ODD(88) MORVANE_STEP_EVEN(96) MORVANE_STEP_ODD(104) MORVANE_STEP_EVEN(112) MORVANE_ROW_END_ODD)
MORVANE_FIXED_ROW(16, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_STEP_ODD(88) MORVANE_STEP_EVEN(96) MORVANE_STEP_ODD(104) MORVANE_STEP_EVEN(112) MORVANE_STEP_ODD(120) MORVANE_ROW_END_EVEN)
MORVANE_FIXED_ROW(17, MORVANE_STEP_EVEN(0) MORVANE_STEP_ODD(8) MORVANE_STEP_EVEN(16) MORVANE_STEP_ODD(24) MORVANE_STEP_EVEN(32) MORVANE_STEP_ODD(40) MORVANE_STEP_EVEN(48) MORVANE_STEP_ODD(56) MORVANE_STEP_EVEN(64) MORVANE_STEP_ODD(72) MORVANE_STEP_EVEN(80) MORVANE_STEP_ODD(88) MORVANE_STEP_EVEN(96) MORVANE_STEP_ODD(104) MORVANE_STEP_EVEN(112) MORVANE_STEP_ODD(120) MORVANE_STEP_EVEN(128) MORVANE_ROW_END_ODD)
#undef MORVANE_FIXED_ROW
#undef MORVANE_ROW_END_ODD
#undef MORVANE_ROW_END_EVEN
#undef MORVANE_STEPS_4
#undef MORVANE_STEP_ODD
#undef MORVANE_STEP_EVEN
#else
constexpr bool g_mulxAdx = false;
using AdxRow = PortableRow;
#endif

template <class Row>
void MulRows(W* prod, const W* a, std::size_t m, const W* b, std::size_t n) {
    Put(prod, m, Mul1(prod, a, m, At(b, 0)));
    for (std::size_t j = 1; j < n; ++j) Put(prod, m + j, Row::AddMul(prod + 2 * j, a, m, At(b, j)));
}

template <class Row>
void SqrRows(W* prod, const W* a, std::size_t n) {
    // Cross products once, then one pass doubling them and adding the squares of the limbs.
    Put(prod, 0, 0);
    Put(prod, 2 * n - 1, 0);
    if (n > 1) {
        Put(prod, n, Mul1(prod + 2, a + 2, n - 1, At(a, 0)));
        for (std::size_t i = 1; i + 1 < n; ++i)
            Put(prod, n + i, Row::AddMul(prod + 2 * (2 * i + 1), a + 2 * (i + 1), n - i - 1, At(a, i)));
    }
    u64 top = 0, c = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const u64 w0 = At(prod, 2 * i), w1 = At(prod, 2 * i + 1);
        const u64 d0 = (w0 << 1) | top, d1 = (w1 << 1) | (w0 >> 63);
        top = w1 >> 63;
        const u64 ai = At(a, i);
        const u128 sq = static_cast<u128>(ai) * ai;
        const u128 lo = static_cast<u128>(d0) + static_cast<u64>(sq) + c;
        Put(prod, 2 * i, static_cast<u64>(lo));
        const u128 hi = static_cast<u128>(d1) + static_cast<u64>(sq >> 64) + static_cast<u64>(lo >> 64);
        Put(prod, 2 * i + 1, static_cast<u64>(hi));
        c = static_cast<u64>(hi >> 64);
    }
}

template <class Row>
void ReduceRows(W* r, W* tt, const W* m, std::size_t n, u64 inv) {
    // Each row's carry limb belongs at position i + n; it is parked in the limb the row just
    // cleared and all carries are added at the end. Later rows only read limbs below n, so
    // the deferral does not change their quotient limbs.
    for (std::size_t i = 0; i < n; ++i) {
        const u64 q = At(tt, i) * inv;
        Put(tt, i, Row::AddMul(tt + 2 * i, m, n, q));
    }
    const u64 cy = AddN(r, tt + 2 * n, tt, n);
    if (cy != 0 || Cmp(r, m, n) >= 0) (void)SubN(r, r, m, n);  // a borrow here only cancels cy
}

#if defined(__x86_64__) && defined(__GNUC__)
// Montgomery product and square with every row of the fixed length unrolled; FixedMont is
// false for a length without its own rows.
template <std::size_t N>
void FixedMulMod(const Mont& c, W* r, const W* a, const W* b) {
    MulRows<FixedRow<N>>(c.t, a, N, b, N);
    ReduceRows<FixedRow<N>>(r, c.t, c.m, N, c.inv);
}

template <std::size_t N, std::size_t I>
inline __attribute__((always_inline)) void CrossRows(W* prod, const W* a) {
    if constexpr (I + 1 < N) {
        Put(prod, N + I, FixedRow<N - 1 - I>::AddMul(prod + 2 * (2 * I + 1), a + 2 * (I + 1), N - 1 - I, At(a, I)));
        CrossRows<N, I + 1>(prod, a);
    }
}

template <std::size_t N>
void FixedSqrMod(const Mont& c, W* r, const W* a) {
    W* prod = c.t;
    if constexpr (N < 8) {
        SqrRows<AdxRow>(prod, a, N);  // measured faster at these lengths
        ReduceRows<FixedRow<N>>(r, prod, c.m, N, c.inv);
        return;
    }
    ZeroWords(prod, 2 * N);  // limbs 0 to N-1; the rows' carries fill the rest but the top
    Put(prod, 2 * N - 1, 0);
    CrossRows<N, 0>(prod, a);
    u64 top = 0, cy = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const u64 w0 = At(prod, 2 * i), w1 = At(prod, 2 * i + 1);
        const u64 d0 = (w0 << 1) | top, d1 = (w1 << 1) | (w0 >> 63);
        top = w1 >> 63;
        const u64 ai = At(a, i);
        const u128 sq = static_cast<u128>(ai) * ai;
        const u128 lo = static_cast<u128>(d0) + static_cast<u64>(sq) + cy;
        Put(prod, 2 * i, static_cast<u64>(lo));
        const u128 hi = static_cast<u128>(d1) + static_cast<u64>(sq >> 64) + static_cast<u64>(lo >> 64);
        Put(prod, 2 * i + 1, static_cast<u64>(hi));
        cy = static_cast<u64>(hi >> 64);
    }
    ReduceRows<FixedRow<N>>(r, c.t, c.m, N, c.inv);
}

bool FixedMont(const Mont& c, W* r, const W* a, const W* b) {
    switch (c.n) {
#define MORVANE_FIXED_CASE(N)                        case N:                                              if (b != nullptr) {                                  FixedMulMod<N>(c, r, a, b);                  } else {                                             FixedSqrMod<N>(c, r, a);                     }                                                return true;
        MORVANE_FIXED_CASE(4)
        MORVANE_FIXED_CASE(5)
        MORVANE_FIXED_CASE(8)
        MORVANE_FIXED_CASE(9)
        MORVANE_FIXED_CASE(16)
        MORVANE_FIXED_CASE(17)
#undef MORVANE_FIXED_CASE
    default:
        return false;
    }
}
#else
bool FixedMont(const Mont&, W*, const W*, const W*) { return false; }
#endif

}  // namespace

u64 AddMul1(W* r, const W* a, std::size_t n, u64 b) {
    return g_mulxAdx ? AdxRow::AddMul(r, a, n, b) : PortableRow::AddMul(r, a, n, b);
}

// Each product picks its row once.
void Mul(W* prod, const W* a, std::size_t m, const W* b, std::size_t n) {
    if (g_mulxAdx) {
        MulRows<AdxRow>(prod, a, m, b, n);
    } else {
        MulRows<PortableRow>(prod, a, m, b, n);
    }
}

void Sqr(W* prod, const W* a, std::size_t n) {
    if (g_mulxAdx) {
        SqrRows<AdxRow>(prod, a, n);
    } else {
        SqrRows<PortableRow>(prod, a, n);
    }
}

void Mont::Reduce(W* r, W* tt) const {
    if (g_mulxAdx) {
        ReduceRows<AdxRow>(r, tt, m, n, inv);
    } else {
        ReduceRows<PortableRow>(r, tt, m, n, inv);
    }
}

void Mont::MulMod(W* r, const W* a, const W* b) const {
    if (g_mulxAdx) {
        if (FixedMont(*this, r, a, b)) return;
        MulRows<AdxRow>(t, a, n, b, n);
        ReduceRows<AdxRow>(r, t, m, n, inv);
    } else {
        MulRows<PortableRow>(t, a, n, b, n);
        ReduceRows<PortableRow>(r, t, m, n, inv);
    }
}

void Mont::SqrMod(W* r, const W* a) const {
    if (g_mulxAdx) {
        if (FixedMont(*this, r, a, nullptr)) return;
        SqrRows<AdxRow>(t, a, n);
        ReduceRows<AdxRow>(r, t, m, n, inv);
    } else {
        SqrRows<PortableRow>(t, a, n);
        ReduceRows<PortableRow>(r, t, m, n, inv);
    }
}

namespace {

// (hi:lo) / d for hi < d.
inline u64 Div2By1(u64 hi, u64 lo, u64 d, u64* rem) {
#if defined(__x86_64__) && defined(__GNUC__)
    u64 q, r;
    asm("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d) : "cc");
    *rem = r;
    return q;
#else
    const u128 num = (static_cast<u128>(hi) << 64) | lo;
    *rem = static_cast<u64>(num % d);
    return static_cast<u64>(num / d);
#endif
}

// r[0..n) -= a[0..n) * b; returns the borrow limb.
u64 SubMul1(u64* r, const u64* a, std::size_t n, u64 b) {
    u64 c = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const u128 p = static_cast<u128>(a[i]) * b + c;
        const u64 lo = static_cast<u64>(p);
        const u64 old = r[i];
        r[i] = old - lo;
        c = static_cast<u64>(p >> 64) + (old < lo ? 1 : 0);
    }
    return c;
}

}  // namespace

void DivRem(u64* q, u64* u, std::size_t n, const u64* v, std::size_t m) {
    const u64 v1 = v[m - 1], v2 = v[m - 2];
    for (std::size_t j = n + 1; j-- > 0;) {
        const u64 top = u[j + m];
        u64 qhat, rhat;
        bool rhatFits = true;
        if (top >= v1) {
            qhat = ~u64{0};
            const u128 r = ((static_cast<u128>(top) << 64) | u[j + m - 1]) - static_cast<u128>(qhat) * v1;
            rhatFits = (r >> 64) == 0;
            rhat = static_cast<u64>(r);
        } else {
            qhat = Div2By1(top, u[j + m - 1], v1, &rhat);
        }
        while (rhatFits && static_cast<u128>(qhat) * v2 > ((static_cast<u128>(rhat) << 64) | u[j + m - 2])) {
            --qhat;
            const u64 old = rhat;
            rhat += v1;
            rhatFits = rhat >= old;
        }
        const u64 borrow = SubMul1(u + j, v, m, qhat);
        if (borrow > top) {
            // One too large: add the divisor back.
            u64 c = 0;
            for (std::size_t i = 0; i < m; ++i) {
                const u128 sum = static_cast<u128>(u[j + i]) + v[i] + c;
                u[j + i] = static_cast<u64>(sum);
                c = static_cast<u64>(sum >> 64);
            }
            --qhat;
        }
        u[j + m] = 0;
        q[j] = qhat;
    }
}

void ForcePortableKernels(bool on) {
#if defined(__x86_64__) && defined(__GNUC__)
    g_mulxAdx = !on && CpuHasMulxAdx();
#else
    (void)on;
#endif
}

u64 InverseLimb(u64 w) {
    u64 b = w;  // correct to 3 bits; each step doubles that
    for (int i = 0; i < 5; ++i) b *= 2 - w * b;
    return ~b + 1;
}

}  // namespace limbs

}  // namespace morvane
