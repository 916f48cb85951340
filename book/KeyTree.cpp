#include "book/KeyTree.h"

#include "platform/Wipe.h"

namespace morvane {

KeyTree::KeyTree(Desktop* d) : desktop(d)
{
    random.SetOwner(desktop, &loginPassword, &cipher);
    engine[0].mode = 2;
    engine[1].mode = 1;
}

KeyTree::~KeyTree()
{
    Wipe(bookPassword);
    Wipe(loginPassword);
}

void KeyTree::SetDesktop(Desktop* d)
{
    desktop = d;
    random.SetOwner(desktop, &loginPassword, &cipher);
}

void KeyTree::ForgetStale()
{
    if (markedParent && !book.Valid(markedParent)) {
        markedParent = Node{};
        markedCount = 0;
    }
    clickedItem = Live(clickedItem);
    rightClickedItem = Live(rightClickedItem);
    contextItem = Live(contextItem);
}

void KeyTree::ForgetAllHandles()
{
    markedParent = Node{};
    markedCount = 0;
    clickedItem = Node{};
    rightClickedItem = Node{};
    contextItem = Node{};
    transferList.reset();
    clipboardMode = kClipNone;
}

}  // namespace morvane
