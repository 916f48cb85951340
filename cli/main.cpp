// morvane-cli: the key book from a terminal (see morvane-cli.1).
#include "cli/Cli.h"
#include "platform/Hardening.h"

int main(int argc, char** argv)
{
    // Before any password is read: a crash must not leave one behind in a core file.
    (void)morvane::DisableCoreDumps();
    return morvane::cli::Run(argc, argv);
}
