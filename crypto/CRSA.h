// The RSA engine: one key (P, Q, E, U, N, D), the key generation itself, the public and
// private transforms, the padding fillers shared with the message blocks, and the
// single-block format of the key self-test.
//
// Results follow the program's rule: 1 success, -1 failure, unless noted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "bignum/BigInt.h"
#include "bignum/Prime.h"

namespace morvane {

class CRandom;

// Progress events of key generation besides those of the prime search (bignum/Prime.h).
inline constexpr char kKeygenEventDrawQ = '>';  // a new candidate for Q is drawn
inline constexpr char kKeygenEventRetry = 'e';  // the exponent did not suit the primes

// Status of ComputeKey when the triple must be drawn again.
inline constexpr int kStatusRedraw = -13;

// Simple block types.
inline constexpr int kSimpleRandomPadding = 1;
inline constexpr int kSimpleFixedPadding = 2;

// UnpackSimpleBlock failures.
inline constexpr int kUnpackTypeMismatch = -10;
inline constexpr int kUnpackBadLength = -11;

// Key sizes GeneratePrimes accepts. The book's strengths are 512 to 4096 bits; the bounds only
// keep a damaged strength line from asking for a degenerate or endless search.
inline constexpr int kMinKeyBits = 64;
inline constexpr int kMaxKeyBits = 16384;

class CRSA {
public:
    CRSA();
    virtual ~CRSA();
    // Copies the key and the pool link; the values prepared for the transforms are made anew.
    CRSA(const CRSA& other);
    CRSA& operator=(const CRSA& other);

    // 2 for the tree's first engine, 1 for the second.
    std::int32_t mode = 0;
    // The key. P < Q after ComputeKey; U = P^-1 mod Q.
    BigInt P, Q, E, U, N, D;
    // Not owned.
    CRandom* random = nullptr;

    CRSA& SetRandom(CRandom* r)
    {
        random = r;
        return *this;
    }

    // ---- Key generation
    // Draws P (searched from h - 17 bits), Q (from h + 17 bits, at least h - 5 bits away from
    // P) and E (from bits / 4 bits), h = bits / 2, each stored as soon as it is found. The
    // callback gets '>' before each draw of Q (its answer ignored) and the prime search's
    // events. 1 on success; 3 or 4 when the callback asked to stop (status the same); -1 on
    // failure (status -1), also for sizes outside kMinKeyBits..kMaxKeyBits.
    [[nodiscard]] int GeneratePrimes(int bits, PrimeCallback progress, void* context, int& status);
    // Puts P below Q, stirs the pool, and derives D = E^-1 mod lcm(P-1, Q-1), U and N.
    // 1; or -1 with status kStatusRedraw when E has no inverse or D comes out shorter than a
    // quarter of the lcm's bit length, status -1 for any other failure.
    [[nodiscard]] int ComputeKey(int& status);

    // ---- Transforms (result may be x)
    // result = x^E mod N. -1 when N is zero or even, or memory runs out.
    [[nodiscard]] int PublicPower(BigInt& result, const BigInt& x) const;
    // result = x^D mod N by the Chinese remainder theorem with P, Q and U.
    [[nodiscard]] int PrivatePower(BigInt& result, const BigInt& x) const;

    // ---- Padding. Byte positions count from the least significant byte; an empty range
    // (to = from - 1) fills nothing.
    // Bytes from..to become 0xFF.
    [[nodiscard]] int FillFixedPadding(BigInt& number, int from, int to);
    // Bytes from..to become random non-zero pool bytes.
    [[nodiscard]] int FillRandomPadding(BigInt& number, CRandom* rnd, int from, int to);

    // ---- Simple block: byte m-1 is 0, m-3..m-2 the type, m-7..m-4 the data length L,
    // L..m-8 padding (type 1 random non-zero, type 2 0xFF), 0..L-1 the data (data[i] at i).
    // -1 when m < length + 9, for another type, or on failure.
    [[nodiscard]] int PackSimpleBlock(BigInt& number, CRandom* rnd, const std::uint8_t* data, std::uint32_t length, int type,
                        std::uint32_t m);
    // The data length L (buffer[L] = 0 after the data); kUnpackTypeMismatch;
    // kUnpackBadLength when size < L + 1 or L > m - 7.
    [[nodiscard]] static int UnpackSimpleBlock(std::uint8_t* buffer, std::uint32_t size, const BigInt& number, int type,
                                 std::uint32_t m);
    // Packs a type-1 block for this key and applies PublicPower in place.
    [[nodiscard]] int EncryptSimple(BigInt& number, const std::uint8_t* data, std::uint32_t length);
    // Applies PrivatePower in place, then unpacks a type-1 block into buffer (m bytes).
    // The data length, or a negative result.
    [[nodiscard]] int DecryptSimple(std::vector<std::uint8_t>& buffer, BigInt& number);

    // Encrypts m - 19 test bytes (at most 8192), passes the number through its hexadecimal
    // text and decrypts it again. failed is 0, or -1 on a mismatch. 1 when the test ran, -1
    // when its buffers cannot be had.
    [[nodiscard]] int SelfTest(int& failed);

    // (bit length of N + 7) / 8.
    [[nodiscard]] std::uint32_t ModulusBytes() const;

private:
    // Values derived from the key for the transforms (Montgomery constants, the exponents mod
    // P - 1 and Q - 1, scratch). Each part remembers the numbers it was made from and is made
    // again when they differ; nothing of it is ever stored or shown.
    struct Prepared;
    [[nodiscard]] bool PreparedPublicPower(BigInt& result, const BigInt& x) const;
    [[nodiscard]] bool PreparedPrivatePower(BigInt& result, const BigInt& x) const;
    // The private transform with nothing prepared.
    [[nodiscard]] int GeneralPrivatePower(BigInt& result, const BigInt& x) const;
    mutable std::unique_ptr<Prepared> prepared_;
    // Set while a transform uses prepared_; a transform that finds it set computes without it.
    mutable std::atomic<bool> busy_{false};
};

}  // namespace morvane
