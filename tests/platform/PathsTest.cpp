#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

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

TEST(Paths, ProgramFoldersArePrivateWhateverTheUmask)
{
    TempDataHome home;
    const mode_t oldMask = ::umask(022);
    auto modeOf = [](const std::string& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 0777;
    };
    {
        const std::string nested = home.Path() + "/a/b";
        ScopedEnv env("XDG_DATA_HOME", nested.c_str());
        const std::string dir = ProgramDir();
        EXPECT_EQ(modeOf(dir), 0700u);
        EXPECT_EQ(modeOf(home.Path() + "/a"), 0700u);  // parents it made too
    }
    // A folder an earlier version left open to others is closed up.
    ASSERT_EQ(::mkdir((home.Path() + "/Morvane").c_str(), 0755), 0);
    EXPECT_EQ(modeOf(ProgramDir()), 0700u);
    ::umask(oldMask);
    std::ofstream(home.File("Morvane/file")) << "x";
    EXPECT_FALSE(MakePrivateFolder(home.File("Morvane/file")));    // no folder
    EXPECT_FALSE(MakePrivateFolder(home.File("Morvane/file/x")));  // nowhere to make it
}
