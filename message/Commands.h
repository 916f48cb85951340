// The key tree's context menu commands, run on the item the menu was opened on. Those that
// need a window of their own (the find, add item and about dialogs, and key generation, which
// pumps the window's events) are left to the window.
#pragma once

#include "book/KeyTree.h"

namespace morvane {

enum class WindowCommand {
    None,         // done here (or not a command)
    Find,         // the find dialog
    Add,          // the add item dialog
    About,        // the about box
    GenerateKey,  // key generation, or asking a running one to stop
};

// Runs command id of the context menu. The caller opened the menu (OpenContextMenu) and
// checked that the command is enabled; every command tells the user what needs telling.
[[nodiscard]] WindowCommand RunMenuCommand(KeyTree& tree, int id);

// A keyboard shortcut for command id on the focus line (the book root when there is none):
// opens the menu there as a right click would and runs the command only when that menu
// offers it. False when it does not (nothing else changes but the right-clicked item).
[[nodiscard]] bool ShortcutAllowed(KeyTree& tree, Node focus, int id);

}  // namespace morvane
