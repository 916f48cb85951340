// Process-wide protection of secrets: no core dumps, and a pool of locked pages kept out of
// dumps for the buffers that hold private numbers.
#pragma once

#include <cstddef>

namespace morvane {

// Turns core dumps off for the whole process (RLIMIT_CORE 0 and not dumpable, which also
// keeps other processes of the same user from reading its memory through /proc or ptrace).
// Both programs call it before anything else. MORVANE_ALLOW_CORE_DUMPS=1 in the environment
// leaves dumps as they are, for debugging. Returns true when dumps are off.
bool DisableCoreDumps();

// Blocks from a pool of pages that are locked in memory where the memory-lock limit allows
// (a refused lock is no error) and excluded from core dumps. Freed blocks are kept on free
// lists per size, so only a new batch of pages costs a system call. Thread-safe.
// Null when memory runs out. SecureFree does not wipe: callers wipe what they held.
[[nodiscard]] void* SecureAlloc(std::size_t bytes) noexcept;
// Returns a block of SecureAlloc to the pool; null is accepted.
void SecureFree(void* block) noexcept;

// For tests: bytes the pool has obtained from the system, and how many of them are locked.
struct SecurePoolStats {
    std::size_t mapped = 0;
    std::size_t locked = 0;
};
SecurePoolStats SecurePoolUsage() noexcept;

}  // namespace morvane
