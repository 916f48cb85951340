// The commands of morvane-cli, one file each (cli/Command.h has their base).
#pragma once

#include "cli/Command.h"

namespace morvane::cli {

const Command& NewCommand();
const Command& ListCommand();
const Command& ShowCommand();
const Command& AddCommand();
const Command& RemoveCommand();
const Command& MoveCommand();
const Command& RenameCommand();
const Command& KeygenCommand();
const Command& ExportCommand();
const Command& ImportCommand();
const Command& EncryptCommand();
const Command& DecryptCommand();
const Command& PasswdCommand();

}  // namespace morvane::cli
