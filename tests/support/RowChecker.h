// An observer that follows a book the way a view over an item model does, knowing the rows only
// from the notifications, and checks every announced change against the book, as Qt's
// QAbstractItemModelTester does: before and after calls come in pairs and never nest; the
// parent is valid; removed and moved rows exist before the change, inserted rows after it;
// the count changes by exactly the announced rows; the announced rows hold the nodes that
// come or go and every other child keeps its order; removed subtrees go stale; a reorder keeps
// the same children; after a reset the whole tree is consistent. Failures are reported to
// GoogleTest as they are found (and the checker then re-reads the book, so one fault is
// reported once).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "book/Book.h"

namespace morvane {

class RowChecker : public BookObserver {
public:
    // Attaches itself to book and reads what a view would show at the start.
    explicit RowChecker(Book& book);
    ~RowChecker() override;
    RowChecker(const RowChecker&) = delete;
    RowChecker& operator=(const RowChecker&) = delete;

    // Between changes: no change is half announced, and what the notifications told equals the
    // book under every node, with counts, rows and parents agreeing with the navigation calls.
    void Verify();

    // Changes announced so far (so that a test can see it reached each kind).
    struct Counts {
        long inserted = 0, removed = 0, reordered = 0, resets = 0;
    };
    const Counts& Seen() const { return seen_; }
    int Failures() const { return failures_; }

    void RowsAboutToBeInserted(Node parent, int first, int last) override;
    void RowsInserted(Node parent, int first, int last) override;
    void RowsAboutToBeRemoved(Node parent, int first, int last) override;
    void RowsRemoved(Node parent, int first, int last) override;
    void ChildrenAboutToBeReordered(Node parent) override;
    void ChildrenReordered(Node parent) override;
    void BookAboutToBeReset() override;
    void BookReset() override;
    void TextChanged(Node node) override;
    void StateChanged(Node node, std::uint32_t oldState, std::uint32_t newState) override;
    void FlagsChanged(Node node, std::uint32_t oldFlags, std::uint32_t newFlags) override;
    void SelectionChanged(Node selected) override;
    void FirstVisibleChanged(Node node) override;

private:
    // Skipped: the announcement was faulty and reported; its after call only re-reads the book.
    enum class Change { None, Insert, Remove, Reorder, Reset, Skipped };
    struct Pending {
        Change change = Change::None;
        Node parent;
        int first = 0, last = 0;
        std::vector<Node> before;   // the parent's children when the change was announced
        std::vector<Node> leaving;  // removed rows with their subtrees
    };

    static std::uint64_t Key(Node n) { return (std::uint64_t{n.slot} << 32) | n.gen; }
    std::vector<Node> BookChildren(Node parent) const;
    bool Known(Node n) const;
    void Fail(const std::string& what);
    void Reload();
    void LoadBelow(Node n);
    void Forget(Node n);
    void CollectKnown(Node n, std::vector<Node>& out) const;
    // The view's children of parent equal the book's; false (and reported) when not.
    bool SameChildren(Node parent, const char* when);
    bool Start(Change change, Node parent, int first, int last, const char* call);
    bool StartFailed(const std::string& what);
    bool Finish(Change change, Node parent, int first, int last, const char* call);
    void CheckChanged(Node node, const char* call);

    Book& book_;
    // What the notifications told: the children of each known node (key 0: the top level).
    std::unordered_map<std::uint64_t, std::vector<Node>> kids_;
    Pending pending_;
    Counts seen_;
    int failures_ = 0;
};

}  // namespace morvane
