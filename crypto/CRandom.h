// The random pool from which RSA primes are drawn: 1024 bytes stirred with mouse positions,
// kept enciphered under the login password in the seed file QVX_RAND_SEED.sd.
//
// Seed file (little-endian): stir count (4), L (4), then L bytes of cipher buffer (CRijndael,
// 256/256, block chaining) enciphering the pool followed by the MD5 of the pool. 1072 bytes.
//
// Pool positions and stir values come from a RandomSource (the OS generator unless a test or
// tool injects another one).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Desktop.h"

namespace morvane {

class BigInt;
class CRijndael;

// Values in 0..32767, one per call.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual std::uint32_t Next() = 0;
};

// The operating system's generator (getrandom), buffered.
class SystemRandomSource : public RandomSource {
public:
    std::uint32_t Next() override;

private:
    std::uint8_t buffer_[512] = {};
    std::size_t used_ = sizeof(buffer_);
};

constexpr std::size_t kPoolSize = 1024;
constexpr std::size_t kSeedFileSize = 1072;  // 8 + 8 + 1024 + 16 rounded up to whole blocks
constexpr const char* kSeedFileName = "QVX_RAND_SEED.sd";

class CRandom {
public:
    // The pool starts filled from the random source, so it is never predictable even when no
    // seed file can be loaded.
    CRandom();
    virtual ~CRandom();
    CRandom(const CRandom&) = delete;
    CRandom& operator=(const CRandom&) = delete;

    // What the owner (the key tree) supplies: the desktop for messages, its login password
    // text (GBK bytes, read at each load and save) and its cipher object. Not owned.
    void SetOwner(Desktop* desktop, const std::string* loginPassword, CRijndael* cipher);

    // Full path of the seed file (native form).
    void SetSeedPath(const std::string& path) { seedPath_ = path; }
    [[nodiscard]] const std::string& SeedPath() const { return seedPath_; }
    // ProgramDir()/QVX_RAND_SEED.sd, the path used on the first start.
    [[nodiscard]] static std::string DefaultSeedPath();

    // Where pool positions and stir values come from. Not owned; nullptr restores the
    // system source. RSA key generation stirs with (Next() << 16) | (Next() & 0xFFFF).
    void SetSource(RandomSource* source);
    RandomSource& Source();

    // Reads the pool from the seed file, creating the file when missing. 1, or 0 after a
    // message (a cipher refusal gives none); on 0 the pool keeps its content.
    [[nodiscard]] int LoadSeed();
    // Writes the seed file from the pool (atomically). 1, or 0 (the old file stays as it was).
    [[nodiscard]] int SaveSeed();
    // Mixes a 32-bit sample into the pool; every 1024th stir saves the seed file.
    void Stir(std::uint32_t sample);
    // CollectedSamples() counts the stirs since the last ResetSamples(); a mouse collection
    // measures its progress by it.
    void ResetSamples() { samples_ = 0; }
    // dst[0..n) = pool bytes at positions (mix ^ Next()) % 1024. 1, or -1 when capacity is
    // not 0 and below n.
    [[nodiscard]] int PickBytes(std::uint8_t* dst, std::size_t capacity, std::size_t n, std::uint32_t mix);
    // x = a random number of bits bits whose top 8 bits are ORed with top and whose lowest
    // byte is ORed with low. 1, or -1 on failure (bits < 1 or memory).
    [[nodiscard]] int RandomNumber(BigInt& x, int bits, std::uint32_t top, std::uint32_t low, std::uint32_t mix);
    // Records the end of a mouse collection in the (existing) seed file. 1, or 0 after a message.
    [[nodiscard]] int RecordCollection();

    int CollectedSamples() const { return samples_; }
    [[nodiscard]] std::int32_t StirCount() const { return stirCount_; }
    [[nodiscard]] const std::array<std::uint8_t, kPoolSize>& Pool() const { return pool_; }
    // For tests and tools: replaces the pool.
    void SetPool(const std::array<std::uint8_t, kPoolSize>& pool) { pool_ = pool; }

private:
    void Warn(const Phrase& text);
    [[nodiscard]] std::string PathText() const;  // the seed path in GBK, for messages
    CRijndael& Cipher();

    std::int32_t stirCount_ = 0;
    std::array<std::uint8_t, kPoolSize> pool_ = {};
    Desktop* desktop_ = nullptr;
    const std::string* loginPassword_ = nullptr;
    CRijndael* cipher_ = nullptr;
    std::string seedPath_;
    std::int32_t samples_ = 0;

    SystemRandomSource systemSource_;
    RandomSource* source_ = nullptr;
    CRijndael* ownCipher_ = nullptr;  // used when the owner supplies none
};

}  // namespace morvane
