#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ctime>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "support/TempDataHome.h"

using namespace morvane;

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& s)
{
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

std::vector<std::uint8_t> Raw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::size_t EntriesIn(const std::string& dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++n;
    return n;
}

AtomicStep g_failAt;
int g_hookCalls;
bool FailAt(AtomicStep step, const std::string&)
{
    ++g_hookCalls;
    return step == g_failAt;
}

} // namespace

TEST(AtomicFile, WritesReplacesAndReadsBack)
{
    TempDataHome home;
    const std::string path = home.File("book.Bk");

    ASSERT_TRUE(WriteFileAtomically(path, Bytes("first version")));
    EXPECT_EQ(Raw(path), Bytes("first version"));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // key material is private by default

    // Replacing keeps the existing permissions and leaves no temporary file.
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("second")));
    EXPECT_EQ(Raw(path), Bytes("second"));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(EntriesIn(home.Path()), 1u);

    // Empty content and binary content.
    ASSERT_TRUE(WriteFileAtomically(path, {}));
    EXPECT_TRUE(Raw(path).empty());
    std::vector<std::uint8_t> all(256 * 40);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(WriteFileAtomically(path, all));
    auto back = ReadWholeFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);

    // Writing through a symbolic link replaces its target and keeps the link.
    const std::string link = home.File("link.Bk");
    fs::create_symlink(path, link);
    ASSERT_TRUE(WriteFileAtomically(link, Bytes("via link")));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Raw(path), Bytes("via link"));
}

TEST(AtomicFile, LeftoversOfKilledWritesGoUnlessAWriterHoldsThem)
{
    TempDataHome home;
    const std::string path = home.File("book.Bk");
    auto leave = [&](const std::string& name) { std::ofstream(home.File(name)) << "half a book"; };
    leave("book.Bk.tmp-Ab3xYz");   // a killed write, however recent: removed
    leave("book.Bk.tmp-Qr7sTu");   // a live writer's, locked: kept
    leave("other.Bk.tmp-Ab3xYz");  // another file's: kept
    leave("book.Bk.tmp-Ab3xYz7");  // not our pattern: kept
    const int live = open(home.File("book.Bk.tmp-Qr7sTu").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("saved")));
    EXPECT_FALSE(fs::exists(home.File("book.Bk.tmp-Ab3xYz")));
    EXPECT_TRUE(fs::exists(home.File("book.Bk.tmp-Qr7sTu")));
    EXPECT_TRUE(fs::exists(home.File("other.Bk.tmp-Ab3xYz")));
    EXPECT_TRUE(fs::exists(home.File("book.Bk.tmp-Ab3xYz7")));
    EXPECT_EQ(Raw(path), Bytes("saved"));
    // Its writer gone, the next open of the book clears it.
    close(live);
    FileLock lock;
    ASSERT_EQ(lock.Acquire(path), FileLock::Status::Locked);
    EXPECT_FALSE(fs::exists(home.File("book.Bk.tmp-Qr7sTu")));
}

namespace {
// What a write in progress shows another process: its temporary file, private and locked.
int g_tempMode, g_tempLocked;
bool InspectTemporary(AtomicStep step, const std::string& path)
{
    if (step != AtomicStep::Rename)
        return false;
    const std::string dir = fs::path(path).parent_path().string();
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().find(".tmp-") == std::string::npos)
            continue;
        struct stat st;
        stat(e.path().c_str(), &st);
        g_tempMode = static_cast<int>(st.st_mode & 0777);
        const int fd = open(e.path().c_str(), O_RDONLY | O_CLOEXEC);
        g_tempLocked = flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
    }
    return false;
}
} // namespace

