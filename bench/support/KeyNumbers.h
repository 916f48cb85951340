// Random key numbers for the books the benchmarks build.
#pragma once

#include <random>
#include <string>

#include "book/Book.h"
#include "book/Queries.h"

namespace morvane::bench {

// digits hexadecimal digits, the first one not zero.
inline std::string RandomHex(std::mt19937& rng, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s(1, kDigits[1 + rng() % 15]);
    while (static_cast<int>(s.size()) < digits)
        s += kDigits[rng() % 16];
    return s;
}

// Fills a key record's number lines as a 1024-bit key has them.
inline void FillKeyNumbers(Book& book, Node key, std::mt19937& rng)
{
    SetField(book, key, KindCode(ItemKind::ModulusField), RandomHex(rng, 256));
    SetField(book, key, KindCode(ItemKind::PublicExponentField), RandomHex(rng, 64));
    SetField(book, key, KindCode(ItemKind::PrivateExponentField), RandomHex(rng, 256));
    SetField(book, key, KindCode(ItemKind::PrimePField), RandomHex(rng, 128));
    SetField(book, key, KindCode(ItemKind::PrimeQField), RandomHex(rng, 128));
    SetField(book, key, KindCode(ItemKind::CoefficientField), RandomHex(rng, 128));
}

}  // namespace morvane::bench
