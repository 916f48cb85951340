#include "book/RunFile.h"

#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "book/BookFile.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane {

namespace {

MsgAnswer Ask(Desktop* desktop, const Phrase& text, MsgIcon icon, MsgButtons buttons)
{
    if (!desktop)
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::No
                                                                                 : MsgAnswer::Cancel;
    return Tell(*desktop, text, icon, buttons);
}

void Warn(Desktop* desktop, const Phrase& text)
{
    Ask(desktop, text, MsgIcon::Exclamation, MsgButtons::Ok);
}

std::optional<std::string> AskPassword(KeyTree& tree, PasswordMode mode)
{
    if (!tree.desktop)
        return std::nullopt;
    return tree.desktop->AskPassword(mode, std::string());
}

// A new login password. An empty one is never accepted: the login check refuses empty
// passwords, so it would lock the user out at the next start. Nullopt when cancelled.
std::optional<std::string> AskNewLoginPassword(KeyTree& tree)
{
    for (;;) {
        auto entry = AskPassword(tree, kPasswordSetLogin);
        if (!entry || !entry->empty())
            return entry;
    }
}

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::string RunFilePath()
{
    return ProgramFile(kRunFileName);
}

RunFileFields ParseRunFile(std::span<const std::uint8_t> data)
{
    RunFileFields f;
    const std::size_t n = data.size();
    if (n < kMd5Size)
        return f;
    f.hasDigest = true;
    std::memcpy(f.digest.data(), data.data(), kMd5Size);

    std::size_t p = kMd5Size;
    // Reads one length-prefixed text; false when the length or the text runs past the end.
    auto text = [&](std::string& out) {
        if (n - p < 4)
            return false;
        const std::uint32_t len = ReadLe32(data.data() + p);
        p += 4;
        if (n - p < len)
            return false;
        out.assign(reinterpret_cast<const char*>(data.data()) + p, len);
        p += len;
        return true;
    };
    if (!text(f.bookPath)) {
        f.bookPath.clear();
        return f;
    }
    f.hasBookPath = true;
    std::string seed;
    if (text(seed) && !seed.empty()) {
        f.seedPath = std::move(seed);
        f.hasSeedPath = true;
    }
    return f;
}

std::vector<std::uint8_t> BuildRunFile(const std::string& loginPassword, const std::string& bookPathGbk,
                                       const std::string& seedPathGbk)
{
    constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (bookPathGbk.size() > kMax || seedPathGbk.size() > kMax)
        return {};
    std::vector<std::uint8_t> out;
    try {
        out.reserve(kMd5Size + 8 + bookPathGbk.size() + seedPathGbk.size());
        const Md5Bytes d = Md5Of(loginPassword);
        out.insert(out.end(), d.begin(), d.end());
        PutLe32(out, static_cast<std::uint32_t>(bookPathGbk.size()));
        out.insert(out.end(), bookPathGbk.begin(), bookPathGbk.end());
        PutLe32(out, static_cast<std::uint32_t>(seedPathGbk.size()));
        out.insert(out.end(), seedPathGbk.begin(), seedPathGbk.end());
    } catch (const std::bad_alloc&) {
        return {};
    }
    return out;
}

bool CheckPassword(Desktop* desktop, const std::string& runPath, const std::string& password)
{
    if (runPath.empty() || password.empty() || !FileExists(runPath))
        return false;
    // (These two texts have always named the seed file, though the path is the run file's.)
    ReadError error = ReadError::None;
    auto file = ReadWholeFile(runPath, kRunFileReadLimit, &error);
    if (!file && error == ReadError::Open) {
        Warn(desktop, Phrase(MORVANE_TR("Book", "不能打开随机数种子文件: %1"), {Gbk(runPath)}));
        return false;
    }
    if (!file || file->size() < kMd5Size) {
        Warn(desktop, Phrase(MORVANE_TR("Book", "不能读随机数种子文件: %1"), {Gbk(runPath)}));
        return false;
    }
    const Md5Bytes d = Md5Of(password);
    if (std::memcmp(d.data(), file->data(), kMd5Size) == 0)
        return true;
    Warn(desktop, MORVANE_TR("Book", "密码MD5验证未能通过!"));
    return false;
}

bool StartUp(KeyTree& tree, bool* firstStart)
{
    tree.bookPath.clear();
    const std::string runPath = RunFilePath();
    const bool first = !FileExists(runPath);
    if (firstStart)
        *firstStart = first;

    if (first &&
        Ask(tree.desktop, MORVANE_TR("Book", "确认此软件仅用于合法用途"), MsgIcon::Question, MsgButtons::YesNo) !=
            MsgAnswer::Yes)
        return false;
    for (;;) {
        auto entry = first ? AskNewLoginPassword(tree) : AskPassword(tree, kPasswordLogin);
        if (!entry)
            return false;
        if (first || CheckPassword(tree.desktop, runPath, *entry)) {
            TakeSecret(tree.loginPassword, *entry);
            break;
        }
        Wipe(*entry);
    }

    ReplaceSecret(tree.bookPassword, tree.loginPassword);
    if (!tree.book.Empty())
        RemoveItems(tree, Node{});
    BuildSampleBook(tree.book);
    tree.ForgetAllHandles();
    MendAfterRebuild(tree);

    std::string seedPath;
    if (first) {
        seedPath = CRandom::DefaultSeedPath();
    } else {
        ReadError error = ReadError::None;
        auto file = ReadWholeFile(runPath, kRunFileReadLimit, &error);
        if (!file && error == ReadError::Open) {
            Warn(tree.desktop, Phrase(MORVANE_TR("Book", "退出。由于不能打开运行文件: %1"), {Gbk(runPath)}));
            return false;
        }
        if (!file) {
            Warn(tree.desktop, Phrase(MORVANE_TR("Book", "不能读运行文件: %1"), {Gbk(runPath)}));
        } else {
            const RunFileFields f = ParseRunFile(*file);
            // A refused or failed load keeps the sample book and an empty book path.
            if (f.hasBookPath && !f.bookPath.empty())
                (void)LoadBook(tree, Utf8(f.bookPath));
            if (f.hasSeedPath)
                seedPath = Utf8(f.seedPath);
            else
                Warn(tree.desktop, MORVANE_TR("Book", "运行文件内容错误!"));
        }
    }
    if (!seedPath.empty()) {
        tree.random.SetSeedPath(seedPath);
        (void)tree.random.LoadSeed();  // a failure was told, and the pool keeps its fresh content
    } else if (tree.random.SeedPath().empty()) {
        // The run file named no seed file. The pool is not read, but the exit step needs a
        // path to write it to; without one it would stop before rewriting the run file, and
        // a damaged run file would never mend.
        tree.random.SetSeedPath(CRandom::DefaultSeedPath());
    }
    return true;
}

int WriteRunFile(KeyTree& tree)
{
    const std::string runPath = RunFilePath();
    const std::vector<std::uint8_t> content =
        BuildRunFile(tree.loginPassword, Gbk(tree.bookPath), Gbk(tree.random.SeedPath()));
    const bool existed = FileExists(runPath);
    if (!existed)
        Ask(tree.desktop, MORVANE_TR("Book", "运行文件不存在, 需要重新建立"), MsgIcon::Question, MsgButtons::Ok);
    if (content.empty() || !WriteFileAtomically(runPath, content)) {
        Warn(tree.desktop, Phrase(existed ? MORVANE_TR("Book", "不能写运行文件: %1")
                                          : MORVANE_TR("Book", "退出。由于不能建立运行文件: %1"),
                                  {Gbk(runPath)}));
        return -1;
    }
    return 1;
}

int ChangeLoginPassword(KeyTree& tree)
{
    if (FileExists(RunFilePath())) {
        // Confirmed against the password this session runs under. The run file keeps the
        // digest of the one from before any change made since start-up (it is written at
        // exit), and taking that one back would undo an earlier change behind the user's back.
        for (;;) {
            auto entry = AskPassword(tree, kPasswordConfirmOld);
            if (!entry)
                return 0;
            const bool empty = entry->empty();
            const bool same = *entry == tree.loginPassword;
            Wipe(*entry);
            if (empty)
                continue;
            if (same)
                break;
            Warn(tree.desktop, MORVANE_TR("Book", "密码MD5验证未能通过!"));
        }
    }
    auto entry = AskNewLoginPassword(tree);
    if (!entry)
        return 0;
    if (tree.loginPassword == tree.bookPassword)
        ReplaceSecret(tree.bookPassword, *entry);
    TakeSecret(tree.loginPassword, *entry);
    return 1;
}

}  // namespace morvane
