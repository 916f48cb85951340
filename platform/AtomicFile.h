// Atomic replacement of files: every file the program writes goes through here, so that a
// failure at any step (full disk, crash, power loss) leaves the previous file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvane {

// Writes data to a temporary file in the target's folder (path + ".tmp-XXXXXX", 0600 until
// complete, locked by its writer), fsyncs it, renames it over path and fsyncs the folder. On
// failure the temporary file is removed, the old file (if any) is untouched, and false is
// returned with errno telling why. Leftovers of killed writes of path are removed first
// (RemoveLeftovers).
// With lockedFd given, the new file is flock(2)ed before the rename puts it in place, and on
// success its open descriptor (still holding that lock) is handed over in *lockedFd: the
// writer keeps the book locked across its replacement (platform/FileLock.h).
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data, int* lockedFd = nullptr);

// Removes the temporary files of path that no live writer holds (a killed write's).
void RemoveLeftovers(const std::string& path);

// Writes all n bytes to fd, going on after short writes and interruptions; false on error.
bool WriteAll(int fd, const void* data, std::size_t n);

enum class ReadError { None, Open, TooLarge, Read };

// The whole content of a file of at most maxSize bytes; nullopt when it cannot be opened or
// read or is larger (error, when given, says which).
constexpr std::size_t kDefaultReadLimit = 64u * 1024 * 1024;
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path,
                                                       std::size_t maxSize = kDefaultReadLimit,
                                                       ReadError* error = nullptr);

// Test hook: the steps of a replacement at which a failure can be injected.
enum class AtomicStep { Create, Write, Sync, Rename };
// Called before each step with the target path; returning true makes that step fail.
// nullptr (the default) injects nothing.
using AtomicFaultHook = bool (*)(AtomicStep step, const std::string& path);
void SetAtomicFaultHook(AtomicFaultHook hook);

// Sets a hook for the lifetime of the object.
class ScopedAtomicFault {
public:
    explicit ScopedAtomicFault(AtomicFaultHook hook) { SetAtomicFaultHook(hook); }
    ~ScopedAtomicFault() { SetAtomicFaultHook(nullptr); }
    ScopedAtomicFault(const ScopedAtomicFault&) = delete;
    ScopedAtomicFault& operator=(const ScopedAtomicFault&) = delete;
};

}  // namespace morvane
