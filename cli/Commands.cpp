#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bignum/BigInt.h"
#include "book/AddItem.h"
#include "book/BookFile.h"
#include "book/Editing.h"
#include "book/KeyGen.h"
#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/StepContext.h"
#include "cli/Cli.h"
#include "cli/Items.h"
#include "cli/Terminal.h"
#include "crypto/Md5.h"
#include "message/ArmoredText.h"
#include "message/Blocks.h"
#include "message/Boxes.h"
#include "message/Protect.h"
#include "message/PublicKeyText.h"
#include "message/TextCheck.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

#ifndef MORVANE_VERSION
#define MORVANE_VERSION "0"
#endif

namespace morvane::cli {

namespace {

// Input texts: a message or a key text is far below these.
constexpr std::size_t kMaxPlainText = 16u << 20;
constexpr std::size_t kMaxArmoredText = 64u << 20;
constexpr std::size_t kMaxKeyText = 1u << 20;

int Fail(int code, const std::string& message)
{
    (void)WriteAll(STDERR_FILENO, "morvane-cli: " + message + "\n");
    return code;
}

bool Out(const std::string& text)
{
    return WriteAll(STDOUT_FILENO, text);
}

// ---------------------------------------------------------------------------------------
// Command line

struct Args {
    std::vector<std::string> positional;
    std::set<std::string> flags;
    std::map<std::string, std::string> values;
    bool Has(const char* flag) const { return flags.count(flag) != 0; }
    const std::string* Value(const char* option) const
    {
        auto it = values.find(option);
        return it == values.end() ? nullptr : &it->second;
    }
};

struct Context;
using Handler = int (*)(Context&);

struct Command {
    const char* name;
    std::size_t minArgs, maxArgs;
    std::vector<const char*> flags;   // options without a value
    std::vector<const char*> values;  // options with a value
    const char* synopsis;
    const char* help;
    Handler run;
};

struct Context {
    const Command* command = nullptr;
    Args args;
    TerminalDesktop desktop;
    KeyTree tree{&desktop};
    std::string path;  // the book file (first argument)
};

// ---------------------------------------------------------------------------------------
// The book

// Opens the book named by the first argument. A writer locks the file first and keeps it
// locked until it has written it back (or given up), so that no other program writes it
// meanwhile. kExitOk, or the exit code after a message.
int OpenBook(Context& c, bool forWrite)
{
    c.path = c.args.positional.at(0);
    KeyTree& tree = c.tree;
    if (forWrite) {
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
        return Fail(kExitDamaged, c.path + ": cannot read the book file");
    }
    WipeOnExit wipeFile{*file};
    if (file->size() < kMd5Size)
        return Fail(kExitDamaged, c.path + ": damaged book file");

    PasswordSource source;
    if (const std::string* fd = c.args.Value("--password-fd"))
        source.fd = std::atoi(fd->c_str());
    PasswordError perror = PasswordError::None;
    auto password = ReadPassword(source, "Password for " + c.path + ": ", false, perror);
    switch (perror) {
    case PasswordError::None:
        break;
    case PasswordError::NoTerminal:
        return Fail(kExitUsage, "no terminal to ask the password on; give it with --password-fd N");
    case PasswordError::Unreadable:
        return Fail(kExitFailure, "cannot read the password");
    case PasswordError::NotUtf8:
        return Fail(kExitUsage, "the password is not UTF-8 text");
    case PasswordError::Empty:
    case PasswordError::Mismatch:
        return Fail(kExitWrongPassword, c.path + ": wrong password");
    }
    WipeOnExit wipePassword{*password};
    if (std::memcmp(Md5Of(*password).data(), file->data(), kMd5Size) != 0)
        return Fail(kExitWrongPassword, c.path + ": wrong password");
    // The password is known right: the core's load asks nothing more.
    ReplaceSecret(tree.bookPassword, *password);
    if (!LoadBookData(tree, *file, c.path).Loaded())
        return Fail(kExitDamaged, c.path + ": damaged book file");
    return kExitOk;
}

// Writes the book back through the window's own save, under the password it was opened with,
// atomically and still locked.
int SaveBookBack(Context& c)
{
    if (SaveBook(c.tree, c.path) != 1) {
        std::string why;
        for (const auto& m : c.desktop.messages)
            why = Utf8(m);
        return Fail(kExitFailure, c.path + ": cannot write the book; it was left as it was" +
                                      (why.empty() ? std::string() : " (" + why + ")"));
    }
    return kExitOk;
}

// Finds an item; kExitOk with node set, or the exit code after a message.
int Find(Context& c, const std::string& path, unsigned mask, const char* what, Node& node)
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
        return Fail(kExitUsage, "\"" + r.where + "\" names " + std::to_string(r.matches) +
                                       " items in " + c.path + "; choose one with --dir, --lock or --key");
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

std::string FieldValue(const Book& book, Node record, ItemKind kind)
{
    FieldLine line;
    return GetField(book, record, KindCode(kind), line) == 1 ? line.value : std::string();
}

bool IsRecord(std::int32_t kind)
{
    return kind >= KindCode(ItemKind::Lock) && kind <= KindCode(ItemKind::Police);
}

// Whether a record's N line holds a value.
bool HasModulus(const Book& book, Node record)
{
    std::string n = FieldValue(book, record, ItemKind::ModulusField);
    return n.find_first_not_of(" \t") != std::string::npos;
}

// ---------------------------------------------------------------------------------------
// list and show

struct FieldName {
    ItemKind kind;
    const char* name;
    bool secret;
};
constexpr FieldName kShownFields[] = {
    {ItemKind::SerialField, "serial", false},
    {ItemKind::IdentityField, "identity", false},
    {ItemKind::EmailField, "email", false},
    {ItemKind::UseCountField, "uses", false},
    {ItemKind::StrengthField, "strength", false},
    {ItemKind::DateField, "date", false},
    {ItemKind::NoteField, "note", false},
    {ItemKind::ModulusField, "n", false},
    {ItemKind::PublicExponentField, "e", false},
    {ItemKind::PrivateExponentField, "d", true},
    {ItemKind::PrimePField, "p", true},
    {ItemKind::PrimeQField, "q", true},
    {ItemKind::CoefficientField, "u", true},
};

// The JSON members every item has, without braces.
std::string JsonMembers(const Book& book, Node n)
{
    const std::int32_t kind = book.Kind(n);
    std::string out = "\"name\": " + JsonString(Utf8(book.Text(n))) + ", \"kind\": \"" + KindName(kind) +
                      "\", \"path\": " + JsonString(PathOf(book, n));
    if (IsRecord(kind)) {
        out += ", \"bits\": " + std::to_string(GetStrength(book, n));
        out += ", \"date\": " + JsonString(Utf8(FieldValue(book, n, ItemKind::DateField)));
        out += std::string(", \"hasKey\": ") + (HasModulus(book, n) ? "true" : "false");
    }
    return out;
}

int List(Context& c)
{
    if (int r = OpenBook(c, false))
        return r;
    const Book& book = c.tree.book;
    Node top;
    const std::string item = c.args.positional.size() > 1 ? c.args.positional[1] : std::string();
    if (int r = Find(c, item, 0, "item", top))
        return r;
    const bool json = c.args.Has("--json");
    const int base = book.Depth(top);
    std::string out;
    // Pre-order over the items (field lines are not items), without recursion: a book may be
    // nested deeper than a stack would allow.
    int open = 0;  // JSON objects whose children array is still open
    std::vector<bool> hadChild;  // per open JSON level: a child was written
    for (Node n = top; n; n = book.NextPreOrder(n, top)) {
        const std::int32_t kind = book.Kind(n);
        if (ItemClass(book, n) == 3)
            continue;
        const int depth = book.Depth(n) - base;
        if (json) {
            while (open > depth) {
                out += "]}";
                --open;
                hadChild.pop_back();
            }
            if (!hadChild.empty()) {
                out += hadChild.back() ? ",\n" : "\n";
                hadChild.back() = true;
            }
            out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + "{" + JsonMembers(book, n);
            if (IsRecord(kind)) {
                out += "}";
            } else {
                out += ", \"items\": [";
                ++open;
                hadChild.push_back(false);
            }
        } else {
            out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + Printable(book.Text(n));
            if (IsRecord(kind)) {
                const std::string date = FieldValue(book, n, ItemKind::DateField);
                out += "  " + std::string(KindName(kind)) + "  " + std::to_string(GetStrength(book, n)) + "  " +
                       (date.empty() ? std::string("-") : Printable(date));
                if (!HasModulus(book, n))
                    out += "  (no key)";
            } else {
                out += "/";
            }
            out += "\n";
        }
        if (out.size() > (1u << 16)) {
            if (!Out(out))
                return Fail(kExitFailure, "cannot write the list");
            out.clear();
        }
    }
    if (json) {
        while (open-- > 0)
            out += "]}";
        out += "\n";
    }
    return Out(out) ? kExitOk : Fail(kExitFailure, "cannot write the list");
}

int Show(Context& c)
{
    if (int r = OpenBook(c, false))
        return r;
    const Book& book = c.tree.book;
    Node n;
    if (int r = Find(c, c.args.positional[1], KindMaskOf(c.args), "item", n))
        return r;
    const bool json = c.args.Has("--json");
    const bool secrets = c.args.Has("--private");
    const std::int32_t kind = book.Kind(n);
    std::string out;
    if (json) {
        out = "{" + JsonMembers(book, n);
        if (IsRecord(kind)) {
            for (const auto& f : kShownFields) {
                if (f.secret && (!secrets || kind == KindCode(ItemKind::Lock)))
                    continue;
                out += ", " + JsonString(f.name) + ": " + JsonString(Utf8(FieldValue(book, n, f.kind)));
            }
        } else {
            out += ", \"items\": " + std::to_string(book.ChildCount(n));
        }
        out += "}\n";
    } else {
        auto line = [&](const std::string& name, const std::string& value) {
            out += name + ":" + std::string(name.size() < 9 ? 10 - name.size() : 1, ' ') + value + "\n";
        };
        line("name", Printable(book.Text(n)));
        line("kind", KindName(kind));
        line("path", PathOf(book, n));
        if (IsRecord(kind)) {
            line("bits", std::to_string(GetStrength(book, n)));
            for (const auto& f : kShownFields) {
                if (f.secret && (!secrets || kind == KindCode(ItemKind::Lock)))
                    continue;
                line(f.name, Printable(FieldValue(book, n, f.kind)));
            }
        } else {
            line("items", std::to_string(book.ChildCount(n)));
        }
    }
    return Out(out) ? kExitOk : Fail(kExitFailure, "cannot write the item");
}

// ---------------------------------------------------------------------------------------
// new, add, remove

int New(Context& c)
{
    c.path = c.args.positional[0];
    struct stat st;
    if (::lstat(c.path.c_str(), &st) == 0)
        return Fail(kExitFailure, c.path + " exists; a new book is never written over a file");
    PasswordSource source;
    if (const std::string* fd = c.args.Value("--password-fd"))
        source.fd = std::atoi(fd->c_str());
    PasswordError perror = PasswordError::None;
    auto password = ReadPassword(source, "Password for the new book " + c.path + ": ", true, perror);
    switch (perror) {
    case PasswordError::None:
        break;
    case PasswordError::NoTerminal:
        return Fail(kExitUsage, "no terminal to ask the password on; give it with --password-fd N");
    case PasswordError::NotUtf8:
        return Fail(kExitUsage, "the password is not UTF-8 text");
    case PasswordError::Empty:
        return Fail(kExitUsage, "a book needs a password that is not empty");
    case PasswordError::Mismatch:
        return Fail(kExitUsage, "the two passwords differ");
    case PasswordError::Unreadable:
        return Fail(kExitFailure, "cannot read the password");
    }
    WipeOnExit wipePassword{*password};
    KeyTree& tree = c.tree;
    ReplaceSecret(tree.bookPassword, *password);
    BuildEmptyBook(tree.book);
    MendAfterRebuild(tree);
    tree.bookPath = c.path;
    return SaveBookBack(c);
}

int Add(Context& c)
{
    const unsigned mask = KindMaskOf(c.args);
    if (mask != kMaskDirectory && mask != kMaskLock && mask != kMaskKey)
        return Fail(kExitUsage, "add: give exactly one of --dir, --lock and --key");
    const std::string& nameUtf8 = c.args.positional[2];
    if (!IsValidUtf8(nameUtf8))
        return Fail(kExitUsage, "the name is not UTF-8 text and cannot be converted: " + Printable(nameUtf8));
    if (nameUtf8.empty())
        return Fail(kExitUsage, "add: the name is empty");
    for (unsigned char ch : nameUtf8)
        if (ch < 0x20 || ch == 0x7F)
            return Fail(kExitUsage, "add: the name holds a control character");
    if (int r = OpenBook(c, true))
        return r;
    KeyTree& tree = c.tree;
    Node parent;
    if (int r = Find(c, c.args.positional[1], kMaskDirectory, "directory", parent))
        return r;
    const std::int32_t parentKind = tree.book.Kind(parent);
    if (parentKind != KindCode(ItemKind::BookRoot) && parentKind != KindCode(ItemKind::Directory))
        return Fail(kExitFailure, "\"" + c.args.positional[1] + "\" holds no items");
    ClearMarking(tree);
    tree.rightClickedItem = parent;
    AddItemForm form;
    form.FocusName(tree);
    form.ChooseKind(tree, mask);
    form.SetName(tree, Gbk(nameUtf8));
    if (form.nameTaken)
        return Fail(kExitFailure, "a " + std::string(KindName(KindOfMask(mask))) + " named \"" + nameUtf8 +
                                      "\" is already there; nothing was written");
    if (!form.Accept(tree))
        return Fail(kExitFailure, "cannot add \"" + nameUtf8 + "\"; nothing was written");
    return SaveBookBack(c);
}

int Remove(Context& c)
{
    if (int r = OpenBook(c, true))
        return r;
    KeyTree& tree = c.tree;
    Node n;
    if (int r = Find(c, c.args.positional[1], KindMaskOf(c.args), "item", n))
        return r;
    if (tree.book.Kind(n) == KindCode(ItemKind::BookRoot))
        return Fail(kExitUsage, "the book's root cannot be removed");
    if (tree.book.Kind(n) == KindCode(ItemKind::Directory) && tree.book.ChildCount(n) > 0 &&
        !c.args.Has("--recursive"))
        return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                      "\" is a directory that holds items; give --recursive to remove it with them");
    ClearMarking(tree);
    tree.rightClickedItem = n;
    c.desktop.consent = true;  // the command line is the answer to "确认删除选定的 ...?"
    if (Delete(tree) != 1)
        return Fail(kExitFailure, "cannot remove \"" + c.args.positional[1] + "\"; nothing was written");
    return SaveBookBack(c);
}

// ---------------------------------------------------------------------------------------
// keygen, export, import

// The pool starts from the system generator; stirring it with more of the same stands in
// for the mouse samples the window collects.
void StirFromSystem(CRandom& random)
{
    // Below 1024 stirs, so that no seed file is written (the program's own seed file belongs
    // to the window's login).
    for (int i = 0; i < 256; ++i) {
        std::uint32_t sample = 0;
        if (::getrandom(&sample, sizeof sample, 0) != static_cast<ssize_t>(sizeof sample))
            break;
        random.Stir(sample);
    }
}

int Keygen(Context& c)
{
    const std::string* bitsText = c.args.Value("--bits");
    int index = -1;
    if (bitsText) {
        for (int i = 0; i < 4; ++i)
            if (*bitsText == std::to_string(512 << i))
                index = i;
    }
    if (index < 0)
        return Fail(kExitUsage, "keygen: --bits must be 512, 1024, 2048 or 4096");
    if (int r = OpenBook(c, true))
        return r;
    KeyTree& tree = c.tree;
    Node n;
    if (int r = Find(c, c.args.positional[1], kMaskKey | kMaskLock, "lock or key", n))
        return r;
    if (HasModulus(tree.book, n) && !c.args.Has("--force"))
        return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                      "\" already holds a key; give --force to replace it");
    // The strength line says what the generation makes, as the window's selector writes it.
    if (SetField(tree.book, n, KindCode(ItemKind::StrengthField), StrengthEntry(index)) != 1)
        return Fail(kExitFailure, "\"" + c.args.positional[1] + "\" has no strength line");
    StirFromSystem(tree.random);

