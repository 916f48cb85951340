#include "book/FindItems.h"

#include <algorithm>

#include "book/DragDrop.h"
#include "book/Queries.h"
#include "platform/Text.h"

namespace morvane {

FindSession::FindSession(KeyTree& tree) : tree_(tree)
{
    tree_.menusEnabled = false;
    text = Gbk("我的1");
    status = MORVANE_TR("Book", "就绪");
}

unsigned FindSession::Mask() const
{
    return (directories ? kMaskDirectory : 0u) | (keys ? kMaskKey : 0u) | (locks ? kMaskLock : 0u);
}

Phrase FindSession::PositionText() const
{
    return Phrase(MORVANE_TR("Book", "第 %1/%2 个"), {std::to_string(current_), std::to_string(results_.size())});
}

void FindSession::Prune()
{
    // Results removed since the search are dropped; the index keeps its result.
    int index = current_;
    ItemList kept;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        if (tree_.book.Valid(results_[i]))
            kept.push_back(results_[i]);
        else if (static_cast<int>(i) < current_)
            --index;
    }
    results_.swap(kept);
    current_ = std::max(0, std::min(index, static_cast<int>(results_.size())));
    if (current_ == 0 && !results_.empty())
        current_ = 1;
}

void FindSession::ShowCurrent()
{
    Book& book = tree_.book;
    const Node n = results_[static_cast<std::size_t>(current_ - 1)];
    // A result inside a folded directory would be opened and marked out of sight: every
    // folded ancestor opens first, so that the result has a row to show.
    for (Node up = book.Parent(n); up; up = book.Parent(up))
        if (!book.Expanded(up))
            book.Expand(up, true);
    book.Expand(n, true);
    (void)SelectionDisplay(tree_, n);
    if (book.Valid(tree_.markedParent))
        book.SetFirstVisible(tree_.markedParent);
    // Then the result becomes the focus line, which a view brings into sight: with the parent
    // at the top that scrolls only when the parent holds more rows than fit below it.
    if (book.Valid(n)) {
        if (book.Selected() == n)
            book.Select(Node{});  // so that the view hears of it again
        book.Select(n);
    }
}

void FindSession::Search()
{
    Book& book = tree_.book;
    Node start;
    if (firstSearch_)
        start = tree_.Live(tree_.rightClickedItem);
    else
        start = NearestContainer(book, tree_.Live(tree_.clickedItem));
    results_ = FindAllByName(book, start, text, Mask());
    firstSearch_ = false;
    current_ = 0;
    if (!results_.empty()) {
        if (start && book.Marked(start)) {
            Unmark(book, start);
            if (tree_.markedCount > 0)
                --tree_.markedCount;
        }
        current_ = 1;
        ShowCurrent();
    }
    previousEnabled = false;
    nextEnabled = results_.size() >= 2;
    if (results_.empty())
        status = MORVANE_TR("Book", "搜索无结果!");
    else
        status = Phrase(MORVANE_TR("Book", "搜索到 %1 个结果! 第 %2/%3 个"),
                        {std::to_string(results_.size()), std::to_string(current_), std::to_string(results_.size())});
}

void FindSession::Next()
{
    Prune();
    if (current_ >= static_cast<int>(results_.size()))
        return;
    ++current_;
    if (current_ == static_cast<int>(results_.size()))
        nextEnabled = false;
    previousEnabled = true;
    ShowCurrent();
    status = PositionText();
}

void FindSession::Previous()
{
    Prune();
    if (current_ <= 1)
        return;
    --current_;
    if (current_ < 2)
        previousEnabled = false;
    nextEnabled = true;
    ShowCurrent();
    status = PositionText();
}

void FindSession::Close()
{
    tree_.menusEnabled = true;
    results_.clear();
    current_ = 0;
}

}  // namespace morvane
