#include "support/RowChecker.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace morvane {

namespace {

std::string Name(Node n)
{
    if (n.IsNone())
        return "top level";
    return "node " + std::to_string(n.slot) + "/" + std::to_string(n.gen);
}

std::string Rows(Node parent, int first, int last)
{
    return Name(parent) + " rows " + std::to_string(first) + ".." + std::to_string(last);
}

bool Less(Node a, Node b) { return a.slot != b.slot ? a.slot < b.slot : a.gen < b.gen; }

}  // namespace

RowChecker::RowChecker(Book& book) : book_(book)
{
    Reload();
    book_.AddObserver(this);
}

RowChecker::~RowChecker() { book_.RemoveObserver(this); }

std::vector<Node> RowChecker::BookChildren(Node parent) const
{
    std::vector<Node> v;
    for (Node c = book_.FirstChild(parent); c; c = book_.NextSibling(c))
        v.push_back(c);
    return v;
}

bool RowChecker::Known(Node n) const { return kids_.count(Key(n)) != 0; }

void RowChecker::Fail(const std::string& what)
{
    ++failures_;
    ADD_FAILURE() << "row notifications: " << what;
    // Start again from the book, so that one fault is reported once.
    pending_ = Pending{};
    Reload();
}

void RowChecker::Reload()
{
    kids_.clear();
    LoadBelow(Node{});
}

// Reads the children of n and everything below them from the book, as a view does when it
// is told of new rows.
void RowChecker::LoadBelow(Node n)
{
    std::vector<Node> stack{n};
    while (!stack.empty()) {
        const Node cur = stack.back();
        stack.pop_back();
        std::vector<Node>& kids = kids_[Key(cur)];
        kids = BookChildren(cur);
        stack.insert(stack.end(), kids.begin(), kids.end());
    }
}

void RowChecker::CollectKnown(Node n, std::vector<Node>& out) const
{
    std::vector<Node> stack{n};
    while (!stack.empty()) {
        const Node cur = stack.back();
        stack.pop_back();
        out.push_back(cur);
        auto it = kids_.find(Key(cur));
        if (it != kids_.end())
            stack.insert(stack.end(), it->second.begin(), it->second.end());
    }
}

void RowChecker::Forget(Node n)
{
    std::vector<Node> all;
    CollectKnown(n, all);
    for (Node x : all)
        kids_.erase(Key(x));
}

bool RowChecker::SameChildren(Node parent, const char* when)
{
    auto it = kids_.find(Key(parent));
    if (it == kids_.end()) {
        Fail(std::string(when) + ": " + Name(parent) + " was never announced");
        return false;
    }
    if (it->second != BookChildren(parent)) {
        Fail(std::string(when) + ": the children of " + Name(parent) + " changed unannounced");
        return false;
    }
    return true;
}

bool RowChecker::StartFailed(const std::string& what)
{
    Fail(what);
    pending_.change = Change::Skipped;
    return false;
}

bool RowChecker::Start(Change change, Node parent, int first, int last, const char* call)
{
    if (pending_.change != Change::None)
        return StartFailed(std::string(call) + " while another change is open");
    if (!parent.IsNone() && !book_.Valid(parent))
        return StartFailed(std::string(call) + ": stale parent " + Name(parent));
    if (!SameChildren(parent, call)) {
        pending_.change = Change::Skipped;
        return false;
    }
    const int count = static_cast<int>(book_.ChildCount(parent));
    // Inserted rows may start at the end; removed rows must exist now.
    const int limit = change == Change::Insert ? count : count - 1;
    if (change != Change::Reorder &&
        (first < 0 || last < first || first > limit || (change == Change::Remove && last > limit)))
        return StartFailed(std::string(call) + ": " + Rows(parent, first, last) + " out of range, " +
                           std::to_string(count) + " rows");
    pending_ = Pending{change, parent, first, last, BookChildren(parent), {}};
    return true;
}

