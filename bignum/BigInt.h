// Unsigned multi-precision integers: the BigInt record, word-array routines, number
// routines, modular arithmetic and the text and byte forms.
//
// Conventions
//  - A word is 32 bits; values are stored least significant word first.
//  - Number routines take the destination first, return 0 on success and -1 when memory
//    runs out (the destination then still holds a valid value), unless noted otherwise.
//  - Inputs need not be in normal form (leading zero words are ignored); results are left
//    in normal form, except SubWord without underflow, which keeps the length.
//  - Every number routine accepts any aliasing between destination and sources unless a
//    comment says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

class BigInt {
public:
    // The representation; number routines work on these fields directly.
    std::uint32_t* words = nullptr;  // heap block, least significant word first
    std::uint32_t length = 0;        // words in use; 0 is the value zero
    std::uint32_t capacity = 0;      // words allocated

    BigInt() noexcept = default;
    ~BigInt();

    // Copies own their words. A failed copy construction throws std::bad_alloc; a failed
    // copy assignment leaves the old value (use Copy() where -1 matters).
    BigInt(const BigInt& other);
    BigInt& operator=(const BigInt& other);
    BigInt(BigInt&& other) noexcept;
    BigInt& operator=(BigInt&& other) noexcept;

    // Frees the block; the value becomes zero with no capacity.
    void Release() noexcept;

    BigInt& Assign(std::uint32_t w);         // SetWord
    BigInt& Assign(const BigInt& other);     // Copy
    [[nodiscard]] bool EqualsWord(std::uint32_t w) const;  // CompareWord gives 0
    BigInt& AddInPlace(std::uint32_t w);     // AddWord
    BigInt& MulInPlace(std::uint32_t w);     // MulWord from a temporary copy

    // Text in base 10 or 16 (upper case, no leading zeros, "0" for zero). The buffer
    // receives the digits and a terminating zero and must have 4 spare characters beyond
    // those. Returns 1, or 0 for another base or a too small buffer.
    [[nodiscard]] int ToText(int base, char* buffer, std::size_t size) const;
    [[nodiscard]] int ToHex(char* buffer, std::size_t size) const;
    [[nodiscard]] int ToDecimal(char* buffer, std::size_t size) const;

    // Parses a zero-terminated text in base 10 or 16 (hex digits in either case). Returns 1,
    // or 0 on another base, a null text or an invalid character; in that last case the
    // value of the digits before it is kept. An empty text gives zero and 1.
    [[nodiscard]] int FromText(int base, const char* text);
    [[nodiscard]] int FromHex(const char* text);

    // "\xLL" per byte, least significant byte first ("\x00" for zero), zero terminated.
    // g groups need 4g + 2 characters. Returns 1, or 0 when the buffer is too small.
    [[nodiscard]] int ToEscapedBytes(char* buffer, std::size_t size) const;

    // Conveniences over the above. ToString gives "" when memory runs out or the base is
    // neither 10 nor 16. FromString parses a text that need not be zero terminated and
    // returns as FromText (a zero byte inside the text counts as an invalid character).
    [[nodiscard]] std::string ToString(int base = 16) const;
    [[nodiscard]] std::string ToEscapedString() const;
    [[nodiscard]] int FromString(int base, std::string_view text);
};

// ---------------------------------------------------------------------------------------
// Word-array routines: caller-supplied spans of 32-bit words with explicit lengths. They
// never allocate, never resize and never check bounds; n is at least 1 unless noted.

void CopyWords(std::uint32_t* dst, const std::uint32_t* src, std::size_t n);  // n may be 0
void ZeroWords(std::uint32_t* dst, std::size_t n);                            // n may be 0

// a += w / a -= w with the carry or borrow rippling upward; returns the carry/borrow out.
[[nodiscard]] std::uint32_t AddWordTo(std::uint32_t* a, std::size_t n, std::uint32_t w);
[[nodiscard]] std::uint32_t SubWordFrom(std::uint32_t* a, std::size_t n, std::uint32_t w);

// a += b / a -= b over n words; returns the carry/borrow out (0 or 1). b may equal a.
[[nodiscard]] std::uint32_t AddSpan(std::uint32_t* a, const std::uint32_t* b, std::size_t n);
[[nodiscard]] std::uint32_t SubSpan(std::uint32_t* a, const std::uint32_t* b, std::size_t n);

