#include "message/MessageView.h"

#include "book/KeyTree.h"

namespace morvane {

void ShowLine(KeyTree& tree, MessageView* view, Node line)
{
    if (!tree.book.Valid(line))
        return;
    if (view) {
        view->ShowLine(line);
    } else {
        tree.clickedItem = line;
        tree.markedParent = tree.book.Parent(line);
        tree.markedCount = 1;
    }
    tree.book.Select(line);
}

void RefreshLine(KeyTree& tree, MessageView* view, Node line)
{
    if (!tree.book.Valid(line))
        return;
    ShowLine(tree, view, line);
    if (view)
        view->RepaintLine(line);
}

}  // namespace morvane
