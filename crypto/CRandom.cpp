#include "crypto/CRandom.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#include <vector>

#include "bignum/BigInt.h"
#include "crypto/Md5.h"
#include "crypto/Rijndael.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane {

namespace {

// A sane seed file is 1072 bytes; anything near this limit is not one.
constexpr std::size_t kSeedReadLimit = 1024 * 1024;
// Files of at most this size cannot hold a whole header and cipher buffer.
constexpr std::size_t kSeedMinimumSize = 1044;
constexpr std::size_t kSeedPlainSize = kPoolSize + kMd5Size;

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void WriteLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool FillFromUrandom(std::uint8_t* dst, std::size_t n)
{
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, dst + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return got == n;
}

} // namespace

std::uint32_t SystemRandomSource::Next()
{
    if (used_ + 2 > sizeof(buffer_)) {
        std::size_t got = 0;
        while (got < sizeof(buffer_)) {
            const ssize_t r = ::getrandom(buffer_ + got, sizeof(buffer_) - got, 0);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        if (got < sizeof(buffer_) && !FillFromUrandom(buffer_, sizeof(buffer_))) {
            // Key material from a predictable source would be worse than stopping.
            std::fputs("Morvane: the system random generator is unavailable\n", stderr);
            std::abort();
        }
        used_ = 0;
    }
    const std::uint32_t v = (std::uint32_t(buffer_[used_]) | std::uint32_t(buffer_[used_ + 1]) << 8) & 0x7FFF;
    buffer_[used_] = buffer_[used_ + 1] = 0;
    used_ += 2;
    return v;
}

CRandom::CRandom()
{
    for (auto& b : pool_)
        b = static_cast<std::uint8_t>(Source().Next());
}

CRandom::~CRandom()
{
    WipeBytes(pool_.data(), pool_.size());
    delete ownCipher_;
}

void CRandom::SetOwner(Desktop* desktop, const std::string* loginPassword, CRijndael* cipher)
{
    desktop_ = desktop;
    loginPassword_ = loginPassword;
    cipher_ = cipher;
}

std::string CRandom::DefaultSeedPath()
{
    return ProgramFile(kSeedFileName);
}

void CRandom::SetSource(RandomSource* source)
{
    source_ = source;
}

RandomSource& CRandom::Source()
{
    return source_ ? *source_ : systemSource_;
}

CRijndael& CRandom::Cipher()
{
    if (cipher_)
        return *cipher_;
    if (!ownCipher_)
        ownCipher_ = new CRijndael;
    return *ownCipher_;
}

void CRandom::Warn(const Phrase& text)
{
    if (desktop_)
        Tell(*desktop_, text, MsgIcon::Exclamation, MsgButtons::Ok);
}

std::string CRandom::PathText() const
{
    return Gbk(seedPath_);
}

int CRandom::PickBytes(std::uint8_t* dst, std::size_t capacity, std::size_t n, std::uint32_t mix)
{
    if (capacity != 0 && capacity < n)
        return -1;
    RandomSource& src = Source();
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = pool_[(mix ^ src.Next()) % kPoolSize];
    return 1;
}

int CRandom::RandomNumber(BigInt& x, int bits, std::uint32_t top, std::uint32_t low, std::uint32_t mix)
{
    if (bits < 1)
        return -1;
    if (SetWord(x, 0) != 0)
        return -1;
    const std::uint32_t total = (static_cast<std::uint32_t>(bits) + 7) / 8;
    std::uint32_t chunk = total < 64 ? total : 64;
    std::uint8_t buf[64];
    (void)PickBytes(buf, sizeof(buf), chunk, mix);  // chunk <= 64

    // The first chunk holds the top bytes: clear what lies above the bit length, then OR the
    // top pattern into the number's highest 8 bits.
    const int r = bits % 8;
    const int used = r == 0 ? 8 : r;
    std::uint8_t& topByte = buf[chunk - 1];
    topByte &= static_cast<std::uint8_t>((1u << used) - 1);
    topByte |= static_cast<std::uint8_t>((top & 0xFF) >> (8 - used));
    if (r != 0 && chunk >= 2)
        buf[chunk - 2] |= static_cast<std::uint8_t>((top << used) & 0xFF);

    std::uint32_t placed = 0;
    for (;;) {
        const std::uint32_t remaining = total - (placed + chunk);
        if (remaining == 0)
            buf[0] |= static_cast<std::uint8_t>(low & 0xFF);
        if (InsertBytes(x, buf, remaining, chunk) != 1) {
            WipeBytes(buf, sizeof(buf));
            return -1;
        }
        placed += chunk;
        if (remaining == 0)
            break;
        chunk = remaining < 64 ? remaining : 64;
        (void)PickBytes(buf, sizeof(buf), chunk, 0);
    }
    WipeBytes(buf, sizeof(buf));
    return 1;
}

void CRandom::Stir(std::uint32_t sample)
{
    RandomSource& src = Source();
    for (auto& b : pool_)
        b ^= static_cast<std::uint8_t>(src.Next() % 255);
    std::uint8_t bytes[4];
    WriteLe32(bytes, sample);
    std::uint8_t d[kMd5Size];
    Md5Digest(bytes, sizeof(bytes), d);
    const std::size_t start = (src.Next() ^ sample) % kPoolSize;
    for (std::size_t k = 0; k < kMd5Size; ++k)
        pool_[(start + k) % kPoolSize] ^= d[k];
    ++samples_;
    stirCount_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(stirCount_) + 1);
    if (stirCount_ % 1024 == 0)
        (void)SaveSeed();  // a failure was told; the pool goes on
}

