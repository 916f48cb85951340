// The key tree view on real mouse and key events: what a click and a Ctrl-click mark, what
// the keyboard moves, the expanded state in both directions, the first visible line, what
// the context menu offers and what a drag does with the book.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

#include "book/ContextMenu.h"
#include "book/FindItems.h"
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

    // Right-clicks at pos and returns what the popup offered (label -> enabled), choosing
    // the entry labelled `choose` when given; an empty map when no popup opened.
    std::map<QString, bool> RightClick(const QPoint& pos, const QString& choose = {})
    {
        std::map<QString, bool> seen;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            QAction* pick = nullptr;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator())
                    continue;
                seen[a->text()] = a->isEnabled();
                if (a->text() == choose)
                    pick = a;
            }
            if (pick) {
                menu->setActiveAction(pick);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view->viewport(), &event);
        QApplication::processEvents();
        return seen;
    }

    // A left-button drag from one point to another, as the mouse does it.
    void Drag(const QPoint& from, const QPoint& to)
    {
        QWidget* vp = view->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step) {
            const QPoint p = from + (to - from) * step / 4;
            QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(vp->mapToGlobal(p)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(vp, &move);
        }
        QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
    }

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

const QString kCut = QStringLiteral("剪    切");
const QString kCopy = QStringLiteral("复    制");
const QString kPaste = QStringLiteral("粘    贴");
const QString kDelete = QStringLiteral("删    除");
const QString kCopyHere = QStringLiteral("将选定项目复制至此");
const QString kAdd = QStringLiteral("添    加...");

// Find shows each result: the folded directories above it open, its parent becomes the top
// line, and it is the marked focus line in view, also when the parent holds more rows than
// fit below it.
TEST_F(BookViewTest, FindOpensScrollsToAndMarksEachResult)
{
    Book& book = tree.book;
    const Node inA = AddRecord(book, dirA, KindCode(ItemKind::Lock), Gbk("老李"), 0, true);
    const Node group = book.Insert(dirB, ItemKind::Directory, Gbk("甲组"));
    for (int i = 0; i < 3; ++i) {
        const Node other = AddRecord(book, group, KindCode(ItemKind::Lock), Gbk("别人"), 0, true);
        ASSERT_TRUE(other);
        book.Expand(other, true);
    }
    const Node inGroup = AddRecord(book, group, KindCode(ItemKind::Lock), Gbk("老李"), 0, true);
    ASSERT_TRUE(inA && group && inGroup);
    book.Expand(group, false);
    book.Expand(dirB, false);
    book.Expand(dirA, false);
    view->resize(320, 240);
    QApplication::processEvents();

    auto shows = [&](Node result) {
        SCOPED_TRACE(Utf8(book.Text(book.Parent(result))));
        QApplication::processEvents();
        for (Node up = book.Parent(result); up; up = book.Parent(up))
            EXPECT_TRUE(view->isExpanded(view->IndexOf(up))) << Utf8(book.Text(up));
        EXPECT_TRUE(view->viewport()->rect().contains(view->ItemRect(result))) << "the result is out of sight";
        EXPECT_TRUE(book.Marked(result));
        EXPECT_EQ(view->NodeOf(view->currentIndex()), result);
    };
    tree.rightClickedItem = root;
    FindSession find(tree);
    find.text = Gbk("老李");
    find.Search();
    ASSERT_EQ(find.Results().size(), 2u);
    shows(inA);
    EXPECT_EQ(TopLine(), dirA);
    find.Next();
    shows(inGroup);
    EXPECT_NE(TopLine(), group) << "the parent at the top would hide the result below its 60 lines";
    find.Previous();
    shows(inA);
    EXPECT_EQ(TopLine(), dirA);
    find.Close();
}

TEST_F(BookViewTest, PopupFollowsTheRules)
{
    const Node key1 = Named(tree.book, "我的1");
    EXPECT_TRUE(RightClick(view->ItemRect(root).bottomRight() + QPoint(40, 0)).empty())
        << "empty space opens no menu";

    // The book root with nothing marked and nothing cut or copied.
    std::map<QString, bool> m = RightClick(At(root));
    ASSERT_FALSE(m.empty());
    for (const QString& off : {kCut, kCopy, kDelete, kPaste, kCopyHere})
        EXPECT_FALSE(m.at(off)) << off.toStdString();
    EXPECT_TRUE(m.at(kAdd));
    EXPECT_TRUE(m.at(QStringLiteral("排    序"))) << "the sort submenu";

    // The chosen command reaches the window with its id.
    QSignalSpy chosen(view.get(), &BookView::commandChosen);
    RightClick(At(root), kAdd);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), kCmdAdd);

    // A key while a key is generated: the generation has turned the menus off, yet its stop
    // command is offered, and nothing that changes the book or the engines.
    tree.keygen.busy = true;
    tree.menusEnabled = false;
    m = RightClick(At(key1));
    ASSERT_FALSE(m.empty());
    EXPECT_TRUE(m.at(QStringLiteral("停止生成")));
    EXPECT_FALSE(m.count(QStringLiteral("生成密钥")));
    EXPECT_FALSE(m.at(QStringLiteral("输出公钥")));
    EXPECT_FALSE(m.at(kDelete));
    EXPECT_FALSE(m.at(QStringLiteral("打开密钥簿...")));
    tree.keygen.busy = false;
    EXPECT_TRUE(RightClick(At(key1)).empty()) << "menus off for another reason stay off";
}