    TerminalProgress progress;
    if (IsTerminal(STDERR_FILENO))
        tree.view = &progress;
    tree.rightClickedItem = n;
    c.desktop.consent = true;  // "原有的密钥数据将被删除, 继续吗?" was answered by --force
    InstallInterruptHandlers();
    const KeygenOutcome outcome = GenerateKeyCommand(tree);
    progress.Finish();
    tree.view = nullptr;
    switch (outcome.end) {
    case KeygenEnd::Done:
        if (!outcome.keyWritten)
            return Fail(kExitFailure, "the new key could not be stored; nothing was written");
        return SaveBookBack(c);
    case KeygenEnd::Stopped:
        return Fail(kExitFailure, "key generation stopped; nothing was written");
    default:
        return Fail(kExitFailure, "key generation failed (status " + std::to_string(outcome.status) +
                                      "); nothing was written");
    }
}

int Export(Context& c)
{
    if (int r = OpenBook(c, false))
        return r;
    KeyTree& tree = c.tree;
    Node n;
    if (int r = Find(c, c.args.positional[1], kMaskKey, "key", n))
        return r;
    tree.contextItem = n;
    ExportPublicKey(tree);
    const std::string text = FieldValue(tree.book, n, ItemKind::OutputField);
    bool found = false;
    std::string nText, eText;
    ParsePublicKeyText(found, nText, eText, text);
    if (!found)
        return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                      "\" holds no complete key that passes its self-test; run keygen first");
    // Byte for byte the window's text (its lines end in CR LF), ended by a line break.
    return Out(text + "\r\n") ? kExitOk : Fail(kExitFailure, "cannot write the public key");
}

