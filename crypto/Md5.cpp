#include "crypto/Md5.h"

#include <bit>
#include <cstring>
#include <new>

#include "platform/Wipe.h"

namespace morvane {

namespace {

static_assert(std::endian::native == std::endian::little, "the block loads assume a little-endian host");

inline std::uint32_t Rotl(std::uint32_t x, int s)
{
    return std::rotl(x, s);
}

// The four rounds' functions in forms with one fewer operation than RFC 1321 writes them.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
    (a) += f((b), (c), (d)) + (x) + (t); \
    (a) = Rotl((a), (s)) + (b)

void Transform(std::uint32_t state[4], const std::uint8_t* block, std::size_t blocks)
{
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, block += 64) {
        std::uint32_t x[16];
        std::memcpy(x, block, 64);
        const std::uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
        MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
        MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

        MD5_STEP(MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
        MD5_STEP(MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
        MD5_STEP(MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
        MD5_STEP(MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
        MD5_STEP(MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

        MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
        MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
        MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
        MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

        MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
        MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
        MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I
#undef MD5_STEP

} // namespace

void Md5Init(Md5Context& ctx)
{
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xefcdab89;
    ctx.state[2] = 0x98badcfe;
    ctx.state[3] = 0x10325476;
    ctx.count[0] = ctx.count[1] = 0;
    std::memset(ctx.buffer, 0, sizeof(ctx.buffer));
}

void Md5Update(Md5Context& ctx, const void* data, std::size_t len)
{
    if (len == 0)
        return;
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t used = (ctx.count[0] >> 3) & 63;
    // The bit count is kept modulo 2^64, as the length field holds it.
    const std::uint64_t bits = (static_cast<std::uint64_t>(ctx.count[1]) << 32 | ctx.count[0]) +
                               (static_cast<std::uint64_t>(len) << 3);
    ctx.count[0] = static_cast<std::uint32_t>(bits);
    ctx.count[1] = static_cast<std::uint32_t>(bits >> 32);

    if (used > 0) {
        const std::size_t take = 64 - used < len ? 64 - used : len;
        std::memcpy(ctx.buffer + used, in, take);
        in += take;
        len -= take;
        used += take;
        if (used < 64)
            return;
        Transform(ctx.state, ctx.buffer, 1);
    }
    if (len >= 64) {
        Transform(ctx.state, in, len / 64);
        in += len & ~std::size_t(63);
        len &= 63;
    }
    if (len > 0)
        std::memcpy(ctx.buffer, in, len);
}

void Md5Final(Md5Context& ctx, std::uint8_t digest[kMd5Size])
{
    std::uint8_t length[8];
    for (int i = 0; i < 4; ++i) {
        length[i] = static_cast<std::uint8_t>(ctx.count[0] >> (8 * i));
        length[4 + i] = static_cast<std::uint8_t>(ctx.count[1] >> (8 * i));
    }
    static const std::uint8_t padding[64] = {0x80};
    const std::size_t used = (ctx.count[0] >> 3) & 63;
    Md5Update(ctx, padding, used < 56 ? 56 - used : 120 - used);
    Md5Update(ctx, length, 8);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            digest[4 * i + k] = static_cast<std::uint8_t>(ctx.state[i] >> (8 * k));
    // The context held message bytes and the state: leave nothing behind.
    WipeBytes(&ctx, sizeof(ctx));
}

void Md5Digest(const void* data, std::size_t len, std::uint8_t digest[kMd5Size])
{
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, data, len);
    Md5Final(ctx, digest);
}

std::string Md5Hex(const std::uint8_t digest[kMd5Size])
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text(2 * kMd5Size, '0');
    for (std::size_t i = 0; i < kMd5Size; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 15];
    }
    return text;
}

int Md5HexText(std::string_view text, std::string& out)
{
    std::uint8_t digest[kMd5Size];
    Md5Digest(text.data(), text.size(), digest);
    try {
        out = Md5Hex(digest);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 1;
}

Md5Bytes Md5Of(std::span<const std::uint8_t> data)
{
    Md5Bytes d;
    Md5Digest(data.data(), data.size(), d.data());
    return d;
}

Md5Bytes Md5Of(std::string_view text)
{
    Md5Bytes d;
    Md5Digest(text.data(), text.size(), d.data());
    return d;
}

}  // namespace morvane
