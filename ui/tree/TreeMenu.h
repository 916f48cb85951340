// The key tree's context menu as a Qt popup, and the keyboard shortcuts of its commands.
#pragma once

#include <QKeySequence>
#include <QList>
#include <memory>

class QMenu;
class QWidget;

namespace morvane {

class ContextMenuState;

// The popup for an opened menu: every line of the layout, disabled where the state says, the
// key generation line under its current label. Each action's data() is its command id.
std::unique_ptr<QMenu> BuildTreeMenu(const ContextMenuState& state, QWidget* parent);

// The shortcuts of a command (the first is shown in the menu); empty when it has none.
QList<QKeySequence> CommandShortcuts(int id);
// Whether a command's shortcut works anywhere in the window; the others (the editing
// commands, whose keys the text boxes use for their own text) only while the tree has the focus.
bool WindowWideShortcut(int id);

}  // namespace morvane
