#include "cli/Command.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "book/BookFile.h"
#include "book/Queries.h"
#include "cli/Items.h"
#include "crypto/Md5.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane::cli {

Invocation::~Invocation()
{
    Wipe(input);
}

int Fail(int code, const std::string& message)
{
    (void)WriteAll(STDERR_FILENO, "morvane-cli: " + message + "\n");
    return code;
}

bool Out(const std::string& text)
{
    return WriteAll(STDOUT_FILENO, text);
}

int AskPassword(const Invocation& c, const char* fdOption, const std::string& prompt, bool confirm,
                std::string& password)
{
    PasswordSource source;
    if (const std::string* fd = c.args.Value(fdOption))
        source.fd = std::atoi(fd->c_str());
    PasswordError perror = PasswordError::None;
    auto entry = ReadPassword(source, prompt, confirm, perror);
    switch (perror) {
    case PasswordError::None:
        TakeSecret(password, *entry);
        return kExitOk;
    case PasswordError::NoTerminal:
        return Fail(kExitUsage, std::string("no terminal to ask the password on; give it with ") + fdOption + " N");
    case PasswordError::NotUtf8:
        return Fail(kExitUsage, "the password is not UTF-8 text");
    case PasswordError::Mismatch:
        return Fail(kExitUsage, "the two passwords differ");
    case PasswordError::Empty:
    case PasswordError::Unreadable:
        // An empty line, an empty descriptor and one that cannot be read all give no password.
        break;
    }
    return Fail(kExitUsage, source.fd >= 0 ? "no password: descriptor " + std::to_string(source.fd) +
                                                 " gave none (an empty line, or it cannot be read)"
                                           : std::string("no password given"));
}

int SaveBookBack(Invocation& c)
{
    c.desktop.messages.clear();
    if (SaveBook(c.tree, c.path) != 1) {
        std::string why;
        for (const auto& m : c.desktop.messages)
            why = Utf8(m);
        return Fail(kExitFailure, c.path + ": cannot write the book; it was left as it was" +
                                      (why.empty() ? std::string() : " (" + why + ")"));
    }
    return kExitOk;
}

int BookCommand::Execute(Invocation& c) const
{
    if (int r = Prepare(c))
        return r;
    c.path = c.args.positional.at(0);
    KeyTree& tree = c.tree;
    if (access_ == Access::Write) {
        switch (tree.bookLock.Acquire(c.path)) {
        case FileLock::Status::Locked:
            break;
        case FileLock::Status::Busy:
            return Fail(kExitLocked, c.path + ": the book is in use by another program; nothing was written");
        case FileLock::Status::Missing:
            return Fail(kExitDamaged, c.path + ": no such book file");
        case FileLock::Status::Failed:
            return Fail(kExitDamaged, c.path + ": cannot open the book file");
        }
    }
    ReadError error = ReadError::None;
    auto file = ReadWholeFile(c.path, kBookFileReadLimit, &error);
    if (!file) {
        if (error == ReadError::TooLarge)
            return Fail(kExitDamaged, c.path + ": larger than the largest book the program supports");
        return Fail(kExitDamaged, c.path + ": cannot read the book file" +
                                      (error == ReadError::Open ? " (" + std::string(std::strerror(errno)) + ")" : ""));
    }
    WipeOnExit wipeFile{*file};
    if (file->size() < kMd5Size)
        return Fail(kExitDamaged, c.path + ": damaged book file");

    std::string password;
    WipeOnExit wipePassword{password};
    if (int r = AskPassword(c, "--password-fd", "Password for " + c.path + ": ", false, password))
        return r;
    if (std::memcmp(Md5Of(password).data(), file->data(), kMd5Size) != 0)
        return Fail(kExitWrongPassword, c.path + ": wrong password");
    // The password is known right: the core's load asks nothing more.
    ReplaceSecret(tree.bookPassword, password);
    c.desktop.messages.clear();
    if (!LoadBookData(tree, *file, c.path).Loaded()) {
        // The core names a book beyond the supported size; anything else is damage.
        for (const auto& m : c.desktop.messages)
            if (m.rfind(Gbk("通讯簿超出支持的最大规模"), 0) == 0)
                return Fail(kExitDamaged, c.path + ": the book is larger than the program supports (" + Utf8(m) + ")");
        return Fail(kExitDamaged, c.path + ": damaged book file");
    }
    Wipe(*file);
    const int r = RunOnBook(c);
    if (r != kExitOk || !c.save)
        return r;
    return SaveBookBack(c);
}