int Import(Context& c)
{
    std::optional<std::string> text;
    if (c.args.positional.size() > 2) {
        auto bytes = ReadWholeFile(c.args.positional[2], kMaxKeyText);
        if (bytes)
            text = std::string(bytes->begin(), bytes->end());
        else
            return Fail(kExitDamaged, c.args.positional[2] + ": cannot read the file");
    } else {
        text = ReadAll(STDIN_FILENO, kMaxKeyText);
        if (!text)
            return Fail(kExitDamaged, "cannot read a public key text from standard input");
    }
    if (!IsValidUtf8(*text))
        return Fail(kExitDamaged, "the input is not UTF-8 text");
    const std::string gbk = Gbk(*text);
    bool found = false;
    std::string nText, eText;
    ParsePublicKeyText(found, nText, eText, gbk);
    if (!found)
        return Fail(kExitDamaged, "the input holds no public key text");
    BigInt modulus;
    const std::uint32_t bits = modulus.FromString(16, nText) == 1 ? BitLength(modulus) : 0;
    if (bits != 512 && bits != 1024 && bits != 2048 && bits != 4096)
        return Fail(kExitDamaged, "the public key's N has " + std::to_string(bits) +
                                      " bits; only keys of 512, 1024, 2048 or 4096 bits are taken");

    if (int r = OpenBook(c, true))
        return r;
    KeyTree& tree = c.tree;
    Node lock;
    if (int r = Find(c, c.args.positional[1], kMaskLock, "lock", lock))
        return r;
    const std::string oldN = FieldValue(tree.book, lock, ItemKind::ModulusField);
    const std::string oldE = FieldValue(tree.book, lock, ItemKind::PublicExponentField);
    if (oldN == nText && oldE == eText)
        return kExitOk;  // already there: nothing to write
    if (HasModulus(tree.book, lock) && !c.args.Has("--force"))
        return Fail(kExitFailure, "\"" + c.args.positional[1] +
                                      "\" already holds another key; give --force to replace it");
    ClearMarking(tree);
    tree.clickedItem = lock;
    tree.clickedLineText = tree.book.Text(lock);
    c.desktop.consent = true;  // "发现新公钥, 替换原有公钥吗?" was answered by the command line
    if (!ImportPublicKey(tree, gbk) || FieldValue(tree.book, lock, ItemKind::ModulusField) != nText)
        return Fail(kExitFailure, "the public key could not be stored; nothing was written");
    return SaveBookBack(c);
}

