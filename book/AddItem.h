// The add item dialog's logic: the name is checked against the siblings while it is typed,
// and OK inserts the new directory, key or lock (with its field lines) under the item the
// context menu was opened on. The dialog window shows the fields and calls these.
#pragma once

#include <cstdint>
#include <string>

#include "book/KeyTree.h"

namespace morvane {

class AddItemForm {
public:
    // Starts with the hint name, no kind chosen, OK disabled and "就绪" in the status pane.
    AddItemForm();

    // The name field's text before the user types in it.
    static constexpr Source kNameHint = MORVANE_TR("Book", "在此输入项目名字");

    // What the dialog shows.
    std::string name;            // GBK; the hint until typing starts
    unsigned kindMask = 0;       // the chosen radio button: 1 directory, 2 key, 4 lock; 0 none
    bool okEnabled = false;
    bool nameTaken = false;
    bool typingStarted = false;
    Phrase status;               // the first status pane

    // The focus entered the name field: the first time the hint is cleared.
    void FocusName(const KeyTree& tree);
    // The name was edited, or a kind chosen; both check the name again.
    void SetName(const KeyTree& tree, std::string_view text);
    void ChooseKind(const KeyTree& tree, unsigned mask);
    void Check(const KeyTree& tree);

    // What the name field shows: the hint (translated) or the name.
    Phrase ShownName() const;
    // How the name field is painted.
    enum class FieldLook { Normal, Hint, Taken };
    FieldLook Look() const;

    // OK: inserts the item as the last child of the right-clicked item, marks it alone, and
    // for a key or lock adds its field lines dated now; expands the parent and takes a
    // snapshot. Returns the new item, or none when OK is not allowed (the name is empty or
    // taken, no kind is chosen, or the parent is not a book root or directory).
    [[nodiscard]] Node Accept(KeyTree& tree);
};

// The item kind (2, 4 or 3) of a radio button mask; 0 for any other mask.
std::int32_t KindOfMask(unsigned mask);

}  // namespace morvane