bool RowChecker::Finish(Change change, Node parent, int first, int last, const char* call)
{
    if (pending_.change == Change::Skipped) {
        pending_ = Pending{};
        Reload();
        return false;
    }
    if (pending_.change != change || pending_.parent != parent || pending_.first != first ||
        pending_.last != last) {
        Fail(std::string(call) + " for " + Rows(parent, first, last) + " does not match the announcement");
        return false;
    }
    if (!parent.IsNone() && !book_.Valid(parent)) {
        Fail(std::string(call) + ": the parent went stale");
        return false;
    }
    return true;
}

void RowChecker::RowsAboutToBeInserted(Node parent, int first, int last)
{
    Start(Change::Insert, parent, first, last, "RowsAboutToBeInserted");
}

void RowChecker::RowsInserted(Node parent, int first, int last)
{
    if (!Finish(Change::Insert, parent, first, last, "RowsInserted"))
        return;
    const std::vector<Node> now = BookChildren(parent);
    std::vector<Node>& before = pending_.before;
    const std::size_t n = static_cast<std::size_t>(last - first + 1);
    if (now.size() != before.size() + n || book_.ChildCount(parent) != now.size()) {
        Fail("RowsInserted: " + Rows(parent, first, last) + " but the count went from " +
             std::to_string(before.size()) + " to " + std::to_string(now.size()));
        return;
    }
    const auto at = static_cast<std::ptrdiff_t>(first);
    if (!std::equal(before.begin(), before.begin() + at, now.begin()) ||
        !std::equal(before.begin() + at, before.end(), now.begin() + at + static_cast<std::ptrdiff_t>(n))) {
        Fail("RowsInserted: the rows around " + Rows(parent, first, last) + " moved");
        return;
    }
    for (int row = first; row <= last; ++row) {
        const Node c = book_.ChildAt(parent, row);
        if (!book_.Valid(c) || c != now[static_cast<std::size_t>(row)] || book_.RowOf(c) != row ||
            book_.Parent(c) != parent || Known(c)) {
            Fail("RowsInserted: row " + std::to_string(row) + " of " + Name(parent) + " is not a new child there");
            return;
        }
    }
    std::vector<Node>& kids = kids_[Key(parent)];
    kids.insert(kids.begin() + at, now.begin() + at, now.begin() + at + static_cast<std::ptrdiff_t>(n));
    for (int row = first; row <= last; ++row)
        LoadBelow(now[static_cast<std::size_t>(row)]);
    pending_ = Pending{};
    ++seen_.inserted;
}

void RowChecker::RowsAboutToBeRemoved(Node parent, int first, int last)
{
    if (!Start(Change::Remove, parent, first, last, "RowsAboutToBeRemoved"))
        return;
    for (int row = first; row <= last; ++row) {
        const Node c = book_.ChildAt(parent, row);
        if (book_.RowOf(c) != row || book_.Parent(c) != parent) {
            StartFailed("RowsAboutToBeRemoved: row " + std::to_string(row) + " of " + Name(parent) + " disagrees");
            return;
        }
        CollectKnown(c, pending_.leaving);
    }
    for (Node x : pending_.leaving) {
        if (!book_.Valid(x)) {
            StartFailed("RowsAboutToBeRemoved: a node of the leaving subtrees is stale already");
            return;
        }
    }
}

void RowChecker::RowsRemoved(Node parent, int first, int last)
{
    if (!Finish(Change::Remove, parent, first, last, "RowsRemoved"))
        return;
    std::vector<Node> expected = pending_.before;
    expected.erase(expected.begin() + first, expected.begin() + last + 1);
    if (BookChildren(parent) != expected || book_.ChildCount(parent) != expected.size()) {
        Fail("RowsRemoved: the children of " + Name(parent) + " are not the others of before, in order");
        return;
    }
    for (Node x : pending_.leaving) {
        if (book_.Valid(x)) {
            Fail("RowsRemoved: a node of the removed subtrees is still valid");
            return;
        }
    }
    for (int row = first; row <= last; ++row)
        Forget(pending_.before[static_cast<std::size_t>(row)]);
    kids_[Key(parent)] = std::move(expected);
    pending_ = Pending{};
    ++seen_.removed;
}

void RowChecker::ChildrenAboutToBeReordered(Node parent)
{
    Start(Change::Reorder, parent, 0, 0, "ChildrenAboutToBeReordered");
}