// While a drag is held, what the screen shows (the view, with the drag image's window over
// it, opaque as without a compositor) keeps the highlighted container in sight, whether the
// cursor is on the container itself or on a line inside it.
TEST_F(BookViewTest, DragImageLeavesTheDropTargetInSight)
{
    const Node key1 = Named(tree.book, "我的1");
    const Node lock2 = Named(tree.book, "对方2");
    QWidget* vp = view->viewport();
    const QColor highlight = view->palette().color(QPalette::Highlight);
    for (const Node over : {dirB, lock2}) {
        SCOPED_TRACE(Utf8(tree.book.Text(over)));
        const QPoint from = At(key1), to = At(over);
        QTest::mousePress(vp, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step) {
            const QPoint p = from + (to - from) * step / 4;
            QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(vp->mapToGlobal(p)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(vp, &move);
        }
        QLabel* image = nullptr;
        for (QLabel* label : view->findChildren<QLabel*>())
            if (label->isWindow() && label->isVisible())
                image = label;
        ASSERT_TRUE(image) << "no drag image";

        const QPoint origin = vp->mapToGlobal(QPoint(0, 0));
        QImage screen(QRect(origin, vp->size()).united(image->geometry()).size(), QImage::Format_RGB32);
        const QPoint shift = -QRect(origin, vp->size()).united(image->geometry()).topLeft();
        {
            QPainter p(&screen);
            p.drawPixmap(origin + shift, vp->grab());
            p.drawPixmap(image->geometry().topLeft() + shift, image->grab());
        }
        const QRect label = view->ItemRect(dirB).adjusted(20, 2, -2, -2).translated(origin + shift);
        int lit = 0;
        for (int y = label.top(); y <= label.bottom(); ++y)
            for (int x = label.left(); x <= label.right(); ++x)
                lit += QColor(screen.pixel(x, y)) == highlight;
        EXPECT_GT(lit, label.width() * label.height() / 3) << "the highlighted target is hidden";

        QTest::keyClick(view.get(), Qt::Key_Escape);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
        EXPECT_EQ(tree.book.Parent(key1), dirA) << "Esc cancelled the drag";
    }
}

TEST_F(BookViewTest, DraggingMovesIntoTheContainerUnderTheDrop)
{
    const Node key1 = Named(tree.book, "我的1");
    const Node lock2 = Named(tree.book, "对方2");
    // A field line does not drag: nothing moves and nothing is marked.
    const Node field = FindChildByKind(tree.book, lock1, ItemKind::ModulusField);
    view->setExpanded(view->IndexOf(lock1), true);
    QApplication::processEvents();
    ASSERT_FALSE(view->ItemRect(field).isEmpty());
    QSignalSpy drops(view.get(), &BookView::dropped);
    Drag(At(field), At(dirB));
    EXPECT_EQ(drops.count(), 0);
    EXPECT_EQ(tree.book.Parent(field), lock1);
    EXPECT_EQ(tree.markedCount, 0);
    EXPECT_TRUE(view->viewport()->cursor().shape() == Qt::ArrowCursor) << "the refusal cursor goes with the button";
    view->setExpanded(view->IndexOf(lock1), false);
    QApplication::processEvents();

    // Dropped on a lock in another directory, the key lands in that lock's directory.
    const std::size_t before = tree.book.ChildCount(dirB);
    Drag(At(key1), At(lock2));
    ASSERT_EQ(drops.count(), 1);
    EXPECT_EQ(drops.at(0).at(0).value<DropResult>(), DropResult::Moved);
    const Node moved = Named(tree.book, "我的1");
    ASSERT_TRUE(moved);
    EXPECT_EQ(tree.book.Parent(moved), dirB);
    EXPECT_EQ(tree.book.ChildCount(dirB), before + 1);
    EXPECT_EQ(tree.book.Parent(Named(tree.book, "对方1")), dirA) << "its unmarked sibling stays";

    // Dropped back on its own directory, nothing happens.
    Drag(At(moved), At(lock2));
    EXPECT_EQ(tree.book.Parent(Named(tree.book, "我的1")), dirB);
}

}  // namespace
