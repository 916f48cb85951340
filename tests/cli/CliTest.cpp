// morvane-cli run as a real process beside the window's own code path (the core's commands
// driven in this process): books, armored texts and public key texts move both ways, every
// failure has its exit code and leaves the book byte for byte as it was, and a writer is
// refused while the other side holds the book.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "book/BookFile.h"
#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "cli/Cli.h"
#include "bignum/BigInt.h"
#include "message/MessageTesting.h"
#include "message/Protect.h"
#include "message/PublicKeyText.h"
#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/Text.h"
#include "support/CraftedBook.h"
#include "support/TempDataHome.h"

extern char** environ;

namespace morvane {
namespace {

using namespace cli;
using Bytes = std::vector<std::uint8_t>;

struct CliRun {
    int code = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path)
{
    auto data = ReadWholeFile(path);
    return data ? std::string(data->begin(), data->end()) : std::string();
}

void Put(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileAtomically(path, Bytes(text.begin(), text.end())));
}

class Cli : public ::testing::Test {
protected:
    TempDataHome home;
    MessageBook mb;
    std::string book = home.File("Book.Bk");
    Node lock, key, stranger;

    void SetUp() override
    {
        // One directory holding a lock and the key that opens it: a message to oneself is
        // encrypted for the lock, signed by the key, and verified with the lock again.
        lock = mb.AddLock(mb.dir, "对方", KeyOf(512, 0));
        key = mb.AddKey(mb.dir, "我的", KeyOf(512, 0));
        const Node other = mb.AddDirectory("别处");
        stranger = mb.AddLock(other, "别人", KeyOf(512, 1));
        mb.tree.bookPassword = Gbk("密码pw");
        ASSERT_EQ(SaveBook(mb.tree, book), 1);  // the window's save
        mb.tree.bookLock.Reset();                // that window has closed
    }

    // Starts the program with argv args, standard input from a file holding input and the
    // password on descriptor 3 (from passwordFd when given, else from a file).
    struct Started {
        pid_t pid = -1;
        std::string out, err;
    };
    int runs = 0;
    bool passwordOption = true;  // Start adds --password-fd 3
    std::string stdinPath;       // Start reads standard input from here instead (a terminal)

    Started Start(const std::vector<std::string>& args, const std::string& input, const std::string& password,
                  int passwordFd = -1)
    {
        const std::string n = std::to_string(++runs);
        const std::string in = home.File("stdin" + n), pw = home.File("password" + n);
        Started s{-1, home.File("stdout" + n), home.File("stderr" + n)};
        Put(in, input);
        Put(pw, password + "\n");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, stdinPath.empty() ? in.c_str() : stdinPath.c_str(),
                                         stdinPath.empty() ? O_RDONLY : O_RDWR | O_NOCTTY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&fa, 2, s.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (passwordFd >= 0)
            posix_spawn_file_actions_adddup2(&fa, passwordFd, 3);
        else
            posix_spawn_file_actions_addopen(&fa, 3, pw.c_str(), O_RDONLY, 0);
        std::vector<std::string> all = {MORVANE_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        if (passwordOption) {
            all.push_back("--password-fd");
            all.push_back("3");
        }
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&s.pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        return s;
    }

    CliRun Finish(const Started& s)
    {
        CliRun r;
        int status = 0;
        while (waitpid(s.pid, &status, 0) < 0 && errno == EINTR) {
        }
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(s.out);
        r.err = Slurp(s.err);
        return r;
    }

    CliRun Run(const std::vector<std::string>& args, const std::string& input = "",
               const std::string& password = "密码pw")
    {
        return Finish(Start(args, input, password));
    }

    // The window's side: a fresh tree that opens the book under its password.
    std::unique_ptr<MessageBook> Window()
    {
        auto w = std::make_unique<MessageBook>();
        w->tree.book.Clear();
        w->tree.bookPassword = Gbk("密码pw");
        EXPECT_TRUE(LoadBook(w->tree, book).Loaded());
        return w;
    }

    Node Find(MessageBook& w, const std::string& path)
    {
        Node at = w.tree.book.FirstRoot();
        std::size_t start = 0;
        while (at && start <= path.size()) {
            const std::size_t slash = path.find('/', start);
            const std::string label = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            Node found;
            for (Node c = w.tree.book.FirstChild(at); c; c = w.tree.book.NextSibling(c))
                if (w.tree.book.Text(c) == Gbk(label))
                    found = c;
            at = found;
            if (slash == std::string::npos)
                break;
            start = slash + 1;
        }
        return at;
    }
};

TEST_F(Cli, BooksMoveBetweenTheWindowAndTheCli)
{
    // Saved by the window, read by the CLI.
    CliRun r = Run({"show", book, "目录A/我的", "--private", "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find(std::string("\"n\": \"") + KeyOf(512, 0).n + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string("\"d\": \"") + KeyOf(512, 0).d + "\""), std::string::npos);
    r = Run({"show", book, "目录A/我的"});
    EXPECT_EQ(r.out.find(KeyOf(512, 0).d), std::string::npos);  // private values only on request
    r = Run({"list", book});
    ASSERT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out, "加密通讯薄/\n  目录A/\n    对方  lock  512  2026-01-01 00:00:00\n"
                     "    我的  key  512  2026-01-01 00:00:00\n  别处/\n    别人  lock  512  2026-01-01 00:00:00\n");

