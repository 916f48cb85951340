// The book's own dictionary coder (an LZ77 variant at bit level) applied to the tree stream
// before it is enciphered into a book file. The coded form is fixed: files written by one
// build must open in every other, so the compressor produces exactly the greedy
// longest-earliest coding described in docs/FORMATS.md ("Compressed form").
//
// In short: a 35-bit end header (32-bit index of the last byte, 3-bit index of the last bit
// inside it), then the input in chunks of at most 70000 bytes, each with its own 35-bit end
// header, a literal for its first byte and further symbols:
//   literal      1, byte (8 bits)
//   short match  0, source position (bitlen(pos) bits), 1, Rice(L - 2)       L = 2..52
//   long match   0, source position (bitlen(pos) bits), 0, L - 2 (15 bits)   L = 53..18191
// Bits are packed most significant first; no fill between chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvane {

// Results of CCompress::Expand besides 1.
constexpr int kExpandMalformed = -1;
constexpr int kExpandTooLarge = -2;

class CCompress {
public:
    static constexpr std::size_t kChunkSize = 70000;   // input bytes per chunk
    static constexpr std::int32_t kMinMatch = 2;
    static constexpr std::int32_t kMaxShortMatch = 52;
    static constexpr std::int32_t kMaxMatch = 18191;
    static constexpr int kHeaderBits = 35;
    // Expand refuses to produce more than this unless told another limit: it keeps crafted
    // data (each 34-bit symbol may ask for thousands of bytes) from exhausting memory. It is
    // the largest tree stream of a supported book (book/TreeStream.h).
    static constexpr std::size_t kMaxExpandedSize = std::size_t{256} << 20;

    CCompress() = default;
    CCompress(const CCompress&) = delete;
    CCompress& operator=(const CCompress&) = delete;

    // out = the coded form of data[0..len-1]. Returns 1, or -1 when len is 0, when the coded
    // form would not fit its 32-bit header, or when memory runs out (out is then empty).
    [[nodiscard]] int Compress(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t len);
    [[nodiscard]] int Compress(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data) {
        return Compress(out, data.data(), data.size());
    }

    // out = the bytes that data[0..len-1] codes. Returns 1; kExpandMalformed (-1) when the
    // data is malformed (shorter than a header, a header pointing beyond the data or outside
    // its parent, a symbol running past its chunk's end, a copy from outside the chunk's
    // output, a chunk coding more than kChunkSize bytes, no chunk at all) or memory runs out;
    // kExpandTooLarge (-2) when the result would exceed limit. out is then empty. out is
    // allocated once, exactly. Data laid out as the compressor lays it (every chunk but the
    // last full) is expanded in one pass, its last chunk checked first; any other data, and
    // data found faulty on the way, is checked whole and sized before anything is produced,
    // so refused data costs at most a buffer within limit for a moment (none when its
    // chunks could not fit the limit). Bytes after the last coded byte are ignored.
    [[nodiscard]] int Expand(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t len,
               std::size_t limit = kMaxExpandedSize);
    [[nodiscard]] int Expand(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
               std::size_t limit = kMaxExpandedSize) {
        return Expand(out, data.data(), data.size(), limit);
    }

    // Threads Compress and Expand may use: 0 (the default) for one per processor, 1 to work
    // on the calling thread alone. The output is the same whatever the count.
    void SetThreads(unsigned count) { threads_ = count; }
    // The thread count a call on `chunks` chunks uses.
    unsigned ThreadsFor(std::size_t chunks) const;

private:
    unsigned threads_ = 0;
};

}  // namespace morvane
