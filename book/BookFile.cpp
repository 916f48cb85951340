#include "book/BookFile.h"

#include <cerrno>
#include <cstring>
#include <strings.h>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "book/Compress.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/RunFile.h"
#include "book/TreeStream.h"
#include "crypto/Md5.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane {

namespace {

// Native form of the name offered for a book never saved.
constexpr const char* kNewBookName = "新建密码通讯簿.Bk";

MsgAnswer Ask(KeyTree& tree, const Phrase& text, MsgIcon icon, MsgButtons buttons)
{
    if (!tree.desktop)
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::No
                                                                                 : MsgAnswer::Cancel;
    return Tell(*tree.desktop, text, icon, buttons);
}

void Warn(KeyTree& tree, const Phrase& text)
{
    Ask(tree, text, MsgIcon::Exclamation, MsgButtons::Ok);
}

std::optional<std::string> AskPassword(KeyTree& tree, PasswordMode mode, const std::string& preset)
{
    if (!tree.desktop)
        return std::nullopt;
    return tree.desktop->AskPassword(mode, preset);
}

constexpr Source kTooLargeToOpen = MORVANE_TR("Book", "通讯簿超出支持的最大规模(%1万项, %2MB), 不能打开: %3");
constexpr Source kTooLargeToSave = MORVANE_TR("Book", "通讯簿超出支持的最大规模(%1万项, %2MB), 不能保存: %3");

// One of the two texts above: the size limit (400万项, 256MB) and the file.
Phrase TooLargeText(Source text, const std::string& where)
{
    return Phrase(text, {std::to_string(kMaxBookItems / 10000), std::to_string(kMaxBookStreamBytes >> 20), where});
}

bool DigestEquals(const Md5Bytes& d, const std::uint8_t* p)
{
    return std::memcmp(d.data(), p, kMd5Size) == 0;
}

// The book password question of Save, Save As and save at exit, with the login password
// offered. False when cancelled.
bool AskBookPassword(KeyTree& tree)
{
    auto entry = AskPassword(tree, kPasswordBook, tree.loginPassword);
    if (!entry)
        return false;
    TakeSecret(tree.bookPassword, *entry);
    return true;
}

// The snapshots of the book that was replaced must not come back: undo would put the old
// book under the new book's path, and the next save would write it over the new file. The
// queue starts again from the new book (nothing happens before the queue is set up).
void RestartUndo(KeyTree& tree)
{
    tree.undo.Clear();
    if (tree.undo.Depth() > 1)
        tree.undo.Push();
}

std::optional<std::string> ChooseSave(KeyTree& tree, const FileChoice& choice)
{
    if (!tree.desktop)
        return std::nullopt;
    return tree.desktop->ChooseSaveFile(choice);
}

}  // namespace

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

FileChoice BookSaveChoice(const std::string& bookPath, bool fromBookPath)
{
    FileChoice c;
    c.defaultExt = "Bk";
    c.filters = kBookFileFilters;
    if (fromBookPath && !bookPath.empty()) {
        c.defaultName = FileNameOf(bookPath);
        c.initialDir = DirectoryOf(bookPath);
    } else {
        c.defaultName = kNewBookName;
        c.initialDir = ProgramDir();
    }
    return c;
}

FileChoice BookOpenChoice(const std::string& bookPath)
{
    FileChoice c;
    c.defaultExt = "Bk";
    c.defaultName = "*.Bk";
    c.filters = kBookFileFilters;
    c.initialDir = bookPath.empty() ? ProgramDir() : DirectoryOf(bookPath);
    return c;
}

// ---------------------------------------------------------------------------------------
// Content

namespace {

// Joins a helper thread when the scope ends, however it ends.
struct JoinOnExit {
    std::thread& t;
    ~JoinOnExit()
    {
        if (t.joinable())
            t.join();
    }
};

// Runs f on a thread of its own, or here when none can be started.
template <class F>
std::thread Alongside(F&& f)
{
    try {
        return std::thread(f);
    } catch (const std::system_error&) {
        f();
        return std::thread();
    }
}

}  // namespace

