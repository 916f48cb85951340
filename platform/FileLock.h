// An advisory lock on a file, held by whichever program writes it (or, for the window, has it
// open), so that two programs never replace the same book one over the other. flock(2): it
// belongs to the open file, not to the path, and never blocks here.
//
// A file replaced through a rename is a new file with no lock on it, so a holder that
// rewrites its file takes the lock on the new file before the rename makes it visible
// (Replace), and a holder checks that the path still names the file it locked (Covers).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace morvane {

// Which file a path named at some moment (device and inode); Known() false when none.
struct FileIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    bool known = false;
    bool Known() const { return known; }
    bool operator==(const FileIdentity&) const = default;
};
// The file now at path (symbolic links followed).
FileIdentity IdentityOf(const std::string& path);

class FileLock {
public:
    enum class Status {
        Locked,   // the lock is held
        Busy,     // another open of the file (another program) holds it
        Missing,  // there is no file at the path
        Failed,   // it is no regular file, or it cannot be opened or locked
    };

    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Releases what was held, then locks the file at path without waiting. Path() becomes
    // path in every case and Identity() the file found there (unknown when Missing).
    Status Acquire(const std::string& path);
    void Release();

    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    const FileIdentity& Identity() const { return identity_; }
    // Held, taken for this path, and the path still names the locked file.
    bool Covers(const std::string& path) const;

    // Writes data to path atomically (platform/AtomicFile.h); the new file is locked before
    // it takes the path's place, and on success this lock moves to it (the old file's lock is
    // let go). On failure nothing changes and false is returned.
    bool Replace(const std::string& path, std::span<const std::uint8_t> data);

    // Forgets everything, lock and identity alike.
    void Reset();

private:
    int fd_ = -1;
    std::string path_;
    FileIdentity identity_;
};

}  // namespace morvane
