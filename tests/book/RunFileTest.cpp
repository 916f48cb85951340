#include "BookFileTesting.h"

#include <cstring>

#include "book/RunFile.h"
#include "crypto/Md5.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

using RunFile = BookFileFixture;

// A run file that names a book and the default seed file, for the login password.
Bytes RunFileFor(const std::string& login, const std::string& bookPath,
                 const std::string& seedPath = CRandom::DefaultSeedPath())
{
    return BuildRunFile(login, Gbk(bookPath), Gbk(seedPath));
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool IsSampleBook(const Book& b)
{
    return b.NodeCount() > 1 && Utf8(b.Text(b.FirstRoot())) == "加密通讯薄";
}

TEST_F(RunFile, FirstStart)
{
    // No: the application ends, nothing is written.
    desk.answers = {MsgAnswer::No};
    bool first = false;
    EXPECT_FALSE(StartUp(tree, &first));
    EXPECT_TRUE(first);
    ASSERT_EQ(desk.messages.size(), 1u);
    EXPECT_EQ(desk.LastMessage(), "确认此软件仅用于合法用途");
    EXPECT_EQ(desk.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(desk.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(desk.passwordRequests.empty());

    // Yes, then Cancel in the dialog: ends too.
    desk.passwords = {std::nullopt};
    EXPECT_FALSE(StartUp(tree));
    EXPECT_EQ(desk.passwordRequests.back().first, kPasswordSetLogin);
    EXPECT_FALSE(FileExists(RunFilePath()));
    EXPECT_FALSE(FileExists(CRandom::DefaultSeedPath()));

    // Yes, an empty password (asked again: it could never log in), then a real one.
    desk.passwordRequests.clear();
    desk.messages.clear();
    desk.passwords = {std::string(), Gbk("登录")};
    EXPECT_TRUE(StartUp(tree, &first));
    EXPECT_TRUE(first);
    EXPECT_EQ(desk.passwordRequests.size(), 2u);
    EXPECT_EQ(Utf8(tree.loginPassword), "登录");
    EXPECT_EQ(tree.bookPassword, tree.loginPassword);
    EXPECT_TRUE(IsSampleBook(tree.book));
    EXPECT_TRUE(tree.bookPath.empty());
    EXPECT_EQ(tree.random.SeedPath(), ProgramDir() + "/QVX_RAND_SEED.sd");
    EXPECT_TRUE(FileExists(tree.random.SeedPath()));  // made by the first load
    EXPECT_EQ(desk.messages.size(), 1u);               // only the first-use question

    // The run file comes into being at exit.
    desk.answers = {MsgAnswer::No};
    EXPECT_EQ(SaveAtExit(tree), 1);
    EXPECT_EQ(FileBytes(RunFilePath()), RunFileFor(tree.loginPassword, ""));
}

TEST_F(RunFile, LoginAndLastBook)
{
    // A book saved under the login password, named by the run file with a Chinese path.
    KeyTree saved;
    const std::string bookPath = SaveRandomBookIn(saved, 3, 150, "我的 文件", "通讯簿.Bk");
    PutFile(RunFilePath(), RunFileFor("pw", bookPath));

    // Cancel ends the application.
    bool first = true;
    EXPECT_FALSE(StartUp(tree, &first));
    EXPECT_FALSE(first);
    ASSERT_EQ(desk.passwordRequests.size(), 1u);
    EXPECT_EQ(desk.passwordRequests[0].first, kPasswordLogin);

    // Wrong, empty (no message), right.
    desk.passwordRequests.clear();
    desk.passwords = {std::string("bad"), std::string(), std::string("pw")};
    EXPECT_TRUE(StartUp(tree, &first));
    EXPECT_EQ(desk.passwordRequests.size(), 3u);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"密码MD5验证未能通过!"});
    EXPECT_EQ(tree.loginPassword, "pw");
    EXPECT_EQ(tree.bookPath, bookPath);  // reopened without a question
    EXPECT_TRUE(BooksEqual(tree.book, saved.book));
    EXPECT_EQ(tree.random.SeedPath(), CRandom::DefaultSeedPath());
    EXPECT_TRUE(FileExists(CRandom::DefaultSeedPath()));

    // Exit writes back the same content.
    desk.passwords = {std::nullopt};  // skip saving the book
    desk.messages.clear();
    EXPECT_EQ(SaveAtExit(tree), 1);
    EXPECT_TRUE(desk.messages.empty());
    EXPECT_EQ(FileBytes(RunFilePath()), RunFileFor("pw", bookPath));
    const RunFileFields f = ParseRunFile(FileBytes(RunFilePath()));
    EXPECT_EQ(Utf8(f.bookPath), bookPath);
    EXPECT_EQ(f.bookPath, Gbk(bookPath));

    // The book was saved under another password: asked for it; Cancel keeps the sample book.
    // (The first session has ended: its hold on the book is let go.)
    tree.bookLock.Reset();
    SaveUnder(saved, "other", bookPath);
    KeyTree t2(&desk);
    desk.messages.clear();
    desk.passwordRequests.clear();
    desk.passwords = {std::string("pw")};
    EXPECT_TRUE(StartUp(t2));
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"通讯簿密码MD5验证未能通过!重新输入打开通讯簿的密码!"});
    EXPECT_TRUE(IsSampleBook(t2.book));
    EXPECT_TRUE(t2.bookPath.empty());
    EXPECT_EQ(t2.bookPassword, "pw");

    // The last book is gone: its message, then the sample book.
    std::filesystem::remove(bookPath);
    KeyTree t3(&desk);
    desk.passwords = {std::string("pw")};
    EXPECT_TRUE(StartUp(t3));
    EXPECT_EQ(desk.LastMessage(), "不能打开通讯簿: " + bookPath);
    EXPECT_TRUE(IsSampleBook(t3.book));
}

