#include "platform/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <filesystem>

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
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
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
