// The key tree's context menu commands, run on the item the menu was opened on. Those that
// need a window of their own (the find, add item and about dialogs, and key generation, which
// pumps the window's events) are left to the window.
#pragma once

#include "book/CommandTable.h"
#include "book/KeyTree.h"

namespace morvane {

// Runs command id of the context menu. The caller opened the menu (OpenContextMenu) and
// checked that the command is enabled; every command tells the user what needs telling.
// Returns what the window still has to do (CommandTable's window part of the command).
[[nodiscard]] WindowCommand RunMenuCommand(KeyTree& tree, int id);

// The line a keyboard shortcut works on: the focus line, or the book root when there is none.
Node ShortcutTarget(const KeyTree& tree, Node focus);
// Whether a keyboard shortcut for command id may run on the focus line: where the menu opened
// on ShortcutTarget would offer it. Changes nothing.
[[nodiscard]] bool ShortcutAllowed(const KeyTree& tree, Node focus, int id);
// Makes ShortcutTarget the right-clicked and the context item, as opening the menu there
// would, so that RunMenuCommand acts on it. False (and nothing changes) when the shortcut
// is not allowed.
[[nodiscard]] bool AimShortcut(KeyTree& tree, Node focus, int id);

}  // namespace morvane
