// Probable-prime test and prime search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "bignum/BigInt.h"

namespace morvane {

// Progress events sent to the callback, one character each.
inline constexpr char kPrimeEventComposite = '.';   // a sieve survivor failed a test
inline constexpr char kPrimeEventWindow = '/';      // a whole sieve window was rejected
inline constexpr char kPrimeEventNextTest = '?';    // a strong test with the next base starts
inline constexpr char kPrimeEventPrime = '*';       // the candidate passed every test

// Callback answers.
inline constexpr int kPrimeContinue = 1;
inline constexpr int kPrimeStopUser = 3;     // stop at the user's request
inline constexpr int kPrimeStopClosing = 4;  // stop because the application is closing

// Receives the caller's context and the event character; answers one of the above. Any
// other answer is an error that ends the search with -1.
using PrimeCallback = int (*)(void* context, char event);

// PrimeTest results besides 3, 4 (stop answers) and -1 (memory or callback error).
inline constexpr int kProbablePrime = 1;
inline constexpr int kComposite = 0;

// Base-2 Euler test, then strong tests to bases 2 (when the first test was inconclusive),
// 3, 5, 7, 11, 13, 17. e and a are working values lent by the caller. Values below 19 and
// even values are answered exactly without testing. The callback may be null.
[[nodiscard]] int PrimeTest(const BigInt& x, BigInt& e, BigInt& a, PrimeCallback callback, void* context);
[[nodiscard]] int PrimeTest(const BigInt& x, PrimeCallback callback = nullptr, void* context = nullptr);

// Replaces x by the first probable prime at or above it (x is made odd first) that is not
// 1 modulo any of the exclusion values (values below 3 are ignored). Returns 1 on success;
// 3 or 4 when the callback asked to stop (x then holds the last candidate tried); -1 on
// memory exhaustion or any other callback answer. Without a callback the search runs until
// it finds a prime.
[[nodiscard]] int PrimeSearch(BigInt& x, PrimeCallback callback, void* context, const std::uint32_t* exclusions,
                std::size_t exclusionCount);
[[nodiscard]] int PrimeSearch(BigInt& x, PrimeCallback callback, void* context,
                std::initializer_list<std::uint32_t> exclusions = {});

}  // namespace morvane
