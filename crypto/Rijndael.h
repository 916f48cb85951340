// The password cipher for the program's files: Rijndael with a 128-, 192- or 256-bit block and
// key (the program writes 256/256, 14 rounds), keyed directly from the password's bytes, in
// cipher-block chaining or byte feedback mode, with a fixed initialisation vector. Blocks fill
// the state row by row (byte k -> row k / Nb, column k % Nb).
//
// Output layout (little-endian):
//   0  1  mode: 0 = block chaining, non-zero = byte feedback
//   1  1  Nb (block words)
//   2  1  Nk (key words)
//   3  1  format mark, 1 (ignored when reading)
//   4  4  plaintext length
//   8  .. ciphertext: whole blocks in mode 0 (last one zero-completed), exactly length bytes
//         in byte feedback mode
// No integrity check of its own: callers append an MD5 of their plaintext.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace morvane {

constexpr std::size_t kCipherHeaderSize = 8;
constexpr int kCipherBlockChaining = 0;
constexpr int kCipherByteFeedback = 1;

class CRijndael {
public:
    // The fixed initialisation vector (its first Nb*4 bytes are used).
    [[nodiscard]] static const std::array<std::uint8_t, 32>& InitVector();

    // out = header + ciphertext of data under the first Nk*4 password bytes (zero-completed).
    // blockBits and keyBits: 128, 192 or 256. mode: 0 block chaining, 1..255 byte feedback.
    // Returns 1, or -1 on refusal (missing data or password, empty password, unsupported
    // sizes or mode, length beyond 32 bits) or memory exhaustion.
    [[nodiscard]] int Encrypt(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t dataLen,
                const std::uint8_t* password, std::size_t passwordLen, int blockBits = 256,
                int keyBits = 256, int mode = kCipherBlockChaining);
    // out = exactly the recorded number of plaintext bytes. Returns 1, or -1 on refusal
    // (missing input or password, fewer than 8 bytes, Nb or Nk not 4, 6 or 8, a mode 0
    // ciphertext that is not whole blocks, a recorded length beyond the ciphertext) or memory
    // exhaustion. A wrong password is not detected: the result is then meaningless.
    [[nodiscard]] int Decrypt(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t dataLen,
                const std::uint8_t* password, std::size_t passwordLen);

    // Same, with the password given as its text bytes (GBK) and the data as a span.
    [[nodiscard]] int Encrypt(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                std::string_view password, int blockBits = 256, int keyBits = 256,
                int mode = kCipherBlockChaining);
    [[nodiscard]] int Decrypt(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                std::string_view password);

    // Block chaining (blockBits and keyBits as above) of data followed by tailLen bytes, at
    // most 32, that fillTail writes to the pointer it gets: it is called once every whole
    // block of data is enciphered, so that the caller may compute the tail meanwhile. The
    // result is Encrypt's for data and tail as one buffer. -1 as Encrypt, or for a longer tail.
    [[nodiscard]] int EncryptWithTail(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                                      std::size_t tailLen, const std::function<void(std::uint8_t*)>& fillTail,
                                      std::string_view password, int blockBits = 256, int keyBits = 256);

    // Single-block primitives on the current key schedule (after SetKey), for tests and tools.
    // Returns 1, or -1 for unsupported sizes or an empty key.
    [[nodiscard]] int SetKey(const std::uint8_t* key, std::size_t keyLen, int blockWords, int keyWords);
    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
    [[nodiscard]] int BlockBytes() const { return nb_ * 4; }

    // The 256-bit block runs on the processor's AES instructions where it has them. Tests
    // turn that off to check the table code against them; returns whether they are in use.
    static bool AllowHardwareRounds(bool allowed);

private:
    int EncryptParts(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t dataLen,
                     std::size_t tailLen, const std::function<void(std::uint8_t*)>* fillTail,
                     const std::uint8_t* password, std::size_t passwordLen, int blockBits, int keyBits, int mode);

    static constexpr int kMaxRounds = 14;
    static constexpr int kMaxWords = (kMaxRounds + 1) * 8;
    int nb_ = 0, nk_ = 0, nr_ = 0;
    std::uint32_t ek_[kMaxWords] = {};  // encryption round keys, one word per state column
    std::uint32_t dk_[kMaxWords] = {};  // decryption round keys (inverse-mixed, round order reversed)
};

}  // namespace morvane
