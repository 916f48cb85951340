// morvane-cli: the key book from a terminal. The subcommands run the same Qt-free commands as
// the window, so books, public key texts and armored texts move between the two unchanged.
#pragma once

namespace morvane::cli {

// Exit codes (documented in morvane-cli.1).
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,         // anything not listed below
    kExitUsage = 2,           // bad command line, a name that is no UTF-8, a path naming several items
    kExitWrongPassword = 3,
    kExitDamaged = 4,         // damaged or unreadable book file, or input that is no message or key text
    kExitBadSignature = 5,    // verification failed
    kExitNotFound = 6,        // no such item
    kExitLocked = 7,          // another program holds the book
};

// The whole program: argv[1] is the subcommand.
int Run(int argc, char** argv);

}  // namespace morvane::cli