    // Written by the CLI, read by the window: the new items under the same rules.
    ASSERT_EQ(Run({"add", book, "/", "朋友们", "--dir"}).code, kExitOk);
    ASSERT_EQ(Run({"add", book, "朋友们", "Alice/Bob", "--lock"}).code, kExitOk);
    EXPECT_EQ(Run({"add", book, "朋友们", "Alice/Bob", "--lock"}).code, kExitFailure);  // taken
    EXPECT_EQ(Run({"add", book, "朋友们", "Alice/Bob", "--key"}).code, kExitOk);        // another kind
    EXPECT_EQ(Run({"add", book, "目录A/对方", "x", "--dir"}).code, kExitNotFound);      // not a directory
    auto w = Window();
    const Node friends = Find(*w, "朋友们");
    ASSERT_TRUE(friends);
    ASSERT_EQ(w->tree.book.ChildCount(friends), 2u);
    const Node bob = w->tree.book.FirstChild(friends);
    EXPECT_EQ(w->tree.book.Kind(bob), KindCode(ItemKind::Lock));
    EXPECT_EQ(w->tree.book.ChildCount(bob), 13u);
    EXPECT_EQ(w->tree.book.Text(bob), "Alice/Bob");
    EXPECT_EQ(Run({"show", book, "朋友们/Alice\\/Bob", "--lock"}).code, kExitOk);
    EXPECT_EQ(Run({"show", book, "朋友们/Alice\\/Bob"}).code, kExitUsage);  // names two items
    EXPECT_TRUE(Find(*w, "目录A/我的"));
    w.reset();

    // Removal keeps directories with items unless asked.
    EXPECT_EQ(Run({"remove", book, "朋友们"}).code, kExitFailure);
    EXPECT_EQ(Run({"remove", book, "朋友们", "--recursive"}).code, kExitOk);
    EXPECT_EQ(Run({"remove", book, ""}).code, kExitUsage);
    w = Window();
    EXPECT_FALSE(Find(*w, "朋友们"));
    EXPECT_EQ(w->tree.book.ChildCount(w->tree.book.FirstRoot()), 2u);
}

