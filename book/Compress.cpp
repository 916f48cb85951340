#include "book/Compress.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "book/CompressMatch.h"
#include "platform/Wipe.h"

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

// The match search of one thread: the chains first, the suffix array where they would take
// too long (from that position on; both give the same answers).
struct ChunkFinders {
    CompressChainFinder chain;
    CompressMatchFinder sorted;
    ~ChunkFinders() {
        chain.Wipe();
        sorted.Wipe();
    }
};

// Greedy coding of one chunk: at each position the longest earlier run (earliest on ties)
// is taken when it saves bits over literals, otherwise one literal.
void CompressChunk(const std::uint8_t* c, std::int32_t m, BitWriter& w, ChunkFinders& f) {
    PutLiteral(w, c[0]);
    if (m == 1) return;
    f.chain.Start(c, m);
    bool sorted = false;
    // Both finders leave out runs of 2 bytes from kPairReach on, where the 13-bit or wider
    // position field makes them cost 18 bits or more: they would never be taken.
    static_assert(CompressMatchFinder::kPairReach == 1 << 12);
    std::int32_t i = 1;
    while (i < m) {
        std::int32_t len = 0, source = -1;
        if (!sorted && !f.chain.Longest(i, CCompress::kMaxMatch, len, source)) {
            f.sorted.Prepare(c, m);
            sorted = true;
        }
        if (sorted) len = f.sorted.LongestPrevious(i, CCompress::kMaxMatch);
        if (len >= CCompress::kMinMatch) {
            const int width = BitLen(static_cast<std::uint64_t>(i));
            const bool isShort = len <= CCompress::kMaxShortMatch;
            const int lengthBits = isShort ? (len - 2) / 4 + 3 : 15;
            const int cost = 2 + width + lengthBits;
            if (9 * len - cost > 0) {
                if (sorted) source = f.sorted.EarliestSource(i, len);
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

// One chunk coded on its own: its end header, then its symbols, from bit 0 of buf.
std::uint64_t CodeChunk(const std::uint8_t* c, std::int32_t m, std::vector<std::uint8_t>& buf,
                        ChunkFinders& f) {
    buf.clear();
    BitWriter w(buf);
    w.Put(0, 32);
    w.Put(0, 3);
    CompressChunk(c, m, w, f);
    const std::uint64_t bits = w.BitCount();
    w.Flush();
    w.Patch(0, EndHeader(bits - 1), CCompress::kHeaderBits);
    return bits;
}

// Grows v to hold n more bytes; a buffer left behind is wiped first (it holds coded book).
void ReserveWiped(std::vector<std::uint8_t>& v, std::size_t more) {
    if (v.capacity() - v.size() >= more) return;
    std::vector<std::uint8_t> bigger;
    bigger.reserve(std::max(v.size() + more, v.capacity() + v.capacity() / 2));
    bigger.assign(v.begin(), v.end());
    Wipe(v);
    v.swap(bigger);
}

// Appends the first `bits` bits of src to out, which holds outBits bits (the bits after them
// in its last byte zero).
void AppendBits(std::vector<std::uint8_t>& out, std::uint64_t outBits, const std::uint8_t* src,
                std::uint64_t bits) {
    const std::size_t total = static_cast<std::size_t>((outBits + bits + 7) / 8);
    const std::size_t n = static_cast<std::size_t>((bits + 7) / 8);
    ReserveWiped(out, total - out.size());
    const unsigned shift = static_cast<unsigned>(outBits % 8);
    if (shift == 0) {
        out.insert(out.end(), src, src + n);
        return;
    }
    const std::size_t at = out.size() - 1;  // the partial byte
    out.resize(total);
    std::uint8_t* o = out.data() + at;
    const std::size_t room = total - at;  // bytes o may touch
    for (std::size_t k = 0; k < n; ++k) {
        o[k] = static_cast<std::uint8_t>(o[k] | (src[k] >> shift));
        if (k + 1 < room) o[k + 1] = static_cast<std::uint8_t>(src[k] << (8 - shift));
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

unsigned CCompress::ThreadsFor(std::size_t chunks) const {
    unsigned n = threads_;
    if (n == 0) n = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    return static_cast<unsigned>(std::min<std::size_t>(n, std::max<std::size_t>(chunks, 1)));
}

namespace {

// The chunks of a Compress call shared among threads. Each takes the next chunk, codes it
// into a buffer of its own and hands it to a slot; whoever completes the next chunk in order
// appends every completed one to the output. A chunk is taken only while its slot is free, so
// at most `slots` coded chunks wait.
class ChunkPipeline {
public:
    ChunkPipeline(const std::uint8_t* data, std::size_t len, std::vector<std::uint8_t>& out,
                  std::uint64_t outBits, std::size_t slots)
        : data_(data), len_(len), chunks_((len + CCompress::kChunkSize - 1) / CCompress::kChunkSize),
          out_(out), outBits_(outBits), slots_(slots) {}

    ~ChunkPipeline() {
        for (Slot& s : slots_) Wipe(s.bytes);
    }

    // Codes chunks until none is left or a thread failed; never throws.
    void Work() noexcept {
        std::vector<std::uint8_t> buf;
        try {
            ChunkFinders finders;
            for (;;) {
                std::size_t k;
                {
                    std::unique_lock lock(mutex_);
                    ready_.wait(lock, [&] {
                        return failed_ || next_ >= chunks_ || next_ < merged_ + slots_.size();
                    });
                    if (failed_ || next_ >= chunks_) break;
                    k = next_++;
                }
                const std::size_t start = k * CCompress::kChunkSize;
                const std::size_t m = std::min(CCompress::kChunkSize, len_ - start);
                const std::uint64_t bits =
                    CodeChunk(data_ + start, static_cast<std::int32_t>(m), buf, finders);
                std::lock_guard lock(mutex_);
                Slot& slot = slots_[k % slots_.size()];
                slot.bytes.swap(buf);
                slot.bits = bits;
                slot.done = true;
                while (merged_ < chunks_ && slots_[merged_ % slots_.size()].done) {
                    Slot& s = slots_[merged_ % slots_.size()];
                    AppendBits(out_, outBits_, s.bytes.data(), s.bits);
                    outBits_ += s.bits;
                    s.done = false;
                    ++merged_;
                }
                ready_.notify_all();
            }
        } catch (...) {
            std::lock_guard lock(mutex_);
            failed_ = true;
            ready_.notify_all();
        }
        Wipe(buf);
    }

    bool Complete() const { return !failed_ && merged_ == chunks_; }
    std::uint64_t OutBits() const { return outBits_; }

private:
    struct Slot {
        std::vector<std::uint8_t> bytes;
        std::uint64_t bits = 0;
        bool done = false;
    };
    const std::uint8_t* data_;
    const std::size_t len_;
    const std::size_t chunks_;
    std::vector<std::uint8_t>& out_;
    std::uint64_t outBits_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::size_t next_ = 0, merged_ = 0;
    bool failed_ = false;
};

}  // namespace

int CCompress::Compress(std::vector<std::uint8_t>& out, const std::uint8_t* data,
                        std::size_t len) {
    out.clear();
    if (data == nullptr || len == 0) return -1;
    std::vector<std::uint8_t> coded;
    try {
        coded.reserve(len / 2 + 64);
        coded.assign(5, 0);  // outer header, written at the end
        const std::size_t chunks = (len + kChunkSize - 1) / kChunkSize;
        const unsigned threads = ThreadsFor(chunks);
        ChunkPipeline pipeline(data, len, coded, kHeaderBits, 2 * std::size_t{threads});
        std::vector<std::thread> helpers;
        try {
            for (unsigned t = 1; t < threads; ++t) helpers.emplace_back([&] { pipeline.Work(); });
        } catch (const std::system_error&) {
            // Fewer threads, same output.
        }
        pipeline.Work();
        for (std::thread& t : helpers) t.join();
        if (!pipeline.Complete()) {
            Wipe(coded);
            return -1;
        }
        const std::uint64_t lastBit = pipeline.OutBits() - 1;
        if (lastBit / 8 > 0xFFFFFFFFu) {
            Wipe(coded);
            return -1;
        }
        BitWriter w(coded);
        w.Patch(0, EndHeader(lastBit), kHeaderBits);
        out.swap(coded);
        return 1;
    } catch (const std::bad_alloc&) {
        Wipe(coded);
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
