// The command line, parsed in one place for every command: the usage, the help texts and the
// options each command declares (cli/Command.h).
#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cli/Cli.h"
#include "cli/Command.h"
#include "cli/Commands.h"

#ifndef MORVANE_VERSION
#define MORVANE_VERSION "0"
#endif

namespace morvane::cli {

const std::vector<const Command*>& AllCommands()
{
    static const std::vector<const Command*> all = {
        &NewCommand(),     &ListCommand(),    &ShowCommand(),    &AddCommand(),     &RemoveCommand(),
        &MoveCommand(),    &RenameCommand(),  &KeygenCommand(),  &ExportCommand(),  &ImportCommand(),
        &EncryptCommand(), &DecryptCommand(), &PasswdCommand(),
    };
    return all;
}

namespace {

const char* const kExitTable =
    "Exit codes: 0 success, 1 other failure, 2 usage error (a password not given included), 3 wrong password,\n"
    "4 damaged or unreadable file or input, 5 verification failed, 6 item not found, 7 the book is in use by\n"
    "another program.\n";

struct OptionHelp {
    const char* name;
    const char* text;
};
constexpr OptionHelp kOptionHelp[] = {
    {"--dir", "--dir, --lock, --key   the item's kind: a directory, lock or key"},
    {"--json", "--json                 JSON output (docs/cli-json.schema.json)"},
    {"--private", "--private              show the private values D, P, Q and U too"},
    {"--recursive", "--recursive            remove a directory with the items it holds"},
    {"--force", "--force                replace a key the item holds"},
    {"--bits", "--bits N               512, 1024, 2048 or 4096"},
    {"--sign", "--sign KEY             sign with KEY first"},
    {"--verify", "--verify LOCK          verify the signature with LOCK"},
    {"--output", "-o, --output FILE      write to FILE (replaced atomically) instead of standard output"},
    {"--new-password-fd", "--new-password-fd N    read the new password from descriptor N (its next line)"},
    {"--password-fd", "--password-fd N        read the password from descriptor N (its first line) instead of the terminal"},
};

bool Listed(const std::vector<const char*>& list, const std::string& option)
{
    for (const char* o : list)
        if (option == o)
            return true;
    return false;
}

bool TakesFlag(const Command& cmd, const std::string& option)
{
    return Listed(cmd.info.flags, option) ||
           (cmd.info.item && (option == "--dir" || option == "--lock" || option == "--key"));
}

bool TakesValue(const Command& cmd, const std::string& option)
{
    return Listed(cmd.info.values, option) || (cmd.info.book && option == "--password-fd");
}

std::string Usage()
{
    std::string out = "usage: morvane-cli COMMAND ARGS... [--password-fd N]\n\nCommands:\n";
    for (const Command* cmd : AllCommands())
        out += "  morvane-cli " + std::string(cmd->info.synopsis) + "\n";
    out += "\nItems are paths of names from the book's root, such as Friends/Alice (\\/ for a slash in a name).\n"
           "A FILE of - is standard input or output. The password is read from the terminal without echo,\n"
           "or as the first line of descriptor N.\n"
           "Run morvane-cli help COMMAND for a command, and see morvane-cli(1).\n\n";
    return out + kExitTable;
}

std::string CommandHelp(const Command& cmd)
{
    std::string out = "usage: morvane-cli " + std::string(cmd.info.synopsis) +
                      (cmd.info.book ? " [--password-fd N]" : "") + "\n\n" + cmd.info.help + "\n\n";
    // One line for the three kinds, listed under "--dir".
    for (const auto& o : kOptionHelp)
        if (TakesFlag(cmd, o.name) || TakesValue(cmd, o.name))
            out += "  " + std::string(o.text) + "\n";
    return out + "\n" + kExitTable;
}

const Command* CommandNamed(const std::string& name)
{
    for (const Command* c : AllCommands())
        if (name == c->info.name)
            return c;
    return nullptr;
}

}  // namespace

int Run(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2)
        return Fail(kExitUsage, "no command given\n\n" + Usage());
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        if (name == "help" && argc > 2) {
            const Command* cmd = CommandNamed(argv[2]);
            if (!cmd)
                return Fail(kExitUsage, "unknown command \"" + std::string(argv[2]) + "\"\n\n" + Usage());
            Out(CommandHelp(*cmd));
            return kExitOk;
        }
        Out(Usage());
        return kExitOk;
    }
    if (name == "--version") {
        Out(std::string("morvane-cli ") + MORVANE_VERSION + "\n");
        return kExitOk;
    }
    const Command* cmd = CommandNamed(name);
    if (!cmd)
        return Fail(kExitUsage, "unknown command \"" + name + "\"\n\n" + Usage());

    Invocation c;
    Args& args = c.args;
    bool optionsEnd = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        // "-" is standard input or output, an argument like any other.
        if (optionsEnd || a.size() < 2 || a[0] != '-') {
            args.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            Out(CommandHelp(*cmd));
            return kExitOk;
        }
        if (a[1] != '-') {
            if (a.rfind("-o", 0) != 0 || !TakesValue(*cmd, "--output")) {
                args.positional.push_back(a);  // a name that starts with '-'
                continue;
            }
            a = a.size() > 2 ? "--output=" + a.substr(2) : std::string("--output");
        }
        std::string value;
        bool hasValue = false;
        if (const auto eq = a.find('='); eq != std::string::npos) {
            value = a.substr(eq + 1);
            a.resize(eq);
            hasValue = true;
        }
        if (TakesFlag(*cmd, a) && !hasValue) {
            args.flags.insert(a);
        } else if (TakesValue(*cmd, a)) {
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
    if (args.positional.size() < cmd->info.minArgs || args.positional.size() > cmd->info.maxArgs)
        return Fail(kExitUsage, "wrong number of arguments\n\n" + CommandHelp(*cmd));
    for (const char* option : {"--password-fd", "--new-password-fd"}) {
        if (const std::string* fd = args.Value(option)) {
            char* end = nullptr;
            const long n = std::strtol(fd->c_str(), &end, 10);
            if (fd->empty() || *end != '\0' || n < 0 || n > 1 << 20)
                return Fail(kExitUsage, std::string(option) + " needs a descriptor number");
        }
    }
    if (const std::string* output = args.Value("--output"); output && output->empty())
        return Fail(kExitUsage, "--output needs a file name (- for standard output)");
    return cmd->Execute(c);
}

}  // namespace morvane::cli
