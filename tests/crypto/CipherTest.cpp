#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ReferenceRijndael.h"
#include "crypto/Md5.h"
#include "crypto/Rijndael.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Random(std::size_t n, std::mt19937& gen)
{
    Bytes v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(gen());
    return v;
}

Bytes FromHex(const std::string& hex)
{
    Bytes v;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        v.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return v;
}

std::string ToHex(const Bytes& v)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (auto b : v) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// The program fills the state row by row; the reference column by column.
Bytes RowsToColumns(const std::uint8_t* in, int nb)
{
    Bytes out(4 * nb);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < nb; ++c)
            out[r + 4 * c] = in[r * nb + c];
    return out;
}

Bytes ColumnsToRows(const std::uint8_t* in, int nb)
{
    Bytes out(4 * nb);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < nb; ++c)
            out[r * nb + c] = in[r + 4 * c];
    return out;
}

// One block of the program's cipher computed with the reference.
Bytes ReferenceBlock(const ReferenceRijndael& ref, const std::uint8_t* in)
{
    const Bytes col = RowsToColumns(in, ref.nb());
    Bytes out(col.size());
    ref.Encrypt(col.data(), out.data());
    return ColumnsToRows(out.data(), ref.nb());
}

// The whole cipher buffer computed with the reference: header, then CBC or byte feedback
// from the fixed vector, the password zero-completed to the key length.
Bytes ReferenceEncrypt(const Bytes& data, const std::string& password, int nb, int nk, int mode)
{
    std::uint8_t key[32] = {};
    std::memcpy(key, password.data(), std::min<std::size_t>(password.size(), 4 * nk));
    ReferenceRijndael ref(key, nb, nk);
    const std::size_t bs = 4 * nb;
    Bytes out = {std::uint8_t(mode), std::uint8_t(nb), std::uint8_t(nk), 1,
                 std::uint8_t(data.size()), std::uint8_t(data.size() >> 8),
                 std::uint8_t(data.size() >> 16), std::uint8_t(data.size() >> 24)};
    Bytes chain(CRijndael::InitVector().begin(), CRijndael::InitVector().begin() + bs);
    if (mode == 0) {
        for (std::size_t off = 0; off < data.size(); off += bs) {
            Bytes x(bs, 0);
            for (std::size_t i = 0; i < bs && off + i < data.size(); ++i)
                x[i] = data[off + i];
            for (std::size_t i = 0; i < bs; ++i)
                x[i] ^= chain[i];
            chain = ReferenceBlock(ref, x.data());
            out.insert(out.end(), chain.begin(), chain.end());
        }
    } else {
        for (std::uint8_t p : data) {
            const std::uint8_t c = p ^ ReferenceBlock(ref, chain.data())[0];
            out.push_back(c);
            chain.erase(chain.begin());
            chain.push_back(c);
        }
    }
    return out;
}

int Enc(CRijndael& c, Bytes& out, const Bytes& data, const std::string& pw, int bits = 256,
        int keyBits = 256, int mode = 0)
{
    return c.Encrypt(out, data, pw, bits, keyBits, mode);
}

int Dec(CRijndael& c, Bytes& out, const Bytes& data, const std::string& pw)
{
    return c.Decrypt(out, data, pw);
}

} // namespace

TEST(Cipher, BlocksAgreeWithTextbookRijndaelForEverySize)
{
    std::mt19937 gen(11);
    CRijndael c;
    for (int nb : {4, 6, 8})
        for (int nk : {4, 6, 8})
            for (int round = 0; round < 20; ++round) {
                const Bytes key = Random(4 * nk, gen);
                const Bytes block = Random(4 * nb, gen);
                ASSERT_EQ(c.SetKey(key.data(), key.size(), nb, nk), 1);
                EXPECT_EQ(c.BlockBytes(), 4 * nb);
                ReferenceRijndael ref(key.data(), nb, nk);
                Bytes ours(4 * nb), back(4 * nb);
                c.EncryptBlock(block.data(), ours.data());
                ASSERT_EQ(ours, ReferenceBlock(ref, block.data())) << "Nb " << nb << " Nk " << nk;
                c.DecryptBlock(ours.data(), back.data());
                ASSERT_EQ(back, block) << "Nb " << nb << " Nk " << nk;
            }
}

