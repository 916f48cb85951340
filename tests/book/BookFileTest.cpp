#include "BookFileTesting.h"

#include <cstring>

#include "book/Compress.h"
#include "book/RunFile.h"
#include "book/TreeStream.h"
#include "crypto/Md5.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

using BookFile = BookFileFixture;

const char* const kEmptyBookName = "密钥通讯薄";

TEST_F(BookFile, NewBookSavesAndReopens)
{
    BuildSampleBook(tree.book);
    const std::string before = DumpBook(tree.book);

    // Cancel keeps everything.
    desk.answers = {MsgAnswer::Cancel};
    EXPECT_FALSE(NewBookCommand(tree));
    EXPECT_EQ(DumpBook(tree.book), before);
    ASSERT_EQ(desk.messages.size(), 1u);
    EXPECT_EQ(desk.LastMessage(), "将删除当前通讯簿, 继续吗?");
    EXPECT_EQ(desk.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(desk.messages[0].icon, MsgIcon::Exclamation);

    tree.bookPath = "/somewhere/old.Bk";
    tree.markedParent = tree.book.FirstRoot();
    tree.transferList = ItemList{tree.book.FirstChild(tree.book.FirstRoot())};
    tree.clipboardMode = kClipCut;
    EXPECT_TRUE(NewBookCommand(tree));
    ASSERT_EQ(tree.book.NodeCount(), 1u);
    EXPECT_EQ(Utf8(tree.book.Text(tree.book.FirstRoot())), kEmptyBookName);
    EXPECT_EQ(tree.book.Kind(tree.book.FirstRoot()), 1);
    EXPECT_TRUE(tree.bookPath.empty());
    EXPECT_FALSE(tree.markedParent);
    EXPECT_FALSE(tree.transferList);
    EXPECT_EQ(tree.clipboardMode, kClipNone);

    // Save: the password question offers the login password; a never-saved book asks for a
    // path starting in the program folder.
    tree.loginPassword = "login";
    desk.passwords = {std::string("secret")};
    const std::string path = InHome("new.Bk");
    desk.savePaths = {path};
    EXPECT_FALSE(SaveBookCommand(tree));
    ASSERT_EQ(desk.passwordRequests.size(), 1u);
    EXPECT_EQ(desk.passwordRequests[0], std::make_pair(kPasswordBook, std::string("login")));
    ASSERT_EQ(desk.saveRequests.size(), 1u);
    EXPECT_EQ(desk.saveRequests[0].defaultExt, "Bk");
    EXPECT_EQ(desk.saveRequests[0].defaultName, "新建密码通讯簿.Bk");
    EXPECT_EQ(desk.saveRequests[0].initialDir, ProgramDir());
    EXPECT_EQ(desk.saveRequests[0].filters,
              (std::vector<FileFilter>{{Phrase::Plain("Book Files (*.Bk)"), "*.Bk"}, {Phrase::Plain("All Files (*.*)"), "*.*"}}));
    EXPECT_EQ(tree.bookPath, path);
    EXPECT_EQ(tree.bookPassword, "secret");

    // The file starts with the password digest.
    const Bytes file = FileBytes(path);
    ASSERT_GT(file.size(), 16u);
    const Md5Bytes d = Md5Of(std::string_view("secret"));
    EXPECT_EQ(0, std::memcmp(file.data(), d.data(), 16));

    // A second Save goes straight to the known path.
    desk.passwords = {std::string("secret")};
    EXPECT_FALSE(SaveBookCommand(tree));
    EXPECT_EQ(desk.saveRequests.size(), 1u);

    // Opened with the right book password: no question at all.
    ScriptedDesktop desk2;
    KeyTree other(&desk2);
    BuildSampleBook(other.book);
    other.bookPassword = "secret";
    const LoadOutcome r = LoadBook(other, path);
    EXPECT_TRUE(r.Loaded());
    EXPECT_TRUE(desk2.messages.empty());
    EXPECT_TRUE(desk2.passwordRequests.empty());
    ASSERT_EQ(other.book.NodeCount(), 1u);
    EXPECT_EQ(Utf8(other.book.Text(other.book.FirstRoot())), kEmptyBookName);
    EXPECT_EQ(other.bookPath, path);
}

TEST_F(BookFile, PasswordLoopAndOpenCommand)
{
    FillRandom(tree, 7);
    const std::string path = InHome("a.Bk");
    SaveUnder(tree, "A", path);

    KeyTree other(&desk);
    BuildSampleBook(other.book);
    const std::string sample = DumpBook(other.book);
    other.bookPassword = "B";

    // Wrong, wrong, right: each refusal shows the digest message and the login-mode dialog.
    desk.passwords = {std::string("C"), std::string("A")};
    LoadOutcome r = LoadBook(other, path);
    EXPECT_TRUE(r.Loaded());
    EXPECT_EQ(other.bookPassword, "A");
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>(2, "通讯簿密码MD5验证未能通过!重新输入打开通讯簿的密码!"));
    ASSERT_EQ(desk.passwordRequests.size(), 2u);
    EXPECT_EQ(desk.passwordRequests[0].first, kPasswordLogin);
    EXPECT_TRUE(BooksEqual(other.book, tree.book));

    // Cancel: refused, nothing changed, not even the password.
    KeyTree third(&desk);
    BuildSampleBook(third.book);
    third.bookPassword = "B";
    third.bookPath = "/old.Bk";
    desk.passwords.clear();
    r = LoadBook(third, path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.outcome, -1);
    EXPECT_EQ(DumpBook(third.book), sample);
    EXPECT_EQ(third.bookPassword, "B");
    EXPECT_EQ(third.bookPath, "/old.Bk");

    // Open: cancel the load's question, then cancel the retry question: title repaint only.
    desk.passwordRequests.clear();
    desk.openPaths = {path};
    desk.passwords = {std::nullopt, std::nullopt};
    EXPECT_TRUE(OpenBookCommand(third));
    EXPECT_EQ(DumpBook(third.book), sample);
    EXPECT_EQ(third.bookPath, "/old.Bk");
    ASSERT_EQ(desk.openRequests.size(), 1u);
    EXPECT_EQ(desk.openRequests[0].initialDir, "");  // folder of "/old.Bk"
    EXPECT_EQ(desk.openRequests[0].defaultName, "*.Bk");
    EXPECT_EQ(desk.openRequests[0].filters,
              (std::vector<FileFilter>{{Phrase::Plain("Book Files (*.Bk)"), "*.Bk"}, {Phrase::Plain("All Files (*.*)"), "*.*"}}));
    ASSERT_EQ(desk.passwordRequests.size(), 2u);
    EXPECT_EQ(desk.passwordRequests[1], std::make_pair(kPasswordBook, std::string()));

    // Open again: cancel the first question, give the right password in the retry question.
    desk.passwordRequests.clear();
    desk.openPaths = {path};
    desk.passwords = {std::nullopt, std::string("A")};
    EXPECT_TRUE(OpenBookCommand(third));
    EXPECT_TRUE(BooksEqual(third.book, tree.book));
    EXPECT_EQ(third.bookPath, path);
    EXPECT_EQ(third.bookPassword, "A");

    // Open cancelled in the chooser; a file that cannot be opened ends without repaint.
    desk.openPaths = {std::nullopt};
    EXPECT_FALSE(OpenBookCommand(third));
    desk.openPaths = {InHome("missing.Bk")};
    EXPECT_FALSE(OpenBookCommand(third));
    EXPECT_EQ(desk.LastMessage(), "不能打开通讯簿: " + InHome("missing.Bk"));
    EXPECT_EQ(desk.openRequests.back().initialDir, home.Path());
    EXPECT_TRUE(BooksEqual(third.book, tree.book));
}

