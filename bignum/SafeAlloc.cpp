#include "bignum/SafeAlloc.h"

#include <cstdlib>
#include <cstring>

#include "platform/Hardening.h"
#include "platform/Wipe.h"

namespace morvane {

namespace {

// Allocations left before the armed failures (negative when disarmed), and how many fail.
long g_successesLeft = -1;
long g_failuresLeft = 0;

bool AllocationAllowed() {
    if (g_successesLeft < 0) return true;
    if (g_successesLeft > 0) {
        --g_successesLeft;
        return true;
    }
    if (g_failuresLeft == 0) {
        g_successesLeft = -1;
        return true;
    }
    if (g_failuresLeft > 0) --g_failuresLeft;
    return false;
}

// SafeAlloc blocks carry their size in a header so that growing can tell old bytes from
// new ones. The header is 16 bytes to keep the payload suitably aligned.
constexpr std::size_t kHeader = 16;

unsigned char* HeaderOf(const void* block) {
    return static_cast<unsigned char*>(const_cast<void*>(block)) - kHeader;
}

}  // namespace

void FailAllocationsAfter(long successes, long failures) {
    g_successesLeft = successes;
    g_failuresLeft = failures;
}

void* NumberAlloc(std::size_t bytes) {
    if (!AllocationAllowed()) return nullptr;
    // Numbers hold primes and private exponents: locked pages, never in a core dump.
    return SecureAlloc(bytes == 0 ? 1 : bytes);
}

void NumberFree(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) return;
    WipeBytes(block, bytes);
    SecureFree(block);
}

std::size_t SafeBlockSize(const void* block) {
    if (block == nullptr) return 0;
    std::size_t size;
    std::memcpy(&size, HeaderOf(block), sizeof size);
    return size;
}

void SafeFree(void* block) {
    if (block == nullptr) return;
    WipeBytes(block, SafeBlockSize(block));
    SecureFree(HeaderOf(block));
}

int SafeAlloc(void** block, std::size_t count, std::size_t elementSize) {
    if (count == 0) return 1;
    const std::size_t oldSize = SafeBlockSize(*block);
    if (elementSize != 0 && count > (static_cast<std::size_t>(-1) - kHeader) / elementSize) {
        SafeFree(*block);
        *block = nullptr;
        return -1;
    }
    const std::size_t newSize = count * elementSize;
    if (*block != nullptr && oldSize >= newSize) return 1;
    unsigned char* raw = AllocationAllowed() ? static_cast<unsigned char*>(SecureAlloc(kHeader + newSize)) : nullptr;
    if (raw == nullptr) {
        SafeFree(*block);
        *block = nullptr;
        return -1;
    }
    std::memcpy(raw, &newSize, sizeof newSize);
    unsigned char* payload = raw + kHeader;
    if (oldSize != 0) std::memcpy(payload, *block, oldSize);
    std::memset(payload + oldSize, 0, newSize - oldSize);
    SafeFree(*block);
    *block = payload;
    return 1;
}

}  // namespace morvane