// a = 2^(32n) - a (a zero span stays zero).
void NegateSpan(std::uint32_t* a, std::size_t n);

// Compares from the top word down: -1, 0 or 1.
[[nodiscard]] int CompareSpan(const std::uint32_t* a, const std::uint32_t* b, std::size_t n);

// out[0..n] = a * w; returns out[n], the carry word. out may equal a.
[[nodiscard]] std::uint32_t MulWordSpan(std::uint32_t* out, const std::uint32_t* a, std::size_t n, std::uint32_t w);
// acc[0..n) += a * w; returns the carry word out of acc[n-1].
[[nodiscard]] std::uint32_t MulAddWord(std::uint32_t* acc, const std::uint32_t* a, std::size_t n, std::uint32_t w);
// acc[0..n) -= a * w; returns the borrow word out of acc[n-1].
[[nodiscard]] std::uint32_t MulSubWord(std::uint32_t* acc, const std::uint32_t* a, std::size_t n, std::uint32_t w);

// a <<= s / a >>= s for 0 < s < 32; return the bits shifted out, right-aligned.
[[nodiscard]] std::uint32_t ShiftLeftSpan(std::uint32_t* a, std::size_t n, unsigned s);
[[nodiscard]] std::uint32_t DoubleSpan(std::uint32_t* a, std::size_t n);
[[nodiscard]] std::uint32_t ShiftRightSpan(std::uint32_t* a, std::size_t n, unsigned s);

// prod[0..m+n) = a * b; prod must not overlap a or b. m or n may be 0 (product cleared).
void MulSpan(std::uint32_t* prod, const std::uint32_t* a, std::size_t m, const std::uint32_t* b, std::size_t n);
// prod[0..2n) = a * a; prod must not overlap a.
void SquareSpan(std::uint32_t* prod, const std::uint32_t* a, std::size_t n);

// n less the leading zero words (0 for zero); n may be 0.
[[nodiscard]] std::size_t SignificantLength(const std::uint32_t* a, std::size_t n);
// Highest set bit position plus 1; 0 for zero; n may be 0.
[[nodiscard]] std::size_t BitLengthSpan(const std::uint32_t* a, std::size_t n);

// Divides the n-word a by d (not 0): the lower n-1 quotient words go to q[0..n-1) (q may
// be null when n is 1, and may equal a), the remainder to *rem; returns the top quotient word.
[[nodiscard]] std::uint32_t DivWordSpan(std::uint32_t* q, std::uint32_t* rem, const std::uint32_t* a, std::size_t n, std::uint32_t d);
// a mod d for any non-zero d.
[[nodiscard]] std::uint32_t ModWordSpan(const std::uint32_t* a, std::size_t n, std::uint32_t d);

// Divides the n-word a by the m-word b (n >= m >= 1, b[m-1] != 0). The lower quotient
// words go to q[0..n-m) (q may be a + m, overwriting the consumed dividend words), the
// remainder replaces a[0..m); returns the top quotient word. b is shifted during the
// division and handed back unchanged.
[[nodiscard]] std::uint32_t DivSpan(std::uint32_t* q, std::uint32_t* a, std::size_t n, std::uint32_t* b, std::size_t m);

// ---------------------------------------------------------------------------------------
// Number routines.

