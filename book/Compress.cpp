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

// Writes the symbol for position i of chunk c given the longest earlier run there (len, with
// its earliest source from source()): the match when it saves bits over literals, otherwise
// one literal. Returns the next position.
template <class Source>
inline std::int32_t PutSymbol(BitWriter& w, const std::uint8_t* c, std::int32_t i, std::int32_t len,
                              Source&& source) {
    if (len >= CCompress::kMinMatch) {
        const int width = BitLen(static_cast<std::uint64_t>(i));
        const bool isShort = len <= CCompress::kMaxShortMatch;
        const int lengthBits = isShort ? (len - 2) / 4 + 3 : 15;
        const int cost = 2 + width + lengthBits;
        if (9 * len - cost > 0) {
            w.Put(static_cast<std::uint32_t>(source()), width + 1);  // flag 0, then source
            if (isShort) {
                const int q = (len - 2) / 4;
                // kind 1, q one-bits, a zero, then the remainder in 2 bits
                const std::uint32_t ones = (std::uint32_t{1} << (q + 1)) - 1;
                w.Put((ones << 3) | static_cast<std::uint32_t>((len - 2) % 4), q + 4);
            } else {
                w.Put(static_cast<std::uint32_t>(len - 2), 16);  // kind 0, 15-bit length
            }
            return i + len;
        }
    }
    PutLiteral(w, c[i]);
    return i + 1;
}

// Greedy coding of one chunk: at each position the longest earlier run (earliest on ties)
// is taken when it saves bits over literals, otherwise one literal.
void CompressChunk(const std::uint8_t* c, std::int32_t m, BitWriter& w, ChunkFinders& f) {
    PutLiteral(w, c[0]);
    if (m == 1) return;
    // Both finders leave out runs of 2 bytes from kPairReach on, where the 13-bit or wider
    // position field makes them cost 18 bits or more: they would never be taken.
    static_assert(CompressMatchFinder::kPairReach == 1 << 12);
    f.chain.Start(c, m);
    std::int32_t i = 1;
    while (i < m) {
        std::int32_t len = 0, source = -1;
        if (!f.chain.Longest(i, CCompress::kMaxMatch, len, source)) break;
        i = PutSymbol(w, c, i, len, [source] { return source; });
    }
    if (i == m) return;
    f.sorted.Prepare(c, m);
    while (i < m) {
        const std::int32_t len = f.sorted.LongestPrevious(i, CCompress::kMaxMatch);
        i = PutSymbol(w, c, i, len, [&f, i, len] { return f.sorted.EarliestSource(i, len); });
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
    // Eight bytes at a time while a whole word and the byte after it fit, then byte by byte.
    auto load = [](const std::uint8_t* p) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
        return w;
    };
    std::size_t k = 0;
    for (; k + 8 <= n && k + 9 <= room; k += 8) {
        std::uint64_t w = load(o + k) | (load(src + k) >> shift);
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
        std::memcpy(o + k, &w, 8);
        o[k + 8] = static_cast<std::uint8_t>(src[k + 7] << (8 - shift));
    }
    for (; k < n; ++k) {
        o[k] = static_cast<std::uint8_t>(o[k] | (src[k] >> shift));
        if (k + 1 < room) o[k + 1] = static_cast<std::uint8_t>(src[k] << (8 - shift));
    }
}

// The 64 bits of data[0..len-1] from bit `at` on, most significant first: at least 57 of them
// are the data's (zeros past its end).
std::uint64_t Peek(const std::uint8_t* data, std::size_t len, std::uint64_t at) {
    const std::size_t first = static_cast<std::size_t>(at / 8);
    std::uint64_t w = 0;
    if (len >= 8 && first <= len - 8) {
        std::memcpy(&w, data + first, 8);
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    } else {
        for (std::size_t k = 0; k < 8; ++k) w = (w << 8) | (first + k < len ? data[first + k] : 0u);
    }
    return w << (at % 8);
}