TEST_F(RunFile, DamagedRunFiles)
{
    const Md5Bytes d = Md5Of(std::string_view("pw"));
    auto startWith = [&](const Bytes& content) {
        PutFile(RunFilePath(), content);
        desk.messages.clear();
        desk.passwords = {std::string("pw")};
        KeyTree t(&desk);
        const bool ok = StartUp(t);
        EXPECT_TRUE(IsSampleBook(t.book));
        EXPECT_TRUE(t.bookPath.empty());
        return std::make_pair(ok, t.random.SeedPath());
    };
    auto withLengths = [&](std::uint32_t l1, const std::string& p1, std::uint32_t l2, const std::string& p2) {
        Bytes b(d.begin(), d.end());
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(l1 >> (8 * i)));
        b.insert(b.end(), p1.begin(), p1.end());
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(l2 >> (8 * i)));
        b.insert(b.end(), p2.begin(), p2.end());
        return b;
    };
    const std::string seed = InHome("s.sd");

    // No book path and a good seed path: quiet start, seed file read (made) there.
    auto [ok, seedPath] = startWith(withLengths(0, "", static_cast<std::uint32_t>(seed.size()), seed));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(desk.messages.empty());
    EXPECT_EQ(seedPath, seed);
    EXPECT_TRUE(FileExists(seed));

    // No seed path: the content message, and no seed file read or made.
    std::tie(ok, seedPath) = startWith(withLengths(0, "", 0, ""));
    EXPECT_TRUE(ok);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"运行文件内容错误!"});
    EXPECT_FALSE(FileExists(CRandom::DefaultSeedPath()));
    // The exit step still has somewhere to write the pool, so the run file mends itself.
    EXPECT_EQ(seedPath, CRandom::DefaultSeedPath());

    // Lengths running past the end, a file of the digest alone, and one shorter than that.
    for (const Bytes& b : {withLengths(1000, "/x", 4, "/s.sd"), withLengths(0, "", 1000, "/s.sd"),
                           withLengths(0xFFFFFFFFu, "", 0, ""), Bytes(d.begin(), d.end()),
                           Bytes(d.begin(), d.end()) + Bytes{0, 0}}) {
        std::tie(ok, seedPath) = startWith(b);
        EXPECT_TRUE(ok);
        EXPECT_EQ(desk.LastMessage(), "运行文件内容错误!");
    }
    // A run file too short for the digest fails every login; Cancel ends the application.
    PutFile(RunFilePath(), Bytes(10, 0));
    desk.messages.clear();
    desk.passwords = {std::string("pw")};
    EXPECT_FALSE(StartUp(tree));
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"不能读随机数种子文件: " + RunFilePath()});
}

