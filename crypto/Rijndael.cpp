#include "crypto/Rijndael.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <thread>
#include <new>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/Wipe.h"

namespace morvane {

namespace {

constexpr std::uint8_t Mul2(std::uint8_t x)
{
    return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr std::uint8_t Mul(std::uint8_t x, std::uint8_t y)
{
    std::uint8_t r = 0;
    while (y) {
        if (y & 1)
            r ^= x;
        x = Mul2(x);
        y >>= 1;
    }
    return r;
}

struct Tables {
    std::uint8_t sbox[256];
    std::uint8_t inv[256];
    // SubBytes and MixColumns of one state byte in one go: the column word it contributes
    // from row 0 (rows 1-3 are rotations); likewise the inverse for decryption.
    std::uint32_t te[4][256];
    std::uint32_t td[4][256];
};

constexpr Tables MakeTables()
{
    Tables t{};
    // Powers and logarithms of the generator 3, for the inverses.
    std::uint8_t pow3[255] = {};
    std::uint8_t log3[256] = {};
    std::uint8_t p = 1;
    for (int i = 0; i < 255; ++i) {
        pow3[i] = p;
        log3[p] = static_cast<std::uint8_t>(i);
        p = Mul(p, 3);
    }
    // S-box: the multiplicative inverse in GF(2^8) (0 for 0) followed by the affine map.
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t invx = x == 0 ? 0 : pow3[(255 - log3[x]) % 255];
        std::uint8_t s = invx;
        for (int k = 1; k <= 4; ++k)
            s ^= static_cast<std::uint8_t>((invx << k) | (invx >> (8 - k)));
        s ^= 0x63;
        t.sbox[x] = s;
        t.inv[s] = static_cast<std::uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = t.sbox[x];
        const std::uint32_t e = std::uint32_t(Mul(s, 2)) | std::uint32_t(s) << 8 |
                                std::uint32_t(s) << 16 | std::uint32_t(Mul(s, 3)) << 24;
        const std::uint8_t v = t.inv[x];
        const std::uint32_t d = std::uint32_t(Mul(v, 14)) | std::uint32_t(Mul(v, 9)) << 8 |
                                std::uint32_t(Mul(v, 13)) << 16 | std::uint32_t(Mul(v, 11)) << 24;
        for (int r = 0; r < 4; ++r) {
            t.te[r][x] = std::rotl(e, 8 * r);
            t.td[r][x] = std::rotl(d, 8 * r);
        }
    }
    return t;
}

constexpr Tables kT = MakeTables();

constexpr std::array<std::uint8_t, 32> MakeInitVector()
{
    std::array<std::uint8_t, 32> iv{};
    for (int i = 0; i < 32; ++i)
        iv[i] = static_cast<std::uint8_t>((i * 151 + 89) ^ 0x5C);
    return iv;
}

constexpr std::array<std::uint8_t, 32> kInitVector = MakeInitVector();

inline std::uint8_t B(std::uint32_t w, int r)
{
    return static_cast<std::uint8_t>(w >> (8 * r));
}

std::uint32_t SubWord(std::uint32_t w)
{
    return std::uint32_t(kT.sbox[B(w, 0)]) | std::uint32_t(kT.sbox[B(w, 1)]) << 8 |
           std::uint32_t(kT.sbox[B(w, 2)]) << 16 | std::uint32_t(kT.sbox[B(w, 3)]) << 24;
}

std::uint32_t InvMixWord(std::uint32_t w)
{
    // td applied to sbox[b] gives InvMixColumns of b's contribution.
    return kT.td[0][kT.sbox[B(w, 0)]] ^ kT.td[1][kT.sbox[B(w, 1)]] ^ kT.td[2][kT.sbox[B(w, 2)]] ^
           kT.td[3][kT.sbox[B(w, 3)]];
}

bool ValidWords(int n)
{
    return n == 4 || n == 6 || n == 8;
}

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Wipes the key schedule when an operation ends, however it ends.
template <typename F>
struct OnExit {
    F f;
    ~OnExit() { f(); }
};
template <typename F>
OnExit(F) -> OnExit<F>;

} // namespace

const std::array<std::uint8_t, 32>& CRijndael::InitVector()
{
    return kInitVector;
}

int CRijndael::SetKey(const std::uint8_t* key, std::size_t keyLen, int blockWords, int keyWords)
{
    if (!key || keyLen == 0 || !ValidWords(blockWords) || !ValidWords(keyWords))
        return -1;
    nb_ = blockWords;
    nk_ = keyWords;
    nr_ = std::max(nb_, nk_) + 6;

    const int total = (nr_ + 1) * nb_;
    std::uint8_t k[32] = {};
    std::memcpy(k, key, std::min<std::size_t>(keyLen, std::size_t(nk_) * 4));
    std::fill(std::begin(ek_), std::end(ek_), 0u);
    for (int i = 0; i < nk_; ++i)
        ek_[i] = ReadLe32(k + 4 * i);
    WipeBytes(k, sizeof(k));
    std::uint8_t rcon = 1;
    for (int i = nk_; i < total; ++i) {
        std::uint32_t w = ek_[i - 1];
        if (i % nk_ == 0) {
            w = SubWord(std::rotr(w, 8)) ^ rcon;
            rcon = Mul2(rcon);
        } else if (nk_ > 6 && i % nk_ == 4) {
            w = SubWord(w);
        }
        ek_[i] = ek_[i - nk_] ^ w;
    }
    // Equivalent inverse cipher: round keys in reverse round order, the inner ones passed
    // through InvMixColumns so that decryption rounds have the same shape as encryption's.
    for (int round = 0; round <= nr_; ++round)
        for (int j = 0; j < nb_; ++j) {
            const std::uint32_t w = ek_[(nr_ - round) * nb_ + j];
            dk_[round * nb_ + j] = (round == 0 || round == nr_) ? w : InvMixWord(w);
        }
    return 1;
}

namespace {

// One block with the state held as Nb column words; the block size is a template argument
// so that the column indexes of the shifts are constants. Inverse runs the equivalent
// inverse cipher on the decryption round keys.
template <int NB, bool Inverse>
void CipherBlock(const std::uint32_t* rk, int nr, const std::uint8_t* in, std::uint8_t* out)
{
    constexpr int kShift1 = 1, kShift2 = NB == 8 ? 3 : 2, kShift3 = NB == 8 ? 4 : 3;
    // Row r of result column j comes from column j + shift (j - shift for the inverse).
    constexpr int o1 = Inverse ? NB - kShift1 : kShift1;
    constexpr int o2 = Inverse ? NB - kShift2 : kShift2;
    constexpr int o3 = Inverse ? NB - kShift3 : kShift3;
    const auto& t = Inverse ? kT.td : kT.te;
    const std::uint8_t* box = Inverse ? kT.inv : kT.sbox;

    std::uint32_t s[NB], u[NB];
    // Row-wise filling: byte k is row k / Nb, column k % Nb.
    for (int c = 0; c < NB; ++c)
        s[c] = (std::uint32_t(in[c]) | std::uint32_t(in[NB + c]) << 8 |
                std::uint32_t(in[2 * NB + c]) << 16 | std::uint32_t(in[3 * NB + c]) << 24) ^
               rk[c];
    rk += NB;
    for (int round = 1; round < nr; ++round, rk += NB) {
#pragma GCC unroll 8
        for (int j = 0; j < NB; ++j)
            u[j] = t[0][B(s[j], 0)] ^ t[1][B(s[(j + o1) % NB], 1)] ^ t[2][B(s[(j + o2) % NB], 2)] ^
                   t[3][B(s[(j + o3) % NB], 3)] ^ rk[j];
#pragma GCC unroll 8
        for (int j = 0; j < NB; ++j)
            s[j] = u[j];
    }
    for (int j = 0; j < NB; ++j) {
        const std::uint32_t w = (std::uint32_t(box[B(s[j], 0)]) |
                                 std::uint32_t(box[B(s[(j + o1) % NB], 1)]) << 8 |
                                 std::uint32_t(box[B(s[(j + o2) % NB], 2)]) << 16 |
                                 std::uint32_t(box[B(s[(j + o3) % NB], 3)]) << 24) ^
                                rk[j];
        out[j] = B(w, 0);
        out[NB + j] = B(w, 1);
        out[2 * NB + j] = B(w, 2);
        out[3 * NB + j] = B(w, 3);
    }
}

#if defined(__x86_64__)
// The 256-bit block on the AES instructions. An AES round shifts row r by r within four
// columns; the 256-bit block shifts its rows by 0, 1, 3 and 4 across eight. Before each round
// the two halves (columns 0-3 and 4-7, standard byte order) exchange bytes and are shuffled
// so that the AES shift of each half lands every byte where the wide shift puts it; the byte
// a half needs always sits at the same place in one half or the other, so a blend and one
// shuffle per half do it.
struct Mask16 {
    alignas(16) std::uint8_t b[16];
};

struct WideMasks {
    Mask16 blend, pick;        // encryption rounds
    Mask16 invBlend, invPick;  // decryption rounds
    Mask16 load[4];            // block bytes (row-wise) to halves: rows 0-1, rows 2-3, each for half 0, 1
    Mask16 store[4];           // halves to rows 0-1 / 2-3, from half 0, 1
};

constexpr WideMasks MakeWideMasks()
{
    constexpr int shift[4] = {0, 1, 3, 4};
    WideMasks m{};
    for (int inverse = 0; inverse < 2; ++inverse) {
        Mask16& blend = inverse ? m.invBlend : m.blend;
        Mask16& pick = inverse ? m.invPick : m.pick;
        for (int i = 0; i < 4; ++i)
            for (int r = 0; r < 4; ++r) {
                // Column i, row r of half 0 before the AES shift must hold the byte that the
                // wide shift brings to column j after it.
                const int j = inverse ? (i + r) % 4 : (i - r + 4) % 4;
                const int c = inverse ? (j - shift[r] + 8) % 8 : (j + shift[r]) % 8;
                const int p = 4 * (c % 4) + r;
                pick.b[4 * i + r] = static_cast<std::uint8_t>(p);
                blend.b[p] = c >= 4 ? 0x80 : 0;
            }
    }
    // Block byte 8r + c is row r, column c; in the halves it is byte 4(c % 4) + r of half c / 4.
    for (int part = 0; part < 2; ++part)      // rows 0-1 or rows 2-3 (16 block bytes)
        for (int half = 0; half < 2; ++half)
            for (int q = 0; q < 16; ++q) {
                const int r = 2 * part + q / 8, c = q % 8;
                const bool here = c / 4 == half;
                if (here)
                    m.load[2 * part + half].b[4 * (c % 4) + r] = static_cast<std::uint8_t>(q);
                m.store[2 * part + half].b[q] = here ? static_cast<std::uint8_t>(4 * (c % 4) + r) : 0x80;
            }
    // Load positions not filled from this part are cleared.
    for (int part = 0; part < 2; ++part)
        for (int half = 0; half < 2; ++half)
            for (int p = 0; p < 16; ++p) {
                const int r = p % 4;
                if (r / 2 != part)
                    m.load[2 * part + half].b[p] = 0x80;
            }
    return m;
}

constexpr WideMasks kWide = MakeWideMasks();

#define MORVANE_AES_TARGET __attribute__((target("aes,sse4.1")))

MORVANE_AES_TARGET inline __m128i Mask(const Mask16& m)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m.b));
}