// Walks the symbols of one chunk, bits [pos, chunkEnd) of data[0..len-1], checking every field
// against the chunk's end, every copy against what the chunk has produced and the chunk
// against the most the compressor puts in one. Each literal goes to put(at, byte) and each
// copy to copy(to, from, n), with positions inside the chunk's output; a walk that fails stops
// before the failing symbol reaches them. produced gets the bytes of the symbols that passed.
// Returns 1 or kExpandMalformed.
template <class Put, class Copy>
int WalkChunk(const std::uint8_t* data, std::size_t len, std::uint64_t pos, std::uint64_t chunkEnd,
              std::size_t& produced, Put&& put, Copy&& copy) {
    constexpr std::size_t kMost = CCompress::kChunkSize;
    produced = 0;
    while (pos < chunkEnd) {
        const std::uint64_t w = Peek(data, len, pos);
        if (w >> 63) {
            if (chunkEnd - pos < 9 || produced == kMost) return kExpandMalformed;
            put(produced, static_cast<std::uint8_t>(w >> 55));
            pos += 9;
            ++produced;
            continue;
        }
        // Flag, source position, kind.
        const int width = BitLen(produced);
        if (chunkEnd - pos < static_cast<std::uint64_t>(width) + 2) return kExpandMalformed;
        const std::uint64_t source = (w << 1) >> (64 - width);
        const bool isShort = (w >> (62 - width)) & 1;
        pos += static_cast<std::uint64_t>(width) + 2;
        std::uint64_t length;
        if (isShort) {
            // q one-bits ended by a zero, all inside the chunk, then 2 bits.
            std::uint64_t q = 0;
            for (;;) {
                const int ones = std::min(std::countl_one(Peek(data, len, pos)), 56);
                if (chunkEnd - pos <= static_cast<std::uint64_t>(ones)) return kExpandMalformed;
                q += static_cast<std::uint64_t>(ones);
                pos += static_cast<std::uint64_t>(ones);
                if (ones < 56) {
                    ++pos;
                    break;
                }
            }
            if (chunkEnd - pos < 2) return kExpandMalformed;
            length = 4 * q + (Peek(data, len, pos) >> 62) + 2;
            pos += 2;
        } else {
            if (chunkEnd - pos < 15) return kExpandMalformed;
            length = (Peek(data, len, pos) >> 49) + 2;
            pos += 15;
        }
        // Only bytes this chunk has already produced may be copied, and never more than a
        // chunk holds.
        if (source >= produced || length > kMost - produced) return kExpandMalformed;
        const std::size_t n = static_cast<std::size_t>(length);
        copy(produced, static_cast<std::size_t>(source), n);
        produced += n;
    }
    return 1;
}

// Where one chunk's symbols lie: bits [begin, end).
struct ChunkBits {
    std::uint64_t begin, end;
};

// Chunks looked at together: their spans, and what each produced.
constexpr std::size_t kBatchChunks = 4096;

// Reads chunk headers from pos on, up to kBatchChunks of them, into spans; pos moves past the
// last. 1 at the end of the coded bits, 0 when more chunks follow, kExpandMalformed at a
// header that does not fit (spans holds the chunks before it).
int NextChunks(const std::uint8_t* data, std::size_t len, std::uint64_t end, std::uint64_t& pos,
               std::vector<ChunkBits>& spans) {
    const int kHeader = CCompress::kHeaderBits;
    spans.clear();
    while (pos < end) {
        if (spans.size() == kBatchChunks) return 0;
        if (end - pos < static_cast<std::uint64_t>(kHeader)) return kExpandMalformed;
        const std::uint64_t header = Peek(data, len, pos) >> (64 - kHeader);
        const std::uint64_t lastBit = (header >> 3) * 8 + (7 - (header & 7));
        if (lastBit >= end - pos) return kExpandMalformed;  // the chunk would reach past the data
        const std::uint64_t chunkEnd = pos + lastBit + 1;
        if (pos + kHeader >= chunkEnd) return kExpandMalformed;  // it ends inside its own header
        spans.push_back({pos + kHeader, chunkEnd});
        pos = chunkEnd;
    }
    return 1;
}

