// Seed file reader: any bytes as QVX_RAND_SEED.sd, read under the login password. When the
// first input byte is odd, the rest is taken as the plain pool and digest and enciphered
// properly, so that the fuzzer gets past the cipher. A refused file leaves the pool as it
// was; an accepted one saves and loads back to the same pool.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "crypto/CRandom.h"
#include "crypto/Rijndael.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"

using namespace morvane;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

class Fixed : public RandomSource {
public:
    std::uint32_t Next() override { return (state_ = state_ * 1103515245u + 12345u) >> 17; }

private:
    std::uint32_t state_ = 1;
};

void Put(const std::string& path, const std::vector<std::uint8_t>& data)
{
    std::remove(path.c_str());  // a fresh file: a truncated one is flushed on close
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TempDataHome home;
    static const std::string path = home.File(kSeedFileName);
    static const std::string password = "pw";
    if (size == 0)
        return 0;

    std::vector<std::uint8_t> content(data + 1, data + size);
    if (data[0] & 1) {
        CRijndael cipher;
        std::vector<std::uint8_t> sealed;
        if (cipher.Encrypt(sealed, content, password) != 1)
            return 0;
        content.assign(4, 0);
        const auto length = static_cast<std::uint32_t>(sealed.size());
        for (int i = 0; i < 4; ++i)
            content.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
        content.insert(content.end(), sealed.begin(), sealed.end());
    }
    Put(path, content);

    ScriptedDesktop desk;
    Fixed source;
    CRijndael cipher;
    CRandom random;
    random.SetSource(&source);
    random.SetOwner(&desk, &password, &cipher);
    random.SetSeedPath(path);
    const auto before = random.Pool();
    if (random.LoadSeed() != 1) {
        Check(random.Pool() == before);
        return 0;
    }
    Check(desk.messages.empty());
    const auto loaded = random.Pool();
    Check(random.SaveSeed() == 1);
    CRandom again;
    again.SetSource(&source);
    again.SetOwner(&desk, &password, &cipher);
    again.SetSeedPath(path);
    Check(again.LoadSeed() == 1 && again.Pool() == loaded);
    return 0;
}
