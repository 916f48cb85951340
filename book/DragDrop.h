// Dragging items in the tree moves them: the dragged item and its marked siblings are cut
// and pasted into the container under the cursor at the drop. The view calls Begin on the
// tree's begin-drag notification, Hover on each mouse move and Drop on the button release;
// it draws the drag image and the drop highlight itself.
#pragma once

#include "book/KeyTree.h"

namespace morvane {

// A book root, directory or directory-like item.
bool IsContainer(const Book& book, Node n);
// n itself when it is a container, else its closest ancestor that is one; none when there is
// none.
Node NearestContainer(const Book& book, Node n);

enum class DropResult {
    None,       // no drag, no target, or the target is the dragged item or its own container
    Refused,    // the target lies within one of the moved items
    Clash,      // the paste found a name clash (shown) and nothing moved
    Failed,     // the copy failed; the book is as before
    Moved,
};

class TreeDrag {
public:
    // Starts a drag of item. False when refused (menus disabled, not a directory, lock, key,
    // signature or police item, or other items are marked); a single marked parent of the
    // item is unmarked and the drag goes on. The view then makes the drag image and calls
    // Cancel when it cannot.
    [[nodiscard]] bool Begin(KeyTree& tree, Node item);
    // The cursor is over `over` (none: over no item). Returns the drop target to highlight:
    // the nearest container of the item, or none.
    Node Hover(const KeyTree& tree, Node over);
    // What a drop on target would do, without doing it: None (nothing to do there), Refused
    // (it lies within a moved item) or Moved (the items would go there).
    DropResult Verdict(const KeyTree& tree, Node target) const;
    // The left button went up: ends the drag and moves the items when the target takes them.
    DropResult Drop(KeyTree& tree);
    // Ends the drag without a drop.
    void Cancel();

    bool Dragging() const { return dragging_; }
    Node DraggedItem() const { return dragged_; }
    Node SourceContainer() const { return source_; }
    Node DropTarget() const { return target_; }

private:
    bool dragging_ = false;
    Node dragged_;
    Node source_;
    Node target_;
};

}  // namespace morvane
