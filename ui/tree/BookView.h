// The key tree: shows the book with its icons and colours; clicks and Ctrl-clicks mark items
// through the marking operations; labels are never edited in place.
#pragma once

#include <QTreeView>

namespace morvane {

class KeyTree;

class BookView : public QTreeView {
    Q_OBJECT
public:
    BookView(KeyTree& tree, QWidget* parent = nullptr);

private:
    KeyTree& tree_;
};

}  // namespace morvane
