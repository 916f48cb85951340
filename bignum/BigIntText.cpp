// Text and byte forms of BigInt values.
#include <cstring>

#include "bignum/BigInt.h"
#include "bignum/SafeAlloc.h"

namespace morvane {

using std::size_t;
using std::uint32_t;
using std::uint64_t;

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16) {
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    }
    return -1;
}

uint32_t SigOf(const BigInt& x) { return static_cast<uint32_t>(SignificantLength(x.words, x.length)); }

// Parses text[0..len) (digits already checked) into x. Returns 0, or -1 on memory failure.
int ParseDigits(BigInt& x, const char* text, size_t len, int base) {
    x.length = 0;
    if (base == 16) {
        // Linear: every digit lands at a fixed nibble.
        const uint64_t words = (static_cast<uint64_t>(len) + 7) / 8;
        if (words > 0xFFFFFFFFu || ReserveWords(x, static_cast<uint32_t>(words)) != 0) return -1;
        ZeroWords(x.words, static_cast<size_t>(words));
        for (size_t i = 0; i < len; ++i) {
            const size_t nibble = len - 1 - i;
            x.words[nibble / 8] |= static_cast<uint32_t>(DigitValue(text[i], 16)) << (4 * (nibble % 8));
        }
        x.length = static_cast<uint32_t>(words);
        x.length = static_cast<uint32_t>(SignificantLength(x.words, x.length));
        return 0;
    }
    // Decimal: nine digits per multiply-add; room for 3.33 bits per digit is reserved first.
    const uint64_t words = (static_cast<uint64_t>(len) * 10 / 3 + 64) / 32;
    if (words > 0xFFFFFFFFu || ReserveWords(x, static_cast<uint32_t>(words)) != 0) return -1;
    size_t n = 0;
    size_t i = 0;
    while (i < len) {
        uint32_t chunk = 0, scale = 1;
        for (int k = 0; k < 9 && i < len; ++k, ++i) {
            chunk = chunk * 10 + static_cast<uint32_t>(text[i] - '0');
            scale *= 10;
        }
        uint32_t carry = n != 0 ? MulWordSpan(x.words, x.words, n, scale) : 0;
        if (carry != 0) x.words[n++] = carry;
        if (n == 0) {
            if (chunk != 0) x.words[n++] = chunk;
        } else if (AddWordTo(x.words, n, chunk) != 0) {
            x.words[n++] = 1;
        }
    }
    x.length = static_cast<uint32_t>(n);
    return 0;
}

}  // namespace

int BigInt::ToText(int base, char* buffer, size_t size) const {
    if ((base != 10 && base != 16) || buffer == nullptr || size < 2) return 0;
    const uint32_t n = SigOf(*this);
    size_t pos = size - 1;  // next position to fill, downward
    buffer[pos] = '\0';
    auto put = [&](char c) {
        if (pos < 5) return false;  // the digit would land below position 4
        buffer[--pos] = c;
        return true;
    };
    if (n == 0) {
        if (!put('0')) return 0;
    } else if (base == 16) {
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t w = words[i];
            for (int k = 0; k < 8; ++k) {
                if (i == n - 1 && w == 0) break;
                if (!put(kDigits[w & 15])) return 0;
                w >>= 4;
            }
        }
    } else {
        auto* work = static_cast<uint32_t*>(NumberAlloc(n * sizeof(uint32_t)));
        if (work == nullptr) return 0;
        CopyWords(work, words, n);
        size_t len = n;
        bool ok = true;
        while (ok && len != 0) {
            uint32_t rem;
            const uint32_t top = DivWordSpan(work, &rem, work, len, 1000000000u);
            work[len - 1] = top;
            len = SignificantLength(work, len);
            for (int k = 0; k < 9 && ok; ++k) {
                if (len == 0 && rem == 0 && k != 0) break;  // no leading zeros on the last chunk
                ok = put(kDigits[rem % 10]);
                rem /= 10;
            }
        }
        NumberFree(work, n * sizeof(uint32_t));
        if (!ok) return 0;
    }
    std::memmove(buffer, buffer + pos, size - pos);
    return 1;
}

int BigInt::ToHex(char* buffer, size_t size) const { return ToText(16, buffer, size); }

int BigInt::ToDecimal(char* buffer, size_t size) const { return ToText(10, buffer, size); }

int BigInt::FromText(int base, const char* text) {
    if ((base != 10 && base != 16) || text == nullptr) return 0;
    return FromString(base, std::string_view(text));
}