TEST(Cipher, AesSubsetMatchesPublishedVectorsAndOpenSsl)
{
    // FIPS-197 appendix C: key 00 01 .. , plaintext 00 11 22 .. ff, in the standard byte order.
    const Bytes key = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
    const std::pair<int, std::string> known[] = {{4, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                                                 {6, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                                                 {8, "8ea2b7ca516745bfeafc49904b496089"}};
    CRijndael c;
    for (const auto& [nk, expected] : known) {
        ReferenceRijndael ref(key.data(), 4, nk);
        Bytes out(16);
        ref.Encrypt(plain.data(), out.data());
        EXPECT_EQ(ToHex(out), expected) << "reference, Nk " << nk;
        ASSERT_EQ(c.SetKey(key.data(), 4 * nk, 4, nk), 1);
        const Bytes rows = ColumnsToRows(plain.data(), 4);
        c.EncryptBlock(rows.data(), out.data());
        EXPECT_EQ(ToHex(RowsToColumns(out.data(), 4)), expected) << "cipher, Nk " << nk;
    }

    // Random keys and blocks against OpenSSL's AES-256 (ECB, one block at a time).
    std::mt19937 gen(5);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    for (int round = 0; round < 200; ++round) {
        const Bytes k = Random(32, gen);
        const Bytes block = Random(16, gen);
        Bytes expected(32);
        int len = 0;
        ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, k.data(), nullptr), 1);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        const Bytes col = RowsToColumns(block.data(), 4);
        ASSERT_EQ(EVP_EncryptUpdate(ctx, expected.data(), &len, col.data(), 16), 1);
        ASSERT_EQ(len, 16);
        expected.resize(16);
        ASSERT_EQ(c.SetKey(k.data(), k.size(), 4, 8), 1);
        Bytes ours(16);
        c.EncryptBlock(block.data(), ours.data());
        ASSERT_EQ(RowsToColumns(ours.data(), 4), expected) << "round " << round;
    }
    EVP_CIPHER_CTX_free(ctx);
}

TEST(Cipher, BufferLayoutSizesAndRoundTrips)
{
    CRijndael c;
    std::mt19937 gen(1);
    const std::pair<std::size_t, std::size_t> sizes[] = {{0, 8}, {1, 40}, {31, 40}, {32, 40},
                                                         {33, 72}, {1040, 1064}};
    for (const auto& [n, total] : sizes) {
        const Bytes plain = Random(n, gen);
        Bytes out, back = {9, 9};
        ASSERT_EQ(Enc(c, out, plain, "password"), 1);
        ASSERT_EQ(out.size(), total) << n;
        EXPECT_EQ(out[0], 0);
        EXPECT_EQ(out[1], 8);
        EXPECT_EQ(out[2], 8);
        EXPECT_EQ(out[3], 1);
        EXPECT_EQ(out[4] | out[5] << 8 | out[6] << 16 | out[7] << 24, static_cast<int>(n));
        EXPECT_EQ(out, ReferenceEncrypt(plain, "password", 8, 8, 0)) << n;
        ASSERT_EQ(Dec(c, back, out, "password"), 1);
        EXPECT_EQ(back, plain) << n;
    }
    // The other block and key sizes chain the same way.
    for (int nb : {4, 6, 8})
        for (int nk : {4, 6, 8}) {
            const Bytes plain = Random(100, gen);
            Bytes out, back;
            ASSERT_EQ(Enc(c, out, plain, "pw", 32 * nb, 32 * nk), 1);
            EXPECT_EQ(out.size(), 8 + (100 + 4 * nb - 1) / (4 * nb) * (4 * nb));
            EXPECT_EQ(out, ReferenceEncrypt(plain, "pw", nb, nk, 0));
            ASSERT_EQ(Dec(c, back, out, "pw"), 1);
            EXPECT_EQ(back, plain);
        }
    // A recorded length shorter than the deciphered blocks cuts the result.
    const Bytes plain = Random(64, gen);
    Bytes out, back;
    ASSERT_EQ(Enc(c, out, plain, "pw"), 1);
    out[4] = 40;
    ASSERT_EQ(Dec(c, back, out, "pw"), 1);
    EXPECT_EQ(back, Bytes(plain.begin(), plain.begin() + 40));
}

