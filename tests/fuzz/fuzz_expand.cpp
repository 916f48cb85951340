// Expanding arbitrary bytes must fail cleanly or give data that survives another round trip;
// the same bytes, taken as plain data, must come back unchanged through the coder.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "book/Compress.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CCompress codec;
    std::vector<std::uint8_t> out, coded, back;

    const int r = codec.Expand(out, data, size);
    if (r != 1 && r != kExpandMalformed && r != kExpandTooLarge) std::abort();
    if (r != 1 && !out.empty()) std::abort();
    // No chunk codes more than the compressor puts in one, so no input expands beyond that
    // ratio.
    if (r == 1 && out.size() > size * 8 / 35 * CCompress::kChunkSize) std::abort();
    // Asked for less, the same data is refused as too large, never cut short.
    if (r == 1 && codec.Expand(back, data, size, out.size() - 1) != kExpandTooLarge) std::abort();
    if (r == 1 && out.size() <= (std::size_t{1} << 22)) {
        if (codec.Compress(coded, out) != 1 || codec.Expand(back, coded) != 1 || back != out)
            std::abort();
    }

    if (size > 0) {
        if (codec.Compress(coded, data, size) != 1) std::abort();
        if (codec.Expand(back, coded) != 1) std::abort();
        if (back.size() != size || !std::equal(back.begin(), back.end(), data)) std::abort();
    }
    return 0;
}
