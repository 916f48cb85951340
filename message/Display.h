// The main window's part of the selection display: what it shows for a clicked line. Reads
// the line and its record, checks the lock or key of an action line on the first engine,
// and keeps the line's label for the write-through of the text boxes.
#pragma once

#include "book/Book.h"
#include "message/LineDisplay.h"

namespace morvane {

class KeyTree;

// Updates display, the window's current display, for line p: the labels are set anew; the
// enabled flags and the boxes a line leaves alone keep what display held (the strength line
// keeps the buttons as they were). Keeps p's full text and field label in the tree for the
// boxes' write-through; the clicked item stays none until the caller marks p. columns:
// characters per line of the input box, for framing a lock's armored output. 1 for no line, 0
// when shown, -1 when the line's data cannot be read or is inconsistent (display then holds
// what was decided so far).
int DescribeLine(KeyTree& tree, Node p, int columns, LineDisplay& display);

}  // namespace morvane