TEST(AtomicFile, AWriteInProgressIsPrivateAndLockedAndKeepsTheModeAfterwards)
{
    TempDataHome home;
    const std::string path = home.File("shared.Bk");
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("old")));
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);  // the user chose to share it
    g_tempMode = g_tempLocked = -1;
    {
        ScopedAtomicFault fault(InspectTemporary);
        ASSERT_TRUE(WriteFileAtomically(path, Bytes("new")));
    }
    EXPECT_EQ(g_tempMode, 0600);
    EXPECT_EQ(g_tempLocked, 1);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(AtomicFile, FailureAtAnyStepLeavesTheOldFileByteIdentical)
{
    TempDataHome home;
    const std::string path = home.File("QVX_RAND_SEED.sd");
    std::vector<std::uint8_t> old(1072);
    for (std::size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    ASSERT_TRUE(WriteFileAtomically(path, old));

    for (AtomicStep step : {AtomicStep::Create, AtomicStep::Write, AtomicStep::Sync, AtomicStep::Rename}) {
        g_failAt = step;
        g_hookCalls = 0;
        {
            ScopedAtomicFault fault(FailAt);
            EXPECT_FALSE(WriteFileAtomically(path, Bytes("new content that must not land")));
        }
        EXPECT_GT(g_hookCalls, 0);
        EXPECT_EQ(Raw(path), old) << static_cast<int>(step);
        EXPECT_EQ(EntriesIn(home.Path()), 1u) << "temporary file left behind";
    }
    // With the hook gone, writes work again; a failure on a missing file creates nothing.
    EXPECT_TRUE(WriteFileAtomically(path, Bytes("ok")));
    g_failAt = AtomicStep::Rename;
    {
        ScopedAtomicFault fault(FailAt);
        EXPECT_FALSE(WriteFileAtomically(home.File("fresh"), Bytes("x")));
    }
    EXPECT_FALSE(fs::exists(home.File("fresh")));
    EXPECT_EQ(EntriesIn(home.Path()), 1u);
}

TEST(AtomicFile, UnwritableTargetsFailCleanly)
{
    TempDataHome home;
    EXPECT_FALSE(WriteFileAtomically("", Bytes("x")));
    EXPECT_FALSE(WriteFileAtomically(home.File("no/such/folder/file"), Bytes("x")));
    // A folder in the way is not replaced.
    fs::create_directory(home.File("dir"));
    EXPECT_FALSE(WriteFileAtomically(home.File("dir"), Bytes("x")));
    EXPECT_TRUE(fs::is_directory(home.File("dir")));
    EXPECT_EQ(EntriesIn(home.Path()), 1u);
}

TEST(AtomicFile, ReadWholeFileHonoursTheLimitAndReportsWhy)
{
    TempDataHome home;
    const std::string path = home.File("f");
    ReadError error = ReadError::None;

    EXPECT_FALSE(ReadWholeFile(path, 100, &error));
    EXPECT_EQ(error, ReadError::Open);
    EXPECT_FALSE(ReadWholeFile(home.Path(), 100, &error));  // a folder
    EXPECT_EQ(error, ReadError::Open);

    ASSERT_TRUE(WriteFileAtomically(path, std::vector<std::uint8_t>(100, 1)));
    auto exact = ReadWholeFile(path, 100, &error);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->size(), 100u);
    EXPECT_EQ(error, ReadError::None);
    EXPECT_FALSE(ReadWholeFile(path, 99, &error));
    EXPECT_EQ(error, ReadError::TooLarge);

    ASSERT_TRUE(WriteFileAtomically(path, {}));
    auto empty = ReadWholeFile(path, 0, &error);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

// A lock taken on a file stays with the file a replacement puts in its place, so that no
// other writer can slip in between the rename and a new lock.
TEST(FileLockTest, ReplaceKeepsTheLockOnTheNewFile)
{
    TempDataHome home;
    const std::string path = home.File("book.Bk");
    FileLock a, b;
    EXPECT_EQ(a.Acquire(path), FileLock::Status::Missing);
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("one")));
    ASSERT_EQ(a.Acquire(path), FileLock::Status::Locked);
    EXPECT_EQ(b.Acquire(path), FileLock::Status::Busy);
    ASSERT_TRUE(a.Replace(path, Bytes("two")));
    EXPECT_EQ(Raw(path), Bytes("two"));
    EXPECT_TRUE(a.Covers(path));
    EXPECT_EQ(b.Acquire(path), FileLock::Status::Busy);
    // A replacement behind the holder's back is seen.
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("three")));
    EXPECT_FALSE(a.Covers(path));
    EXPECT_EQ(b.Acquire(path), FileLock::Status::Locked);
    a.Release();
    EXPECT_EQ(a.Acquire(path), FileLock::Status::Busy);
    EXPECT_EQ(a.Acquire(home.Path()), FileLock::Status::Failed);  // a folder
}