TEST(Cipher, PasswordIsTheKeyTruncatedAndZeroCompleted)
{
    CRijndael c;
    const Bytes plain(100, 0x41);
    Bytes a, b;
    // No salt: the same input always gives the same buffer.
    ASSERT_EQ(Enc(c, a, plain, "same"), 1);
    ASSERT_EQ(Enc(c, b, plain, "same"), 1);
    EXPECT_EQ(a, b);

    const std::string p32 = "0123456789abcdef0123456789ABCDEF";
    ASSERT_EQ(Enc(c, a, plain, p32), 1);
    ASSERT_EQ(Enc(c, b, plain, p32 + "anything after the 32nd byte"), 1);
    EXPECT_EQ(a, b);
    ASSERT_EQ(Enc(c, b, plain, p32.substr(0, 31) + "G"), 1);
    EXPECT_NE(a, b);

    ASSERT_EQ(Enc(c, a, plain, "abc"), 1);
    ASSERT_EQ(Enc(c, b, plain, std::string("abc\0\0\0", 6)), 1);
    EXPECT_EQ(a, b);
    ASSERT_EQ(Enc(c, b, plain, "abd"), 1);
    EXPECT_NE(a, b);

    // A wrong password is not noticed here: it gives bytes of the recorded length.
    Bytes back;
    ASSERT_EQ(Enc(c, a, plain, "right"), 1);
    ASSERT_EQ(Dec(c, back, a, "wrong"), 1);
    EXPECT_EQ(back.size(), plain.size());
    EXPECT_NE(back, plain);
}

TEST(Cipher, ByteFeedbackModeKeepsTheLength)
{
    CRijndael c;
    std::mt19937 gen(2);
    for (std::size_t n : {0, 1, 31, 32, 33, 200}) {
        const Bytes plain = Random(n, gen);
        Bytes out, back;
        ASSERT_EQ(Enc(c, out, plain, "feedback", 256, 256, 1), 1);
        EXPECT_EQ(out.size(), 8 + n);
        EXPECT_EQ(out[0], 1);
        EXPECT_EQ(out, ReferenceEncrypt(plain, "feedback", 8, 8, 1));
        ASSERT_EQ(Dec(c, back, out, "feedback"), 1);
        EXPECT_EQ(back, plain);
    }
    // Any non-zero mode byte means byte feedback when reading.
    const Bytes plain = Random(50, gen);
    Bytes out, back;
    ASSERT_EQ(Enc(c, out, plain, "k", 256, 256, 7), 1);
    EXPECT_EQ(out[0], 7);
    ASSERT_EQ(Dec(c, back, out, "k"), 1);
    EXPECT_EQ(back, plain);
    // Truncated: the recorded length runs past the data.
    out.pop_back();
    EXPECT_EQ(Dec(c, back, out, "k"), -1);
}