TEST_F(BookFile, DamagedAndEmptyFiles)
{
    FillRandom(tree, 11, 80);
    const std::string path = InHome("d.Bk");
    SaveUnder(tree, "pw", path);
    const Bytes good = FileBytes(path);

    KeyTree other(&desk);
    BuildSampleBook(other.book);
    other.bookPassword = "pw";
    other.bookPath = "/keep.Bk";
    const std::string sample = DumpBook(other.book);
    auto unchanged = [&] {
        EXPECT_EQ(DumpBook(other.book), sample);
        EXPECT_EQ(other.bookPath, "/keep.Bk");
    };

    // One byte of the cipher text changed: the content digest catches it.
    Bytes bad = good;
    bad[good.size() - 40] ^= 0x01;
    PutFile(path, bad);
    LoadOutcome r = LoadBook(other, path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.outcome, -1);
    EXPECT_EQ(desk.LastMessage(), "通讯簿未能通过MD5验证!" + path);
    unchanged();

    // Cipher header damaged (block size 5 words): a silent failure.
    desk.messages.clear();
    bad = good;
    bad[16 + 1] = 5;
    EXPECT_EQ(LoadBookData(other, bad, path).status, -1);
    EXPECT_TRUE(desk.messages.empty());
    unchanged();

    // Shorter than the password digest.
    bad.assign(good.begin(), good.begin() + 10);
    EXPECT_EQ(LoadBookData(other, bad, path).status, -1);
    EXPECT_EQ(desk.LastMessage(), "通讯簿未能通过MD5验证!" + path);
    unchanged();

    // Digest and cipher intact, but the content is not a book: also silent.
    desk.messages.clear();
    for (const Bytes& z : {Bytes{1, 2, 3}, Bytes(100, 0xFF)}) {
        Bytes plain = z;
        const Md5Bytes d = Md5Of(std::span<const std::uint8_t>(z));
        plain.insert(plain.end(), d.begin(), d.end());
        Bytes cipherText;
        ASSERT_EQ(other.cipher.Encrypt(cipherText, plain, "pw"), 1);
        const Md5Bytes pd = Md5Of(std::string_view("pw"));
        Bytes f = cipherText;
        f.insert(f.begin(), pd.begin(), pd.end());
        EXPECT_EQ(LoadBookData(other, f, path).status, -1);
        unchanged();
    }
    EXPECT_TRUE(desk.messages.empty());

    // Empty file: the length message, then the read message with count 0.
    PutFile(path, {});
    r = LoadBook(other, path);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(desk.MessageTexts(),
              (std::vector<std::string>{"通讯簿长度为零！" + path, "读长度为0:" + path}));
    unchanged();

    // A folder is not a book file.
    desk.messages.clear();
    EXPECT_EQ(LoadBook(other, home.Path()).status, -1);
    EXPECT_EQ(desk.LastMessage(), "不能打开通讯簿: " + home.Path());
    unchanged();
}

