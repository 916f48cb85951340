#include "message/Display.h"

#include "book/KeyTree.h"

namespace morvane {

// Placeholder: shows the line's text in the input box.
int DescribeLine(KeyTree& tree, Node p, int /*columns*/, LineDisplay& display)
{
    display = LineDisplay{};
    if (!tree.book.Valid(p))
        return 1;
    display.input.visible = true;
    display.input.text = tree.book.Text(p);
    display.input.programSet = true;
    return 0;
}

}  // namespace morvane