TEST_F(Cli, ArmoredTextsMoveBothWaysSignedAndUnsigned)
{
    const std::string text = "第一行 hello\n第二行\n";
    for (bool sign : {false, true}) {
        SCOPED_TRACE(sign);
        // CLI to window.
        std::vector<std::string> args = {"encrypt", book, "目录A/对方"};
        if (sign)
            args.insert(args.end(), {"--sign", "目录A/我的"});
        CliRun r = Run(args, text);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_EQ(r.out.substr(0, 4), sign ? "SIGN" : "N_SI");
        auto w = Window();
        const Node wkey = Find(*w, "目录A/我的");
        w->desktop.messages.clear();
        ASSERT_EQ(w->Protect(wkey, Gbk(r.out), 0), 1);
        EXPECT_EQ(w->Output(wkey), Gbk("第一行 hello\r\n第二行\r\n"));  // the window's line breaks
        EXPECT_EQ(w->desktop.LastMessage().find("的签字通过验证") != std::string::npos, sign);

        // Window to CLI.
        const Node wlock = Find(*w, "目录A/对方");
        ASSERT_EQ(w->Protect(wlock, Gbk("窗口 text\r\nend"), sign ? 1 : 0), 1);
        const std::string armored = Utf8(w->Output(wlock));
        r = Run({"decrypt", book, "目录A/我的"}, armored);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_EQ(r.out, "窗口 text\nend");
        EXPECT_EQ(r.err.find("good signature from \"目录A/对方\"") != std::string::npos, sign) << r.err;

        // Verification against a named lock: the right one passes, another fails, and an
        // unsigned message fails it; a failed verification gives no text.
        r = Run({"decrypt", book, "目录A/我的", "--verify", "目录A/对方"}, armored);
        EXPECT_EQ(r.code, sign ? kExitOk : kExitBadSignature);
        r = Run({"decrypt", book, "目录A/我的", "--verify", "别处/别人"}, armored);
        EXPECT_EQ(r.code, kExitBadSignature);
        EXPECT_EQ(r.out, "");
    }
    // A signed text relabelled "N_SI" opens to its signature blocks: no text, whatever bytes
    // they hold, so refused with nothing written.
    for (int i = 0; i < 20; ++i) {
        CliRun r = Run({"encrypt", book, "目录A/对方", "--sign", "目录A/我的"}, "text " + std::to_string(i));
        ASSERT_EQ(r.code, kExitOk) << r.err;
        r = Run({"decrypt", book, "目录A/我的"}, "N_SI" + r.out.substr(4));
        EXPECT_EQ(r.code, kExitDamaged) << i;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Cli, ABadSignatureIsNeverReportedGood)
{
    // A message signed by the key, relabelled as signed by another key's lock: its signer
    // field names that lock, whose key never made the signature blocks.
    CliRun r = Run({"encrypt", book, "目录A/对方", "--sign", "目录A/我的"}, "hi");
    ASSERT_EQ(r.code, kExitOk);
    std::string digest;
    ASSERT_EQ(ModulusDigest(mb.tree.book, stranger, digest), 1);
    std::string forged = r.out;
    forged.replace(4, 32, digest);
    r = Run({"decrypt", book, "目录A/我的", "--verify", "别处/别人"}, forged);
    EXPECT_EQ(r.code, kExitBadSignature);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("BAD signature"), std::string::npos) << r.err;
}

