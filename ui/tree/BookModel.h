// The book as a read-only item model: one column, one row per node, no copy of the tree. An
// index carries the node handle (slot and generation) in its internal id, so an index or a
// persistent index that outlives its node names a stale handle and reads as nothing. Rows come
// from the book in constant time, and each of its paired notifications is passed on as the
// model's signal of the same meaning.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <array>

#include "book/Book.h"

namespace morvane {

class BookModel : public QAbstractItemModel, private BookObserver {
    Q_OBJECT
public:
    enum Role {
        KindRole = Qt::UserRole + 1,  // the node's kind code (int)
        CutRole,                      // the node shows the cut look (bool)
    };

    explicit BookModel(Book& book, QObject* parent = nullptr);
    ~BookModel() override;

    const Book& book() const { return book_; }
    Node NodeOf(const QModelIndex& index) const;
    // The index of a live node the model shows; invalid for none or a stale handle.
    QModelIndex IndexOf(Node n) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // The book's own view state changed: a node's expanded bit, the selected node, the first
    // visible node. The view follows; the index is invalid for none.
    void expandedChanged(const QModelIndex& index, bool expanded);
    void selectedChanged(const QModelIndex& index);
    void firstVisibleChanged(const QModelIndex& index);

private:
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

    void Changed(Node n, const QList<int>& roles);
    const QIcon& Icon(std::int32_t kind) const;

    Book& book_;
    mutable std::array<QIcon, kKindCount> icons_;
    mutable QIcon otherIcon_;
};

}  // namespace morvane