TEST(Cipher, RefusesBadArgumentsAndDamagedHeaders)
{
    CRijndael c;
    const Bytes plain(40, 1);
    Bytes out = {7};
    const std::uint8_t pw[] = {'p'};
    EXPECT_EQ(c.Encrypt(out, nullptr, 5, pw, 1), -1);
    EXPECT_EQ(c.Encrypt(out, plain.data(), plain.size(), nullptr, 1), -1);
    EXPECT_EQ(c.Encrypt(out, plain.data(), plain.size(), pw, 0), -1);
    EXPECT_EQ(Enc(c, out, plain, ""), -1);
    EXPECT_EQ(Enc(c, out, plain, "p", 250, 256), -1);  // not whole words
    EXPECT_EQ(Enc(c, out, plain, "p", 256, 100), -1);
    EXPECT_EQ(Enc(c, out, plain, "p", 160, 256), -1);  // Nb 5: nothing could read it back
    EXPECT_EQ(Enc(c, out, plain, "p", 256, 288), -1);  // Nk 9
    EXPECT_EQ(Enc(c, out, plain, "p", 0, 256), -1);
    EXPECT_EQ(Enc(c, out, plain, "p", 256, 256, -1), -1);
    EXPECT_EQ(Enc(c, out, plain, "p", 256, 256, 256), -1);
    EXPECT_EQ(out, Bytes{7});
    EXPECT_EQ(c.SetKey(pw, 0, 8, 8), -1);

    Bytes good;
    ASSERT_EQ(Enc(c, good, plain, "p"), 1);  // 8 + 64 bytes
    auto refused = [&](Bytes buf, const std::string& pass = "p") {
        Bytes o = {7};
        const int r = Dec(c, o, buf, pass);
        return r == -1 && o == Bytes{7};
    };
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 7)));
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused(good, ""));
    EXPECT_EQ(c.Decrypt(out, nullptr, 72, pw, 1), -1);
    for (std::uint8_t nb : {0, 1, 5, 7, 9, 255}) {
        Bytes b = good;
        b[1] = nb;
        EXPECT_TRUE(refused(b)) << "Nb " << int(nb);
        b = good;
        b[2] = nb;
        EXPECT_TRUE(refused(b)) << "Nk " << int(nb);
    }
    // Recorded length beyond the ciphertext, up to the largest value.
    for (std::uint32_t len : {65u, 1000u, 0xFFFFFFFFu}) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i)
            b[4 + i] = static_cast<std::uint8_t>(len >> (8 * i));
        EXPECT_TRUE(refused(b)) << len;
    }
    // Not whole blocks in block chaining mode.
    Bytes cut = good;
    cut.pop_back();
    EXPECT_TRUE(refused(cut));
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer));
    // Nb 4 reads 16-byte blocks: 8 + 64 is whole, 8 + 56 is not.
    Bytes nb4 = good;
    nb4[1] = 4;
    EXPECT_FALSE(refused(nb4));
    nb4.resize(8 + 56);
    nb4[4] = 40;
    EXPECT_TRUE(refused(nb4));
}

TEST(Cipher, DamagedBuffersNeverReadOrWriteOutOfBounds)
{
    // The sanitizer build turns any stray access here into a failure.
    CRijndael c;
    std::mt19937 gen(9);
    Bytes good;
    ASSERT_EQ(Enc(c, good, Random(100, gen), "pw"), 1);
    for (int round = 0; round < 3000; ++round) {
        Bytes b(good.begin(), good.begin() + gen() % (good.size() + 1));
        const int flips = gen() % 4;
        for (int f = 0; f < flips && !b.empty(); ++f)
            b[gen() % std::min<std::size_t>(b.size(), 12)] = static_cast<std::uint8_t>(gen());
        Bytes out;
        if (Dec(c, out, b, "pw") == 1) {
            const std::uint32_t len = b[4] | b[5] << 8 | b[6] << 16 | std::uint32_t(b[7]) << 24;
            ASSERT_EQ(out.size(), len);
            ASSERT_LE(out.size(), b.size() - 8);
        }
    }
}

TEST(Cipher, OutputIsStableAcrossBuilds)
{
    // Files written by one build must open in every other: fixed vector, fixed layout.
    const auto& iv = CRijndael::InitVector();
    EXPECT_EQ(ToHex(Bytes(iv.begin(), iv.end())),
              "05acdb42e910bf264df4638a3158c76e953cabd279e00fb6dd44f31a812857fe");
    CRijndael c;
    Bytes out;
    const std::string text = "Morvane keeps its keys in a book.";
    ASSERT_EQ(Enc(c, out, Bytes(text.begin(), text.end()), "\xC3\xDC\xC2\xEB"), 1);  // GBK
    EXPECT_EQ(ToHex(out), "00080801210000001f96a81127eca624bb2db525bfa8e1b939dae6c2541ccdf4"
                        "20c6acefed48f98ba5dc139073a54eb10009aceadf4fb18667e1c33c390bc3ab"
                        "f5441d1af1146269");
    Bytes big(1040);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 31 + 7);
    ASSERT_EQ(Enc(c, out, big, "login password"), 1);
    EXPECT_EQ(Md5Hex(Md5Of(out).data()), "19A653014E03B855CABA2326AEE4025F");
}