int EncodeBookFile(KeyTree& tree, std::string_view password, std::vector<std::uint8_t>& out)
{
    // The reader accepts exactly one top-level item; anything else would make a file that
    // can never be opened again, so refuse to write it over a good one.
    if (tree.book.ChildCount(Node{}) != 1 || password.empty())
        return -1;
    // A file the loader would refuse must not replace one it opens.
    if (tree.book.NodeCount() > kMaxBookItems)
        return kBookTooLarge;
    // Decrypted books hold private keys: wiped before the memory goes back.
    std::vector<std::uint8_t> stream, plain, cipherText;
    WipeOnExit w1{stream}, w2{plain};
    try {
        if (WriteTreeStream(tree, Node{}, stream) != 1)
            return -1;
        if (stream.size() > kMaxBookStreamBytes)
            return kBookTooLarge;
        if (tree.codec.Compress(plain, stream) != 1)
            return -1;
        Wipe(stream);
        std::vector<std::uint8_t>().swap(stream);
        // The content digest, the plaintext's last bytes, is taken on a thread of its own
        // while the cipher chains the content's whole blocks.
        Md5Bytes contentDigest{};
        std::thread digester = Alongside([&contentDigest, &plain] { contentDigest = Md5Of(plain); });
        JoinOnExit join{digester};
        const auto digestTail = [&](std::uint8_t* tail) {
            if (digester.joinable())
                digester.join();
            std::memcpy(tail, contentDigest.data(), kMd5Size);
        };
        if (tree.cipher.EncryptWithTail(cipherText, plain, kMd5Size, digestTail, password, 256, 256) != 1)
            return -1;
        const Md5Bytes passwordDigest = Md5Of(password);
        out.clear();
        out.reserve(kMd5Size + cipherText.size());
        out.insert(out.end(), passwordDigest.begin(), passwordDigest.end());
        out.insert(out.end(), cipherText.begin(), cipherText.end());
    } catch (const std::bad_alloc&) {
        out.clear();
        return -1;
    }
    return 1;
}

BookContentError DecodeBookContent(std::span<const std::uint8_t> cipherText, std::string_view password,
                                   CRijndael& cipher, CCompress& codec, std::vector<std::uint8_t>& stream)
{
    stream.clear();
    std::vector<std::uint8_t> plain;
    WipeOnExit w{plain};
    try {
        if (cipher.Decrypt(plain, cipherText, password) != 1 || plain.size() < kMd5Size)
            return BookContentError::Cipher;
        const std::size_t m = plain.size() - kMd5Size;
        // The digest is taken on a thread of its own while the content expands; what a
        // content failing its digest expanded to is thrown away.
        const std::span<const std::uint8_t> coded(plain.data(), m);
        Md5Bytes digest{};
        int expanded = kExpandMalformed;
        {
            std::thread digester = Alongside([&digest, coded] { digest = Md5Of(coded); });
            JoinOnExit join{digester};
            expanded = codec.Expand(stream, plain.data(), m, kMaxBookStreamBytes);
        }
        if (!DigestEquals(digest, plain.data() + m)) {
            Wipe(stream);
            return BookContentError::Digest;
        }
        if (expanded != 1) {
            stream.clear();
            return expanded == kExpandTooLarge ? BookContentError::TooLarge : BookContentError::Expand;
        }
    } catch (const std::bad_alloc&) {
        stream.clear();
        return BookContentError::Cipher;
    }
    return BookContentError::None;
}

// ---------------------------------------------------------------------------------------
// Load and save

namespace {
LoadOutcome LoadContent(KeyTree& tree, std::span<const std::uint8_t> file, const std::string& path,
                        std::vector<std::uint8_t>* release, FileLock* lock);
}