// ---------------------------------------------------------------------------------------
// encrypt and decrypt

// Loads a record's key into engine; kExitOk or the exit code after a message.
int LoadComplete(Context& c, CRSA& engine, Node record, const std::string& name)
{
    int complete = 0;
    if (CheckKey(engine, complete, c.tree, record) != 1 || complete != 1)
        return Fail(kExitFailure, "\"" + name + "\" holds no complete key of its strength; nothing was done");
    return kExitOk;
}

int Encrypt(Context& c)
{
    if (int r = OpenBook(c, false))
        return r;
    KeyTree& tree = c.tree;
    Book& book = tree.book;
    Node lock, key;
    if (int r = Find(c, c.args.positional[1], kMaskLock, "lock", lock))
        return r;
    const std::string* signWith = c.args.Value("--sign");
    if (signWith) {
        if (int r = Find(c, *signWith, kMaskKey, "key", key))
            return r;
    }
    auto input = ReadAll(STDIN_FILENO, kMaxPlainText);
    if (!input)
        return Fail(kExitFailure, "cannot read the text from standard input (at most 16 MiB)");
    WipeOnExit wipeInput{*input};
    if (input->empty())
        return Fail(kExitFailure, "nothing to encrypt: the input is empty");
    if (!IsValidUtf8(*input))
        return Fail(kExitDamaged, "the input is not UTF-8 text");
    if (input->find('\0') != std::string::npos)
        return Fail(kExitDamaged, "the input holds a zero byte; only text can be encrypted");
    // Texts keep their line breaks as CR LF, as the window and its peers have them.
    std::string plain;
    WipeOnExit wipePlain{plain};
    plain.reserve(input->size() * 2);
    for (std::size_t i = 0; i < input->size(); ++i) {
        if ((*input)[i] == '\n' && (i == 0 || (*input)[i - 1] != '\r'))
            plain += '\r';
        plain += (*input)[i];
    }
    std::string gbk = Gbk(plain);
    WipeOnExit wipeGbk{gbk};
    // What a receiver would refuse to open is not sent.
    if (!IsProgramText(gbk))
        return Fail(kExitDamaged, "the input holds a control character other than tab and line breaks; only text "
                                  "can be encrypted");

    if (int r = LoadComplete(c, tree.engine[0], lock, c.args.positional[1]))
        return r;
    const auto* data = reinterpret_cast<const std::uint8_t*>(gbk.data());
    std::size_t length = gbk.size();
    std::string signerField = kNoSigner;
    std::vector<std::uint8_t> signature;
    WipeOnExit wipeSignature{signature};
    if (signWith) {
        if (int r = LoadComplete(c, tree.engine[1], key, *signWith))
            return r;
        if (ModulusDigest(book, key, signerField) != 1)
            return Fail(kExitFailure, "cannot read the N line of \"" + *signWith + "\"");
        tree.markedParent = key;  // the working record whose detail rows the blocks fill
        std::size_t signatureLength = 0;
        if (EncryptMessage(tree, tree.engine[1], signature, signatureLength, data, length, 2, kBlockSign) != 1)
            return Fail(kExitFailure, "signing failed");
        data = signature.data();
        length = signatureLength;
    }
    tree.markedParent = lock;
    std::vector<std::uint8_t> sealed;
    std::size_t sealedLength = 0;
    std::string text;
    if (EncryptMessage(tree, tree.engine[0], sealed, sealedLength, data, length, 2, kBlockEncrypt) != 1 ||
        BuildArmoredText(book, lock, text, BitLength(tree.engine[0].N) / 8, sealed.data(), sealedLength,
                         signWith != nullptr, signerField) != 1)
        return Fail(kExitFailure, "encryption failed");
    return Out(text + "\n") ? kExitOk : Fail(kExitFailure, "cannot write the armored text");
}

