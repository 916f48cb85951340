// A modulus prepared once for many exponentiations: its Montgomery constants, R^2 mod m, the
// divisor normalised for reducing bases, and all the scratch a power needs, so that a power
// allocates nothing. Residues are arrays of Words() 32-bit words, least significant first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bignum/BigInt.h"

namespace morvane {

class PreparedModulus {
public:
    PreparedModulus() = default;
    ~PreparedModulus();
    PreparedModulus(const PreparedModulus&) = delete;
    PreparedModulus& operator=(const PreparedModulus&) = delete;

    // Prepares an odd m of at least two 64-bit limbs for bases of at most maxBaseWords
    // significant words and exponents of at most maxExpBits bits. 0, or -1 when m is even or
    // shorter, or memory runs out; the object is then empty.
    [[nodiscard]] int Init(const BigInt& m, std::size_t maxBaseWords, std::size_t maxExpBits);
    // Wipes and releases everything; the object becomes empty.
    void Clear() noexcept;
    [[nodiscard]] bool Empty() const noexcept { return block_ == nullptr; }

    // Words of a residue (whole 64-bit limbs; the modulus's significant words or one more).
    [[nodiscard]] std::size_t Words() const noexcept { return 2 * n_; }
    // The modulus, Words() words.
    [[nodiscard]] const std::uint32_t* Modulus() const noexcept { return block_; }

    // out[0..Words()) = base^exp mod m, fully reduced; base has baseWords words, exp expWords.
    // -1 with out untouched when either is longer than prepared. out may overlap base.
    // The scratch that held powers of the base is wiped before returning.
    [[nodiscard]] int Power(std::uint32_t* out, const std::uint32_t* base, std::size_t baseWords,
                            const std::uint32_t* exp, std::size_t expWords);

    // out = v * R mod m (R = 2^(32 Words())), the Montgomery form of a v of at most the
    // prepared base length. -1 when v is longer.
    [[nodiscard]] int ToMontgomery(std::uint32_t* out, const std::uint32_t* v, std::size_t words);
    // out = a * b / R mod m for a, b below m; out may equal a or b.
    void MontMul(std::uint32_t* out, const std::uint32_t* a, const std::uint32_t* b);

private:
    // Reduces v into out (Words() words, below m). -1 when v is longer than prepared.
    int Reduce(std::uint32_t* out, const std::uint32_t* v, std::size_t words);

    std::uint32_t* block_ = nullptr;  // everything below, from NumberAlloc
    std::size_t blockWords_ = 0;
    std::size_t n_ = 0;             // limbs of the modulus
    std::size_t maxBaseLimbs_ = 0;  // at least n_
    std::size_t maxExpBits_ = 0;
    int window_ = 0;                // largest window the table holds (2^window_ odd powers)
    unsigned shift_ = 0;            // leading zero bits of the modulus's top limb
    std::uint64_t inv_ = 0;         // -(m^-1) mod 2^64
    std::uint32_t* r2_ = nullptr;   // R^2 mod m
    std::uint64_t* divisor_ = nullptr;   // m << shift_, n_ limbs
    std::uint64_t* dividend_ = nullptr;  // a base << shift_, maxBaseLimbs_ + 1 limbs
    std::uint64_t* quotient_ = nullptr;  // maxBaseLimbs_ - n_ + 1 limbs
    std::uint32_t* table_ = nullptr;     // 2^window_ residues
    std::uint32_t* acc_ = nullptr;       // one residue
    std::uint32_t* product_ = nullptr;   // two residues
};

}  // namespace morvane
