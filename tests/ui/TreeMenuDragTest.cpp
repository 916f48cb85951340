// The tree's context menu and dragging on real events: what the popup offers in the states
// where the rules matter most, and what a drag does with the book.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

#include "book/ContextMenu.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"
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

class TreeMenuDragTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = BuildSampleBook(tree.book);
        dirA = Named(tree.book, "目录A");
        dirB = Named(tree.book, "目录B");
        lock1 = Named(tree.book, "对方1");
        lock2 = Named(tree.book, "对方2");
        key1 = Named(tree.book, "我的1");
        ASSERT_TRUE(root && dirA && dirB && lock1 && lock2 && key1);
        tree.view = &window;
        view = std::make_unique<BookView>(tree);
        view->resize(320, 480);
        view->show();
        QApplication::processEvents();
    }

    QPoint At(Node n) const { return view->ItemRect(n).center(); }

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
    Node root, dirA, dirB, lock1, lock2, key1;
};

const QString kCut = QStringLiteral("剪    切");
const QString kCopy = QStringLiteral("复    制");
const QString kPaste = QStringLiteral("粘    贴");
const QString kDelete = QStringLiteral("删    除");
const QString kCopyHere = QStringLiteral("将选定项目复制至此");
const QString kAdd = QStringLiteral("添    加...");

TEST_F(TreeMenuDragTest, PopupFollowsTheRules)
{
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

TEST_F(TreeMenuDragTest, DraggingMovesIntoTheContainerUnderTheDrop)
{
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