TEST_F(Cli, FailuresHaveTheirExitCodesAndLeaveTheBookAlone)
{
    const std::string before = Slurp(book);
    EXPECT_EQ(Run({"add", book, "目录A", "新", "--lock"}, "", "wrong").code, kExitWrongPassword);
    EXPECT_EQ(Run({"list", book}, "", "wrong").code, kExitWrongPassword);
    EXPECT_EQ(Run({"add", book, "没有", "新", "--lock"}).code, kExitNotFound);
    EXPECT_EQ(Run({"remove", book, "目录A/没有"}).code, kExitNotFound);
    EXPECT_EQ(Run({"keygen", book, "目录A/没有", "--bits", "512"}).code, kExitNotFound);
    EXPECT_EQ(Run({"add", book, "目录A", "\xFF", "--lock"}).code, kExitUsage);  // no UTF-8
    EXPECT_EQ(Run({"add", book, "目录A", "新"}).code, kExitUsage);              // no kind
    EXPECT_EQ(Run({"keygen", book, "目录A/我的", "--bits", "512"}).code, kExitFailure);  // holds a key
    EXPECT_EQ(Run({"import", book, "目录A/对方"}, "no key here").code, kExitDamaged);
    EXPECT_EQ(Slurp(book), before);

    // A damaged file: one byte of its cipher text changed; a file too short for its digest.
    std::string damaged = before;
    damaged[damaged.size() / 2] ^= 0x01;
    Put(book, damaged);
    EXPECT_EQ(Run({"add", book, "目录A", "新", "--lock"}).code, kExitDamaged);
    EXPECT_EQ(Run({"show", book, "目录A/对方"}).code, kExitDamaged);
    EXPECT_EQ(Slurp(book), damaged);
    Put(book, before.substr(0, 10));
    EXPECT_EQ(Run({"remove", book, "目录A/对方"}).code, kExitDamaged);
    EXPECT_EQ(Slurp(book), before.substr(0, 10));
    EXPECT_EQ(Run({"list", home.File("none.Bk")}).code, kExitDamaged);
    EXPECT_EQ(Run({"new", book}).code, kExitFailure);  // never over an existing file
    EXPECT_EQ(Slurp(book), before.substr(0, 10));

    // Damaged input.
    Put(book, before);
    EXPECT_EQ(Run({"decrypt", book, "目录A/我的"}, "N_SI" + std::string(32, 'F') + "XYZ").code, kExitDamaged);
    EXPECT_EQ(Run({"encrypt", book, "目录A/对方"}, "bad \xC0\xAF utf-8").code, kExitDamaged);
    // Nothing is sent that the receiver would refuse as no text: control characters.
    for (const char* text : {"colour \x1B[0m", "page\f", "next line \u0085"}) {
        const CliRun r = Run({"encrypt", book, "目录A/对方"}, text);
        EXPECT_EQ(r.code, kExitDamaged) << text;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Cli, ASecondWriterIsRefusedWhileTheFirstHoldsTheBook)
{
    // The window has the book open: the CLI does not write it.
    auto w = Window();
    ASSERT_TRUE(w->tree.bookLock.Held());
    const std::string before = Slurp(book);
    CliRun r = Run({"add", book, "目录A", "新", "--lock"});
    EXPECT_EQ(r.code, kExitLocked);
    EXPECT_NE(r.err.find("in use by another program"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"show", book, "目录A/对方"}).code, kExitOk);  // reading is never refused
    // The window saves and still holds it.
    ASSERT_EQ(SaveBook(w->tree, book), 1);
    EXPECT_EQ(Run({"remove", book, "目录A/对方"}).code, kExitLocked);
    w.reset();  // the window closes

    // The CLI holds the book while it waits for its password: the window's save is refused
    // and loses nothing, and so is a second CLI.
    auto v = Window();
    v->tree.bookLock.Release();  // as a window that opened it while another program held it
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    const Started first = Start({"add", book, "目录A", "新", "--lock"}, "", "", pipeFds[0]);
    close(pipeFds[0]);
    FileLock probe;
    for (int i = 0; i < 500 && probe.Acquire(book) != FileLock::Status::Busy; ++i) {
        probe.Release();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(probe.Acquire(book), FileLock::Status::Busy);
    const std::string held = Slurp(book);
    EXPECT_EQ(SaveBook(v->tree, book), -1);
    EXPECT_EQ(v->desktop.LastMessage(), "密钥簿正被另一个程序使用, 无法写入: " + book);
    r = Run({"remove", book, "目录A/对方"});
    EXPECT_EQ(r.code, kExitLocked);
    EXPECT_EQ(Slurp(book), held);

    const std::string password = "密码pw\n";
    ASSERT_EQ(write(pipeFds[1], password.data(), password.size()), static_cast<ssize_t>(password.size()));
    close(pipeFds[1]);
    r = Finish(first);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    // The window's book is older than the file now: it is not written over the CLI's item.
    EXPECT_EQ(SaveBook(v->tree, book), -1);
    EXPECT_EQ(v->desktop.LastMessage(), "密钥簿已被另一个程序修改, 无法写入: " + book);
    auto u = Window();
    EXPECT_TRUE(Find(*u, "目录A/新"));
}

TEST_F(Cli, KeysMadeByTheCliServeTheWindowAndPublicKeysMoveBothWays)
{
    ASSERT_EQ(Run({"add", book, "目录A", "新钥匙", "--key"}).code, kExitOk);
    CliRun r = Run({"keygen", book, "目录A/新钥匙", "--bits", "512"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    auto w = Window();
    const Node made = Find(*w, "目录A/新钥匙");
    int complete = 0, failed = 0;
    ASSERT_EQ(CheckKey(w->tree.engine[0], complete, w->tree, made), 1);
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(BitLength(w->tree.engine[0].N), 512u);
    ASSERT_EQ(w->tree.engine[0].SelfTest(failed), 1);
    EXPECT_EQ(failed, 0);

    // The CLI's export is the window's text; the window's export imports in the CLI.
    r = Run({"export", book, "目录A/新钥匙"});
    ASSERT_EQ(r.code, kExitOk);
    w->tree.contextItem = made;
    ExportPublicKey(w->tree);
    const std::string windowText = w->Field(made, ItemKind::OutputField);
    EXPECT_EQ(r.out, windowText + "\r\n");
    w.reset();
    Put(home.File("key.txt"), windowText);
    EXPECT_EQ(Run({"import", book, "别处/别人", home.File("key.txt")}).code, kExitFailure);  // holds another
    ASSERT_EQ(Run({"import", book, "别处/别人", "--force"}, windowText).code, kExitOk);
    w = Window();
    FieldLine n;
    ASSERT_EQ(GetField(w->tree.book, Find(*w, "别处/别人"), KindCode(ItemKind::ModulusField), n), 1);
    FieldLine madeN;
    ASSERT_EQ(GetField(w->tree.book, Find(*w, "目录A/新钥匙"), KindCode(ItemKind::ModulusField), madeN), 1);
    EXPECT_EQ(n.value, madeN.value);
}


TEST_F(Cli, EveryItemArgumentChoosesItsKind)
{
    // A key with a lock of the same name beside it: keygen, show and remove reach each.
    ASSERT_EQ(Run({"add", book, "目录A", "me", "--key"}).code, kExitOk);
    ASSERT_EQ(Run({"add", book, "目录A", "me", "--lock"}).code, kExitOk);
    CliRun r = Run({"keygen", book, "目录A/me", "--bits", "512"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("choose one with --dir, --lock or --key"), std::string::npos) << r.err;
    r = Run({"keygen", book, "目录A/me", "--bits", "512", "--key"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(Run({"show", book, "目录A/me", "--key"}).out.find("n:         " + std::string(1, ' ')), 0u);
    auto w = Window();
    Node madeKey, emptyLock;
    for (Node ch = w->tree.book.FirstChild(Find(*w, "目录A")); ch; ch = w->tree.book.NextSibling(ch))
        if (w->tree.book.Text(ch) == "me")
            (w->tree.book.Kind(ch) == KindCode(ItemKind::Key) ? madeKey : emptyLock) = ch;
    EXPECT_NE(w->Field(madeKey, ItemKind::ModulusField), "");
    EXPECT_EQ(w->Field(emptyLock, ItemKind::ModulusField), "");
    w.reset();
    EXPECT_EQ(Run({"keygen", book, "目录A/me", "--bits", "512", "--dir"}).code, kExitNotFound);
    EXPECT_EQ(Run({"remove", book, "目录A/me", "--lock"}).code, kExitOk);
    EXPECT_EQ(Run({"export", book, "目录A/me"}).code, kExitOk);  // one item of that name now

    // The synopses say so.
    for (const char* command : {"show", "remove", "keygen", "export", "import", "encrypt", "decrypt", "move", "rename"}) {
        r = Run({"help", command});
        EXPECT_EQ(r.code, kExitOk);
        EXPECT_NE(r.out.find("--dir, --lock, --key"), std::string::npos) << command << r.out;
    }
}

TEST_F(Cli, CommandLineFaults)
{
    // help COMMAND is that command's help, not the general usage.
    CliRun r = Run({"help", "list"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out.rfind("usage: morvane-cli list BOOK", 0), 0u) << r.out;
    EXPECT_EQ(Run({"help", "nothing"}).code, kExitUsage);

    // "-" is standard input.
    const Node w = mb.tree.book.FirstRoot();
    (void)w;
    r = Run({"export", book, "目录A/我的"});
    ASSERT_EQ(r.code, kExitOk);
    EXPECT_EQ(Run({"import", book, "别处/别人", "-", "--force"}, r.out).code, kExitOk);
    EXPECT_EQ(Run({"show", book, "别处/别人", "--json"}).out.find(KeyOf(512, 1).n), std::string::npos);

    // No password from a descriptor, empty or closed, is one documented code; a wrong one is another.
    const std::string before = Slurp(book);
    EXPECT_EQ(Run({"list", book}, "", "").code, kExitUsage);
    passwordOption = false;
    r = Run({"add", book, "目录A", "新", "--lock", "--password-fd", "77"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("no password"), std::string::npos) << r.err;
    passwordOption = true;
    EXPECT_EQ(Run({"list", book}, "", "wrong").code, kExitWrongPassword);
    EXPECT_EQ(Slurp(book), before);
}

TEST_F(Cli, ShowJsonHasUniqueMembersAndNumbersAsNumbers)
{
    CliRun r = Run({"show", book, "目录A/我的", "--json", "--private"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::size_t dates = 0;
    for (std::size_t at = r.out.find("\"date\":"); at != std::string::npos; at = r.out.find("\"date\":", at + 1))
        ++dates;
    EXPECT_EQ(dates, 1u) << r.out;
    EXPECT_NE(r.out.find("\"uses\": 0,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"bits\": 512,"), std::string::npos) << r.out;
}

TEST_F(Cli, ReasonsForBooksThatCannotBeReadOrWritten)
{
    // A small file holding more items than any supported book: the core's reason, not "damaged".
    const auto crafted = CraftBookFile(4'000'001, "pw");
    Put(home.File("big.Bk"), std::string(crafted.begin(), crafted.end()));
    CliRun r = Run({"list", home.File("big.Bk")}, "", "pw");
    EXPECT_EQ(r.code, kExitDamaged);
    EXPECT_NE(r.err.find("larger than the program supports (通讯簿超出支持的最大规模"), std::string::npos) << r.err;

    // A write that fails says why, in both programs.
    const std::string nowhere = home.File("no-such-folder/new.Bk");
    r = Run({"new", nowhere});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("不能保存成通讯簿: " + nowhere + " (No such file or directory)"), std::string::npos) << r.err;
}

TEST_F(Cli, ReadingFromATerminalSaysHowToEndTheText)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    CliRun armored = Run({"encrypt", book, "目录A/对方"}, "from a terminal");
    stdinPath = ptsname(master);
    const Started s = Start({"decrypt", book, "目录A/我的"}, "", "密码pw");
    const std::string typed = armored.out + "\x04";  // the line, then Ctrl-D
    ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    // A reader that missed the end of the text would wait for ever: it gets 30 seconds.
    siginfo_t info{};
    for (int i = 0; i < 3000; ++i) {
        if (waitid(P_PID, static_cast<id_t>(s.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (info.si_pid == 0)
        kill(s.pid, SIGKILL);
    const CliRun r = Finish(s);
    close(master);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "from a terminal");
    EXPECT_NE(r.err.find("end it with Ctrl-D"), std::string::npos) << r.err;
}

TEST_F(Cli, TextsThroughFilesAndPipes)
{
    Put(home.File("plain.txt"), "第一行\n二\n");
    ASSERT_EQ(Run({"encrypt", book, "目录A/对方", home.File("plain.txt"), "-o", home.File("sealed.txt"),
                   "--sign", "目录A/我的"}).code, kExitOk);
    // An existing output file that anyone could read is made private before the text lands in it.
    Put(home.File("opened.txt"), "old");
    ASSERT_EQ(chmod(home.File("opened.txt").c_str(), 0644), 0);
    CliRun r = Run({"decrypt", book, "目录A/我的", home.File("sealed.txt"), "--output=" + home.File("opened.txt")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Slurp(home.File("opened.txt")), "第一行\n二\n");
    struct stat st;
    ASSERT_EQ(stat(home.File("opened.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(Run({"decrypt", book, "目录A/我的", "-", "-o", home.File("new.txt")}, Slurp(home.File("sealed.txt"))).code,
              kExitOk);
    ASSERT_EQ(stat(home.File("new.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A failed verification writes nothing; neither does a missing input file.
    r = Run({"decrypt", book, "目录A/我的", home.File("sealed.txt"), "--verify", "别处/别人", "-o", home.File("bad.txt")});
    EXPECT_EQ(r.code, kExitBadSignature);
    EXPECT_EQ(access(home.File("bad.txt").c_str(), F_OK), -1);
    EXPECT_EQ(Run({"encrypt", book, "目录A/对方", home.File("none.txt")}).code, kExitDamaged);

    // export -o gives the same text as standard output.
    ASSERT_EQ(Run({"export", book, "目录A/我的", "-o", home.File("key.pub")}).code, kExitOk);
    EXPECT_EQ(Slurp(home.File("key.pub")), Run({"export", book, "目录A/我的"}).out);
}

TEST_F(Cli, PasswdChangesThePasswordTheWindowOpensWith)
{
    // Old and new password from one descriptor, a line each.
    CliRun r = Run({"passwd", book, "--new-password-fd", "3"}, "", "密码pw\n新密码");
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Run({"list", book}).code, kExitWrongPassword);
    EXPECT_EQ(Run({"list", book}, "", "新密码").code, kExitOk);
    MessageBook w;
    w.tree.book.Clear();
    w.tree.bookPassword = Gbk("新密码");
    ASSERT_TRUE(LoadBook(w.tree, book).Loaded());
    EXPECT_TRUE(Find(w, "目录A/我的"));
    w.tree.bookLock.Reset();

    // No new password: nothing written.
    const std::string before = Slurp(book);
    EXPECT_EQ(Run({"passwd", book, "--new-password-fd", "3"}, "", "新密码\n").code, kExitUsage);
    EXPECT_EQ(Slurp(book), before);
}

TEST_F(Cli, MoveAndRenameKeepTheNameClashRules)
{
    ASSERT_EQ(Run({"add", book, "别处", "对方", "--lock"}).code, kExitOk);
    ASSERT_EQ(Run({"add", book, "目录A", "子目录", "--dir"}).code, kExitOk);
    const std::string before = Slurp(book);
    CliRun r = Run({"move", book, "别处/对方", "目录A"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("already holds a lock named \"对方\""), std::string::npos) << r.err;
    EXPECT_EQ(Run({"move", book, "目录A", "目录A/子目录"}).code, kExitFailure);  // into itself
    EXPECT_EQ(Run({"move", book, "目录A/我的", "目录A/对方"}).code, kExitNotFound);  // not a directory
    EXPECT_EQ(Run({"rename", book, "别处/对方", "别人"}).code, kExitFailure);
    EXPECT_EQ(Run({"rename", book, "目录A/子目录", "a\tb"}).code, kExitUsage);
    EXPECT_EQ(Slurp(book), before);

    // Another kind may share the name; then the move goes through, as a drag does.
    ASSERT_EQ(Run({"rename", book, "别处/对方", "我的"}).code, kExitOk);
    ASSERT_EQ(Run({"move", book, "别处/我的", "目录A/子目录"}).code, kExitOk);
    ASSERT_EQ(Run({"move", book, "目录A/子目录", "/"}).code, kExitOk);
    auto w = Window();
    const Node moved = Find(*w, "子目录/我的");
    ASSERT_TRUE(moved);
    EXPECT_EQ(w->tree.book.Kind(moved), KindCode(ItemKind::Lock));
    EXPECT_EQ(w->tree.book.ChildCount(moved), 13u);
    EXPECT_FALSE(w->tree.book.Marked(moved));
    EXPECT_FALSE(w->tree.book.Marked(Find(*w, "子目录")));
    EXPECT_EQ(w->tree.book.ChildCount(Find(*w, "别处")), 1u);
}

}  // namespace
}  // namespace morvane
