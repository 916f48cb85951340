// Test support: conversions between BigInt and GMP, and random operands with awkward shapes.
#pragma once

#include <gmp.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bignum/BigInt.h"

namespace morvane {

class Mpz {
public:
    Mpz() { mpz_init(v_); }
    explicit Mpz(const BigInt& x) {
        mpz_init(v_);
        Set(x);
    }
    ~Mpz() { mpz_clear(v_); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
    mpz_ptr get() { return v_; }
    mpz_srcptr get() const { return v_; }
    void Set(const BigInt& x) { mpz_import(v_, x.length, -1, sizeof(std::uint32_t), 0, 0, x.words); }
    std::string Hex() const {
        char* s = mpz_get_str(nullptr, 16, v_);
        std::string out(s);
        void (*freefunc)(void*, size_t);
        mp_get_memory_functions(nullptr, nullptr, &freefunc);
        freefunc(s, out.size() + 1);
        for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return out;
    }

private:
    mpz_t v_;
};

// Hex text of a BigInt (independent of ToText: walks the words directly).
inline std::string HexOf(const BigInt& x) {
    Mpz m(x);
    return m.Hex();
}

inline void SetFromMpz(BigInt& x, mpz_srcptr v) {
    size_t count = 0;
    const size_t words = (mpz_sizeinbase(v, 2) + 31) / 32;
    ASSERT_EQ(ReserveWords(x, static_cast<std::uint32_t>(words + 1)), 0);
    if (mpz_sgn(v) == 0) {
        x.length = 0;
        return;
    }
    mpz_export(x.words, &count, -1, sizeof(std::uint32_t), 0, 0, v);
    x.length = static_cast<std::uint32_t>(count);
}

// True when x is in normal form (no leading zero word).
inline bool Normal(const BigInt& x) { return x.length == 0 || x.words[x.length - 1] != 0; }

class Operands {
public:
    explicit Operands(std::uint32_t seed) : rng_(seed) {}

    std::uint32_t Word() { return static_cast<std::uint32_t>(rng_()); }
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(rng_() % n); }

    // A value of exactly `words` significant words with a mix of shapes: random, runs of
    // all-ones or zero words, top word 1 or all ones.
    void Fill(BigInt& x, std::uint32_t words) {
        ASSERT_EQ(ReserveWords(x, words), 0);
        const std::uint32_t shape = Below(8);
        for (std::uint32_t i = 0; i < words; ++i) {
            std::uint32_t w = Word();
            if (shape == 1) w = 0xFFFFFFFFu;
            if (shape == 2 && Below(3) == 0) w = 0;
            if (shape == 3 && Below(2) == 0) w = 0xFFFFFFFFu;
            if (shape == 4) w = i % 2 ? 0 : 0xFFFFFFFFu;
            x.words[i] = w;
        }
        if (words != 0) {
            if (shape == 5) x.words[words - 1] = 1;
            if (shape == 6) x.words[words - 1] = 0x80000000u;
            if (x.words[words - 1] == 0) x.words[words - 1] = 1 + Below(100);
        }
        x.length = words;
    }

    std::uint32_t Length(std::uint32_t maxWords) { return 1 + Below(maxWords); }

private:
    std::mt19937 rng_;
};

}  // namespace morvane
