// The shared base of morvane-cli's commands. Run.cpp parses the command line once, against
// what each command declares; a BookCommand then opens the book named by its first argument,
// under the book lock when it writes, runs on it and writes it back once. Each command lives
// in a file of its own.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "book/KeyTree.h"
#include "cli/Cli.h"
#include "cli/Terminal.h"

namespace morvane::cli {

// The command line after parsing: arguments in order, options by their long name.
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

// One run of a command: the parsed line, the core's tree and the terminal it talks through.
struct Invocation {
    Args args;
    TerminalDesktop desktop;
    KeyTree tree{&desktop};
    std::string path;   // the book file (first argument)
    bool save = false;  // a writing command changed the book: write it back
    std::string input;  // what the command read before the book was opened (wiped at the end)
    ~Invocation();
};

struct CommandInfo {
    const char* name;
    std::size_t minArgs, maxArgs;
    std::vector<const char*> flags;   // options without a value
    std::vector<const char*> values;  // options with a value
    const char* synopsis;
    const char* help;
    bool book = true;   // takes --password-fd
    bool item = false;  // names an item: takes --dir, --lock and --key to choose its kind
};

class Command {
public:
    explicit Command(CommandInfo info) : info(std::move(info)) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    virtual int Execute(Invocation& c) const = 0;
    const CommandInfo info;
};

// A command on an existing book. A writer locks the file before it reads it and keeps it
// locked until it has written it back (or given up), so that no other program writes it
// meanwhile.
class BookCommand : public Command {
public:
    enum class Access { Read, Write };
    BookCommand(CommandInfo info, Access access) : Command(std::move(info)), access_(access) {}
    int Execute(Invocation& c) const final;

protected:
    // Runs before the book is opened (and its password asked): checks of the command line
    // and input that need no book.
    virtual int Prepare(Invocation&) const { return kExitOk; }
    // Runs on the open book; a writer sets c.save when the book is to be written back.
    virtual int RunOnBook(Invocation& c) const = 0;

private:
    Access access_;
};

// Every command, in the order the usage lists them.
const std::vector<const Command*>& AllCommands();

// ---------------------------------------------------------------------------------------
// Helpers of the commands

// Input texts: a message or a key text is far below these.
constexpr std::size_t kMaxPlainText = 16u << 20;
constexpr std::size_t kMaxArmoredText = 64u << 20;
constexpr std::size_t kMaxKeyText = 1u << 20;

// Writes "morvane-cli: message" to stderr and gives code.
int Fail(int code, const std::string& message);
// Writes to stdout; false on an error.
bool Out(const std::string& text);

// Reads the password for c.path from --password-fd or the terminal; kExitOk or the exit code
// after a message. An empty or missing password is a usage error, as is no terminal.
int AskPassword(const Invocation& c, const char* fdOption, const std::string& prompt, bool confirm,
                std::string& password);

// Writes the book back through the window's own save, under the tree's book password,
// atomically and still locked.
int SaveBookBack(Invocation& c);

// Finds an item; kExitOk with node set, or the exit code after a message.
int Find(const Invocation& c, const std::string& path, unsigned mask, const char* what, Node& node);
// The kinds --dir, --lock and --key choose; 0 for none.
unsigned KindMaskOf(const Args& a);
// The kinds an item argument may have: the chosen ones among allowed, or allowed itself.
unsigned ItemMask(const Args& a, unsigned allowed);

// Loads a record's key into engine and checks it against its strength; kExitOk, or the exit
// code after a message naming it.
int LoadComplete(Invocation& c, CRSA& engine, Node record, const std::string& name);

// A new name for an item: UTF-8 without control characters, not empty. kExitOk, or the exit
// code after a message.
int CheckNewName(const std::string& utf8, const char* command);

// Reads the input named by an argument ("-" or none: standard input) of at most limit bytes.
// On a terminal it first says on stderr how to end the text. what names it in messages.
int ReadInput(const std::string* name, std::size_t limit, const char* what, std::string& data);
// Writes to the output named by -o/--output ("-" or none: standard output). A file is
// replaced atomically; secret content makes it private to the user (0600), an existing one too.
int WriteOutput(const Invocation& c, const std::string& data, bool secret, const char* what);

}  // namespace morvane::cli
