// Every command of the tree's context menu in one table: its id, the name the window gives its
// action, its label, its keys, where its keys work and whether it needs a window of its own.
// The menu layout, the window's actions and the command runners all read it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "book/MenuIds.h"
#include "platform/Phrase.h"

namespace morvane {

// What the window itself has to do for a command; None for commands the core runs alone.
enum class WindowCommand {
    None,         // done by the core (or not a command)
    Find,         // the find dialog
    Add,          // the add item dialog
    About,        // the about box
    GenerateKey,  // key generation, or asking a running one to stop
};

struct Command {
    int id;
    const char* name;               // the action's object name: stable, for tests and tools
    std::string label;              // GBK, as the menu shows it
    std::vector<std::string> keys;  // portable key texts ("Ctrl+Shift+S"); the first is shown
    // The keys work anywhere in the window; otherwise only while the tree has the focus (the
    // text boxes use the editing keys for their own text).
    bool windowWide;
    bool enabledByDefault;  // before the menu rules apply
    WindowCommand window;
    Source source;  // the label as marked for translation (UTF-8)
};

// The commands in menu order (the sort commands in their submenu's order).
const std::vector<Command>& CommandTable();
// The entry for id, or null.
const Command* FindCommand(int id);
// The entry with this action name, or null.
const Command* FindCommandByName(const std::string& name);

}  // namespace morvane