int Decrypt(Context& c)
{
    if (int r = OpenBook(c, false))
        return r;
    KeyTree& tree = c.tree;
    Book& book = tree.book;
    Node key, lock;
    if (int r = Find(c, c.args.positional[1], kMaskKey, "key", key))
        return r;
    const std::string* verifyWith = c.args.Value("--verify");
    if (verifyWith) {
        if (int r = Find(c, *verifyWith, kMaskLock, "lock", lock))
            return r;
    }
    auto input = ReadAll(STDIN_FILENO, kMaxArmoredText);
    if (!input)
        return Fail(kExitDamaged, "cannot read the armored text from standard input (at most 64 MiB)");
    // As the window takes it: mail programs indent and wrap pasted text, and the text boxes
    // frame it with lines of '*'.
    std::string armored;
    for (char ch : *input)
        if (ch != ' ' && ch != '\t')
            armored += ch;
    std::vector<std::uint8_t> sealed;
    bool isSigned = false;
    std::string signerField;
    if (CleanArmoredText(armored) != 1 || ParseArmoredText(sealed, isSigned, signerField, armored) != 1)
        return Fail(kExitDamaged, "the input is not an armored message");

    if (int r = LoadComplete(c, tree.engine[0], key, c.args.positional[1]))
        return r;
    if (!isSigned && verifyWith)
        return Fail(kExitBadSignature, "verification failed: the message is not signed");
    std::string signerName;
    if (isSigned) {
        if (verifyWith) {
            std::string digest;
            if (ModulusDigest(book, lock, digest) != 1 || digest != signerField)
                return Fail(kExitBadSignature, "verification failed: the message was not signed with the key of \"" +
                                                   *verifyWith + "\"");
            signerName = *verifyWith;
        } else {
            // The window's rule: the one lock beside the key whose N matches the signer field.
            const Node dir = book.Parent(key);
            int count = 0;
            for (Node ch = book.FirstChild(dir); ch; ch = book.NextSibling(ch)) {
                std::string digest;
                if (book.Kind(ch) == KindCode(ItemKind::Lock) && ModulusDigest(book, ch, digest) == 1 &&
                    digest == signerField) {
                    ++count;
                    lock = ch;
                }
            }
            if (count != 1)
                return Fail(kExitBadSignature,
                            "verification failed: the message is signed, and " +
                                std::string(count == 0 ? "no lock" : std::to_string(count) + " locks") + " in \"" +
                                PathOf(book, dir) + "\" match the signer; name the signer's lock with --verify");
            signerName = PathOf(book, lock);
        }
        int complete = 0;
        if (LoadKey(tree.engine[1], complete, tree, lock) != 1 || complete != 1)
            return Fail(kExitBadSignature, "verification failed: \"" + signerName + "\" holds no complete key");
    }

    tree.markedParent = key;
    const std::size_t skip = LeadingBlockFill(tree.engine[0], sealed);
    std::vector<std::uint8_t> opened;
    WipeOnExit wipeOpened{opened};
    std::size_t openedLength = 0;
    if (DecryptMessage(tree, tree.engine[0], opened, openedLength, sealed.data() + skip, sealed.size() - skip, 2,
                       kBlockEncrypt) != 1)
        return Fail(kExitDamaged, "cannot decrypt: the message is damaged or not meant for \"" +
                                      c.args.positional[1] + "\"");
    if (isSigned) {
        std::vector<std::uint8_t> verified;
        std::size_t verifiedLength = 0;
        if (DecryptMessage(tree, tree.engine[1], verified, verifiedLength, opened.data(), openedLength, 2,
                           kBlockSign) != 1)
            return Fail(kExitBadSignature, "verification failed: BAD signature (\"" + signerName + "\")");
        opened.swap(verified);
        Wipe(verified);
        openedLength = verifiedLength;
    }
    if (!IsProgramText(std::string_view(reinterpret_cast<const char*>(opened.data()), openedLength)))
        return Fail(kExitDamaged, "the decrypted message is not text (a zero byte, a control character or no GBK): it "
                                  "is no text of this program");
    std::string text(reinterpret_cast<const char*>(opened.data()), openedLength);
    WipeOnExit wipeText{text};
    std::string utf8 = Utf8(text);
    WipeOnExit wipeUtf8{utf8};
    std::string plain;
    WipeOnExit wipePlain{plain};
    plain.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i)
        if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n'))
            plain += utf8[i];
    if (!Out(plain))
        return Fail(kExitFailure, "cannot write the text");
    if (isSigned)
        (void)WriteAll(STDERR_FILENO, "morvane-cli: good signature from \"" + signerName + "\"\n");
    return kExitOk;
}

