#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Paths.h"
#include "support/TempDataHome.h"

using namespace morvane;

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(Paths, ProgramDirFollowsXdgDataHomeAndIsCreated)
{
    TempDataHome home;
    const std::string dir = ProgramDir();
    EXPECT_EQ(dir, home.Path() + "/Morvane");
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(ProgramFile("Run.st"), dir + "/Run.st");

    // A trailing slash does not double up.
    {
        const std::string withSlash = home.Path() + "/";
        ScopedEnv env("XDG_DATA_HOME", withSlash.c_str());
        EXPECT_EQ(ProgramDir(), home.Path() + "/Morvane");
    }
    // Missing parents are created too.
    {
        const std::string nested = home.Path() + "/a/b";
        ScopedEnv env("XDG_DATA_HOME", nested.c_str());
        EXPECT_TRUE(fs::is_directory(ProgramDir()));
    }
}

TEST(Paths, ProgramDirFallsBackToHomeWhenXdgIsUnsetEmptyOrRelative)
{
    TempDataHome scratch;
    ScopedEnv home("HOME", scratch.Path().c_str());
    const std::string expected = scratch.Path() + "/.local/share/Morvane";
    {
        ScopedEnv env("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(ProgramDir(), expected);
        EXPECT_TRUE(fs::is_directory(expected));
    }
    {
        ScopedEnv env("XDG_DATA_HOME", "");
        EXPECT_EQ(ProgramDir(), expected);
    }
    {
        ScopedEnv env("XDG_DATA_HOME", "relative/dir");
        EXPECT_EQ(ProgramDir(), expected);
    }
}

TEST(Paths, FileExistsSeesRegularFilesOnly)
{
    TempDataHome home;
    const std::string file = home.File("seed.sd");
    EXPECT_FALSE(FileExists(file));
    std::ofstream(file) << "x";
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(home.Path()));  // a folder
    EXPECT_FALSE(FileExists(""));
    fs::create_symlink(file, home.File("link"));
    EXPECT_TRUE(FileExists(home.File("link")));
    fs::create_symlink(home.File("missing"), home.File("dangling"));
    EXPECT_FALSE(FileExists(home.File("dangling")));
}
