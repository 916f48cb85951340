// morvane-cli: the key book from a terminal (see morvane-cli.1).
#include "cli/Cli.h"

int main(int argc, char** argv)
{
    return morvane::cli::Run(argc, argv);
}
