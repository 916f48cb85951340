// The find dialog's logic: searching the book by name and kind from the item the menu was
// opened on, and stepping through the results, each shown through the selection display.
// The dialog window shows the fields below and calls these on its buttons.
#pragma once

#include <string>

#include "book/KeyTree.h"
#include "book/Marking.h"

namespace morvane {

class FindSession {
public:
    // The find command: disables the tree's context menus and presets the dialog: a sample
    // name, all three kind boxes ticked, both step buttons disabled.
    explicit FindSession(KeyTree& tree);

    // Dialog fields.
    std::string text;         // GBK: the name searched for
    bool directories = true;  // "目录"
    bool keys = true;         // "钥匙"
    bool locks = true;        // "锁"
    bool previousEnabled = false;
    bool nextEnabled = false;
    Phrase status;            // the first status pane

    // The kind mask of the ticked boxes.
    unsigned Mask() const;

    // "搜索": searches from the right-clicked item the first time, afterwards from the
    // directory (or book root) of the clicked item, and shows the first result.
    void Search();
    // "后一项" / "前一项": the next or previous result; nothing at either end.
    void Next();
    void Previous();
    // "关闭" (and Enter or Esc): enables the tree's context menus again and drops the results.
    void Close();

    const ItemList& Results() const { return results_; }
    int CurrentIndex() const { return current_; }  // 1-based; 0 before any result

private:
    void ShowCurrent();
    void Prune();
    Phrase PositionText() const;

    KeyTree& tree_;
    ItemList results_;
    int current_ = 0;
    bool firstSearch_ = true;
};

}  // namespace morvane