// The layout, taken apart by hand: digest of the password, cipher buffer of Z and its digest,
// Z expanding to the book's tree stream.
TEST_F(BookFile, FileLayoutAndRandomRoundTrips)
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        FillRandom(tree, seed, seed % 3 == 0 ? 600 : 150);
        tree.book.SetFirstVisible(tree.book.NextPreOrder(tree.book.FirstRoot()));
        const std::string password = seed % 2 ? Gbk("口令") + std::to_string(seed) : "p" + std::string(40, 'x');
        const std::string path = InHome(seed % 2 ? "簿 " + std::to_string(seed) + ".Bk" : "b.Bk");
        SaveUnder(tree, password, path);

        const Bytes file = FileBytes(path);
        ASSERT_GT(file.size(), 16u + 8u);
        const Md5Bytes pd = Md5Of(password);
        EXPECT_EQ(0, std::memcmp(file.data(), pd.data(), 16));
        EXPECT_EQ(file[16], 0);  // block chaining
        EXPECT_EQ(file[17], 8);  // 256-bit block
        EXPECT_EQ(file[18], 8);  // 256-bit key
        Bytes plain;
        ASSERT_EQ(tree.cipher.Decrypt(plain, std::span<const std::uint8_t>(file).subspan(16), password), 1);
        ASSERT_GT(plain.size(), 16u);
        const std::size_t m = plain.size() - 16;
        const Md5Bytes zd = Md5Of(std::span<const std::uint8_t>(plain.data(), m));
        EXPECT_EQ(0, std::memcmp(plain.data() + m, zd.data(), 16));
        Bytes stream, expected;
        CCompress coder;
        ASSERT_EQ(coder.Expand(stream, plain.data(), m), 1);
        ASSERT_EQ(WriteTreeStream(tree, Node{}, expected), 1);
        EXPECT_EQ(stream, expected);

        KeyTree other(&desk);
        other.bookPassword = password;
        BuildSampleBook(other.book);
        other.clickedItem = other.book.FirstRoot();
        ASSERT_TRUE(LoadBook(other, path).Loaded());
        EXPECT_TRUE(BooksEqual(other.book, tree.book));
        EXPECT_EQ(other.book.Text(other.book.FirstVisible()), tree.book.Text(tree.book.FirstVisible()));
        EXPECT_EQ(other.markedCount, tree.markedCount);
        EXPECT_EQ(other.book.Text(other.markedParent), tree.book.Text(tree.markedParent));
        EXPECT_FALSE(other.clickedItem);  // handles into the old book are gone
        EXPECT_EQ(other.bookPath, path);
    }
    EXPECT_TRUE(desk.messages.empty());
}