MORVANE_AES_TARGET inline void LoadWide(const std::uint8_t* in, __m128i& h0, __m128i& h1)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
    h0 = _mm_or_si128(_mm_shuffle_epi8(a, Mask(kWide.load[0])), _mm_shuffle_epi8(b, Mask(kWide.load[2])));
    h1 = _mm_or_si128(_mm_shuffle_epi8(a, Mask(kWide.load[1])), _mm_shuffle_epi8(b, Mask(kWide.load[3])));
}

MORVANE_AES_TARGET inline void StoreWide(__m128i h0, __m128i h1, std::uint8_t* out)
{
    const __m128i a = _mm_or_si128(_mm_shuffle_epi8(h0, Mask(kWide.store[0])), _mm_shuffle_epi8(h1, Mask(kWide.store[1])));
    const __m128i b = _mm_or_si128(_mm_shuffle_epi8(h0, Mask(kWide.store[2])), _mm_shuffle_epi8(h1, Mask(kWide.store[3])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), b);
}

MORVANE_AES_TARGET inline __m128i Key(const std::uint32_t* rk)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(rk));
}

// G blocks at once (their rounds interleave); in and out hold the blocks in the file's byte
// order. Round keys as the table code uses them (column words, row r in byte r).
template <int G, bool Inverse>
MORVANE_AES_TARGET void WideBlocks(const std::uint32_t* rk, int nr, const std::uint8_t* in, std::uint8_t* out)
{
    const __m128i blend = Mask(Inverse ? kWide.invBlend : kWide.blend);
    const __m128i pick = Mask(Inverse ? kWide.invPick : kWide.pick);
    __m128i h0[G], h1[G];
    for (int g = 0; g < G; ++g) {
        LoadWide(in + 32 * g, h0[g], h1[g]);
        h0[g] = _mm_xor_si128(h0[g], Key(rk));
        h1[g] = _mm_xor_si128(h1[g], Key(rk + 4));
    }
    for (int round = 1; round <= nr; ++round) {
        const __m128i k0 = Key(rk + 8 * round), k1 = Key(rk + 8 * round + 4);
        for (int g = 0; g < G; ++g) {
            const __m128i t0 = _mm_shuffle_epi8(_mm_blendv_epi8(h0[g], h1[g], blend), pick);
            const __m128i t1 = _mm_shuffle_epi8(_mm_blendv_epi8(h1[g], h0[g], blend), pick);
            if (round < nr) {
                h0[g] = Inverse ? _mm_aesdec_si128(t0, k0) : _mm_aesenc_si128(t0, k0);
                h1[g] = Inverse ? _mm_aesdec_si128(t1, k1) : _mm_aesenc_si128(t1, k1);
            } else {
                h0[g] = Inverse ? _mm_aesdeclast_si128(t0, k0) : _mm_aesenclast_si128(t0, k0);
                h1[g] = Inverse ? _mm_aesdeclast_si128(t1, k1) : _mm_aesenclast_si128(t1, k1);
            }
        }
    }
    for (int g = 0; g < G; ++g)
        StoreWide(h0[g], h1[g], out + 32 * g);
}