void RowChecker::ChildrenReordered(Node parent)
{
    if (!Finish(Change::Reorder, parent, 0, 0, "ChildrenReordered"))
        return;
    std::vector<Node> now = BookChildren(parent);
    std::vector<Node> sortedNow = now, sortedBefore = pending_.before;
    std::sort(sortedNow.begin(), sortedNow.end(), Less);
    std::sort(sortedBefore.begin(), sortedBefore.end(), Less);
    if (sortedNow != sortedBefore || book_.ChildCount(parent) != now.size()) {
        Fail("ChildrenReordered: the children of " + Name(parent) + " are not the same set");
        return;
    }
    for (std::size_t row = 0; row < now.size(); ++row) {
        const int r = static_cast<int>(row);
        if (book_.RowOf(now[row]) != r || book_.ChildAt(parent, r) != now[row]) {
            Fail("ChildrenReordered: rows of " + Name(parent) + " disagree after the sort");
            return;
        }
    }
    kids_[Key(parent)] = std::move(now);
    pending_ = Pending{};
    ++seen_.reordered;
}

void RowChecker::BookAboutToBeReset()
{
    if (pending_.change != Change::None) {
        StartFailed("BookAboutToBeReset while another change is open");
        return;
    }
    pending_.change = Change::Reset;
}

void RowChecker::BookReset()
{
    if (pending_.change == Change::Skipped) {
        pending_ = Pending{};
        Reload();
        return;
    }
    if (pending_.change != Change::Reset) {
        Fail("BookReset without BookAboutToBeReset");
        return;
    }
    pending_ = Pending{};
    Reload();
    ++seen_.resets;
    Verify();
}

void RowChecker::CheckChanged(Node node, const char* call)
{
    if (pending_.change != Change::None)
        Fail(std::string(call) + " inside a change of rows");
    else if (!node.IsNone() && (!book_.Valid(node) || !Known(node)))
        Fail(std::string(call) + " for " + Name(node) + ", which the view does not know");
}

void RowChecker::TextChanged(Node node) { CheckChanged(node, "TextChanged"); }
void RowChecker::StateChanged(Node node, std::uint32_t, std::uint32_t) { CheckChanged(node, "StateChanged"); }
void RowChecker::FlagsChanged(Node node, std::uint32_t, std::uint32_t) { CheckChanged(node, "FlagsChanged"); }
void RowChecker::SelectionChanged(Node node) { CheckChanged(node, "SelectionChanged"); }
void RowChecker::FirstVisibleChanged(Node node) { CheckChanged(node, "FirstVisibleChanged"); }

void RowChecker::Verify()
{
    if (pending_.change != Change::None) {
        Fail("a change was announced and never finished");
        return;
    }
    std::size_t nodes = 0;
    std::vector<Node> stack{Node{}};
    while (!stack.empty()) {
        const Node parent = stack.back();
        stack.pop_back();
        if (!SameChildren(parent, "Verify"))
            return;
        const std::vector<Node>& kids = kids_[Key(parent)];
        if (book_.ChildCount(parent) != kids.size()) {
            Fail("Verify: ChildCount of " + Name(parent) + " disagrees");
            return;
        }
        if (book_.ChildAt(parent, -1) || book_.ChildAt(parent, static_cast<int>(kids.size()))) {
            Fail("Verify: ChildAt of " + Name(parent) + " gives a node outside its rows");
            return;
        }
        for (std::size_t row = 0; row < kids.size(); ++row) {
            const Node c = kids[row];
            if (book_.ChildAt(parent, static_cast<int>(row)) != c || book_.RowOf(c) != static_cast<int>(row) ||
                book_.Parent(c) != parent) {
                Fail("Verify: row " + std::to_string(row) + " of " + Name(parent) + " disagrees");
                return;
            }
            stack.push_back(c);
        }
        nodes += kids.size();
    }
    if (nodes != book_.NodeCount() || kids_.size() != nodes + 1)
        Fail("Verify: the view knows " + std::to_string(kids_.size() - 1) + " nodes, the book holds " +
             std::to_string(book_.NodeCount()));
}

}  // namespace morvane
