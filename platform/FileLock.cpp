#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/AtomicFile.h"

namespace morvane {

namespace {

FileIdentity FromStat(const struct stat& st)
{
    FileIdentity id;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.known = true;
    return id;
}

}  // namespace

FileIdentity IdentityOf(const std::string& path)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    return FromStat(st);
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), identity_(other.identity_)
{
    other.identity_ = {};
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        identity_ = std::exchange(other.identity_, {});
    }
    return *this;
}

void FileLock::Release()
{
    if (fd_ >= 0) {
        ::close(fd_);  // closing the last descriptor of the open file drops its flock
        fd_ = -1;
    }
}

void FileLock::Reset()
{
    Release();
    path_.clear();
    identity_ = {};
}

FileLock::Status FileLock::Acquire(const std::string& path)
{
    Release();
    path_ = path;
    identity_ = {};
    // A few rounds: the file may be replaced between the open and the lock, and a lock on a
    // file that no longer has the path guards nothing.
    for (int round = 0; round < 8; ++round) {
        // Write access where there is some, for network file systems that turn flock into
        // byte-range locks; non-blocking so that a FIFO at the path cannot stall the open.
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EISDIR))
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            return errno == ENOENT ? Status::Missing : Status::Failed;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return Status::Failed;
        }
        identity_ = FromStat(st);
        int r;
        do
            r = ::flock(fd, LOCK_EX | LOCK_NB);
        while (r != 0 && errno == EINTR);
        if (r != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? Status::Busy : Status::Failed;
        }
        if (IdentityOf(path) == identity_) {
            fd_ = fd;
            // Opening the file is the moment to clear what killed saves of it left behind.
            RemoveLeftovers(path);
            return Status::Locked;
        }
        ::close(fd);
    }
    return Status::Failed;
}

bool FileLock::Covers(const std::string& path) const
{
    return Held() && path == path_ && IdentityOf(path) == identity_;
}

bool FileLock::Replace(const std::string& path, std::span<const std::uint8_t> data)
{
    int fd = -1;
    if (!WriteFileAtomically(path, data, &fd))
        return false;
    struct stat st;
    const FileIdentity id = ::fstat(fd, &st) == 0 ? FromStat(st) : FileIdentity{};
    Release();
    fd_ = fd;
    path_ = path;
    identity_ = id;
    return true;
}

}  // namespace morvane