bool HardwareAvailable()
{
    static const bool available = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
    return available;
}
#else
bool HardwareAvailable()
{
    return false;
}
#endif

std::atomic<bool> hardwareAllowed{true};

bool UseHardware(int nb)
{
    return nb == 8 && hardwareAllowed.load(std::memory_order_relaxed) && HardwareAvailable();
}

template <bool Inverse>
void CipherBlockAnySize(int nb, const std::uint32_t* rk, int nr, const std::uint8_t* in, std::uint8_t* out)
{
#if defined(__x86_64__)
    if (UseHardware(nb))
        return WideBlocks<1, Inverse>(rk, nr, in, out);
#endif
    switch (nb) {
    case 4:
        CipherBlock<4, Inverse>(rk, nr, in, out);
        break;
    case 6:
        CipherBlock<6, Inverse>(rk, nr, in, out);
        break;
    default:
        CipherBlock<8, Inverse>(rk, nr, in, out);
        break;
    }
}

} // namespace

bool CRijndael::AllowHardwareRounds(bool allowed)
{
    hardwareAllowed.store(allowed, std::memory_order_relaxed);
    return UseHardware(8);
}

void CRijndael::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const
{
    CipherBlockAnySize<false>(nb_, ek_, nr_, in, out);
}

void CRijndael::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const
{
    CipherBlockAnySize<true>(nb_, dk_, nr_, in, out);
}

