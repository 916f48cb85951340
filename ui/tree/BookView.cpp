// Placeholder until the tree lands.
#include "ui/tree/BookView.h"

namespace morvane {

BookView::BookView(KeyTree& tree, QWidget* parent) : QTreeView(parent), tree_(tree)
{
    setHeaderHidden(true);
}

}  // namespace morvane
