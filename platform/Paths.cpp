#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

std::string HomeDir()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

} // namespace

bool MakePrivateFolder(const std::string& dir)
{
    if (dir.empty())
        return false;
    // Each missing folder on the way is made 0700 whatever the umask: the program's folders
    // hold key books, and even their names are nobody else's business.
    for (std::size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
        const std::string part = dir.substr(0, at);
        if (::mkdir(part.c_str(), 0700) == 0)
            (void)::chmod(part.c_str(), 0700);  // a strict umask may have taken the owner's bits
        else if (errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // An existing folder of ours that others can enter (one an earlier version made under
    // umask 022) is closed up; a folder of another owner is left alone.
    if (st.st_uid == ::getuid() && (st.st_mode & 077) != 0 && ::chmod(dir.c_str(), st.st_mode & 07700) != 0)
        return false;
    return true;
}

std::string ProgramDir()
{
    std::string base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    if (xdg && xdg[0] == '/')
        base = xdg;
    else
        base = HomeDir() + "/.local/share";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string dir = (base == "/" ? std::string() : base) + "/Morvane";
    MakePrivateFolder(dir);
    // Best effort: a folder that cannot be created shows up later as a failed file write.
    return dir;
}

std::string ProgramFile(const std::string& name)
{
    return ProgramDir() + "/" + name;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace morvane
