// The marking state behind the tree's clicks: marked items (flag 0x20) are siblings under the
// tree's marked parent (the top level when it is none), and the marked count says how many
// there are. A plain click marks the clicked line alone; Ctrl-clicks gather siblings.
#pragma once

#include <cstdint>
#include <functional>

#include "book/KeyTree.h"

namespace morvane {

// Number of marked children of parent (top-level nodes when none).
std::int32_t CountMarkedChildren(const Book& book, Node parent);
// True when n carries the mark.
inline bool IsMarked(const KeyTree& tree, Node n) { return tree.book.Marked(n); }

// Unmarks the marked items (taking away any cut look), clears the marked parent and count
// and releases the transfer list.
void ClearMarking(KeyTree& tree);
// Unmarks the marked items under the marked parent; the parent stays, the count becomes 0.
void UnmarkSelection(KeyTree& tree);

// The selection display: clears the marking, has the main window show p (MainView::ShowLine;
// skipped headless) and marks p alone, making it the clicked item and its parent the marked
// parent. 1 for no line, 0 when shown, -1 when the window's part failed (p is then left
// unmarked).
[[nodiscard]] int SelectionDisplay(KeyTree& tree, Node p);
// What a command runs when it ends on a line: the selection display for it, which then
// becomes the tree's selected item. RedisplayLine also repaints the line's row (its text
// changed under the command). Nothing happens for a stale line; the display's own result
// is not the command's, since it leaves nothing half done that the command must undo.
void DisplayLine(KeyTree& tree, Node line);
void RedisplayLine(KeyTree& tree, Node line);

// A left click on hit (none: empty space), as plain or Ctrl-click by the multi-select mode.
// ctrlHeld tells, after a refusal message, whether Ctrl is still down.
enum class ClickResult {
    Shown,      // plain click: the selection display ran (also for no item)
    Ignored,    // Ctrl-click on no item or on a field line
    Refused,    // Ctrl-click under another parent than the marked items'
    Marked,     // Ctrl-click added a mark
    Unmarked,   // Ctrl-click took a mark away
};
ClickResult Click(KeyTree& tree, Node hit, const std::function<bool()>& ctrlHeld = {});
ClickResult PlainClick(KeyTree& tree, Node hit);
ClickResult CtrlClick(KeyTree& tree, Node hit, const std::function<bool()>& ctrlHeld = {});
// Ctrl key down or up: the multi-select mode follows it.
inline void SetCtrlKey(KeyTree& tree, bool down) { tree.multiSelect = down; }

// Adds n to the selection: n must be a child of the marked parent, or nothing may be
// marked (n's parent then becomes the marked parent). False when neither holds.
[[nodiscard]] bool AddMark(KeyTree& tree, Node n);

// After the whole book was rebuilt (undo, redo, loading) or built by other means: handles
// that no longer name a node are cleared, transfer list entries that went stale are dropped,
// and the marking is made consistent: the marked parent is taken from the stream's marker,
// or else from the first marked node; marks anywhere else are taken away and the marked
// count is recounted.
void MendAfterRebuild(KeyTree& tree);

}  // namespace morvane