// ---------------------------------------------------------------------------------------
// The table of commands

const std::vector<Command>& Commands()
{
    static const std::vector<Command> table = {
        {"new", 1, 1, {}, {"--password-fd"}, "new BOOK",
         "Creates an empty book (its root is named 密钥通讯薄) under a new password. An existing file is never "
         "overwritten.",
         New},
        {"list", 1, 2, {"--json"}, {"--password-fd"}, "list BOOK [ITEM] [--json]",
         "Shows the tree below ITEM (the whole book by default): directories end in '/', locks and keys show "
         "their kind, strength in bits and last-use date, and \"(no key)\" while they hold none.",
         List},
        {"show", 2, 2, {"--json", "--private", "--dir", "--lock", "--key"}, {"--password-fd"},
         "show BOOK ITEM [--private] [--json]",
         "Shows a lock's or key's fields. The private values D, P, Q and U only with --private.", Show},
        {"add", 3, 3, {"--dir", "--lock", "--key"}, {"--password-fd"}, "add BOOK PARENT NAME --dir|--lock|--key",
         "Adds a directory, lock or key named NAME under the directory PARENT (\"\" or / for the root). A "
         "sibling of the same kind may not have the same name.",
         Add},
        {"remove", 2, 2, {"--recursive", "--dir", "--lock", "--key"}, {"--password-fd"},
         "remove BOOK ITEM [--recursive]",
         "Removes a directory, lock or key. A directory that holds items needs --recursive.", Remove},
        {"keygen", 2, 2, {"--force"}, {"--bits", "--password-fd"}, "keygen BOOK ITEM --bits 512|1024|2048|4096 [--force]",
         "Generates a key pair into a key (a lock receives N and E only). Randomness comes from the operating "
         "system's generator; progress goes to stderr when it is a terminal, and Ctrl-C stops the generation "
         "without writing. An item that holds a key needs --force.",
         Keygen},
        {"export", 2, 2, {}, {"--password-fd"}, "export BOOK KEY",
         "Writes the key's public key text to standard output.", Export},
        {"import", 2, 3, {"--force"}, {"--password-fd"}, "import BOOK LOCK [FILE] [--force]",
         "Reads a public key text from FILE (standard input by default) into the lock. A lock that holds "
         "another key needs --force.",
         Import},
        {"encrypt", 2, 2, {}, {"--sign", "--password-fd"}, "encrypt BOOK LOCK [--sign KEY]",
         "Encrypts the UTF-8 text on standard input for LOCK, signed with KEY first when given, and writes the "
         "armored text to standard output. The book is not changed.",
         Encrypt},
        {"decrypt", 2, 2, {}, {"--verify", "--password-fd"}, "decrypt BOOK KEY [--verify LOCK]",
         "Decrypts the armored text on standard input with KEY and writes the text to standard output. A signed "
         "message is verified with LOCK, or else with the one lock beside KEY whose N matches the signer; the "
         "verdict goes to stderr and to the exit code. The book is not changed.",
         Decrypt},
    };
    return table;
}

