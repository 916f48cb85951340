// What the main window does for the message commands. The commands run headless with no view.
#pragma once

#include "book/Book.h"

namespace morvane {

class KeyTree;

class MessageView {
public:
    virtual ~MessageView() = default;
    // The selection display for a tree line, as a plain click on it runs it: the line becomes
    // the clicked item and its parent the marked parent, and the window shows the line.
    virtual void ShowLine(Node line) = 0;
    // Repaints the line's row.
    virtual void RepaintLine(Node line) { (void)line; }
};

// Runs the selection display for line through view; without a view, only the marking part
// that the commands rely on. Then makes the line the tree's selected item.
void ShowLine(KeyTree& tree, MessageView* view, Node line);
// Reruns the selection display for line and repaints it (after a message ended a command).
void RefreshLine(KeyTree& tree, MessageView* view, Node line);

}  // namespace morvane