LoadOutcome LoadBook(KeyTree& tree, const std::string& path)
{
    const std::string where = Gbk(path);
    // The lock is taken before the file is read, so that it guards what was read. A file
    // another program holds (a writer at work) opens all the same, unlocked; a save then
    // checks again. Reopening the open book keeps the lock it has.
    FileLock lock;
    const bool reopened = tree.bookLock.Covers(path);
    if (!reopened)
        (void)lock.Acquire(path);
    ReadError error = ReadError::None;
    auto file = ReadWholeFile(path, kBookFileReadLimit, &error);
    if (!file) {
        if (error == ReadError::Open)
            Warn(tree, Phrase(MORVANE_TR("Book", "不能打开通讯簿: %1"), {where}));
        else if (error == ReadError::TooLarge)
            Warn(tree, TooLargeText(kTooLargeToOpen, where));
        else
            Warn(tree, Phrase(MORVANE_TR("Book", "读文件异常：%1"), {where}));
        return {};
    }
    WipeOnExit w{*file};
    if (file->empty()) {
        Warn(tree, Phrase(MORVANE_TR("Book", "通讯簿长度为零！%1"), {where}));
        Warn(tree, Phrase(MORVANE_TR("Book", "读长度为0:%1"), {where}));
        return {};
    }
    return LoadContent(tree, *file, path, &*file, reopened ? nullptr : &lock);
}

namespace {

// LoadBookData; the file's buffer, when given, is wiped and released once deciphered, so that
// it does not stay while the book is built (file is not looked at after that).
LoadOutcome LoadContent(KeyTree& tree, std::span<const std::uint8_t> file, const std::string& path,
                        std::vector<std::uint8_t>* release, FileLock* lock)
{
    const std::string where = Gbk(path);
    if (file.size() < kMd5Size) {
        // Too short to hold even the password digest: nothing a password could fix.
        Warn(tree, Phrase(MORVANE_TR("Book", "通讯簿未能通过MD5验证!%1"), {where}));
        return {};
    }

    std::string candidate = tree.bookPassword;
    WipeOnExit wipeCandidate{candidate};
    while (!DigestEquals(Md5Of(candidate), file.data())) {
        Warn(tree, MORVANE_TR("Book", "通讯簿密码MD5验证未能通过!重新输入打开通讯簿的密码!"));
        auto entry = AskPassword(tree, kPasswordLogin, std::string());
        if (!entry)
            return {1, -1};
        TakeSecret(candidate, *entry);
    }
    ReplaceSecret(tree.bookPassword, candidate);

    std::vector<std::uint8_t> stream;
    WipeOnExit w{stream};
    switch (DecodeBookContent(file.subspan(kMd5Size), tree.bookPassword, tree.cipher, tree.codec, stream)) {
    case BookContentError::None:
        break;
    case BookContentError::Digest:
        Warn(tree, Phrase(MORVANE_TR("Book", "通讯簿未能通过MD5验证!%1"), {where}));
        return {1, -1};
    case BookContentError::TooLarge:
        Warn(tree, TooLargeText(kTooLargeToOpen, where));
        return {};
    case BookContentError::Cipher:
    case BookContentError::Expand:
        return {};
    }
    if (release) {
        Wipe(*release);
        std::vector<std::uint8_t>().swap(*release);
    }
    // The reader counts the items and builds the new book aside, swapping it in only when the
    // whole stream was sound, so a failure here leaves the open book as it was.
    const int read = ReadTreeStream(tree, Node{}, stream, kMaxBookItems);
    if (read == kStreamTooLarge)
        Warn(tree, TooLargeText(kTooLargeToOpen, where));
    if (read != 1)
        return {};
    MendAfterRebuild(tree);
    RestartUndo(tree);
    tree.bookPath = path;
    if (lock)
        tree.bookLock = std::move(*lock);
    else if (!tree.bookLock.Covers(path))
        tree.bookLock.Reset();  // content from memory: which file it came from is unknown
    return {1, 1};
}

}  // namespace

LoadOutcome LoadBookData(KeyTree& tree, std::span<const std::uint8_t> file, const std::string& path)
{
    return LoadContent(tree, file, path, nullptr, nullptr);
}

