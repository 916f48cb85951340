// The main window's geometry and element tracking, without a screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/Text.h"
#include "ui/shell/Layout.h"
#include "ui/shell/Tracking.h"

using namespace morvane;
using namespace morvane::shell;

namespace {

const Rect kClient{0, 0, 800, 600};

Layout Standard(LayoutTexts texts = {})
{
    return ComputeLayout(kClient, 266, 788, texts);
}

}  // namespace

// The painted elements of the bottom row hang off splitter 2 and the caption buttons off the
// right edge; neighbours touch without overlapping, so every pixel has one owner.
TEST(ShellLayout, ElementsTileWithoutOverlap)
{
    const Layout l = Standard({{0, 0}, {0, 0}, 120});
    EXPECT_EQ(l.button1, (Rect{706, 543, 779, 562}));
    EXPECT_EQ(l.button2.right + 10, l.button1.left);
    EXPECT_EQ(l.button2.Width(), 73);
    EXPECT_EQ(l.checkHit.right + 10, l.button2.left);
    EXPECT_EQ(l.checkSquare.Width(), 13);
    EXPECT_EQ(l.checkSquare.Height(), 13);
    EXPECT_EQ(l.minimise.right, l.maximise.left);
    EXPECT_EQ(l.maximise.right, l.close.left);
    EXPECT_EQ(l.textBox, (Rect{275, 108, 787, 537}));
    EXPECT_EQ(l.splitter1, (Rect{266, 69, 274, 576}));
    EXPECT_EQ(l.progress, (Rect{200, 583, 400, 592}));
    EXPECT_EQ(l.link, (Rect{665, 582, 785, 594}));

    const Element all[] = {kMinimise, kMaximise, kClose, kButton1, kButton2, kCheckBox, kLink};
    for (Element e : all) {
        const Rect r = l.Of(e);
        ASSERT_FALSE(r.Empty()) << e;
        EXPECT_EQ(HitTest(l, r.left, r.top, true), e);
        EXPECT_EQ(HitTest(l, r.right - 1, r.bottom - 1, true), e);
    }
}

// Labels longer than the drawn controls (English ones) widen them leftwards from splitter 2;
// labels that fit keep the skin's places.
TEST(ShellLayout, BottomControlsWidenToTheirLabels)
{
    LayoutTexts fits;
    fits.button1Width = fits.button2Width = 61;
    fits.checkWidth = 48;
    const Layout same = Standard(fits);
    EXPECT_EQ(same.button1, Standard().button1);
    EXPECT_EQ(same.button2, Standard().button2);
    EXPECT_EQ(same.checkHit, Standard().checkHit);
    EXPECT_EQ(same.checkLabel, (Rect{563, 544, 613, 562}));

    LayoutTexts wide;
    wide.button1Width = 70;
    wide.button2Width = 110;
    wide.checkWidth = 80;
    const Layout l = Standard(wide);
    EXPECT_EQ(l.button1.right, 779);
    EXPECT_GE(l.button1.Width(), 70 + 12);
    EXPECT_GE(l.button2.Width(), 110 + 12);
    EXPECT_GE(l.checkLabel.Width(), 80);
    EXPECT_EQ(l.button2.right + 10, l.button1.left);
    EXPECT_EQ(l.checkHit.right + 10, l.button2.left);
    EXPECT_EQ(l.checkSquare.left, l.checkHit.left);
    EXPECT_LT(l.checkSquare.right, l.checkLabel.left);
}

// Hit-test order: the grip wins over both edges it overlaps; the link only while it is shown;
// the header drags the window everywhere but on the caption buttons.
TEST(ShellLayout, HitTestOrderAndMoveArea)
{
    const Layout l = Standard({{0, 0}, {0, 0}, 120});
    EXPECT_EQ(HitTest(l, 795, 595, true), kGrip);
    EXPECT_EQ(HitTest(l, 700, 597, true), kBottomEdge);
    EXPECT_EQ(HitTest(l, 797, 300, true), kRightEdge);
    EXPECT_EQ(HitTest(l, 700, 590, true), kLink);
    EXPECT_EQ(HitTest(l, 700, 590, false), kNone);
    EXPECT_EQ(HitTest(l, 400, 300, true), kNone);

    EXPECT_TRUE(InMoveArea(l, 10, 10));
    EXPECT_TRUE(InMoveArea(l, 500, 30));
    EXPECT_FALSE(InMoveArea(l, l.close.left, l.close.top));
    EXPECT_FALSE(InMoveArea(l, 500, 69)) << "the band ends above the panes";
    EXPECT_FALSE(InMoveArea(l, 0, 0)) << "the frame line is not the logo";
}