int CRandom::SaveSeed()
{
    std::uint8_t plain[kSeedPlainSize];
    std::memcpy(plain, pool_.data(), kPoolSize);
    Md5Digest(pool_.data(), kPoolSize, plain + kPoolSize);
    // Read in place: a copy of the password would linger in freed memory.
    const std::string_view password = loginPassword_ ? std::string_view(*loginPassword_) : std::string_view();
    std::vector<std::uint8_t> cipher;
    const int enciphered = Cipher().Encrypt(cipher, plain, sizeof(plain),
                                            reinterpret_cast<const std::uint8_t*>(password.data()),
                                            password.size(), 256, 256, kCipherBlockChaining);
    WipeBytes(plain, sizeof(plain));
    if (enciphered != 1)
        return 0;

    std::vector<std::uint8_t> file(8 + cipher.size());
    WriteLe32(file.data(), static_cast<std::uint32_t>(stirCount_));
    WriteLe32(file.data() + 4, static_cast<std::uint32_t>(cipher.size()));
    std::memcpy(file.data() + 8, cipher.data(), cipher.size());
    if (!WriteFileAtomically(seedPath_, file)) {
        Warn(Phrase(MORVANE_TR("Crypto", "不能打开随机数种子文件: %1"), {PathText()}));
        return 0;
    }
    return 1;
}

int CRandom::LoadSeed()
{
    if (!FileExists(seedPath_)) {
        RandomSource& src = Source();
        for (auto& b : pool_)
            b = static_cast<std::uint8_t>(src.Next());
        stirCount_ = 0;
        samples_ = 0;
        return SaveSeed();
    }
    ReadError error = ReadError::None;
    auto file = ReadWholeFile(seedPath_, kSeedReadLimit, &error);
    if (!file) {
        if (error == ReadError::TooLarge)
            Warn(MORVANE_TR("Crypto", "文件长度错误"));
        else
            Warn(Phrase(MORVANE_TR("Crypto", "不能打开随机数种子文件: %1"), {PathText()}));
        return 0;
    }
    if (file->size() <= kSeedMinimumSize) {
        Warn(MORVANE_TR("Crypto", "文件长度错误"));
        return 0;
    }
    stirCount_ = static_cast<std::int32_t>(ReadLe32(file->data()));
    const std::uint32_t cipherLen = ReadLe32(file->data() + 4);
    if (cipherLen > file->size() - 8) {
        // Damaged: the recorded length runs past the file's end.
        Warn(MORVANE_TR("Crypto", "文件长度错误"));
        return 0;
    }
    // Read in place: a copy of the password would linger in freed memory.
    const std::string_view password = loginPassword_ ? std::string_view(*loginPassword_) : std::string_view();
    std::vector<std::uint8_t> plain;
    WipeOnExit wipePlain{plain};
    if (Cipher().Decrypt(plain, file->data() + 8, cipherLen,
                         reinterpret_cast<const std::uint8_t*>(password.data()),
                         password.size()) != 1)
        return 0;
    int result = 1;
    if (plain.size() != kSeedPlainSize) {
        Warn(Phrase(MORVANE_TR("Crypto", "不能解密随机数种子文件: %1"), {PathText()}));
        result = 0;
    } else {
        std::uint8_t d[kMd5Size];
        Md5Digest(plain.data(), kPoolSize, d);
        if (std::memcmp(d, plain.data() + kPoolSize, kMd5Size) != 0) {
            Warn(MORVANE_TR("Crypto", "随机数种子文件MD5验证未能通过!"));
            result = 0;
        } else {
            std::memcpy(pool_.data(), plain.data(), kPoolSize);
        }
    }
    return result;
}

int CRandom::RecordCollection()
{
    if (!FileExists(seedPath_)) {
        Warn(Phrase(MORVANE_TR("Crypto", "无随机数种子文件: %1"), {PathText()}));
        return 0;
    }
    // Rewriting the whole file keeps it loadable and stores the newly stirred pool with the count.
    return SaveSeed();
}

}  // namespace morvane
