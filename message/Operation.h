// What the main window's two operation buttons and its single-step box do: a press runs the
// protect command, or one single-step press, on the record whose action line was clicked.
#pragma once

#include "book/Book.h"

namespace morvane {

class KeyTree;
class MessageView;

// Which operation buttons are offered.
struct OperationButtons {
    bool button1 = false;
    bool button2 = false;
    bool operator==(const OperationButtons&) const = default;
};

// Ticks or unticks the single-step box. While a single-step run is pending, ticking offers
// only the button that started it, so that the run goes on with the same operation;
// otherwise both buttons are offered.
OperationButtons ToggleSingleStep(KeyTree& tree);

// Operation button 1 (sign 0) or 2 (sign 1) on the tree's marked parent, the lock or key
// whose action line was clicked: one single-step press when the box is ticked and the record
// is a lock, the protect command otherwise. A text to encrypt that holds a control character
// (other than tab, CR, LF) or bytes that are no GB18030 is refused with a message, nothing
// written. Returns what the command returned (1, or -1 on a failure without a message); 1
// after a refusal; -1 without a marked parent.
[[nodiscard]] int RunOperation(KeyTree& tree, int sign);

}  // namespace morvane
