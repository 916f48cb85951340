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

// Temporary files of earlier replacements of path that a crash left behind. Only names of
// our own pattern, only regular files, and only old ones: a replacement cannot still be
// writing one after this long.
void RemoveLeftovers(const std::string& path)
{
    constexpr time_t kStaleSeconds = 10 * 60;
    const std::string folder = FolderOf(path);
    const std::string prefix = path.substr(path.find_last_of('/') + 1) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string leftover = folder + "/" + name;
        struct stat st;
        if (::lstat(leftover.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kStaleSeconds)
            ::unlink(leftover.c_str());
    }
    ::closedir(dir);
}

} // namespace

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

    std::string temp = path + ".tmp-XXXXXX";
    if (Injected(AtomicStep::Create, path))
        return false;
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;

    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && !Injected(AtomicStep::Write, path) && WriteAll(fd, data.data(), data.size());
    ok = ok && !Injected(AtomicStep::Sync, path) && ::fsync(fd) == 0;
    // Nobody else can have the temporary file open yet, so this lock cannot be refused.
    ok = ok && (!lockedFd || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
    if (!lockedFd) {
        ok = (::close(fd) == 0) && ok;
    }
    ok = ok && !Injected(AtomicStep::Rename, path) && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int why = errno;  // the cleanup must not hide the reason
        if (lockedFd)
            ::close(fd);
        ::unlink(temp.c_str());
        errno = why;
        return false;
    }
    SyncFolder(FolderOf(path));
    RemoveLeftovers(path);
    if (lockedFd)
        *lockedFd = fd;
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
