// MD5 message digest (RFC 1321), incremental and one-shot, and its upper-case text form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace morvane {

constexpr std::size_t kMd5Size = 16;
using Md5Bytes = std::array<std::uint8_t, kMd5Size>;

struct Md5Context {
    std::uint32_t state[4];   // A, B, C, D
    std::uint32_t count[2];   // message length in bits, low word first
    std::uint8_t buffer[64];  // the incomplete block
};

void Md5Init(Md5Context& ctx);
void Md5Update(Md5Context& ctx, const void* data, std::size_t len);
// Writes the 16-byte digest and clears the whole context to zero.
void Md5Final(Md5Context& ctx, std::uint8_t digest[kMd5Size]);
// Digest of exactly len bytes; data may be null when len is 0.
void Md5Digest(const void* data, std::size_t len, std::uint8_t digest[kMd5Size]);

// out = the 32 upper-case hexadecimal characters of the digest of the text's bytes (no
// terminator digested). Returns 1, or -1 when memory runs out (out is then unchanged).
[[nodiscard]] int Md5HexText(std::string_view text, std::string& out);

// Conveniences.
[[nodiscard]] Md5Bytes Md5Of(std::span<const std::uint8_t> data);
[[nodiscard]] Md5Bytes Md5Of(std::string_view text);
// 32 upper-case hexadecimal characters for a digest.
[[nodiscard]] std::string Md5Hex(const std::uint8_t digest[kMd5Size]);

}  // namespace morvane