[[nodiscard]] int ReserveWords(BigInt& x, std::uint32_t n);    // capacity >= n words (rounded up to even)
[[nodiscard]] int Reserve(BigInt& x, std::uint32_t bits);      // capacity >= (bits + 31) / 32 words
[[nodiscard]] int Copy(BigInt& dst, const BigInt& src);
[[nodiscard]] int SetWord(BigInt& x, std::uint32_t w);         // w = 0 gives length 0
[[nodiscard]] int AddWord(BigInt& x, std::uint32_t w);
// x = |x - w|: 1 if x was below w (x then holds w - x), 0 if not, -1 on memory failure.
// Without underflow the length is kept even when the top word became zero.
[[nodiscard]] int SubWord(BigInt& x, std::uint32_t w);
[[nodiscard]] int CompareWord(const BigInt& x, std::uint32_t w);  // -1, 0, 1
[[nodiscard]] int Add(BigInt& dst, const BigInt& src);
// dst = |dst - src|: 1 if dst was below src, 0 if not, -1 on memory failure.
[[nodiscard]] int Sub(BigInt& dst, const BigInt& src);
[[nodiscard]] int Compare(const BigInt& a, const BigInt& b);  // -1, 0, 1
[[nodiscard]] int Square(BigInt& dst, const BigInt& src);
[[nodiscard]] int Mul(BigInt& dst, const BigInt& a, const BigInt& b);
[[nodiscard]] int MulWord(BigInt& dst, const BigInt& src, std::uint32_t w);
// q = n div d, r = n mod d. A zero d, or q and r being one object, is refused with -1 and
// nothing changed.
[[nodiscard]] int DivMod(BigInt& q, BigInt& r, const BigInt& n, const BigInt& d);
[[nodiscard]] int Mod(BigInt& dst, const BigInt& src, const BigInt& d);  // d must not be 0
[[nodiscard]] std::uint32_t ModWord(const BigInt& x, std::uint32_t w);    // w must not be 0
[[nodiscard]] int ShiftLeft(BigInt& x, std::uint32_t bits);
// Returns the new length (never fails).
[[nodiscard]] int ShiftRight(BigInt& x, std::uint32_t bits);
// Divides by the largest power of two dividing x; returns the bits removed (0 for zero).
[[nodiscard]] int MakeOdd(BigInt& x);
[[nodiscard]] std::uint32_t BitLength(const BigInt& x);
[[nodiscard]] std::uint32_t LowWord(const BigInt& x);

// ---------------------------------------------------------------------------------------
// Modular arithmetic.

// -(w^-1) mod 2^32 for odd w.
[[nodiscard]] std::uint32_t MontInverseWord(std::uint32_t w);
// t: 2n words holding a value below m * 2^(32n); leaves t * 2^(-32n) mod m, fully reduced,
// in t[n..2n). m has n words, m odd, inv = MontInverseWord(m[0]).
void MontReduce(std::uint32_t* t, const std::uint32_t* m, std::size_t n, std::uint32_t inv);

// dst = base^exp mod m (0 for m = 1). Returns 1 on success, -1 when m is 0 or even (dst
// untouched) or memory runs out.
[[nodiscard]] int ExpMod(BigInt& dst, const BigInt& base, const BigInt& exp, const BigInt& m);
// dst = 2^exp mod m. Returns 0 on success, -1 when m is 0 or even or memory runs out.
[[nodiscard]] int TwoExpMod(BigInt& dst, const BigInt& exp, const BigInt& m);
// dst = gcd(a, b); gcd(x, 0) = x.
[[nodiscard]] int Gcd(BigInt& dst, const BigInt& a, const BigInt& b);
// dst = a^-1 mod m (0 < dst < m). Returns 0 when the inverse exists, 1 when it does not
// (also for m = 0 or 1; dst is then unspecified but valid), -1 when memory runs out.
[[nodiscard]] int Inverse(BigInt& dst, const BigInt& a, const BigInt& m);

// ---------------------------------------------------------------------------------------
// Byte placement. Byte position k is bits 8k..8k+7 of the value.

// Writes src[0..len) at positions offset..offset+len-1 (src[0] lowest), growing x with
// zero words as needed; other bytes keep their values. Returns 1, or -1 on memory failure.
[[nodiscard]] int InsertBytes(BigInt& x, const std::uint8_t* src, std::uint32_t offset, std::uint32_t len);

// Writes len bytes at positions pos-len+1..pos (ascending: src[0] at pos-len+1, else src[0]
// at pos), growing x as needed, then lowers pos by len. Returns 1, or -1 on memory failure
// or when the range would reach below position 0 (x and pos are then unchanged).
[[nodiscard]] int InsertBytesDown(BigInt& x, const std::uint8_t* src, int& pos, std::uint32_t len, bool ascending);

// Reads the len bytes at positions pos-len+1..pos into dst (ascending or descending position
// order), then lowers pos by len. Positions at or above the value's words, and below 0,
// read as 0.
void ExtractBytesDown(const BigInt& x, std::uint8_t* dst, int& pos, std::uint32_t len, bool ascending);

}  // namespace morvane
