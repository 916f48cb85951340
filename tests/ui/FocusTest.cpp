// The main window's keyboard use: the Tab order over what shows and works, the keys of the
// painted controls, and what screen readers learn about them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include "book/KeyTree.h"
#include "book/Records.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"
#include "ui/boxes/IoBox.h"
#include "ui/shell/Focus.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PaintedControls.h"
#include "ui/skin/ProgressBar.h"
#include "ui/tree/BookView.h"

using namespace morvane;
using shell::Stop;

TEST(ShellFocus, OrderSkipsWhatIsHiddenOrOff)
{
    shell::StopState s;  // the start: only the input box shows, no button works
    const std::vector<Stop> start = {Stop::Tree,     Stop::Input,    Stop::Splitter, Stop::Link,
                                     Stop::Minimise, Stop::Maximise, Stop::Close};
    EXPECT_EQ(shell::FocusOrder(s), start);
    s.selector = s.button1 = s.check = true;
    s.link = false;  // the generation's status stands where the link was
    const std::vector<Stop> line = {Stop::Tree,     Stop::Selector, Stop::Input,    Stop::Button1, Stop::CheckBox,
                                    Stop::Splitter, Stop::Minimise, Stop::Maximise, Stop::Close};
    EXPECT_EQ(shell::FocusOrder(s), line);

    EXPECT_EQ(shell::NextStop(line, Stop::Close, true), Stop::Tree) << "wraps round";
    EXPECT_EQ(shell::NextStop(line, Stop::Tree, false), Stop::Close);
    EXPECT_EQ(shell::NextStop(line, Stop::Input, true), Stop::Button1);
    EXPECT_EQ(shell::NextStop(line, Stop::Button2, true), Stop::Tree) << "from a place gone: the first";
    EXPECT_EQ(shell::NextStop(line, Stop::None, false), Stop::Close);
    EXPECT_EQ(shell::NextStop({}, Stop::Tree, true), Stop::None);

    EXPECT_EQ(shell::Activation(Stop::Button1, shell::Key::Space), shell::kButton1);
    EXPECT_EQ(shell::Activation(Stop::CheckBox, shell::Key::Enter), shell::kCheckBox);
    EXPECT_EQ(shell::Activation(Stop::Close, shell::Key::Other), shell::kNone);
    EXPECT_EQ(shell::Activation(Stop::Tree, shell::Key::Space), shell::kNone) << "the tree keeps its keys";
}

namespace {

class FocusTest : public ::testing::Test {
protected:
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree{&desk};
    MainWindow window{tree, desk};

    void SetUp() override
    {
        BuildSampleBook(tree.book);
        window.Start();
        window.resize(800, 600);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.Tree()->setFocus();
        QCoreApplication::processEvents();
    }

    void Tab(bool forward = true)
    {
        QTest::keyClick(QApplication::focusWidget(), forward ? Qt::Key_Tab : Qt::Key_Backtab,
                        forward ? Qt::NoModifier : Qt::ShiftModifier);
    }
    static QString Name(QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); }
};

}  // namespace

// Tab leaves the tree and the text box (which would otherwise take it as text), reaches the
// painted controls and wraps round; Shift+Tab goes back; Space works the focused control.
TEST_F(FocusTest, TabReachesEveryPlaceAndSpaceWorksIt)
{
    ASSERT_EQ(window.FocusedStop(), Stop::Tree);
    Tab();
    EXPECT_EQ(window.FocusedStop(), Stop::Input);
    Tab();
    EXPECT_EQ(window.FocusedStop(), Stop::Splitter) << "no disabled button in between";
    const int p1 = window.Splitter1();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(window.Splitter1(), p1 + 10) << "the arrows move the splitter";
    for (Stop want : {Stop::Link, Stop::Minimise, Stop::Maximise, Stop::Close, Stop::Tree}) {
        Tab();
        EXPECT_EQ(window.FocusedStop(), want);
    }
    Tab(false);
    EXPECT_EQ(window.FocusedStop(), Stop::Close);
    Tab(false);
    EXPECT_EQ(window.FocusedStop(), Stop::Maximise);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(window.Maximised()) << "Space pressed the maximise button";
    EXPECT_EQ(Name(window.Control(shell::kMaximise)), QStringLiteral("还原"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(window.Maximised());
    EXPECT_TRUE(desk.messages.empty()) << "Enter on a control does not ask to close";
}

// The painted controls speak with their visible text, their role and their state, and a
// screen reader's press works them.
TEST_F(FocusTest, ScreenReadersSeeNamesRolesAndStates)
{
    QAccessibleInterface* b1 = QAccessible::queryAccessibleInterface(window.Control(shell::kButton1));
    ASSERT_NE(b1, nullptr);
    EXPECT_EQ(b1->role(), QAccessible::Button);
    EXPECT_TRUE(b1->state().disabled) << "no line clicked yet";
    QAccessibleInterface* check = QAccessible::queryAccessibleInterface(window.Control(shell::kCheckBox));
    EXPECT_EQ(check->role(), QAccessible::CheckBox);
    EXPECT_TRUE(check->state().checkable);
    EXPECT_EQ(Name(window.Control(shell::kClose)), QStringLiteral("关闭"));
    EXPECT_EQ(Name(window.Tree()), QStringLiteral("密钥通讯薄"));
    QAccessibleInterface* progress = QAccessible::queryAccessibleInterface(window.Progress());
    EXPECT_EQ(progress->role(), QAccessible::ProgressBar);
    ASSERT_NE(progress->valueInterface(), nullptr);

    // Pressed through its accessible action: the maximise button maximises.
    QAccessibleInterface* max = QAccessible::queryAccessibleInterface(window.Control(shell::kMaximise));
    ASSERT_TRUE(max->actionInterface());
    max->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(window.Maximised()) << "the press answers first, then acts";
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.Maximised());
    EXPECT_TRUE(b1->actionInterface()->actionNames().isEmpty()) << "a disabled button offers no press";
}

// Space or Enter on the tree clicks the focus line, so that its display opens without the
// mouse; Enter no longer falls through to the window's close question.
TEST_F(FocusTest, EnterClicksTheFocusLine)
{
    BookView* view = window.Tree();
    Node dir = tree.book.FirstChild(tree.book.FirstRoot());
    Node lock = tree.book.FirstChild(dir);
    view->setCurrentIndex(view->IndexOf(lock));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(tree.Live(tree.clickedItem), lock);
    EXPECT_TRUE(desk.messages.empty());
    view->setCurrentIndex(view->IndexOf(dir));
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(tree.Live(tree.clickedItem), dir);
}
