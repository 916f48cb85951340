// What morvane-cli (and the window) leave behind where an attacker with local access looks:
// core files of a crash, old books beside the book after killed saves, and a terminal
// without echo after an interrupted password prompt.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "book/BookFile.h"
#include "cli/Cli.h"
#include "message/MessageTesting.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "support/TempDataHome.h"

extern char** environ;

namespace morvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kPassword = "Secret-pw-7Qz1x";

// Runs argv with the given descriptors as 0 and 3 (-1: none) in folder cwd, with core dumps
// allowed as far as this process can allow them.
pid_t Spawn(const std::vector<std::string>& args, const std::string& cwd, int in, int fd3,
            const std::vector<std::string>& env = {})
{
    std::vector<std::string> all = args;
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_CORE, &unlimited);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        if (in >= 0)
            dup2(in, 0);
        if (fd3 == 3)
            fcntl(3, F_SETFD, 0);  // dup2 onto itself would keep close-on-exec
        else if (fd3 >= 0)
            dup2(fd3, 3);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        if (!getenv("SECRETS_TEST_STDERR"))
            dup2(null, 2);
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::vector<std::string> CoresIn(const std::string& dir)
{
    std::vector<std::string> cores;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("core", 0) == 0)
            cores.push_back(e.path().string());
    return cores;
}

// True when a crash in dir leaves a core file there: otherwise a missing core proves nothing.
bool SystemWritesCoresIn(const std::string& dir)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_CORE, &unlimited);
        if (chdir(dir.c_str()) != 0)
            _exit(1);
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
        _exit(1);
    }
    const int status = Wait(pid);
    const bool cored = WIFSIGNALED(status) && WCOREDUMP(status) && !CoresIn(dir).empty();
    for (const std::string& core : CoresIn(dir))
        fs::remove(core);
    return cored;
}

// Waits until pid sleeps (on a read, at this point) a few times in a row.
void WaitUntilAsleep(pid_t pid)
{
    int asleep = 0;
    for (int i = 0; i < 400 && asleep < 5; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        asleep = close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'S' ? asleep + 1 : 0;
        std::this_thread::sleep_for(20ms);
    }
}

class Secrets : public ::testing::Test {
protected:
    TempDataHome home;
    std::string book = home.File("Book.Bk");

    void SetUp() override
    {
        MessageBook mb;
        mb.AddKey(mb.dir, "我的", KeyOf(512, 0));
        mb.tree.bookPassword = Gbk(kPassword);
        ASSERT_EQ(SaveBook(mb.tree, book), 1);
        mb.tree.bookLock.Reset();
    }
};

