// The key tree: shows the book with its icons and colours; clicks and Ctrl-clicks mark items
// through the marking operations; labels are never edited in place.
//
// The expanded bits, the selected node and the first visible node are the book's own view
// state (the nodes stand in for the tree control's items), so the view keeps them in step
// with Book::Expand, Book::Select and Book::SetFirstVisible in both directions. Marks and the
// rest of the working state change only through the marking operations.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include "book/DragDrop.h"
#include "book/Marking.h"

class QLabel;

namespace morvane {

class KeyTree;
class BookModel;
class BookDelegate;

class BookView : public QTreeView {
    Q_OBJECT
public:
    BookView(KeyTree& tree, QWidget* parent = nullptr);
    ~BookView() override;

    BookModel* bookModel() const { return model_; }
    // The main window's part of the selection display, run by a plain click.

    // The node whose icon or label is at pos (viewport coordinates); none elsewhere (the
    // indentation, the expand button, the empty space right of a label).
    Node NodeAt(const QPoint& pos) const;
    Node NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(Node n) const;
    // The icon and label of a node's row in viewport coordinates; empty when not laid out.
    QRect ItemRect(Node n) const;
    // Repaints a node's row at once (a running command pumps no events).
    void RepaintNode(Node n);
    // The node under the mouse whose label is underlined; none when there is none.
    Node HotNode() const { return hot_; }

Q_SIGNALS:
    // A left click ran the marking for hit (none: empty space); the window syncs after it.
    void lineClicked(morvane::Node hit, morvane::ClickResult result);
    // The left button went down on an item's icon or label and the mouse then moved far
    // enough to start a drag; no click follows. The drag itself may still be refused.
    void dragStarting(morvane::Node item, const QPoint& pressPos);
    // A drag ended with the button going up (Moved: the items went into the target).
    void dropped(morvane::DropResult result);
    // A command was chosen in the context menu opened on the tree.
    void commandChosen(int id);

public Q_SLOTS:
    void reset() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    bool OnExpandButton(const QPoint& pos) const;
    void SetHot(Node n);
    void ApplyBook();
    void ApplyExpanded(Node top);
    void FollowExpanded(const QModelIndex& index, bool expanded);
    void WriteExpanded(const QModelIndex& index, bool expanded);
    void FollowSelected(const QModelIndex& index);
    void ScrollToFirstVisible();
    void NoteFirstVisible();
    void RunClick(Node hit, Qt::KeyboardModifiers modifiers);
    void StartDrag(Node item);
    void DragTo(const QPoint& pos);
    void EndDrag(bool drop);
    void AutoScroll();

    KeyTree& tree_;
    BookModel* model_;
    BookDelegate* delegate_;
    // Set while one side follows the other (expanded bits, the selected node), so that the
    // echo is not written back.
    bool syncing_ = false;
    // Set while the view scrolls to the book's first visible node or writes it.
    bool placing_ = false;
    // Set while the model changes rows: Qt then moves the current index on its own.
    bool modelChanging_ = false;
    // The book's first visible node still has to be scrolled to (the view was not shown).
    bool scrollPending_ = true;
    Node hot_;
    // A left press that may become a click: where, on which item, and whether the base
    // class took it (the expand button).
    // Refused: a drag that may not start shows the refusal cursor until the button goes up.
    enum class Press { None, Click, Base, DoubleClick, Dragging, Refused } press_ = Press::None;
    QPoint pressPos_;
    Node pressNode_;

    TreeDrag drag_;
    QPointer<QLabel> dragImage_;  // follows the cursor over the whole screen
    QPoint dragPos_;              // the cursor, in viewport coordinates
    QTimer scrollTimer_;          // scrolls while a drag is held near the top or bottom edge
    QTimer expandTimer_;          // opens a closed item a drag rests on
    Node expandCandidate_;
};

}  // namespace morvane
