// The tree's context menu: its layout and which of its commands a right click on an item
// offers, given the marking state, the transfer list, the undo queue, the random collection
// and the key generation of the first engine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "book/KeyTree.h"
#include "book/MenuIds.h"

namespace morvane {

// One line of the menu, in order. Separators have id 0; the sort submenu is opened by a line
// with id kMenuSubmenuBegin (its label is the submenu's) and closed by kMenuSubmenuEnd.
constexpr int kMenuSeparator = 0;
constexpr int kMenuSubmenuBegin = -1;
constexpr int kMenuSubmenuEnd = -2;

struct MenuLine {
    int id;
    Phrase label;
    bool enabledByDefault;
};
const std::vector<MenuLine>& ContextMenuLayout();

// The commands of one opened menu.
class ContextMenuState {
public:
    ContextMenuState();
    bool Enabled(int id) const;
    void Enable(int id, bool on = true);
    void Disable(int id) { Enable(id, false); }
    // Label of a command: the layout's, but "停止生成" for key generation while it runs.
    Phrase Label(int id) const;
    Phrase generateLabel;

private:
    std::vector<std::pair<int, bool>> enabled_;
};

// Whether t can take pasted or moved items: not the clicked item, not the marked parent, and
// neither t nor any item above it marked or in the transfer list.
bool CanReceive(const KeyTree& tree, Node t);

// The menu for a right click on r (a live node), from the tree's state; changes nothing.
ContextMenuState MenuRules(const KeyTree& tree, Node r);

// The menu a right click on hit would open, or nullopt where none opens; changes nothing.
// While a key is generated the menu opens although menus are off, offering only "停止生成"
// and the about box.
std::optional<ContextMenuState> OfferedMenu(const KeyTree& tree, Node hit);

// A right click on hit. nullopt when no menu is shown: menus are disabled (nothing changes)
// or there is no item (the right-clicked item is cleared). Otherwise hit becomes the
// right-clicked and the context item and OfferedMenu is returned.
[[nodiscard]] std::optional<ContextMenuState> OpenContextMenu(KeyTree& tree, Node hit);

}  // namespace morvane
