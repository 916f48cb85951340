// Book files and books beyond the largest one the program supports: refused before anything
// is built from them, with a message naming the file, within bounded memory, and the open book
// (or the old file) stays as it was.
#include "BookFileTesting.h"

#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "book/TreeStream.h"
#include "support/CraftedBook.h"

using namespace morvane;

namespace {

using HostileBook = BookFileFixture;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

const std::string kTooLarge = "通讯簿超出支持的最大规模(400万项, 256MB), ";

// Runs check in a child process with at most limit bytes of address space (not under
// AddressSanitizer, whose shadow memory needs far more) and returns its exit code, or -1
// when it did not exit normally (killed, out of memory).
template <class F>
int InChild(std::size_t limit, F&& check)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!kAddressSanitizer) {
            rlimit r{limit, limit};
            if (::setrlimit(RLIMIT_AS, &r) != 0)
                ::_exit(90);
        }
        ::_exit(check());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(HostileBook, CraftedFilesAreRefusedBeforeTheBookIsBuilt)
{
    // A root holding 13,421,772 empty items is a stream of exactly 256 MiB: it expands, and
    // its items are counted and refused before any node is made. 53,687,091 items (1 GiB)
    // stop the expander once its output passes 256 MiB. Each in 512 MiB of address space.
    for (const std::uint64_t items : {std::uint64_t{13'421'772}, std::uint64_t{53'687'091}}) {
        SCOPED_TRACE(items);
        const std::string path = InHome("crafted" + std::to_string(items) + ".Bk");
        PutFile(path, CraftBookFile(items, "pw"));
        EXPECT_LT(std::filesystem::file_size(path), 2u << 20);  // small files, both
        const int code = InChild(std::size_t{512} << 20, [&] {
            KeyTree other(&desk);
            BuildSampleBook(other.book);
            other.bookPassword = "pw";
            other.bookPath = "/keep.Bk";
            other.markedParent = other.book.FirstRoot();
            const std::string before = DumpBook(other.book);
            desk.messages.clear();
            const LoadOutcome r = LoadBook(other, path);
            if (r.status != -1)
                return 1;
            if (desk.MessageTexts() != std::vector<std::string>{kTooLarge + "不能打开: " + path})
                return 2;
            if (DumpBook(other.book) != before || other.bookPath != "/keep.Bk" ||
                other.markedParent != other.book.FirstRoot())
                return 3;
            return 0;
        });
        EXPECT_EQ(code, 0);
    }
    EXPECT_EQ(FlatBookStreamSize(13'421'772), kMaxBookStreamBytes);
    EXPECT_GT(FlatBookStreamSize(53'687'091), std::uint64_t{1} << 30);

    // A small crafted book opens like any other.
    PutFile(InHome("small.Bk"), CraftBookFile(1000, "pw"));
    KeyTree other(&desk);
    other.bookPassword = "pw";
    ASSERT_TRUE(LoadBook(other, InHome("small.Bk")).Loaded());
    EXPECT_EQ(other.book.NodeCount(), 1001u);
    EXPECT_EQ(other.book.ChildCount(other.book.FirstRoot()), 1000u);
}

TEST_F(HostileBook, FilesLargerThanAnySupportedBookAreNotRead)
{
    // A sparse file one byte beyond what the largest supported stream can code to.
    const std::string path = InHome("huge.Bk");
    {
        std::ofstream f(path, std::ios::binary);
    }
    std::filesystem::resize_file(path, kBookFileReadLimit + 1);
    KeyTree other(&desk);
    BuildSampleBook(other.book);
    const std::string before = DumpBook(other.book);
    EXPECT_EQ(LoadBook(other, path).status, -1);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{kTooLarge + "不能打开: " + path});
    EXPECT_EQ(DumpBook(other.book), before);
}

TEST_F(HostileBook, BooksBeyondTheLimitAreNotSaved)
{
    // Its file could never be opened again: the old file stays.
    FillRandom(tree, 5, 50);
    const std::string path = InHome("keep.Bk");
    SaveUnder(tree, "pw", path);
    const Bytes original = FileBytes(path);

    KeyTree big(&desk);
    big.bookPassword = "pw";
    const Node root = BuildEmptyBook(big.book);
    big.book.Reserve(kMaxBookItems + 1);
    for (std::size_t i = 0; i < kMaxBookItems; ++i)
        big.book.Insert(root, ItemKind::Directory, std::string_view());
    ASSERT_EQ(big.book.NodeCount(), kMaxBookItems + 1);
    Bytes encoded;
    EXPECT_EQ(EncodeBookFile(big, "pw", encoded), kBookTooLarge);
    EXPECT_TRUE(encoded.empty());
    desk.messages.clear();
    EXPECT_EQ(SaveBook(big, path), -1);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{kTooLarge + "不能保存: " + path});
    EXPECT_EQ(FileBytes(path), original);
}

}  // namespace
