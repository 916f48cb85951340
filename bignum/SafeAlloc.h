// Heap blocks that know their own size, and the allocation gate of the number code.
#pragma once

#include <cstddef>

namespace morvane {

// Makes sure *block holds at least count elements of elementSize bytes. A missing or too
// small block is reallocated to exactly that size: the old content is kept and every newly
// gained byte is zero. A large enough block, or a count of 0, is left alone.
// Returns 1, or -1 when memory runs out or the size overflows; *block is then null and the
// old block has been released (every caller abandons its whole operation on -1).
// Blocks handled here must be released with SafeFree, never with free or delete.
[[nodiscard]] int SafeAlloc(void** block, std::size_t count, std::size_t elementSize);

template <typename T>
[[nodiscard]] int SafeAlloc(T** block, std::size_t count) {
    void* raw = *block;
    const int result = SafeAlloc(&raw, count, sizeof(T));
    *block = static_cast<T*>(raw);
    return result;
}

// Wipes and releases a block obtained from SafeAlloc; null is accepted.
void SafeFree(void* block);

// Size in bytes of a block obtained from SafeAlloc; 0 for null.
[[nodiscard]] std::size_t SafeBlockSize(const void* block);

// Raw allocation used by every number routine for words and scratch space. Returns null
// when memory runs out (or when a test has armed an allocation failure).
[[nodiscard]] void* NumberAlloc(std::size_t bytes);
// Wipes the block's bytes (numbers hold primes and private exponents) and releases it;
// null is accepted.
void NumberFree(void* block, std::size_t bytes) noexcept;

// Test hook: after `successes` further successful allocations through NumberAlloc or
// SafeAlloc, the next `failures` allocations fail (all of them when failures is negative).
// A negative `successes` disarms the hook.
void FailAllocationsAfter(long successes, long failures = -1);

}  // namespace morvane