int Find(const Invocation& c, const std::string& path, unsigned mask, const char* what, Node& node)
{
    const Resolved r = Resolve(c.tree.book, path, mask);
    switch (r.error) {
    case ResolveError::None:
        node = r.node;
        return kExitOk;
    case ResolveError::NotUtf8:
        return Fail(kExitUsage, "the item name is not UTF-8 text and cannot be converted: " + Printable(path));
    case ResolveError::NotFound:
        return Fail(kExitNotFound, "no " + std::string(what) + " \"" + path + "\" in " + c.path +
                                       (r.where.empty() || r.where == path ? "" : " (no \"" + r.where + "\")"));
    case ResolveError::Ambiguous:
        return Fail(kExitUsage, "\"" + r.where + "\" names " + std::to_string(r.matches) + " items in " + c.path +
                                    "; choose one with --dir, --lock or --key");
    }
    return kExitFailure;
}

unsigned KindMaskOf(const Args& a)
{
    unsigned mask = 0;
    if (a.Has("--dir"))
        mask |= kMaskDirectory;
    if (a.Has("--lock"))
        mask |= kMaskLock;
    if (a.Has("--key"))
        mask |= kMaskKey;
    return mask;
}

unsigned ItemMask(const Args& a, unsigned allowed)
{
    const unsigned chosen = KindMaskOf(a);
    if (chosen == 0)
        return allowed;
    // A kind the command does not take matches nothing (no item kind has this bit): the item
    // is then not found.
    constexpr unsigned kMatchesNothing = 0x80000000u;
    return allowed == 0 ? chosen : (chosen & allowed ? chosen & allowed : kMatchesNothing);
}

int CheckNewName(const std::string& utf8, const char* command)
{
    if (!IsValidUtf8(utf8))
        return Fail(kExitUsage, "the name is not UTF-8 text and cannot be converted: " + Printable(utf8));
    if (utf8.empty())
        return Fail(kExitUsage, std::string(command) + ": the name is empty");
    for (unsigned char ch : utf8)
        if (ch < 0x20 || ch == 0x7F)
            return Fail(kExitUsage, std::string(command) + ": the name holds a control character");
    return kExitOk;
}

int ReadInput(const std::string* name, std::size_t limit, const char* what, std::string& data)
{
    const std::string limitText = std::to_string(limit >> 20) + " MiB";
    if (name && *name != "-") {
        ReadError error = ReadError::None;
        auto bytes = ReadWholeFile(*name, limit, &error);
        if (!bytes) {
            if (error == ReadError::TooLarge)
                return Fail(kExitDamaged, *name + ": larger than " + std::string(what) + " can be (" + limitText + ")");
            const int why = errno;
            return Fail(kExitDamaged, *name + ": cannot read the file" +
                                          (error == ReadError::Open && why ? " (" + std::string(std::strerror(why)) + ")"
                                                                           : std::string()));
        }
        data.assign(bytes->begin(), bytes->end());
        Wipe(*bytes);
        return kExitOk;
    }
    // As gpg does: nobody waits on a silent terminal without knowing how to end the text.
    if (IsTerminal(STDIN_FILENO))
        (void)WriteAll(STDERR_FILENO, "morvane-cli: reading " + std::string(what) +
                                          " from the terminal; end it with Ctrl-D on a line of its own\n");
    auto text = ReadAll(STDIN_FILENO, limit);
    if (!text)
        return Fail(kExitDamaged, "cannot read " + std::string(what) + " from standard input (at most " + limitText + ")");
    TakeSecret(data, *text);
    return kExitOk;
}

int WriteOutput(const Invocation& c, const std::string& data, bool secret, const char* what)
{
    const std::string* name = c.args.Value("--output");
    if (!name || *name == "-")
        return Out(data) ? kExitOk : Fail(kExitFailure, std::string("cannot write ") + what);
    // The replacement keeps an existing file's permissions: one that is to hold a secret
    // becomes private first.
    struct stat st;
    if (secret && ::stat(name->c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 &&
        ::chmod(name->c_str(), st.st_mode & 0700) != 0)
        return Fail(kExitFailure, *name + ": cannot make the file private (" + std::strerror(errno) +
                                      "); nothing was written");
    errno = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    if (!WriteFileAtomically(*name, std::span<const std::uint8_t>(bytes, data.size())))
        return Fail(kExitFailure, *name + ": cannot write " + what +
                                      (errno ? " (" + std::string(std::strerror(errno)) + ")" : std::string()));
    return kExitOk;
}

}  // namespace morvane::cli