TEST_F(BookFile, FailedSaveKeepsTheOldFile)
{
    FillRandom(tree, 21, 120);
    const std::string path = InHome("keep.Bk");
    SaveUnder(tree, "pw", path);
    const Bytes original = FileBytes(path);
    const std::vector<std::string> entries = FolderEntries(home.Path());
    KeyTree saved;
    FillRandom(saved, 21, 120);

    FillRandom(tree, 22, 300);  // a different book to save over it
    static AtomicStep failAt;
    for (AtomicStep step : {AtomicStep::Create, AtomicStep::Write, AtomicStep::Sync, AtomicStep::Rename}) {
        failAt = step;
        ScopedAtomicFault fault([](AtomicStep s, const std::string&) { return s == failAt; });
        desk.messages.clear();
        EXPECT_EQ(SaveBook(tree, path), -1);
        EXPECT_EQ(desk.LastMessage(), "不能保存成通讯簿: " + path + " (Input/output error)");
        EXPECT_EQ(FileBytes(path), original);
        EXPECT_EQ(FolderEntries(home.Path()), entries);  // no temporary file left
    }
    KeyTree other(&desk);
    other.bookPassword = "pw";
    ASSERT_TRUE(LoadBook(other, path).Loaded());
    EXPECT_TRUE(BooksEqual(other.book, saved.book));

    // Refusals before any file work: empty path (silent), empty password, no book.
    desk.messages.clear();
    EXPECT_EQ(SaveBook(tree, ""), -1);
    EXPECT_TRUE(desk.messages.empty());
    tree.bookPassword.clear();
    EXPECT_EQ(SaveBook(tree, path), -1);
    EXPECT_EQ(desk.LastMessage(), "不能保存成通讯簿: " + path);
    tree.bookPassword = "pw";
    tree.book.Clear();
    EXPECT_EQ(SaveBook(tree, path), -1);
    // Two top-level items could never be read back: refused too.
    tree.book.Insert(Node{}, ItemKind::BookRoot, "a");
    tree.book.Insert(Node{}, ItemKind::BookRoot, "b");
    EXPECT_EQ(SaveBook(tree, path), -1);
    EXPECT_EQ(FileBytes(path), original);
}

TEST_F(BookFile, SaveAsAndExit)
{
    BuildSampleBook(tree.book);
    tree.loginPassword = "login";
    tree.random.SetSeedPath(InHome("seed.sd"));

    // Save As with no book path: program folder and the new-book name; cancel ends it.
    desk.passwords = {std::string("p1")};
    desk.savePaths = {std::nullopt};
    EXPECT_FALSE(SaveBookAsCommand(tree));
    EXPECT_TRUE(tree.bookPath.empty());
    EXPECT_EQ(desk.saveRequests.back().initialDir, ProgramDir());
    EXPECT_EQ(desk.saveRequests.back().defaultName, "新建密码通讯簿.Bk");

    const std::string dir = InHome("书架");
    std::filesystem::create_directory(dir);
    const std::string first = dir + "/第一.Bk";
    desk.passwords = {std::string("p1")};
    desk.savePaths = {first};
    EXPECT_TRUE(SaveBookAsCommand(tree));
    EXPECT_EQ(tree.bookPath, first);

    // Next time the chooser starts from the book's own folder and name.
    const std::string second = dir + "/第二.Bk";
    desk.passwords = {std::string("p2")};
    desk.savePaths = {second};
    EXPECT_TRUE(SaveBookAsCommand(tree));
    EXPECT_EQ(desk.saveRequests.back().initialDir, dir);
    EXPECT_EQ(desk.saveRequests.back().defaultName, "第一.Bk");
    EXPECT_EQ(tree.bookPath, second);
    EXPECT_EQ(tree.bookPassword, "p2");

    // A save that fails gives no repaint.
    desk.passwords = {std::string("p2")};
    desk.savePaths = {InHome("no/such/folder.Bk")};
    EXPECT_FALSE(SaveBookAsCommand(tree));

    // Exit with a book path: password question, save, seed file, run file.
    tree.bookPath = second;
    desk.messages.clear();
    desk.passwords = {std::string("p3")};
    EXPECT_EQ(SaveAtExit(tree), 1);
    EXPECT_TRUE(FileExists(InHome("seed.sd")));
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"运行文件不存在, 需要重新建立"});
    const Bytes run = FileBytes(RunFilePath());
    EXPECT_EQ(run, BuildRunFile("login", Gbk(second), Gbk(InHome("seed.sd"))));
    KeyTree other;
    other.bookPassword = "p3";
    EXPECT_TRUE(LoadBook(other, second).Loaded());

    // Cancelling the password question skips the save but not the rest.
    const Bytes before = FileBytes(second);
    desk.passwords = {std::nullopt};
    EXPECT_EQ(SaveAtExit(tree), 1);
    EXPECT_EQ(FileBytes(second), before);

    // A failed save stops the exit step before the seed and run files.
    std::filesystem::remove(RunFilePath());
    desk.passwords = {std::string("p3")};
    {
        ScopedAtomicFault fault([](AtomicStep s, const std::string& p) {
            return s == AtomicStep::Rename && p.ends_with(".Bk");
        });
        EXPECT_EQ(SaveAtExit(tree), -1);
    }
    EXPECT_FALSE(FileExists(RunFilePath()));
    EXPECT_EQ(FileBytes(second), before);

    // No book path: the save question; No skips saving.
    tree.bookPath.clear();
    desk.messages.clear();
    desk.answers = {MsgAnswer::No};
    EXPECT_EQ(SaveAtExit(tree), 1);
    EXPECT_EQ(desk.messages.front().Utf8Text(), "需要保存通讯簿吗?");
    EXPECT_EQ(desk.messages.front().icon, MsgIcon::Question);
    EXPECT_EQ(desk.messages.front().buttons, MsgButtons::YesNo);
    EXPECT_TRUE(tree.bookPath.empty());

    // Yes, a chosen path, and the book is saved there.
    const std::string third = InHome("exit.Bk");
    desk.answers = {MsgAnswer::Yes};
    desk.savePaths = {third};
    desk.passwords = {std::string("p4")};
    EXPECT_EQ(SaveAtExit(tree), 1);
    EXPECT_EQ(tree.bookPath, third);
    EXPECT_TRUE(FileExists(third));
    EXPECT_EQ(FileBytes(RunFilePath()), BuildRunFile("login", Gbk(third), Gbk(InHome("seed.sd"))));
}

