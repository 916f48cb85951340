// The main window's geometry without a screen: the skin's rectangles from the client size and
// the two splitter positions, which painted element lies under a point, how the splitters
// follow a resize or a drag, and the status bar's texts.
#pragma once

#include <string>

#include "platform/Phrase.h"

namespace morvane::shell {

// A rectangle as (left, top, right, bottom); right and bottom lie just outside it.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    Rect Grown(int d) const { return {left - d, top - d, right + d, bottom + d}; }
    bool operator==(const Rect&) const = default;
};
// The smallest rectangle holding both; an empty one adds nothing.
Rect Union(const Rect& a, const Rect& b);

// The painted elements the mouse can meet.
enum Element : int {
    kMinimise = 1,
    kMaximise = 2,
    kClose = 3,
    kButton1 = 5,
    kNone = 9,
    kButton2 = 12,
    kBottomEdge = 13,
    kRightEdge = 14,
    kGrip = 15,
    kCheckBox = 16,
    kLink = 17,
};

constexpr int kMinWindowWidth = 405;
constexpr int kMinWindowHeight = 380;
// Splitter 1 stays at least this far right of the client's left edge...
constexpr int kSplitterLeftMargin = 131;
// ...and this far left of splitter position 2, which sits this far in from the right edge.
constexpr int kSplitterGap = 265;
constexpr int kSplitter2Inset = 12;
// A client this narrow or narrower leaves splitter 1 where it is during a drag.
constexpr int kSplitterFrozenWidth = 389;
// The progress bar sits at a fixed place in the status bar.
constexpr int kProgressLeft = 200;
constexpr int kProgressRight = 400;
constexpr int kLinkRightInset = 15;

struct TextSize {
    int width = 0, height = 0;
};

// Measured texts the layout places: the tree title (height-15 font), the book name (height-12
// font) and the site link (height-12 font). statusHeight is the line height of the status
// bar's height-12 font: its texts and the progress bar grow to it, so that none is clipped.
struct LayoutTexts {
    TextSize title;
    TextSize bookName;
    int linkWidth = 0;
    int statusHeight = 0;
    // The operation buttons' and the check box's label widths (height-12 font): the controls
    // widen beyond their drawn size for a label that does not fit (an English one).
    int button1Width = 0, button2Width = 0, checkWidth = 0;
};

struct Layout {
    Rect client;
    Rect bottomEdge, rightEdge, frame;
    Rect logo, header, rightPane, treePane, statusBand;
    Rect tree, title, bookName;
    Rect edit;
    Rect close, maximise, minimise;
    Rect innerPanel, toolBand, bottomBand, textBox, selector;
    Rect splitter1, splitter2;
    Rect statusBar, grip, progress, link;
    Rect button1, button2, checkHit, checkSquare, checkLabel;

    // The rectangle that shows an element (for the link, its text).
    Rect Of(Element e) const;
};

// Every rectangle for client rectangle client and splitter positions p1 (left edge of
// splitter 1) and p2 (reference x of splitter 2).
Layout ComputeLayout(const Rect& client, int p1, int p2, const LayoutTexts& texts);

// The activity text's rectangle for its measured size: it ends where the progress bar begins.
Rect ActivityRect(const Rect& client, const TextSize& size);
// The rectangle of a status bar text line of the given height, from top to bottom: the
// skin's 12-pixel strip, grown evenly (up to the status bar) for a taller font.
Rect StatusLine(const Rect& client, int left, int right, int height);
// The key generation status text's rectangle for its measured size.
Rect StatusRect(const Rect& client, const TextSize& size);

// The element under (x, y), in the skin's order: maximise, minimise, close, operation
// button 1, operation button 2, check box, size grip, bottom edge, right edge, site link
// (only while it is shown).
Element HitTest(const Layout& layout, int x, int y, bool linkShown);
// True where a press moves the window: the logo and the header band, off the caption buttons.
bool InMoveArea(const Layout& layout, int x, int y);

struct Splitters {
    int p1 = 0, p2 = 0;
};
// The positions when the window first opens: splitter 1 at a third of the width.
Splitters InitialSplitters(const Rect& client);
// After a resize: splitter 2 follows the right edge; splitter 1 moves left only as far as
// needed to keep the gap to splitter 2, and never left of its margin.
Splitters SplittersForClient(const Rect& client, int p1);
// The left edge of splitter 1's drag outline for a pointer at pointX (client coordinates),
// from the current outline left edge: the pointer less 4, kept between the margin and the
// gap; unchanged in a client of kSplitterFrozenWidth or less.
int DragOutlineLeft(const Rect& client, int p2, int currentLeft, int pointX);
// The window rectangle (screen coordinates) while the bottom edge, right edge or grip is
// dragged by hand to cursor (cx, cy); never below the minimum size.
Rect SizeByMouse(const Rect& window, Element pressed, int cx, int cy);

// The text before the progress bar for an activity mode; empty for idle and unknown modes.
Phrase ActivityText(int mode);
// "(" + the book file's name + ")" for a native path, in the native form; "()" when the path
// has no '/'.
std::string BookNameText(const std::string& bookPath);

}  // namespace morvane::shell