int SaveBook(KeyTree& tree, const std::string& path)
{
    if (path.empty())
        return -1;
    std::vector<std::uint8_t> file;
    const int encoded = EncodeBookFile(tree, tree.bookPassword, file);
    if (encoded == kBookTooLarge) {
        Warn(tree, TooLargeText(kTooLargeToSave, Gbk(path)));
        return -1;
    }
    if (encoded != 1) {
        Warn(tree, Phrase(MORVANE_TR("Book", "不能保存成通讯簿: %1"), {Gbk(path)}));
        return -1;
    }
    // Another program may hold the file (writing it), or may have replaced it since this book
    // was read from it: writing over it then would lose what that program wrote.
    FileLock fresh;
    FileLock* lock = &tree.bookLock;
    if (!tree.bookLock.Covers(path)) {
        lock = &fresh;
        const FileLock::Status status = fresh.Acquire(path);
        if (status == FileLock::Status::Busy) {
            Warn(tree, Phrase(MORVANE_TR("Book", "密钥簿正被另一个程序使用, 无法写入: %1"), {Gbk(path)}));
            return -1;
        }
        const FileIdentity& known = tree.bookLock.Identity();
        if (status == FileLock::Status::Locked && tree.bookLock.Path() == path && known.Known() &&
            fresh.Identity() != known) {
            Warn(tree, Phrase(MORVANE_TR("Book", "密钥簿已被另一个程序修改, 无法写入: %1"), {Gbk(path)}));
            return -1;
        }
    }
    if (!lock->Replace(path, file)) {
        // The system's reason tells a full disk from a read-only folder or a missing right.
        const int why = errno;
        Warn(tree, Phrase(MORVANE_TR("Book", "不能保存成通讯簿: %1 (%2)"), {Gbk(path), Gbk(std::strerror(why))}));
        return -1;
    }
    // The open book's file stays locked across the save; a copy saved elsewhere is let go.
    if (lock == &fresh && path == tree.bookPath)
        tree.bookLock = std::move(fresh);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Commands

bool NewBookCommand(KeyTree& tree)
{
    if (Ask(tree, MORVANE_TR("Book", "将删除当前通讯簿, 继续吗?"), MsgIcon::Exclamation, MsgButtons::OkCancel) !=
        MsgAnswer::Ok)
        return false;
    tree.bookPath.clear();
    tree.bookLock.Reset();
    RemoveItems(tree, Node{});
    BuildEmptyBook(tree.book);
    // A new book keeps nothing of the old one: no marks, no pending cut or copy.
    tree.ForgetAllHandles();
    MendAfterRebuild(tree);
    RestartUndo(tree);
    return true;
}

bool OpenBookCommand(KeyTree& tree)
{
    if (!tree.desktop)
        return false;
    auto chosen = tree.desktop->ChooseOpenFile(BookOpenChoice(tree.bookPath));
    if (!chosen)
        return false;
    for (;;) {
        const LoadOutcome r = LoadBook(tree, *chosen);
        if (r.status != 1)
            return false;
        if (r.outcome == 1)
            return true;
        auto entry = AskPassword(tree, kPasswordBook, std::string());
        if (!entry)
            return true;
        TakeSecret(tree.bookPassword, *entry);
    }
}

bool SaveBookCommand(KeyTree& tree)
{
    if (!AskBookPassword(tree))
        return false;
    if (tree.bookPath.empty()) {
        auto chosen = ChooseSave(tree, BookSaveChoice(tree.bookPath, false));
        if (!chosen)
            return false;
        tree.bookPath = *chosen;
    }
    // A failed save has shown its message and left the old file as it was.
    (void)SaveBook(tree, tree.bookPath);
    return false;
}

bool SaveBookAsCommand(KeyTree& tree)
{
    if (!AskBookPassword(tree))
        return false;
    auto chosen = ChooseSave(tree, BookSaveChoice(tree.bookPath, true));
    if (!chosen)
        return false;
    tree.bookPath = *chosen;
    return SaveBook(tree, tree.bookPath) == 1;
}

int SaveAtExit(KeyTree& tree)
{
    if (tree.bookPath.empty() &&
        Ask(tree, MORVANE_TR("Book", "需要保存通讯簿吗?"), MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes) {
        if (auto chosen = ChooseSave(tree, BookSaveChoice(tree.bookPath, false)))
            tree.bookPath = *chosen;
    }
    if (!tree.bookPath.empty() && AskBookPassword(tree) && SaveBook(tree, tree.bookPath) != 1)
        return -1;
    if (tree.random.SaveSeed() != 1)
        return -1;
    return WriteRunFile(tree);
}

}  // namespace morvane