// Undo after opening a book must not bring back the book that was open before: the next
// save would write it over the opened book's file.
TEST_F(BookFile, OpeningRestartsTheUndoQueue)
{
    KeyTree other;
    FillRandom(other, 31, 60);
    const std::string path = InHome("b.Bk");
    SaveUnder(other, "pw", path);

    BuildSampleBook(tree.book);
    tree.undo.SetDepth(3);
    tree.undo.Bind(&tree);
    ASSERT_EQ(tree.undo.Push(), 1);
    tree.book.Insert(tree.book.FirstRoot(), ItemKind::Directory, "edit");
    ASSERT_EQ(tree.undo.Push(), 1);
    ASSERT_TRUE(tree.undo.CanUndo());

    tree.bookPassword = "pw";
    desk.openPaths = {path};
    EXPECT_TRUE(OpenBookCommand(tree));
    ASSERT_TRUE(BooksEqual(tree.book, other.book));
    EXPECT_FALSE(tree.undo.CanUndo());
    EXPECT_FALSE(tree.undo.CanRedo());

    // An edit after the open can be undone, back to the opened book and no further.
    tree.book.Insert(tree.book.FirstRoot(), ItemKind::Directory, "after");
    ASSERT_EQ(tree.undo.Push(), 1);
    ASSERT_EQ(tree.undo.Undo(), 1);
    EXPECT_TRUE(BooksEqual(tree.book, other.book));
    EXPECT_FALSE(tree.undo.CanUndo());

    // New: the same.
    EXPECT_TRUE(NewBookCommand(tree));
    EXPECT_FALSE(tree.undo.CanUndo());
    EXPECT_FALSE(tree.undo.CanRedo());
    EXPECT_EQ(tree.undo.Current(), 1u);
}

TEST(BookFilePaths, DirectoryAndFileName)
{
    EXPECT_EQ(DirectoryOf("/a/b/c.Bk"), "/a/b");
    EXPECT_EQ(FileNameOf("/a/b/c.Bk"), "c.Bk");
    EXPECT_EQ(DirectoryOf("/c.Bk"), "");
    EXPECT_EQ(FileNameOf("/c.Bk"), "c.Bk");
    EXPECT_EQ(DirectoryOf("c.Bk"), "");
    EXPECT_EQ(FileNameOf("c.Bk"), "");
    EXPECT_EQ(FileNameOf("/a/"), "");
}

}  // namespace