int CRijndael::Encrypt(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t dataLen,
                       const std::uint8_t* password, std::size_t passwordLen, int blockBits,
                       int keyBits, int mode)
{
    return EncryptParts(out, data, dataLen, 0, nullptr, password, passwordLen, blockBits, keyBits, mode);
}

int CRijndael::EncryptWithTail(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                               std::size_t tailLen, const std::function<void(std::uint8_t*)>& fillTail,
                               std::string_view password, int blockBits, int keyBits)
{
    if (tailLen > 32 || (tailLen > 0 && !fillTail))
        return -1;
    return EncryptParts(out, data.data(), data.size(), tailLen, tailLen > 0 ? &fillTail : nullptr,
                        reinterpret_cast<const std::uint8_t*>(password.data()), password.size(), blockBits,
                        keyBits, kCipherBlockChaining);
}

int CRijndael::EncryptParts(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t dataLen,
                            std::size_t tailLen, const std::function<void(std::uint8_t*)>* fillTail,
                            const std::uint8_t* password, std::size_t passwordLen, int blockBits, int keyBits,
                            int mode)
{
    if ((!data && dataLen > 0) || !password || passwordLen == 0)
        return -1;
    if (blockBits % 32 != 0 || keyBits % 32 != 0 || mode < 0 || mode > 255)
        return -1;
    if (tailLen > 0 && mode != kCipherBlockChaining)
        return -1;
    // The length field holds 32 bits.
    const std::size_t total = dataLen + tailLen;
    if (total > 0xFFFFFFFFu)
        return -1;
    OnExit wipe{[this] {
        WipeBytes(ek_, sizeof(ek_));
        WipeBytes(dk_, sizeof(dk_));
    }};
    if (SetKey(password, passwordLen, blockBits / 32, keyBits / 32) != 1)
        return -1;
    const std::size_t bs = std::size_t(nb_) * 4;
    const std::size_t blocks = (total + bs - 1) / bs;
    const std::size_t cipherLen = mode == kCipherBlockChaining ? blocks * bs : total;
    try {
        out.assign(kCipherHeaderSize + cipherLen, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    out[0] = static_cast<std::uint8_t>(mode);
    out[1] = static_cast<std::uint8_t>(nb_);
    out[2] = static_cast<std::uint8_t>(nk_);
    out[3] = 1;
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    std::uint8_t* ct = out.data() + kCipherHeaderSize;

    std::uint8_t chain[32];
    std::memcpy(chain, kInitVector.data(), bs);
    if (mode == kCipherBlockChaining) {
        // Blocks of p[0..n-1], the last one completed with zero bytes, from ct on.
        auto chainBlocks = [&](const std::uint8_t* p, std::size_t n, std::uint8_t* to) {
            std::uint8_t x[32];
            for (std::size_t off = 0; off < n; off += bs) {
                const std::size_t m = std::min(bs, n - off);
                for (std::size_t i = 0; i < bs; ++i)
                    x[i] = static_cast<std::uint8_t>((i < m ? p[off + i] : 0) ^ chain[i]);
                EncryptBlock(x, to + off);
                std::memcpy(chain, to + off, bs);
            }
            WipeBytes(x, sizeof(x));
        };
        if (!fillTail) {
            chainBlocks(data, dataLen, ct);
        } else {
            // The whole blocks of data first; the tail is asked for only then.
            const std::size_t whole = dataLen / bs * bs;
            chainBlocks(data, whole, ct);
            SecretArray<std::uint8_t, 64> rest;
            const std::size_t left = dataLen - whole;
            if (left > 0)
                std::memcpy(rest.data(), data + whole, left);
            (*fillTail)(rest.data() + left);
            chainBlocks(rest.data(), left + tailLen, ct + whole);
        }
    } else {
        std::uint8_t e[32];
        for (std::size_t i = 0; i < dataLen; ++i) {
            EncryptBlock(chain, e);
            ct[i] = data[i] ^ e[0];
            std::memmove(chain, chain + 1, bs - 1);
            chain[bs - 1] = ct[i];
        }
        WipeBytes(e, sizeof(e));
    }
    return 1;
}

int CRijndael::Decrypt(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t dataLen,
                       const std::uint8_t* password, std::size_t passwordLen)
{
    if (!data || dataLen < kCipherHeaderSize || !password || passwordLen == 0)
        return -1;
    const int mode = data[0];
    const int nb = data[1];
    const int nk = data[2];
    const std::size_t length = ReadLe32(data + 4);
    if (!ValidWords(nb) || !ValidWords(nk))
        return -1;
    const std::size_t bs = std::size_t(nb) * 4;
    const std::uint8_t* ct = data + kCipherHeaderSize;
    const std::size_t cipherLen = dataLen - kCipherHeaderSize;
    // Only a damaged or foreign buffer records more than it holds.
    if (length > cipherLen)
        return -1;
    if (mode == kCipherBlockChaining && cipherLen % bs != 0)
        return -1;
    OnExit wipe{[this] {
        WipeBytes(ek_, sizeof(ek_));
        WipeBytes(dk_, sizeof(dk_));
    }};
    if (SetKey(password, passwordLen, nb, nk) != 1)
        return -1;
    try {
        out.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }

    std::uint8_t chain[32];
    std::memcpy(chain, kInitVector.data(), bs);
    if (mode == kCipherBlockChaining) {
        // Blocks wholly beyond the recorded length would be cut off anyway. Each block needs
        // only its own and the previous cipher block, so long buffers are split among threads.
        const std::size_t blocks = (length + bs - 1) / bs;
        auto run = [&](std::size_t first, std::size_t end) {
            std::uint8_t x[32];
            const std::uint8_t* before = first == 0 ? kInitVector.data() : ct + (first - 1) * bs;
            std::size_t b = first;
#if defined(__x86_64__)
            if (UseHardware(nb)) {
                // Four blocks at a time, all wholly within the recorded length.
                constexpr std::size_t kGroup = 4;
                for (; b + kGroup <= end && (b + kGroup) * 32 <= length; b += kGroup) {
                    std::uint8_t* o = out.data() + b * 32;
                    WideBlocks<kGroup, true>(dk_, nr_, ct + b * 32, o);
                    for (std::size_t g = 0; g < kGroup; ++g) {
                        for (std::size_t i = 0; i < 32; ++i)
                            o[32 * g + i] ^= before[i];
                        before = ct + (b + g) * 32;
                    }
                }
            }
#endif
            for (; b < end; ++b) {
                const std::size_t off = b * bs;
                DecryptBlock(ct + off, x);
                const std::size_t n = std::min(bs, length - off);
                for (std::size_t i = 0; i < n; ++i)
                    out[off + i] = x[i] ^ before[i];
                before = ct + off;
            }
            WipeBytes(x, sizeof(x));
        };
        constexpr std::size_t kBlocksPerThread = 8192;
        const std::size_t parts =
            std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 8, blocks / kBlocksPerThread + 1});
        std::vector<std::thread> helpers;
        std::size_t started = 1;
        try {
            for (; started < parts; ++started)
                helpers.emplace_back(run, blocks * started / parts, blocks * (started + 1) / parts);
        } catch (const std::exception&) {
            // Parts without a thread run here.
        }
        run(0, blocks / parts);
        for (std::size_t t = started; t < parts; ++t)
            run(blocks * t / parts, blocks * (t + 1) / parts);
        for (std::thread& t : helpers)
            t.join();
    } else {
        std::uint8_t e[32];
        for (std::size_t i = 0; i < length; ++i) {
            EncryptBlock(chain, e);
            out[i] = ct[i] ^ e[0];
            std::memmove(chain, chain + 1, bs - 1);
            chain[bs - 1] = ct[i];
        }
        WipeBytes(e, sizeof(e));
    }
    return 1;
}

int CRijndael::Encrypt(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                       std::string_view password, int blockBits, int keyBits, int mode)
{
    return Encrypt(out, data.data(), data.size(),
                   reinterpret_cast<const std::uint8_t*>(password.data()), password.size(),
                   blockBits, keyBits, mode);
}

int CRijndael::Decrypt(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                       std::string_view password)
{
    return Decrypt(out, data.data(), data.size(),
                   reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
}

}  // namespace morvane
