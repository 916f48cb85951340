#include "book/Compress.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "book/CompressMatch.h"

namespace morvane {

namespace {

// Significant bits of x, with 1 for 0: the width of a source position field.
int BitLen(std::uint64_t x) {
    return x == 0 ? 1 : std::bit_width(x);
}

// Appends bit fields, most significant bit first, to a byte vector.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // bits <= 32.
    void Put(std::uint32_t value, int bits) {
        acc_ = (acc_ << bits) | value;
        pending_ += bits;
        count_ += static_cast<std::uint64_t>(bits);
        while (pending_ >= 8) {
            pending_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
        }
    }

    std::uint64_t BitCount() const { return count_; }

    // Writes out the last partial byte, its low bits zero.
    void Flush() {
        if (pending_ > 0) {
            out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
            pending_ = 0;
        }
    }

    // Overwrites bits [at, at + bits) that have already reached the vector.
    void Patch(std::uint64_t at, std::uint64_t value, int bits) {
        for (int b = 0; b < bits; ++b) {
            const std::uint64_t p = at + static_cast<std::uint64_t>(b);
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (p % 8));
            if ((value >> (bits - 1 - b)) & 1u)
                out_[p / 8] |= mask;
            else
                out_[p / 8] &= static_cast<std::uint8_t>(~mask);
        }
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int pending_ = 0;  // bits in acc_ not yet written out
    std::uint64_t count_ = 0;
};

// A header field: index of the last byte (32 bits) and bit index 7..0 inside it (3 bits),
// for a bit string whose last bit is `lastBit` bits after its first.
std::uint64_t EndHeader(std::uint64_t lastBit) {
    return ((lastBit / 8) << 3) | (7 - lastBit % 8);
}

void PutLiteral(BitWriter& w, std::uint8_t byte) {
    w.Put(0x100u | byte, 9);
}

// Greedy coding of one chunk: at each position the longest earlier run (earliest on ties)
// is taken when it saves bits over literals, otherwise one literal.
void CompressChunk(const std::uint8_t* c, std::int32_t m, BitWriter& w,
                   CompressMatchFinder& finder) {
    PutLiteral(w, c[0]);
    if (m == 1) return;
    finder.Prepare(c, m);
    // The finder leaves out runs of 2 bytes from kPairReach on, where the 13-bit or wider
    // position field makes them cost 18 bits or more: they would never be taken.
    static_assert(CompressMatchFinder::kPairReach == 1 << 12);
    std::int32_t i = 1;
    while (i < m) {
        const std::int32_t len = finder.LongestPrevious(i, CCompress::kMaxMatch);
        if (len >= CCompress::kMinMatch) {
            const int width = BitLen(static_cast<std::uint64_t>(i));
            const bool isShort = len <= CCompress::kMaxShortMatch;
            const int lengthBits = isShort ? (len - 2) / 4 + 3 : 15;
            const int cost = 2 + width + lengthBits;
            if (9 * len - cost > 0) {
                const std::int32_t source = finder.EarliestSource(i, len);
                w.Put(static_cast<std::uint32_t>(source), width + 1);  // flag 0, then source
                if (isShort) {
                    const int q = (len - 2) / 4;
                    // kind 1, q one-bits, a zero, then the remainder in 2 bits
                    const std::uint32_t ones = (std::uint32_t{1} << (q + 1)) - 1;
                    w.Put((ones << 3) | static_cast<std::uint32_t>((len - 2) % 4), q + 4);
                } else {
                    w.Put(static_cast<std::uint32_t>(len - 2), 16);  // kind 0, 15-bit length
                }
                i += len;
                continue;
            }
        }
        PutLiteral(w, c[i]);
        ++i;
    }
}

// Reads bit fields at given bit positions; callers have checked the positions.
class BitReader {
public:
    explicit BitReader(const std::uint8_t* data) : data_(data) {}

