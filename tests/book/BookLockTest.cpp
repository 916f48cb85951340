// The open book's file is held against other programs: a second holder (another KeyTree here,
// as the lock belongs to the open file, not to the process) is refused, the refusal loses
// nothing, and the hold survives the holder's own saves, which replace the file by a rename.

#include "BookFileTesting.h"

#include "platform/FileLock.h"

namespace morvane {
namespace {

class BookLock : public BookFileFixture {};

TEST_F(BookLock, OpenBookIsHeldAcrossSavesAndLetGoByNew)
{
    const std::string path = SaveRandomBookIn(tree, 1, 80, "b", "Held.Bk");
    ASSERT_TRUE(tree.bookPath.empty());
    tree.bookPassword = "pw";
    ASSERT_TRUE(LoadBook(tree, path).Loaded());
    ASSERT_TRUE(tree.bookLock.Covers(path));

    ScriptedDesktop otherDesk;
    KeyTree other{&otherDesk};
    FillRandom(other, 2, 40);
    other.bookPassword = "pw";
    const Bytes before = FileBytes(path);
    const std::string inUse = "密钥簿正被另一个程序使用, 无法写入: " + path;
    EXPECT_EQ(SaveBook(other, path), -1);
    EXPECT_EQ(otherDesk.LastMessage(), inUse);
    EXPECT_EQ(FileBytes(path), before);

    // The holder saves (a new file takes the path) and still holds it.
    ASSERT_EQ(SaveBook(tree, path), 1);
    EXPECT_TRUE(tree.bookLock.Covers(path));
    const Bytes saved = FileBytes(path);
    otherDesk.messages.clear();
    EXPECT_EQ(SaveBook(other, path), -1);
    EXPECT_EQ(otherDesk.LastMessage(), inUse);
    EXPECT_EQ(FileBytes(path), saved);
    FileLock probe;
    EXPECT_EQ(probe.Acquire(path), FileLock::Status::Busy);

    // A book opened while another program holds its file opens, unlocked.
    other.bookPath.clear();
    EXPECT_TRUE(LoadBook(other, path).Loaded());
    EXPECT_FALSE(other.bookLock.Held());

    // New lets the file go.
    desk.answers = {MsgAnswer::Ok};
    EXPECT_TRUE(NewBookCommand(tree));
    EXPECT_FALSE(tree.bookLock.Held());
    EXPECT_EQ(SaveBook(other, path), 1);
    EXPECT_TRUE(other.bookLock.Covers(path));
}

TEST_F(BookLock, BookReplacedByAnotherProgramSinceOpenedIsNotOverwritten)
{
    const std::string path = SaveRandomBookIn(tree, 3, 60, "b", "Moved.Bk");
    tree.bookPath.clear();

    // Another program holds the file while this one opens it...
    FileLock writer;
    ASSERT_EQ(writer.Acquire(path), FileLock::Status::Locked);
    ASSERT_TRUE(LoadBook(tree, path).Loaded());
    EXPECT_FALSE(tree.bookLock.Held());
    // ...and then writes it and lets it go.
    const Bytes theirs = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    ASSERT_TRUE(writer.Replace(path, theirs));
    writer.Release();

    desk.messages.clear();
    EXPECT_EQ(SaveBook(tree, path), -1);
    EXPECT_EQ(desk.LastMessage(), "密钥簿已被另一个程序修改, 无法写入: " + path);
    EXPECT_EQ(FileBytes(path), theirs);
    // Save As elsewhere still works, and the new file is held.
    const std::string copy = InHome("b/Copy.Bk");
    tree.bookPath = copy;
    EXPECT_EQ(SaveBook(tree, copy), 1);
    EXPECT_TRUE(tree.bookLock.Covers(copy));
}

}  // namespace
}  // namespace morvane