int BigInt::FromHex(const char* text) { return FromText(16, text); }

int BigInt::FromString(int base, std::string_view text) {
    if (base != 10 && base != 16) return 0;
    size_t valid = 0;
    while (valid < text.size() && DigitValue(text[valid], base) >= 0) ++valid;
    if (ParseDigits(*this, text.data(), valid, base) != 0) return 0;
    return valid == text.size() ? 1 : 0;
}

int BigInt::ToEscapedBytes(char* buffer, size_t size) const {
    if (buffer == nullptr) return 0;
    const uint32_t n = SigOf(*this);
    const size_t bytes = n == 0 ? 1 : (BitLengthSpan(words, n) + 7) / 8;
    size_t pos = 0;
    for (size_t i = 0; i < bytes; ++i) {
        if (size < 5 || pos >= size - 5) return 0;
        const uint32_t b = i / 4 < n ? (words[i / 4] >> (8 * (i % 4))) & 0xFF : 0;
        buffer[pos++] = '\\';
        buffer[pos++] = 'x';
        buffer[pos++] = kDigits[b >> 4];
        buffer[pos++] = kDigits[b & 15];
    }
    buffer[pos] = '\0';
    return 1;
}

std::string BigInt::ToString(int base) const {
    if (base != 10 && base != 16) return std::string();
    const size_t bits = BitLengthSpan(words, length);
    std::string out(bits / 3 + 8, '\0');
    if (ToText(base, out.data(), out.size()) != 1) return std::string();
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string BigInt::ToEscapedString() const {
    const size_t bytes = (BitLengthSpan(words, length) + 7) / 8;
    std::string out(4 * (bytes == 0 ? 1 : bytes) + 2, '\0');
    if (ToEscapedBytes(out.data(), out.size()) != 1) return std::string();
    out.resize(std::strlen(out.c_str()));
    return out;
}

// ---------------------------------------------------------------------------------------
// Byte placement

namespace {

void PutByte(BigInt& x, uint64_t position, std::uint8_t value) {
    uint32_t& w = x.words[position / 4];
    const unsigned shift = 8 * static_cast<unsigned>(position % 4);
    w = (w & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) << shift);
}

std::uint8_t GetByte(const BigInt& x, int64_t position) {
    if (position < 0 || static_cast<uint64_t>(position) >= 4 * static_cast<uint64_t>(x.length)) return 0;
    return static_cast<std::uint8_t>(x.words[position / 4] >> (8 * (position % 4)));
}

// Makes x span at least `words` words, the new ones zero.
int Cover(BigInt& x, uint64_t words) {
    if (words > 0xFFFFFFFFu) return -1;
    const uint32_t n = static_cast<uint32_t>(words);
    if (n <= x.length) return 0;
    if (ReserveWords(x, n) != 0) return -1;
    ZeroWords(x.words + x.length, n - x.length);
    x.length = n;
    return 0;
}

}  // namespace

int InsertBytes(BigInt& x, const std::uint8_t* src, uint32_t offset, uint32_t len) {
    if (len == 0) return 1;
    if (src == nullptr || Cover(x, (static_cast<uint64_t>(offset) + len + 3) / 4) != 0) return -1;
    for (uint32_t i = 0; i < len; ++i) PutByte(x, static_cast<uint64_t>(offset) + i, src[i]);
    x.length = SigOf(x);
    return 1;
}

int InsertBytesDown(BigInt& x, const std::uint8_t* src, int& pos, uint32_t len, bool ascending) {
    if (len == 0) return 1;
    const int64_t low = static_cast<int64_t>(pos) - len + 1;
    if (src == nullptr || low < 0) return -1;
    if (Cover(x, (static_cast<uint64_t>(pos) + 4) / 4) != 0) return -1;
    for (uint32_t i = 0; i < len; ++i) {
        const uint64_t position = ascending ? static_cast<uint64_t>(low) + i : static_cast<uint64_t>(pos) - i;
        PutByte(x, position, src[i]);
    }
    x.length = SigOf(x);
    pos -= static_cast<int>(len);
    return 1;
}

void ExtractBytesDown(const BigInt& x, std::uint8_t* dst, int& pos, uint32_t len, bool ascending) {
    const int64_t low = static_cast<int64_t>(pos) - len + 1;
    for (uint32_t i = 0; i < len; ++i) {
        const int64_t position = ascending ? low + i : static_cast<int64_t>(pos) - i;
        dst[i] = GetByte(x, position);
    }
    pos -= static_cast<int>(len);
}

}  // namespace morvane