TEST(Cipher, AesInstructionsAgreeWithTheTableCode)
{
    // The 256-bit block runs on AES instructions where the processor has them, deciphering
    // several blocks at a time: the table code gives the same bytes at every tail length.
    std::mt19937 gen(7);
    CRijndael c;
    for (int mode : {kCipherBlockChaining, kCipherByteFeedback})
        for (std::size_t n : {0, 1, 31, 32, 33, 95, 127, 128, 129, 160, 1000, 3 * 8192 * 32 + 77}) {
            if (mode != kCipherBlockChaining && n > 1000)
                continue;
            const Bytes plain = Random(n, gen);
            Bytes fast, slow, back;
            CRijndael::AllowHardwareRounds(true);
            ASSERT_EQ(Enc(c, fast, plain, "wide block", 256, 256, mode), 1);
            CRijndael::AllowHardwareRounds(false);
            ASSERT_EQ(Enc(c, slow, plain, "wide block", 256, 256, mode), 1);
            EXPECT_EQ(fast, slow) << n;
            ASSERT_EQ(Dec(c, back, fast, "wide block"), 1);
            EXPECT_EQ(back, plain) << n;
            CRijndael::AllowHardwareRounds(true);
            ASSERT_EQ(Dec(c, back, slow, "wide block"), 1);
            EXPECT_EQ(back, plain) << n;
        }
}

TEST(Cipher, TailMadeAfterTheWholeBlocksGivesTheSameBuffer)
{
    // The tail is asked for only after the whole blocks of data; together they encipher as
    // one buffer, whatever part of a block the data leaves.
    std::mt19937 gen(8);
    CRijndael c;
    for (int nb : {4, 8})
        for (std::size_t n : {0, 1, 15, 16, 17, 31, 32, 33, 1000})
            for (std::size_t t : {0, 1, 16, 32}) {
                const Bytes data = Random(n, gen), tail = Random(t, gen);
                Bytes joined = data, whole, parts;
                joined.insert(joined.end(), tail.begin(), tail.end());
                ASSERT_EQ(Enc(c, whole, joined, "tail", 32 * nb, 256), 1);
                int calls = 0;
                ASSERT_EQ(c.EncryptWithTail(parts, data, t, [&](std::uint8_t* p) {
                    ++calls;
                    std::copy(tail.begin(), tail.end(), p);
                }, "tail", 32 * nb, 256), 1);
                EXPECT_EQ(parts, whole) << nb << " " << n << " " << t;
                EXPECT_EQ(calls, t > 0 ? 1 : 0);
            }
    Bytes out;
    EXPECT_EQ(c.EncryptWithTail(out, Bytes(5), 33, [](std::uint8_t*) {}, "tail"), -1);
}

TEST(Cipher, LongBuffersDecipherInPartsOnThreads)
{
    // Long enough to be split among threads: every part starts its chain from the cipher
    // block before it, with the recorded length cutting the last block short or not.
    CRijndael c;
    std::mt19937 gen(5);
    for (int nb : {4, 8})
        for (std::size_t n : {std::size_t{3} * 8192 * 32 + 1001, std::size_t{5} * 8192 * 16}) {
            const Bytes plain = Random(n, gen);
            Bytes out, back;
            ASSERT_EQ(Enc(c, out, plain, "long", 32 * nb, 256), 1);
            ASSERT_EQ(Dec(c, back, out, "long"), 1);
            ASSERT_EQ(back, plain) << nb << " " << n;
            // A damaged block spoils only itself and the next one.
            const std::size_t hit = 8 + 4 * nb * 9000 + 3;
            out[hit] ^= 0x40;
            ASSERT_EQ(Dec(c, back, out, "long"), 1);
            std::size_t differ = 0;
            for (std::size_t k = 0; k < n; ++k)
                differ += back[k] != plain[k];
            EXPECT_GT(differ, 1u);
            EXPECT_LE(differ, std::size_t{4} * nb + 1);
            EXPECT_TRUE(std::equal(back.begin() + static_cast<std::ptrdiff_t>(4 * nb * 9002), back.end(),
                                   plain.begin() + static_cast<std::ptrdiff_t>(4 * nb * 9002)));
        }
}