const char* const kExitTable =
    "Exit codes: 0 success, 1 other failure, 2 usage error, 3 wrong password, 4 damaged or unreadable file or\n"
    "input, 5 verification failed, 6 item not found, 7 the book is in use by another program.\n";

std::string Usage()
{
    std::string out = "usage: morvane-cli COMMAND ARGS... [--password-fd N]\n\nCommands:\n";
    for (const auto& cmd : Commands())
        out += "  morvane-cli " + std::string(cmd.synopsis) + "\n";
    out += "\nItems are paths of names from the book's root, such as Friends/Alice (\\/ for a slash in a name).\n"
           "The password is read from the terminal without echo, or as the first line of descriptor N.\n"
           "Run morvane-cli COMMAND --help for a command, and see morvane-cli(1).\n\n";
    return out + kExitTable;
}

std::string CommandHelp(const Command& cmd)
{
    return "usage: morvane-cli " + std::string(cmd.synopsis) + " [--password-fd N]\n\n" + cmd.help +
           "\n\n--password-fd N   read the password from descriptor N (its first line) instead of the terminal\n\n" +
           kExitTable;
}

bool Listed(const std::vector<const char*>& list, const std::string& option)
{
    for (const char* o : list)
        if (option == o)
            return true;
    return false;
}

}  // namespace