// Runs work(k) for k in [0, count) on up to `threads` threads (the calling one included),
// each taking a run of consecutive k. Fewer threads when they cannot be started.
template <class Work>
void OnThreads(std::size_t count, unsigned threads, Work&& work) {
    const std::size_t parts = std::min<std::size_t>(threads, count);
    if (parts <= 1) {
        for (std::size_t k = 0; k < count; ++k) work(k);
        return;
    }
    auto part = [&](std::size_t t) {
        for (std::size_t k = count * t / parts, e = count * (t + 1) / parts; k < e; ++k) work(k);
    };
    std::vector<std::thread> helpers;
    std::size_t started = 1;
    try {
        helpers.reserve(parts - 1);
        for (; started < parts; ++started) helpers.emplace_back(part, started);
    } catch (const std::exception&) {
        // Parts without a thread run here.
    }
    part(0);
    for (std::size_t t = started; t < parts; ++t) part(t);
    for (std::thread& t : helpers) t.join();
}

// Copies n bytes from o + from to o + to (from < to); the ranges may overlap, each byte then
// one this copy has just produced. An overlapping copy repeats a pattern whose period is the
// distance: copied in growing multiples of it.
void CopyWithin(std::uint8_t* o, std::size_t to, std::size_t from, std::size_t n) {
    const std::size_t d = to - from;
    if (n <= d) {
        std::memcpy(o + to, o + from, n);
        return;
    }
    for (std::size_t k = 0; k < n;) {
        const std::size_t period = (d + k) / d * d;
        const std::size_t c = std::min(period, n - k);
        std::memcpy(o + to + k, o + to + k - period, c);
        k += c;
    }
}

// The compressor fills every chunk but the last. Data whose chunks fit one batch and the
// limit is expanded in one pass on that assumption: the last chunk is checked and counted
// first, which sizes the output exactly, and every chunk is then walked straight into its
// place. True when that worked; otherwise out is wiped and empty, and the checked expansion
// runs (it alone decides what is wrong, so results do not change), at the cost of a
// buffer of at most limit bytes for the chunks walked meanwhile.
bool ExpandRegular(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t len, std::uint64_t end,
                   std::size_t limit, const CCompress& codec, std::vector<ChunkBits>& spans) {
    constexpr std::size_t kFull = CCompress::kChunkSize;
    std::uint64_t pos = CCompress::kHeaderBits;
    if (NextChunks(data, len, end, pos, spans) != 1 || spans.empty() || spans.size() - 1 > limit / kFull)
        return false;
    const std::size_t n = spans.size();
    // A full chunk needs its first literal and at least three copies (of at most 32769
    // bytes, 18 bits or more each): shorter chunks, as crafted data has them by the
    // thousand, go to the checked expansion without a buffer sized for full ones.
    constexpr std::uint64_t kFullChunkBits = 9 + 3 * 18;
    for (std::size_t k = 0; k + 1 < n; ++k)
        if (spans[k].end - spans[k].begin < kFullChunkBits) return false;
    const std::size_t full = (n - 1) * kFull;
    std::size_t last = 0;
    if (WalkChunk(data, len, spans[n - 1].begin, spans[n - 1].end, last, [](std::size_t, std::uint8_t) {},
                  [](std::size_t, std::size_t, std::size_t) {}) != 1 ||
        last > limit - full || full + last == 0)
        return false;
    std::vector<std::size_t> produced(n, 0);
    std::vector<int> results(n, 1);
    out.resize(full + last);
    std::uint8_t* o = out.data();
    OnThreads(n, codec.ThreadsFor(n), [&](std::size_t k) {
        // A chunk never writes past kFull bytes from its start, nor the last past `last`
        // (it walks as it did when counted).
        std::uint8_t* c = o + k * kFull;
        results[k] = WalkChunk(data, len, spans[k].begin, spans[k].end, produced[k],
                               [c](std::size_t at, std::uint8_t byte) { c[at] = byte; },
                               [c](std::size_t to, std::size_t from, std::size_t m) { CopyWithin(c, to, from, m); });
    });
    bool ok = true;
    for (std::size_t k = 0; k < n; ++k) ok = ok && results[k] == 1 && produced[k] == (k + 1 < n ? kFull : last);
    if (!ok) {
        Wipe(out);
        std::vector<std::uint8_t>().swap(out);
    }
    return ok;
}