    // bits in 1..35.
    std::uint64_t Get(std::uint64_t at, int bits) const {
        const std::uint64_t first = at / 8;
        const std::uint64_t last = (at + static_cast<std::uint64_t>(bits) - 1) / 8;
        std::uint64_t acc = 0;
        for (std::uint64_t b = first; b <= last; ++b) acc = (acc << 8) | data_[b];
        const std::uint64_t spare = (last + 1) * 8 - (at + static_cast<std::uint64_t>(bits));
        return (acc >> spare) & ((std::uint64_t{1} << bits) - 1);
    }

private:
    const std::uint8_t* data_;
};

// Walks the coded symbols of data[0..len-1], checking every field against the bits left in
// its chunk, every copy against what the chunk has produced, every chunk against the most the
// compressor puts in one and the whole against limit. Each literal goes to put(at, byte) and
// each copy to copy(to, from, n), with output positions; a walk that fails stops before the
// failing symbol reaches them. total gets the output length. Returns 1, kExpandMalformed or
// kExpandTooLarge.
template <class Put, class Copy>
int Walk(const std::uint8_t* data, std::size_t len, std::size_t limit, std::size_t& total, Put&& put,
         Copy&& copy) {
    const int kHeader = CCompress::kHeaderBits;
    total = 0;
    if (data == nullptr || len < 5) return kExpandMalformed;  // shorter than a header
    const BitReader in(data);
    const std::uint64_t outer = in.Get(0, kHeader);
    if ((outer >> 3) >= len) return kExpandMalformed;  // points beyond the data
    // One past the last coded bit.
    const std::uint64_t end = (outer >> 3) * 8 + (7 - (outer & 7)) + 1;

    std::uint64_t pos = kHeader;
    std::uint64_t chunkEnd = pos;
    std::size_t base = 0;     // output index of the current chunk's first byte
    std::size_t produced = 0; // bytes of the current chunk so far
    // Bytes one more symbol may add: what is left of the chunk and of the limit.
    auto room = [&]() { return std::min(CCompress::kChunkSize - produced, limit - total); };
    while (pos < end) {
        if (pos >= chunkEnd) {
            if (end - pos < static_cast<std::uint64_t>(kHeader)) return kExpandMalformed;
            const std::uint64_t header = in.Get(pos, kHeader);
            const std::uint64_t lastBit = (header >> 3) * 8 + (7 - (header & 7));
            if (lastBit >= end - pos) return kExpandMalformed;  // the chunk would reach past the data
            chunkEnd = pos + lastBit + 1;
            pos += kHeader;
            base = total;
            produced = 0;
            if (pos >= chunkEnd) return kExpandMalformed;  // the chunk ends inside its own header
        }
        if (in.Get(pos++, 1)) {
            if (chunkEnd - pos < 8) return kExpandMalformed;
            if (room() < 1)
                return produced == CCompress::kChunkSize ? kExpandMalformed : kExpandTooLarge;
            put(total, static_cast<std::uint8_t>(in.Get(pos, 8)));
            pos += 8;
            ++produced;
            ++total;
            continue;
        }
        const int width = BitLen(produced);
        if (chunkEnd - pos < static_cast<std::uint64_t>(width) + 1) return kExpandMalformed;
        const std::uint64_t source = in.Get(pos, width);
        pos += static_cast<std::uint64_t>(width);
        std::uint64_t length;
        if (in.Get(pos++, 1)) {
            std::uint64_t q = 0;
            for (;;) {
                if (pos >= chunkEnd) return kExpandMalformed;
                if (!in.Get(pos++, 1)) break;
                ++q;
            }
            if (chunkEnd - pos < 2) return kExpandMalformed;
            length = 4 * q + in.Get(pos, 2) + 2;
            pos += 2;
        } else {
            if (chunkEnd - pos < 15) return kExpandMalformed;
            length = in.Get(pos, 15) + 2;
            pos += 15;
        }
        // Only bytes this chunk has already produced may be copied.
        if (source >= produced) return kExpandMalformed;
        if (length > room()) {
            // A chunk never codes more than the compressor puts in one.
            if (length > CCompress::kChunkSize - produced) return kExpandMalformed;
            return kExpandTooLarge;
        }
        const std::size_t n = static_cast<std::size_t>(length);
        copy(total, base + static_cast<std::size_t>(source), n);
        produced += n;
        total += n;
    }
    // A stream without a chunk codes nothing.
    return total == 0 ? kExpandMalformed : 1;
}

// Checks the whole buffer and sizes the output before any of it is produced, so that
// malformed or oversized data costs no memory and the output is allocated once, exactly.
int ExpandInto(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t len, std::size_t limit) {
    std::size_t total = 0;
    const int checked = Walk(data, len, limit, total, [](std::size_t, std::uint8_t) {},
                             [](std::size_t, std::size_t, std::size_t) {});
    if (checked != 1) return checked;
    out.resize(total);
    std::uint8_t* o = out.data();
    Walk(data, len, limit, total, [o](std::size_t at, std::uint8_t byte) { o[at] = byte; },
         [o](std::size_t to, std::size_t from, std::size_t n) {
             if (from + n <= to) {
                 std::memcpy(o + to, o + from, n);
             } else {
                 // Overlapping copy: each byte may be one this copy has just produced.
                 for (std::size_t k = 0; k < n; ++k) o[to + k] = o[from + k];
             }
         });
    return 1;
}

}  // namespace

CCompress::CCompress() : finder_(std::make_unique<CompressMatchFinder>()) {}

CCompress::~CCompress() = default;

int CCompress::Compress(std::vector<std::uint8_t>& out, const std::uint8_t* data,
                        std::size_t len) {
    out.clear();
    if (data == nullptr || len == 0) return -1;
    try {
        std::vector<std::uint8_t> coded;
        coded.reserve(len / 2 + 64);
        BitWriter w(coded);
        w.Put(0, 32);  // outer header, written at the end
        w.Put(0, 3);
        for (std::size_t start = 0; start < len; start += kChunkSize) {
            const std::size_t m = std::min(kChunkSize, len - start);
            const std::uint64_t first = w.BitCount();
            w.Put(0, 32);  // chunk header, written once the chunk is complete
            w.Put(0, 3);
            CompressChunk(data + start, static_cast<std::int32_t>(m), w, *finder_);
            // At least 9 bits follow the header, so all of it has reached the vector.
            w.Patch(first, EndHeader(w.BitCount() - 1 - first), kHeaderBits);
        }
        const std::uint64_t lastBit = w.BitCount() - 1;
        if (lastBit / 8 > 0xFFFFFFFFu) return -1;
        w.Flush();
        w.Patch(0, EndHeader(lastBit), kHeaderBits);
        out.swap(coded);
        return 1;
    } catch (const std::bad_alloc&) {
        out.clear();
        return -1;
    }
}

int CCompress::Expand(std::vector<std::uint8_t>& out, const std::uint8_t* data,
                      std::size_t len, std::size_t limit) {
    out.clear();
    int r = kExpandMalformed;
    try {
        r = ExpandInto(out, data, len, limit);
        if (r == 1) return 1;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return r;
}

}  // namespace morvane
