#include "support/CraftedBook.h"

#include <algorithm>

#include "crypto/Md5.h"
#include "crypto/Rijndael.h"

namespace morvane {

namespace {

constexpr std::uint64_t kChunk = 70000;
constexpr std::uint64_t kRootBytes = 16;
constexpr std::uint64_t kPeriod = 20;  // an item record and its close word

void PutWord(std::uint8_t* p, std::uint32_t w)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(w >> (8 * i));
}

// Byte x of the stream.
std::uint8_t StreamByte(std::uint64_t x)
{
    static const struct Bytes {
        std::uint8_t root[kRootBytes], item[kPeriod];
        Bytes() : root(), item()
        {
            PutWord(root, 1);         // kind: book root
            PutWord(root + 4, 0);     // no text
            PutWord(root + 8, 0x20);  // expanded
            PutWord(root + 12, 0x40); // first visible
            PutWord(item, 2);         // kind: directory; text, state, flags and the close word 0
        }
    } b;
    return x < kRootBytes ? b.root[x] : b.item[(x - kRootBytes) % kPeriod];
}

class BitWriter {
public:
    void Put(std::uint64_t value, int bits)
    {
        for (int b = bits - 1; b >= 0; --b) {
            if (count_ % 8 == 0)
                bytes_.push_back(0);
            if ((value >> b) & 1)
                bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (count_ % 8));
            ++count_;
        }
    }
    // Bits [at, at + 35): the end header of a string whose last bit is `last` bits after at.
    void PatchHeader(std::uint64_t at, std::uint64_t last)
    {
        const std::uint64_t value = ((last / 8) << 3) | (7 - last % 8);
        for (int b = 0; b < 35; ++b) {
            const std::uint64_t p = at + static_cast<std::uint64_t>(b);
            const auto mask = static_cast<std::uint8_t>(0x80 >> (p % 8));
            if ((value >> (34 - b)) & 1)
                bytes_[p / 8] |= mask;
            else
                bytes_[p / 8] &= static_cast<std::uint8_t>(~mask);
        }
    }
    std::uint64_t Count() const { return count_; }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t count_ = 0;
};

int BitLen(std::uint64_t x)
{
    int n = 1;
    while (x >> n)
        ++n;
    return n;
}

}  // namespace

std::uint64_t FlatBookStreamSize(std::uint64_t items)
{
    return kRootBytes + kPeriod * items;
}

std::vector<std::uint8_t> CodeFlatBook(std::uint64_t items)
{
    const std::uint64_t size = FlatBookStreamSize(items);
    BitWriter w;
    w.Put(0, 35);
    for (std::uint64_t start = 0; start < size; start += kChunk) {
        const std::uint64_t m = std::min(kChunk, size - start);
        const std::uint64_t header = w.Count();
        w.Put(0, 35);
        // Literals up to one whole period past the root's bytes, then copies from one period
        // back, which repeat it.
        const std::uint64_t literals = std::min(m, (start < kRootBytes ? kRootBytes - start : 0) + kPeriod);
        std::uint64_t pos = 0;
        for (; pos < literals; ++pos)
            w.Put(0x100 | StreamByte(start + pos), 9);
        while (pos < m) {
            const std::uint64_t length = std::min<std::uint64_t>(18191, m - pos);
            if (length < 2) {
                w.Put(0x100 | StreamByte(start + pos), 9);
                ++pos;
                continue;
            }
            w.Put(0, 1);
            w.Put(pos - kPeriod, BitLen(pos));
            if (length <= 52) {
                const std::uint64_t q = (length - 2) / 4;
                w.Put(1, 1);
                w.Put((std::uint64_t{1} << q) - 1, static_cast<int>(q));
                w.Put(0, 1);
                w.Put((length - 2) % 4, 2);
            } else {
                w.Put(0, 1);
                w.Put(length - 2, 15);
            }
            pos += length;
        }
        w.PatchHeader(header, w.Count() - 1 - header);
    }
    w.PatchHeader(0, w.Count() - 1);
    return std::move(w.Bytes());
}

std::vector<std::uint8_t> CraftBookFile(std::uint64_t items, std::string_view password)
{
    std::vector<std::uint8_t> plain = CodeFlatBook(items);
    const Md5Bytes digest = Md5Of(plain);
    plain.insert(plain.end(), digest.begin(), digest.end());
    CRijndael cipher;
    std::vector<std::uint8_t> sealed;
    if (cipher.Encrypt(sealed, plain, password) != 1)
        return {};
    const Md5Bytes key = Md5Of(password);
    std::vector<std::uint8_t> file(key.begin(), key.end());
    file.insert(file.end(), sealed.begin(), sealed.end());
    return file;
}

}  // namespace morvane
