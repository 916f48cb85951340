// The real main window with a scripted desktop: clicks on painted elements, sizing, the
// splitters, the book title and the close sequence.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QTest>
#include <vector>

#include "book/KeyTree.h"
#include "book/Records.h"
#include "platform/Paths.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"
#include "ui/shell/MainWindow.h"
#include "ui/skin/Splitter.h"
#include "ui/tree/BookView.h"

using namespace morvane;
using shell::Element;

namespace {

// Records the regions the window paints.
class ProbeWindow : public MainWindow {
public:
    using MainWindow::MainWindow;
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        painted += event->region();
        MainWindow::paintEvent(event);
    }
};

QPoint Centre(const shell::Rect& r)
{
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

QRect ToQ(const shell::Rect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

class MainWindowTest : public ::testing::Test {
protected:
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree{&desk};
    ProbeWindow window{tree, desk};

    void SetUp() override
    {
        BuildSampleBook(tree.book);
        window.Start();
        window.resize(800, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    QPoint At(Element e) const { return Centre(window.CurrentLayout().Of(e)); }
};

}  // namespace

// A click counts only where it started: pressing the close button and letting go over the
// minimise button does nothing; a real click on close asks first, and No keeps everything.
TEST_F(MainWindowTest, ClickActsOnlyWhereItStarted)
{
    QTest::mouseMove(&window, At(shell::kClose));
    QTest::mousePress(&window, Qt::LeftButton, {}, At(shell::kClose));
    QTest::mouseMove(&window, At(shell::kMinimise));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, At(shell::kMinimise));
    EXPECT_TRUE(desk.messages.empty());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(window.Tracking().ButtonDown());

    desk.answers = {MsgAnswer::No};
    QTest::mouseMove(&window, At(shell::kClose));
    QTest::mouseClick(&window, Qt::LeftButton, {}, At(shell::kClose));
    ASSERT_EQ(desk.MessageTexts(), std::vector<std::string>{"确认退出吗?"});
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(tree.book.Empty());

    // Esc in the window runs the same sequence instead of leaving without saving.
    desk.answers = {MsgAnswer::No};
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(desk.messages.size(), 2u);
    EXPECT_TRUE(window.isVisible());
}

// Yes to the close question saves at exit (seed file and run file) and empties the book.
TEST_F(MainWindowTest, CloseSequenceSavesAndEmpties)
{
    tree.loginPassword = "pw";
    tree.random.SetSeedPath(ProgramFile("QVX_RAND_SEED.sd"));
    desk.answers = {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Ok};  // quit, no book file, new run file
    EXPECT_TRUE(window.close());
    EXPECT_EQ(desk.MessageTexts(), (std::vector<std::string>{"确认退出吗?", "需要保存通讯簿吗?",
                                                             "运行文件不存在, 需要重新建立"}));
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(tree.book.Empty());
    EXPECT_TRUE(FileExists(ProgramFile("Run.st")));
    EXPECT_TRUE(FileExists(ProgramFile("QVX_RAND_SEED.sd")));
}

// The window never gets smaller than 405 by 380, whether asked by code or dragged by the grip.
TEST_F(MainWindowTest, MinimumSize)
{
    EXPECT_EQ(window.minimumSize(), QSize(shell::kMinWindowWidth, shell::kMinWindowHeight));
    const QPoint grip = At(shell::kGrip);
    QTest::mouseMove(&window, grip);
    QTest::mousePress(&window, Qt::LeftButton, {}, grip);
    QTest::mouseMove(&window, QPoint(20, 20));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(window.size(), QSize(405, 380));
    EXPECT_EQ(window.CurrentLayout().client.Width(), 405);

    window.resize(100, 100);
    EXPECT_EQ(window.size(), QSize(405, 380));
}

// Shrinking pushes splitter 1 left to keep the edit pane's width, never past its margin;
// widening leaves it; the tree and the boxes follow it. A drag is kept within the limits.
TEST_F(MainWindowTest, SplitterFollowsTheRules)
{
    ASSERT_EQ(window.Splitter1(), 266);
    window.resize(500, 400);
    EXPECT_EQ(window.Splitter1(), 500 - 12 - 265);
    window.resize(1000, 600);
    EXPECT_EQ(window.Splitter1(), 223);
    EXPECT_EQ(window.Tree()->geometry().right() + 1, 223 - 3);
    EXPECT_EQ(window.TreeSplitter()->geometry().left(), 223);

    Splitter* bar = window.TreeSplitter();
    const QPoint grab(4, 100);
    QTest::mousePress(bar, Qt::LeftButton, {}, grab);
    QTest::mouseMove(bar, grab + QPoint(2000, 0));
    EXPECT_EQ(bar->Outline().left(), 1000 - 12 - 265);
    QTest::mouseMove(bar, grab - QPoint(2000, 0));
    EXPECT_EQ(bar->Outline().left(), 131);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grab - QPoint(2000, 0));
    EXPECT_EQ(window.Splitter1(), 131);
    EXPECT_EQ(window.Tree()->geometry().right() + 1, 128);
    EXPECT_EQ(window.CurrentLayout().textBox.left, 140);
}

TEST_F(MainWindowTest, BookNameFromThePath)
{
    EXPECT_EQ(window.BookNameShown(), QStringLiteral("()"));
    const shell::Rect before = window.CurrentLayout().bookName;
    tree.bookPath = "/home/u/书/家里.Bk";
    window.RefreshBookTitle();
    EXPECT_EQ(window.BookNameShown(), QStringLiteral("(家里.Bk)"));
    EXPECT_LT(window.CurrentLayout().title.left, ToQ(before).left()) << "the pair stays centred";
}

// Moving onto a caption button repaints that button and nothing else.
TEST_F(MainWindowTest, HoverRepaintsOnlyTheElement)
{
    QTest::mouseMove(&window, QPoint(400, 40));  // the header band, no element
    QCoreApplication::processEvents();
    window.painted = QRegion();
    QTest::mouseMove(&window, At(shell::kMaximise));
    QTRY_VERIFY(!window.painted.isEmpty());
    EXPECT_EQ(window.Tracking().Hot(), shell::kMaximise);
    EXPECT_EQ(window.painted.boundingRect(), ToQ(window.CurrentLayout().maximise));
}

// A close asked for while a key is generated does not cut the generation short mid-step: the
// generation stops at its next pump, and then the close question comes.
TEST_F(MainWindowTest, CloseDuringKeyGenerationStopsItFirst)
{
    Node lock = tree.book.FirstChild(tree.book.FirstChild(tree.book.FirstRoot()));
    ASSERT_EQ(tree.book.Kind(lock), KindCode(ItemKind::Lock));
    tree.rightClickedItem = lock;
    int pumps = 0;
    desk.onPump = [&] {
        if (++pumps == 1) {
            EXPECT_FALSE(window.close()) << "the window stays while the generation runs";
            EXPECT_EQ(desk.messages.size(), 1u) << "no close question yet";
        }
        desk.closePending = window.TakeCloseRequest();
    };
    desk.answers = {MsgAnswer::Ok, MsgAnswer::Ok, MsgAnswer::No};
    window.GenerateKey();
    const std::vector<std::string> texts = desk.MessageTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[1].rfind("终止计算", 0), 0u) << texts[1];
    EXPECT_EQ(texts[2], "确认退出吗?");
    EXPECT_FALSE(tree.keygen.busy);
    EXPECT_TRUE(window.isVisible()) << "No keeps the window";
}
