// The key tree view on real mouse and key events: what a click and a Ctrl-click mark, what
// the keyboard moves, the expanded state in both directions and the first visible line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "platform/Text.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"
#include "ui/tree/BookModel.h"
#include "ui/tree/BookView.h"

using namespace morvane;

namespace {

Node Named(const Book& book, const char* utf8)
{
    for (Node n = book.FirstRoot(); n; n = book.NextPreOrder(n))
        if (book.Text(n) == Gbk(utf8))
            return n;
    return Node{};
}

class BookViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = BuildSampleBook(tree.book);
        dirA = Named(tree.book, "目录A");
        dirB = Named(tree.book, "目录B");
        lock1 = Named(tree.book, "对方1");
        ASSERT_TRUE(root && dirA && dirB && lock1);
        view = std::make_unique<BookView>(tree);
        window.onShowLine = [this](KeyTree&, Node) {
            ++shown;
            return 0;
        };
        tree.view = &window;
        view->resize(320, 480);
        view->show();
        QApplication::processEvents();
    }

    QPoint At(Node n) const { return view->ItemRect(n).center(); }
    void Click(Node n, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, At(n));
    }
    QPoint ExpandButton(Node n) const
    {
        const QRect r = view->ItemRect(n);
        return {r.left() - view->indentation() / 2, r.center().y()};
    }
    Node TopLine() const { return view->NodeOf(view->indexAt(QPoint(0, 0))); }

    ScriptedDesktop desk;
    RecordingView window;
    KeyTree tree{&desk};
    std::unique_ptr<BookView> view;
    Node root, dirA, dirB, lock1;
    int shown = 0;
};

TEST_F(BookViewTest, ClickMarksAndCtrlClickUnderAnotherParentIsRefused)
{
    QSignalSpy clicks(view.get(), &BookView::lineClicked);
    Click(dirA);
    EXPECT_TRUE(tree.book.Marked(dirA));
    EXPECT_EQ(tree.markedCount, 1);
    EXPECT_EQ(tree.markedParent, root);
    EXPECT_EQ(tree.book.Selected(), dirA);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(clicks.count(), 1);

    Click(dirB, Qt::ControlModifier);
    EXPECT_TRUE(tree.book.Marked(dirA) && tree.book.Marked(dirB));
    EXPECT_EQ(tree.markedCount, 2);
    EXPECT_EQ(shown, 1) << "a Ctrl-click runs no selection display";

    Click(lock1, Qt::ControlModifier);
    EXPECT_EQ(desk.LastMessage(), "在同一父代下选择项目!");
    EXPECT_FALSE(tree.book.Marked(lock1));
    EXPECT_EQ(tree.markedCount, 2);

    // Only the icon and the label count: right of the label, or in the indentation, is no item.
    const QRect r = view->ItemRect(lock1);
    EXPECT_FALSE(view->NodeAt(QPoint(r.right() + 4, r.center().y())));
    EXPECT_FALSE(view->NodeAt(QPoint(r.left() - 2, r.center().y())));
    EXPECT_EQ(view->NodeAt(QPoint(r.left() + 2, r.center().y())), lock1) << "the icon";
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(r.right() + 4, r.center().y()));
    EXPECT_EQ(tree.markedCount, 0) << "a click on empty space clears the marks";
    EXPECT_FALSE(tree.book.Marked(dirA) || tree.book.Marked(dirB));

    // A press that moves on starts a drag instead of a click.
    QSignalSpy drags(view.get(), &BookView::dragStarting);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, At(lock1));
    QMouseEvent move(QEvent::MouseMove, QPointF(At(lock1) + QPoint(0, 30)), view->viewport()->mapToGlobal(At(lock1)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, At(lock1) + QPoint(0, 30));
    EXPECT_EQ(drags.count(), 1);
    EXPECT_FALSE(tree.book.Marked(lock1));
}

TEST_F(BookViewTest, KeysMoveTheFocusLineOnly)
{
    Click(dirA);
    ASSERT_TRUE(tree.book.Marked(dirA));
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(tree.book.Selected(), lock1);
    EXPECT_EQ(view->NodeOf(view->currentIndex()), lock1);
    EXPECT_TRUE(tree.book.Marked(dirA)) << "the arrows run no selection display";
    EXPECT_EQ(shown, 1);

    QTest::keyPress(view.get(), Qt::Key_Control);
    EXPECT_TRUE(tree.multiSelect);
    QTest::keyRelease(view.get(), Qt::Key_Control);
    EXPECT_FALSE(tree.multiSelect);

    // The book moves the focus line too (a command showing its line).
    tree.book.Select(dirB);
    EXPECT_EQ(view->NodeOf(view->currentIndex()), dirB);
}

