#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

AtomicFaultHook g_faultHook = nullptr;

bool Injected(AtomicStep step, const std::string& path)
{
    if (!g_faultHook || !g_faultHook(step, path))
        return false;
    errno = EIO;  // an injected failure has a reason to report like a real one
    return true;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

bool WriteAll(int fd, const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

namespace {

// The folder's entry for the renamed file reaches the disk only with the folder synced.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Locks a temporary file for the life of its writer, so that a sweep can tell a live
// writer's file from a killed one's.
bool LockTemporary(int fd)
{
    int r;
    do
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

bool SameFile(int fd, const std::string& path)
{
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A new temporary file for path, locked; its name in temp. -1 on failure.
int CreateTemporary(const std::string& path, std::string& temp)
{
    // A sweep may take a file between its creation and its lock (and remove it): then
    // another name.
    for (int round = 0; round < 8; ++round) {
        temp = path + ".tmp-XXXXXX";
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        if (LockTemporary(fd) && SameFile(fd, temp))
            return fd;
        ::close(fd);
    }
    return -1;
}

} // namespace

void RemoveLeftovers(const std::string& linkOrPath)
{
    // A write through a symbolic link leaves its temporary files beside the file it names.
    std::string path = linkOrPath;
    if (char* real = ::realpath(linkOrPath.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    const std::string folder = FolderOf(path);
    const std::string prefix = path.substr(path.find_last_of('/') + 1) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        // Only regular files of our pattern whose writer no longer holds them. O_NONBLOCK:
        // a FIFO planted under such a name cannot stall the open.
        const std::string leftover = folder + "/" + name;
        const int fd = ::open(leftover.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            const bool unheld = LockTemporary(fd);
            // Where locks do not work at all (some network file systems), age alone tells:
            // no write takes this long.
            const bool stale = !unheld && errno != EWOULDBLOCK && ::time(nullptr) - st.st_mtime > 10 * 60;
            if ((unheld || stale) && SameFile(fd, leftover))
                ::unlink(leftover.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

void SetAtomicFaultHook(AtomicFaultHook hook)
{
    g_faultHook = hook;
}

bool WriteFileAtomically(const std::string& linkOrPath, std::span<const std::uint8_t> data, int* lockedFd)
{
    if (linkOrPath.empty())
        return false;
    // Replace what a symbolic link points to, not the link itself.
    std::string path = linkOrPath;
    struct stat lst;
    if (::lstat(linkOrPath.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* real = ::realpath(linkOrPath.c_str(), nullptr);
        if (!real)
            return false;
        path = real;
        std::free(real);
    }
    // Keep the target's permissions when it exists; new files are private to the user,
    // since everything the program writes is key material or password-derived.
    mode_t mode = 0600;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return false;
        }
        mode = st.st_mode & 0777;
    }

    // What killed writes of this file left behind goes first, so that however many of them
    // were killed, at most one leftover (the last one's) exists at any time.
    RemoveLeftovers(path);
    std::string temp;
    if (Injected(AtomicStep::Create, path))
        return false;
    // Created 0600, and it stays so until it is complete: a leftover of a killed write is
    // never readable by others.
    const int fd = CreateTemporary(path, temp);
    if (fd < 0)
        return false;

    // The lock on the temporary file is held until it has taken the path's place; with
    // lockedFd it goes on as the lock of the new file.
    bool ok = !Injected(AtomicStep::Write, path) && WriteAll(fd, data.data(), data.size());
    ok = ok && !Injected(AtomicStep::Sync, path) && ::fsync(fd) == 0;
    // The target's permissions only now, with the file complete and about to take its place.
    ok = ok && !Injected(AtomicStep::Rename, path) && ::fchmod(fd, mode) == 0 &&
         ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int why = errno;  // the cleanup must not hide the reason
        ::unlink(temp.c_str());
        ::close(fd);
        errno = why;
        return false;
    }
    SyncFolder(FolderOf(path));
    if (lockedFd)
        *lockedFd = fd;
    else
        ::close(fd);
    return true;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::size_t maxSize,
                                                       ReadError* error)
{
    auto fail = [error](ReadError e) -> std::optional<std::vector<std::uint8_t>> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    if (error)
        *error = ReadError::None;
    // Non-blocking, so that a FIFO at the path cannot stall the open; only regular files
    // are read, and for those the flag changes nothing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fail(ReadError::Open);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(ReadError::Open);
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxSize) {
        ::close(fd);
        return fail(ReadError::TooLarge);
    }
    std::vector<std::uint8_t> data;
    // Read until end of file rather than trusting the size: the file may change meanwhile.
    data.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == data.size()) {
            if (data.size() > maxSize) {
                ::close(fd);
                return fail(ReadError::TooLarge);
            }
            data.resize(data.size() * 2 > maxSize + 1 ? maxSize + 1 : data.size() * 2);
        }
        const ssize_t r = ::read(fd, data.data() + got, data.size() - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return fail(ReadError::Read);
        }
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    if (got > maxSize)
        return fail(ReadError::TooLarge);
    data.resize(got);
    return data;
}

}  // namespace morvane
