#include "platform/Hardening.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define MORVANE_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORVANE_POOL_ASAN 1
#endif
#endif
#ifdef MORVANE_POOL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace morvane {

bool DisableCoreDumps()
{
    const char* allow = std::getenv("MORVANE_ALLOW_CORE_DUMPS");
    if (allow && std::strcmp(allow, "1") == 0)
        return false;
    const rlimit none{0, 0};
    const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
    const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return limited && undumpable;
}

namespace {

// Every block starts with a 16-byte header (keeping the payload 16-byte aligned): its size
// class, or for a block too large for the classes the length of its own mapping, and the
// free list link while it is free.
struct Header {
    std::size_t sizeOrClass;
    Header* next;
};
static_assert(sizeof(Header) == 16);

// Classes of whole block sizes 32 B .. 128 KiB, powers of two.
constexpr int kMinShift = 5;
constexpr int kClasses = 13;
constexpr std::size_t kLargest = std::size_t{1} << (kMinShift + kClasses - 1);
constexpr std::size_t kLargeMark = std::size_t{1} << 63;
constexpr std::size_t kBatch = 64 * 1024;

std::mutex g_mutex;
std::array<Header*, kClasses> g_free{};
SecurePoolStats g_stats;

// The headers are the pool's own: poisoned for the sanitizer everywhere else, so that a
// write past a block's end is caught there.
#ifdef MORVANE_POOL_ASAN
void Expose(void* p, std::size_t n) { ASAN_UNPOISON_MEMORY_REGION(p, n); }
void Hide(void* p, std::size_t n) { ASAN_POISON_MEMORY_REGION(p, n); }
#else
void Expose(void*, std::size_t) {}
void Hide(void*, std::size_t) {}
#endif

// Pages for the pool, locked where the limit allows and never in a core dump.
void* MapSecret(std::size_t length)
{
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    (void)::madvise(p, length, MADV_DONTDUMP);
    g_stats.mapped += length;
    if (::mlock(p, length) == 0)
        g_stats.locked += length;
    return p;
}

int ClassOf(std::size_t total)
{
    int c = 0;
    while ((std::size_t{1} << (kMinShift + c)) < total)
        ++c;
    return c;
}

// Carves a new batch of pages into free blocks of class c; false when memory runs out.
bool Refill(int c)
{
    const std::size_t size = std::size_t{1} << (kMinShift + c);
    const std::size_t length = size > kBatch / 4 ? size * 4 : kBatch;
    auto* base = static_cast<unsigned char*>(MapSecret(length));
    if (!base)
        return false;
    Hide(base, length);
    for (std::size_t at = length; at >= size; at -= size) {
        auto* h = reinterpret_cast<Header*>(base + at - size);
        Expose(h, sizeof(Header));
        h->sizeOrClass = static_cast<std::size_t>(c);
        h->next = g_free[c];
        Hide(h, sizeof(Header));
        g_free[c] = h;
    }
    return true;
}

}  // namespace

void* SecureAlloc(std::size_t bytes) noexcept
{
    if (bytes > (static_cast<std::size_t>(-1) >> 2))
        return nullptr;
    const std::size_t total = bytes + sizeof(Header);
    std::lock_guard<std::mutex> hold(g_mutex);
    if (total > kLargest) {
        // Rare: a mapping of its own, given back when freed.
        const long page = ::sysconf(_SC_PAGESIZE);
        const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
        const std::size_t length = (total + pageSize - 1) / pageSize * pageSize;
        const std::size_t lockedBefore = g_stats.locked;
        auto* h = static_cast<Header*>(MapSecret(length));
        if (!h)
            return nullptr;
        h->sizeOrClass = kLargeMark | length;
        h->next = g_stats.locked != lockedBefore ? h : nullptr;  // marks a locked mapping
        Hide(h, sizeof(Header));
        return h + 1;
    }
    const int c = ClassOf(total);
    if (!g_free[c] && !Refill(c))
        return nullptr;
    Header* h = g_free[c];
    Expose(h, sizeof(Header));
    g_free[c] = h->next;
    h->next = nullptr;
    Hide(h, sizeof(Header));
    Expose(h + 1, bytes);
    return h + 1;
}

void SecureFree(void* block) noexcept
{
    if (!block)
        return;
    Header* h = static_cast<Header*>(block) - 1;
    std::lock_guard<std::mutex> hold(g_mutex);
    Expose(h, sizeof(Header));
    const std::size_t tag = h->sizeOrClass;
    if (tag & kLargeMark) {
        const std::size_t length = tag & ~kLargeMark;
        g_stats.mapped -= length;
        if (h->next)
            g_stats.locked -= length;
        Expose(h, length);
        ::munmap(h, length);
        return;
    }
    const int c = static_cast<int>(tag);
    Hide(h + 1, (std::size_t{1} << (kMinShift + c)) - sizeof(Header));
    h->next = g_free[c];
    Hide(h, sizeof(Header));
    g_free[c] = h;
}

SecurePoolStats SecurePoolUsage() noexcept
{
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_stats;
}

}  // namespace morvane