// The title and the book name sit centred together over the tree, the name's bottom on the
// title's; with no room left the pair starts at the tree's left edge.
TEST(ShellLayout, TreeTitlePlacement)
{
    const Layout l = Standard({{75, 15}, {40, 12}, 0});
    // Tree from 4 to 263: (259 - 40 - 75) / 2 = 72.
    EXPECT_EQ(l.title, (Rect{76, 70, 151, 86}));
    EXPECT_EQ(l.bookName, (Rect{152, 73, 263, 86}));

    const Layout narrow = Standard({{75, 15}, {400, 12}, 0});
    EXPECT_EQ(narrow.title.left, 4);
    EXPECT_EQ(narrow.bookName.left, 80);

    const Layout tall = Standard({{75, 25}, {40, 12}, 0});
    EXPECT_EQ(tall.title.top, 69 + (20 - 25) / 2 - 1) << "a title taller than the strip still gets a place";
}

// Shrinking moves splitter 1 left to keep 265 pixels before splitter 2, but never past its
// margin; widening never moves it back.
TEST(ShellLayout, SplittersFollowTheWidth)
{
    EXPECT_EQ(InitialSplitters(kClient).p1, 266);
    EXPECT_EQ(InitialSplitters(kClient).p2, 788);

    Splitters s = SplittersForClient({0, 0, 500, 400}, 266);
    EXPECT_EQ(s.p2, 488);
    EXPECT_EQ(s.p1, 223);
    s = SplittersForClient({0, 0, 405, 400}, s.p1);
    EXPECT_EQ(s.p1, 131) << "the margin wins when the gap cannot be kept";
    s = SplittersForClient({0, 0, 1200, 400}, s.p1);
    EXPECT_EQ(s.p1, 131);
    EXPECT_EQ(s.p2, 1188);
}

TEST(ShellLayout, SplitterDragLimits)
{
    EXPECT_EQ(DragOutlineLeft(kClient, 788, 266, 404), 400);
    EXPECT_EQ(DragOutlineLeft(kClient, 788, 266, 10), 131);
    EXPECT_EQ(DragOutlineLeft(kClient, 788, 266, 700), 523);
    EXPECT_EQ(DragOutlineLeft({0, 0, 389, 400}, 377, 150, 300), 150) << "a narrow window freezes the outline";
    EXPECT_EQ(DragOutlineLeft({0, 0, 395, 400}, 383, 150, 300), 131);
}

TEST(ShellLayout, SizingByHandKeepsTheMinimum)
{
    const Rect w{100, 50, 900, 650};
    EXPECT_EQ(SizeByMouse(w, kGrip, 200, 100), (Rect{100, 50, 505, 430}));
    EXPECT_EQ(SizeByMouse(w, kBottomEdge, 2000, 700), (Rect{100, 50, 900, 702}));
    EXPECT_EQ(SizeByMouse(w, kRightEdge, 1000, 10), (Rect{100, 50, 1002, 650}));
}

// A status font taller than the skin's 12-pixel strip: the texts and the progress bar grow
// evenly within the status bar, so neither is clipped and they still do not meet.
TEST(ShellLayout, StatusLinesGrowToTheirFont)
{
    for (int h : {0, 12, 14, 17, 40}) {
        SCOPED_TRACE(h);
        LayoutTexts texts;
        texts.linkWidth = 150;
        texts.statusHeight = h;
        const Layout l = Standard(texts);
        EXPECT_EQ(l.link.Height(), std::clamp(h, 12, 23));
        EXPECT_EQ(l.progress.Height(), std::clamp(h, 9, 21));
        for (const Rect& r : {l.link, l.progress, ActivityRect(l.client, {60, h})}) {
            EXPECT_GE(r.top, l.statusBar.top);
            EXPECT_LE(r.bottom, l.statusBar.bottom);
        }
        EXPECT_LE(ActivityRect(l.client, {60, h}).right, l.progress.left);
        EXPECT_GE(l.link.left, l.progress.right);
    }
    EXPECT_EQ(Standard({{0, 0}, {0, 0}, 120, 12}).link, (Rect{665, 582, 785, 594})) << "the skin's own strip";
}