TEST_F(BookViewTest, ExpandedStateFollowsBothWays)
{
    const QModelIndex a = view->IndexOf(dirA);
    ASSERT_TRUE(view->isExpanded(a));
    tree.book.Expand(dirA, false);
    EXPECT_FALSE(view->isExpanded(a));

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, ExpandButton(dirA));
    EXPECT_TRUE(view->isExpanded(a));
    EXPECT_TRUE(tree.book.Expanded(dirA));
    EXPECT_EQ(tree.markedCount, 0) << "the expand button is no click on the item";

    view->setCurrentIndex(a);
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_FALSE(tree.book.Expanded(dirA));

    // A double click opens or closes the item and never edits its label.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, At(dirB));
    EXPECT_FALSE(tree.book.Expanded(dirB));
    EXPECT_EQ(view->findChild<QLineEdit*>(), nullptr);
    QTest::keyClick(view.get(), Qt::Key_F2);
    EXPECT_EQ(view->findChild<QLineEdit*>(), nullptr);

    // After a whole-book rebuild the view takes the book's state again.
    std::vector<std::uint8_t> stream;
    ASSERT_EQ(WriteTreeStream(tree, Node{}, stream), 1);
    ASSERT_EQ(ReadTreeStream(tree, Node{}, stream), 1);
    const Node newA = Named(tree.book, "目录A"), newB = Named(tree.book, "目录B");
    EXPECT_FALSE(view->isExpanded(view->IndexOf(newA)));
    EXPECT_FALSE(view->isExpanded(view->IndexOf(newB)));
    EXPECT_TRUE(view->isExpanded(view->IndexOf(tree.book.FirstRoot())));
}

TEST_F(BookViewTest, ShowsTheFirstVisibleLineAfterALoadAndRemembersScrolling)
{
    // A book taller than the view.
    for (int i = 0; i < 60; ++i) {
        const Node dir = tree.book.Insert(root, ItemKind::Directory, "dir" + std::to_string(i));
        tree.book.Insert(dir, ItemKind::Directory, "sub" + std::to_string(i));
        tree.book.Expand(dir, true);
    }
    tree.book.SetFirstVisible(Named(tree.book, "dir40"));
    std::vector<std::uint8_t> stream;
    ASSERT_EQ(WriteTreeStream(tree, Node{}, stream), 1);

    tree.book.SetFirstVisible(root);
    ASSERT_EQ(TopLine(), root);
    ASSERT_EQ(ReadTreeStream(tree, Node{}, stream), 1);
    EXPECT_EQ(tree.book.Text(TopLine()), "dir40");

    // Scrolling by hand is what the next save remembers.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() - 10);
    EXPECT_EQ(tree.book.FirstVisible(), TopLine());
    EXPECT_NE(tree.book.Text(TopLine()), "dir40");

    // A view that is not shown yet scrolls when it is.
    KeyTree other;
    ASSERT_EQ(ReadTreeStream(other, Node{}, stream), 1);
    BookView hidden(other);
    hidden.resize(320, 480);
    hidden.show();
    QApplication::processEvents();
    EXPECT_EQ(other.book.Text(hidden.NodeOf(hidden.indexAt(QPoint(0, 0)))), "dir40");
}

TEST_F(BookViewTest, LinesScrolledIntoViewAreNotCut)
{
    // Short lines at the top, a deep chain below them.
    for (int i = 0; i < 60; ++i)
        tree.book.Insert(root, ItemKind::Directory, "d" + std::to_string(i));
    Node deep = root;
    for (int i = 0; i < 8; ++i) {
        deep = tree.book.Insert(deep, ItemKind::Directory, "deeper and deeper " + std::to_string(i));
        tree.book.Expand(deep, true);
    }
    QApplication::processEvents();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    QApplication::processEvents();
    const QRect line = view->ItemRect(deep);
    ASSERT_FALSE(line.isEmpty());
    // A label the column cuts ends exactly at the column's last pixel.
    EXPECT_LT(line.right(), view->columnViewportPosition(0) + view->columnWidth(0) - 1);
}

}  // namespace