TEST_F(Secrets, ACrashLeavesNoCoreHoldingThePassword)
{
    const std::string work = home.File("work");
    fs::create_directory(work);
    if (!SystemWritesCoresIn(work))
        GTEST_SKIP() << "this system writes no core files into the working folder";

    // Waiting for a new password on its input, with the book open: its password read and its
    // keys at hand. (decrypt would read its message before the password.)
    int input[2], password[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(password, O_CLOEXEC), 0);
    const pid_t pid = Spawn({MORVANE_CLI_PATH, "passwd", book, "--password-fd", "3", "--new-password-fd", "0"}, work,
                            input[0], password[0]);
    close(input[0]);
    close(password[0]);
    const std::string line = kPassword + "\n";
    ASSERT_EQ(write(password[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    int unread = 1;
    for (int i = 0; i < 500 && unread > 0; ++i) {
        ASSERT_EQ(ioctl(password[1], FIONREAD, &unread), 0);
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(unread, 0);
    WaitUntilAsleep(pid);
    // Undumpable: its /proc entries belong to root (which shows only to a test run as another user).
    struct stat proc;
    if (getuid() != 0 && stat(("/proc/" + std::to_string(pid) + "/status").c_str(), &proc) == 0) {
        EXPECT_EQ(proc.st_uid, 0u);
    }
    kill(pid, SIGSEGV);
    const int status = Wait(pid);
    close(input[1]);
    close(password[1]);
    EXPECT_FALSE(WIFSIGNALED(status) && WCOREDUMP(status));
    for (const std::string& core : CoresIn(work)) {
        std::ifstream in(core, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ADD_FAILURE() << core << " written, " << (content.find(kPassword) != std::string::npos ? "with" : "without")
                      << " the password";
    }
    for (const std::string& core : CoresIn(work))
        fs::remove(core);

#ifdef MORVANE_UI_PATH
    // The window too, from its very start (it waits at the login).
    const std::string data = work + "/data";
    const pid_t window = Spawn({MORVANE_UI_PATH}, work, -1, -1, {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + data});
    for (int i = 0; i < 1000 && !fs::exists(data + "/Morvane"); ++i)
        std::this_thread::sleep_for(10ms);
    WaitUntilAsleep(window);
    kill(window, SIGSEGV);
    const int windowStatus = Wait(window);
    EXPECT_FALSE(WIFSIGNALED(windowStatus) && WCOREDUMP(windowStatus));
    EXPECT_EQ(CoresIn(work), std::vector<std::string>{});
#endif
}

TEST_F(Secrets, KilledSavesLeaveAtMostOneLeftoverAndTheNextSaveNone)
{
    if (system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed";
    auto leftovers = [&] {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(home.Path()))
            if (e.path().filename().string().rfind("Book.Bk.tmp-", 0) == 0)
                found.push_back(e.path().string());
        return found;
    };
    auto add = [&](bool killed) {
        const std::string pw = home.File("pw");
        std::ofstream(pw) << kPassword << "\n";
        const int fd = open(pw.c_str(), O_RDONLY | O_CLOEXEC);
        std::vector<std::string> args = {MORVANE_CLI_PATH, "add", book, "/", "x", "--dir", "--password-fd", "3"};
        if (killed)
            args.insert(args.begin(), {"/usr/bin/env", "strace", "-o", "/dev/null", "-e", "trace=fsync", "-e",
                                       "inject=fsync:signal=KILL:when=1"});
        const int status = Wait(Spawn(args, home.Path(), -1, fd));
        close(fd);
        return status;
    };
    const auto before = ReadWholeFile(book);
    ASSERT_TRUE(before);
    for (int i = 0; i < 5; ++i) {
        add(true);
        const auto left = leftovers();
        ASSERT_EQ(left.size(), 1u) << "after kill " << i + 1;  // the last kill's, and only that
        struct stat st;
        ASSERT_EQ(stat(left[0].c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(ReadWholeFile(book), before);
    const int status = add(false);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == cli::kExitOk);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

// The password prompt of a terminal, interrupted in each way: echo is back afterwards.
TEST_F(Secrets, AnInterruptedPasswordPromptLeavesEchoOn)
{
    struct Way {
        const char* name;
        int signal;        // sent with kill, or 0
        const char* keys;  // typed, or null
        int ends;          // the signal that ends the program, or 0 for an exit
    };
    const Way ways[] = {{"Ctrl-C", 0, "\x03", SIGINT},
                        {"SIGTERM", SIGTERM, nullptr, SIGTERM},
                        {"SIGHUP", SIGHUP, nullptr, SIGHUP},
                        {"Ctrl-D", 0, "\x04", 0}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        int master = -1;
        std::string cli = MORVANE_CLI_PATH, list = "list";
        char* argv[] = {cli.data(), list.data(), book.data(), nullptr};
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execve(argv[0], argv, environ);
            _exit(127);
        }
        // The prompt, then echo off.
        std::string shown;
        termios t{};
        bool quiet = false;
        for (int i = 0; i < 1000 && !quiet; ++i) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) {
                char buf[256];
                const ssize_t r = read(master, buf, sizeof buf);
                if (r > 0)
                    shown.append(buf, static_cast<std::size_t>(r));
            }
            quiet = shown.find("Password for") != std::string::npos && tcgetattr(master, &t) == 0 &&
                    !(t.c_lflag & ECHO);
        }
        ASSERT_TRUE(quiet) << shown;
        if (way.keys)
            ASSERT_EQ(write(master, way.keys, 1), 1);
        else
            kill(pid, way.signal);
        const int status = Wait(pid);
        ASSERT_EQ(tcgetattr(master, &t), 0);
        EXPECT_TRUE(t.c_lflag & ECHO);
        if (way.ends)
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == way.ends) << status;
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != cli::kExitOk) << status;
        close(master);
    }
}

}  // namespace
}  // namespace morvane