TEST(ShellLayout, StatusTexts)
{
    EXPECT_EQ(BookNameText(""), "()");
    EXPECT_EQ(BookNameText("book.Bk"), "()") << "only the part after a '/' names the book";
    EXPECT_EQ(BookNameText("/home/u/我的.Bk"), "(我的.Bk)");
    EXPECT_EQ(BookNameText("/home/u/"), "()");
    EXPECT_EQ(Utf8(ActivityText(6).Gbk()), "验证签字中:");
    EXPECT_TRUE(ActivityText(3).Empty());
    EXPECT_TRUE(ActivityText(0).Empty());
}

// A click acts only when it ends on the element it started on.
TEST(ShellTracking, ClickNeedsPressAndReleaseOnOneElement)
{
    Tracker t;
    t.Move(kButton1);
    EXPECT_EQ(t.Press(kButton1, false).repaint, std::vector<Element>{kButton1});
    EXPECT_EQ(t.LookOf(kButton1), Look::Pressed);
    t.Move(kButton2);
    Tracker::Answer a = t.Release(kButton2);
    EXPECT_EQ(a.action, kNone);
    EXPECT_NE(std::find(a.repaint.begin(), a.repaint.end(), kButton1), a.repaint.end()) << "the pressed look goes";
    EXPECT_FALSE(t.ButtonDown());

    t.Press(kButton2, false);
    t.Move(kNone);
    t.Move(kButton2);
    EXPECT_EQ(t.Release(kButton2).action, kButton2) << "leaving and coming back still clicks";

    t.Press(kNone, false);
    EXPECT_EQ(t.Release(kNone).action, kNone);
    EXPECT_EQ(t.Release(kButton1).action, kNone) << "a release without a press";
}

// Hover changes name only the two elements involved; while the button is down the resize
// areas and the link do not take the hot state.
TEST(ShellTracking, HoverRepaintsOnlyTheElementsInvolved)
{
    Tracker t;
    EXPECT_EQ(t.Move(kClose).repaint, std::vector<Element>{kClose});
    EXPECT_TRUE(t.Move(kClose).repaint.empty());
    EXPECT_EQ(t.Move(kLink).repaint, (std::vector<Element>{kClose, kLink}));
    EXPECT_TRUE(t.Lifted(kLink));
    EXPECT_EQ(t.Move(kNone).repaint, std::vector<Element>{kLink});

    t.Move(kButton1);
    t.Press(kButton1, false);
    EXPECT_TRUE(t.Move(kGrip).repaint.empty());
    EXPECT_EQ(t.Hot(), kButton1);
    EXPECT_EQ(t.Move(kButton2).repaint, (std::vector<Element>{kButton1, kButton2}));
    EXPECT_EQ(t.Leave().repaint, std::vector<Element>{kButton2});
    EXPECT_EQ(t.Hot(), kNone);
    EXPECT_EQ(t.LookOf(kButton2, false), Look::Disabled);
}

TEST(ShellTracking, MaximisedEdgesDoNotResize)
{
    Tracker t;
    Tracker::Answer a = t.Press(kGrip, true);
    EXPECT_FALSE(a.resize);
    EXPECT_EQ(t.Pressed(), kNone);
    t.Release(kGrip);
    a = t.Press(kRightEdge, false);
    EXPECT_TRUE(a.resize);
    EXPECT_EQ(t.Pressed(), kRightEdge);
    t.CancelPress();
    EXPECT_EQ(t.Release(kRightEdge).action, kNone) << "the window system finished that drag";
}