int Run(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2)
        return Fail(kExitUsage, "no command given\n\n" + Usage());
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        Out(Usage());
        return kExitOk;
    }
    if (name == "--version") {
        Out(std::string("morvane-cli ") + MORVANE_VERSION + "\n");
        return kExitOk;
    }
    const Command* cmd = nullptr;
    for (const auto& c : Commands())
        if (name == c.name)
            cmd = &c;
    if (!cmd)
        return Fail(kExitUsage, "unknown command \"" + name + "\"\n\n" + Usage());

    Context context;
    context.command = cmd;
    Args& args = context.args;
    bool optionsEnd = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsEnd || a.size() < 2 || a[0] != '-' || a[1] != '-') {
            if (a == "-h" && !optionsEnd) {
                Out(CommandHelp(*cmd));
                return kExitOk;
            }
            args.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        if (a == "--help") {
            Out(CommandHelp(*cmd));
            return kExitOk;
        }
        std::string value;
        bool hasValue = false;
        if (const auto eq = a.find('='); eq != std::string::npos) {
            value = a.substr(eq + 1);
            a.resize(eq);
            hasValue = true;
        }
        if (Listed(cmd->flags, a) && !hasValue) {
            args.flags.insert(a);
        } else if (Listed(cmd->values, a)) {
            if (!hasValue) {
                if (i + 1 == argc)
                    return Fail(kExitUsage, a + " needs a value\n\n" + CommandHelp(*cmd));
                value = argv[++i];
            }
            args.values[a] = value;
        } else {
            return Fail(kExitUsage, "unknown option " + a + " for " + name + "\n\n" + CommandHelp(*cmd));
        }
    }
    if (args.positional.size() < cmd->minArgs || args.positional.size() > cmd->maxArgs)
        return Fail(kExitUsage, "wrong number of arguments\n\n" + CommandHelp(*cmd));
    if (const std::string* fd = args.Value("--password-fd")) {
        char* end = nullptr;
        const long n = std::strtol(fd->c_str(), &end, 10);
        if (fd->empty() || *end != '\0' || n < 0 || n > 1 << 20)
            return Fail(kExitUsage, "--password-fd needs a descriptor number");
    }
    return cmd->run(context);
}

}  // namespace morvane::cli