TEST_F(RunFile, CheckPasswordAndWrite)
{
    EXPECT_FALSE(CheckPassword(&desk, RunFilePath(), "pw"));  // no run file
    PutFile(RunFilePath(), RunFileFor("pw", "/b.Bk"));
    EXPECT_TRUE(CheckPassword(&desk, RunFilePath(), "pw"));
    EXPECT_FALSE(CheckPassword(&desk, "", "pw"));
    EXPECT_FALSE(CheckPassword(&desk, RunFilePath(), ""));
    EXPECT_TRUE(desk.messages.empty());
    EXPECT_FALSE(CheckPassword(&desk, RunFilePath(), "PW"));
    EXPECT_EQ(desk.LastMessage(), "密码MD5验证未能通过!");

    // Layout: digest, then two length-prefixed GBK paths.
    const std::string book = "/数据/簿.Bk";
    const Bytes b = BuildRunFile("pw", Gbk(book), Gbk("/s.sd"));
    const std::string gbk = Gbk(book);
    ASSERT_EQ(b.size(), 16 + 4 + gbk.size() + 4 + 5);
    EXPECT_EQ(b[16], gbk.size());
    EXPECT_EQ(b[17] | b[18] | b[19], 0);
    EXPECT_EQ(std::string(b.begin() + 20, b.begin() + 20 + static_cast<long>(gbk.size())), gbk);
    EXPECT_EQ(b[20 + gbk.size()], 5);
    const RunFileFields f = ParseRunFile(b);
    EXPECT_TRUE(f.hasDigest && f.hasBookPath && f.hasSeedPath);
    EXPECT_EQ(Utf8(f.bookPath), book);
    EXPECT_EQ(f.seedPath, "/s.sd");
    Bytes tail = b;
    tail.push_back(7);  // trailing bytes are ignored
    EXPECT_TRUE(ParseRunFile(tail).hasSeedPath);

    // WriteRunFile over an existing file: atomic, and a failure leaves the old one.
    tree.loginPassword = "new";
    tree.bookPath = book;
    tree.random.SetSeedPath(InHome("s.sd"));
    const Bytes old = FileBytes(RunFilePath());
    {
        ScopedAtomicFault fault([](AtomicStep s, const std::string&) { return s == AtomicStep::Write; });
        EXPECT_EQ(WriteRunFile(tree), -1);
    }
    EXPECT_EQ(desk.LastMessage(), "不能写运行文件: " + RunFilePath());
    EXPECT_EQ(FileBytes(RunFilePath()), old);
    EXPECT_EQ(WriteRunFile(tree), 1);
    EXPECT_EQ(FileBytes(RunFilePath()), BuildRunFile("new", Gbk(book), Gbk(InHome("s.sd"))));

    // Missing: the question first; a file that cannot be created gives the exit message.
    std::filesystem::remove(RunFilePath());
    desk.messages.clear();
    {
        ScopedAtomicFault fault([](AtomicStep s, const std::string&) { return s == AtomicStep::Create; });
        EXPECT_EQ(WriteRunFile(tree), -1);
    }
    EXPECT_EQ(desk.MessageTexts(), (std::vector<std::string>{"运行文件不存在, 需要重新建立",
                                                             "退出。由于不能建立运行文件: " + RunFilePath()}));
    EXPECT_EQ(desk.messages[0].icon, MsgIcon::Question);
    EXPECT_FALSE(FileExists(RunFilePath()));
}

TEST_F(RunFile, ChangeLoginPassword)
{
    PutFile(RunFilePath(), RunFileFor("old", ""));
    desk.passwords = {std::string("old")};
    ASSERT_TRUE(StartUp(tree));
    EXPECT_EQ(tree.bookPassword, "old");

    // Cancel in the confirmation, and in the new password dialog: nothing changes.
    desk.passwordRequests.clear();
    desk.passwords = {std::nullopt};
    EXPECT_EQ(ChangeLoginPassword(tree), 0);
    desk.passwords = {std::string("old"), std::nullopt};
    EXPECT_EQ(ChangeLoginPassword(tree), 0);
    EXPECT_EQ(tree.loginPassword, "old");
    EXPECT_EQ(desk.passwordRequests[0].first, kPasswordConfirmOld);
    EXPECT_EQ(desk.passwordRequests[2].first, kPasswordSetLogin);

    // Wrong confirmation shows the message and asks again; book password follows the login.
    desk.messages.clear();
    desk.passwords = {std::string("wrong"), std::string("old"), std::string("new")};
    EXPECT_EQ(ChangeLoginPassword(tree), 1);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"密码MD5验证未能通过!"});
    EXPECT_EQ(tree.loginPassword, "new");
    EXPECT_EQ(tree.bookPassword, "new");
    // Save now offers the new password.
    desk.passwords = {std::nullopt};
    SaveBookCommand(tree);
    EXPECT_EQ(desk.passwordRequests.back(), std::make_pair(kPasswordBook, std::string("new")));

    // A second change in the same session confirms the current password, not the one the
    // run file still holds; an empty new password is asked again.
    tree.bookPassword = "book";
    desk.passwords = {std::string("new"), std::string(), std::string("newer")};
    EXPECT_EQ(ChangeLoginPassword(tree), 1);
    EXPECT_EQ(tree.loginPassword, "newer");
    EXPECT_EQ(tree.bookPassword, "book");  // differed: left alone
    desk.passwords = {std::string("old"), std::nullopt};
    EXPECT_EQ(ChangeLoginPassword(tree), 0);
    EXPECT_EQ(tree.loginPassword, "newer");

    // The new digest reaches the run file at exit; the next start logs in with it.
    desk.passwords = {std::nullopt};
    ASSERT_EQ(SaveAtExit(tree), 1);
    KeyTree next(&desk);
    desk.messages.clear();
    desk.passwords = {std::string("newer")};
    EXPECT_TRUE(StartUp(next));
    EXPECT_TRUE(desk.messages.empty());  // the seed file, saved under "newer", loads quietly

    // Without a run file (first session) there is no confirmation.
    std::filesystem::remove(RunFilePath());
    desk.passwordRequests.clear();
    desk.passwords = {std::string("x")};
    EXPECT_EQ(ChangeLoginPassword(next), 1);
    ASSERT_EQ(desk.passwordRequests.size(), 1u);
    EXPECT_EQ(desk.passwordRequests[0].first, kPasswordSetLogin);
}

}  // namespace
