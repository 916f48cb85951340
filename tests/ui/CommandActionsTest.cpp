// The window's command actions: one named action per command, the same in the context menu
// and on the keys, their states from the menu rules on the focus line, and a key the rules
// refuse changing nothing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "book/CommandTable.h"
#include "book/KeyTree.h"
#include "book/Editing.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"
#include "ui/shell/MainWindow.h"
#include "ui/tree/BookView.h"
#include "ui/tree/TreeMenu.h"

using namespace morvane;

namespace {

Node Named(const Book& book, const char* utf8)
{
    for (Node n = book.FirstRoot(); n; n = book.NextPreOrder(n))
        if (book.Text(n) == Gbk(utf8))
            return n;
    return Node{};
}

class CommandActionsTest : public ::testing::Test {
protected:
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree{&desk};
    MainWindow window{tree, desk};
    Node root, dirA, lock1;

    void SetUp() override
    {
        root = BuildSampleBook(tree.book);
        dirA = Named(tree.book, "目录A");
        lock1 = Named(tree.book, "对方1");
        window.Start();
        window.resize(800, 600);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.Tree()->setFocus();
        QCoreApplication::processEvents();
    }

    QAction* Act(const char* name) { return window.findChild<QAction*>(QLatin1String(name)); }

    // Right-clicks the line and picks the action named `name` from the popup; returns the
    // popup's actions.
    QList<QAction*> MenuOn(Node n, const char* name)
    {
        QList<QAction*> seen;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            seen = menu->actions();
            QAction* pick = Act(name);
            if (pick && seen.contains(pick)) {
                menu->setActiveAction(pick);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        });
        BookView* view = window.Tree();
        const QPoint at = view->ItemRect(n).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        QApplication::processEvents();
        return seen;
    }
};

}  // namespace

// Every command has one action on the window, named as the table says, with the table's
// label and keys; the editing keys are the platform's usual ones.
TEST_F(CommandActionsTest, OneNamedActionPerCommand)
{
    for (const Command& c : CommandTable()) {
        const QList<QAction*> found = window.findChildren<QAction*>(QLatin1String(c.name));
        ASSERT_EQ(found.size(), 1) << c.name;
        EXPECT_EQ(found[0]->data().toInt(), c.id) << c.name;
        EXPECT_EQ(found[0]->shortcuts(), CommandShortcuts(c.id)) << c.name;
    }
    // The platform's usual editing keys are all among them (X11 adds the Sun keys).
    for (auto [id, standard] : {std::pair{kCmdCopy, QKeySequence::Copy}, std::pair{kCmdCut, QKeySequence::Cut},
                                std::pair{kCmdPaste, QKeySequence::Paste}}) {
        const QList<QKeySequence> ours = CommandShortcuts(id);
        EXPECT_EQ(ours.first(), QKeySequence::keyBindings(standard).first());
        for (const QKeySequence& k : QKeySequence::keyBindings(standard))
            EXPECT_TRUE(ours.contains(k)) << k.toString().toStdString();
    }
    EXPECT_EQ(Act("find")->text(), QStringLiteral("搜    索..."));
}

// The context menu shows the window's own actions; choosing one runs its command once, on
// the right-clicked line, not on the focus line.
TEST_F(CommandActionsTest, MenuShowsTheSameActionsAndRunsOnce)
{
    tree.book.Select(root);
    desk.answers = {MsgAnswer::No, MsgAnswer::No};
    const QList<QAction*> menu = MenuOn(lock1, "delete");
    ASSERT_FALSE(menu.isEmpty());
    EXPECT_TRUE(menu.contains(Act("saveBook")));
    EXPECT_TRUE(menu.contains(Act("about")));
    // One delete question: a second run would ask again.
    EXPECT_EQ(desk.messages.size(), 1u);
    EXPECT_EQ(tree.rightClickedItem, lock1);
    EXPECT_TRUE(tree.book.Valid(lock1));
    // Closed, the actions follow the focus line (the root, where delete is not offered).
    QCoreApplication::processEvents();
    EXPECT_FALSE(Act("delete")->isEnabled());
}

// A key works on the focus line where its menu offers the command; where it does not, the
// key changes nothing, not even the right-clicked item, and the action shows disabled.
TEST_F(CommandActionsTest, KeysFollowTheFocusLineWithoutSideEffects)
{
    // Delete is not offered on the book root.
    tree.book.Select(root);
    tree.rightClickedItem = lock1;
    tree.contextItem = lock1;
    QTest::keyClick(window.Tree(), Qt::Key_Delete);
    EXPECT_FALSE(Act("delete")->isEnabled());
    EXPECT_EQ(tree.rightClickedItem, lock1);
    EXPECT_EQ(tree.contextItem, lock1);
    EXPECT_TRUE(desk.messages.empty());

    // On a lock it is: the question comes, No keeps the lock.
    tree.book.Select(lock1);
    desk.answers = {MsgAnswer::No};
    QTest::keyClick(window.Tree(), Qt::Key_Delete);
    EXPECT_TRUE(Act("delete")->isEnabled());
    EXPECT_EQ(desk.messages.size(), 1u);
    EXPECT_EQ(tree.rightClickedItem, lock1);
    EXPECT_TRUE(tree.book.Valid(lock1));
}

// An action triggered by name, as an accessibility tool does it, acts like its key.
TEST_F(CommandActionsTest, TriggeredByNameActsOnTheFocusLine)
{
    tree.book.Select(dirA);
    QCoreApplication::processEvents();
    const std::uint32_t dirBefore = tree.book.Flags(dirA);
    Act("sortByName")->trigger();
    EXPECT_EQ(tree.book.Flags(Named(tree.book, "目录A")), dirBefore ^ kFlagSortName);
    // Not offered on a lock: refused, nothing sorted.
    tree.book.Select(lock1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Act("sortByName")->isEnabled());
    const std::uint32_t before = tree.book.Flags(lock1);
    Act("sortByName")->trigger();
    EXPECT_EQ(tree.book.Flags(lock1), before);
    EXPECT_FALSE(Act("sortByName")->isEnabled());
}