// Data ExpandRegular does not take is checked whole and the output sized before any of it is
// produced, so that malformed or oversized data costs no memory and the output is allocated
// once, exactly.
// The chunks are independent: both passes run them on `threads` threads, a batch at a time.
int ExpandInto(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t len, std::size_t limit,
               const CCompress& codec) {
    const int kHeader = CCompress::kHeaderBits;
    if (data == nullptr || len < 5) return kExpandMalformed;  // shorter than a header
    const std::uint64_t outer = Peek(data, len, 0) >> (64 - kHeader);
    if ((outer >> 3) >= len) return kExpandMalformed;  // points beyond the data
    // One past the last coded bit.
    const std::uint64_t end = (outer >> 3) * 8 + (7 - (outer & 7)) + 1;

    std::vector<ChunkBits> spans;
    std::vector<std::size_t> produced;
    std::vector<int> results;
    if (ExpandRegular(out, data, len, end, limit, codec, spans)) return 1;
    // First pass: every chunk checked and counted. A chunk's failure counts only where the
    // chunks before it stayed within the limit; a symbol passing it is refused as too large
    // before anything after it is looked at.
    std::size_t total = 0;
    // Per batch: whether each chunk but its last holds kChunkSize bytes, as the compressor's
    // do, so that the second pass knows where each chunk's output starts.
    std::vector<bool> regular;
    for (std::uint64_t pos = kHeader;;) {
        const int more = NextChunks(data, len, end, pos, spans);
        produced.assign(spans.size(), 0);
        results.assign(spans.size(), 1);
        OnThreads(spans.size(), codec.ThreadsFor(spans.size()), [&](std::size_t k) {
            results[k] = WalkChunk(data, len, spans[k].begin, spans[k].end, produced[k],
                                   [](std::size_t, std::uint8_t) {}, [](std::size_t, std::size_t, std::size_t) {});
        });
        bool full = true;
        for (std::size_t k = 0; k < spans.size(); ++k) {
            if (produced[k] > limit - total) return kExpandTooLarge;
            if (results[k] != 1) return results[k];
            total += produced[k];
            full = full && (k + 1 == spans.size() || produced[k] == CCompress::kChunkSize);
        }
        regular.push_back(full);
        if (more != 0) {
            if (more != 1) return more;
            break;
        }
    }
    // A stream without a chunk codes nothing.
    if (total == 0) return kExpandMalformed;

    out.resize(total);
    std::uint8_t* o = out.data();
    std::vector<std::size_t> base;
    std::size_t done = 0;
    for (std::uint64_t pos = kHeader, batch = 0;; ++batch) {
        // The same chunks as before, all sound.
        const int more = NextChunks(data, len, end, pos, spans);
        base.resize(spans.size());
        produced.assign(spans.size(), 0);
        for (std::size_t k = 0; k < spans.size(); ++k) {
            base[k] = done;
            std::size_t n = CCompress::kChunkSize;
            if (!regular[batch])  // chunks of other sizes: only crafted data has them
                (void)WalkChunk(data, len, spans[k].begin, spans[k].end, n, [](std::size_t, std::uint8_t) {},
                                [](std::size_t, std::size_t, std::size_t) {});
            done += n;
        }
        OnThreads(spans.size(), codec.ThreadsFor(spans.size()), [&](std::size_t k) {
            std::uint8_t* c = o + base[k];
            (void)WalkChunk(data, len, spans[k].begin, spans[k].end, produced[k],
                            [c](std::size_t at, std::uint8_t byte) { c[at] = byte; },
                            [c](std::size_t to, std::size_t from, std::size_t n) { CopyWithin(c, to, from, n); });
        });
        if (more != 0) break;
    }
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
        r = ExpandInto(out, data, len, limit, *this);
        if (r == 1) return 1;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return r;
}

}  // namespace morvane
