#include "ui/shell/Layout.h"

#include <algorithm>

#include "book/BookFile.h"
#include "platform/Text.h"

namespace morvane::shell {

Rect Union(const Rect& a, const Rect& b)
{
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

Rect Layout::Of(Element e) const
{
    switch (e) {
    case kMinimise: return minimise;
    case kMaximise: return maximise;
    case kClose: return close;
    case kButton1: return button1;
    case kButton2: return button2;
    case kBottomEdge: return bottomEdge;
    case kRightEdge: return rightEdge;
    case kGrip: return grip;
    case kCheckBox: return checkHit;
    case kLink: return link;
    case kNone: break;
    }
    return {};
}

Rect StatusLine(const Rect& c, int left, int right, int height)
{
    const int h = std::clamp(height, 12, 23);
    const int top = c.bottom - 18 - (h - 12 + 1) / 2;
    return {left, top, right, top + h};
}

Rect ActivityRect(const Rect& c, const TextSize& size)
{
    return StatusLine(c, kProgressLeft - size.width, kProgressLeft, size.height);
}

Rect StatusRect(const Rect& c, const TextSize& size)
{
    const int left = c.left + 11, top = c.bottom - 17;
    return {left, top, left + size.width, top + size.height};
}

Layout ComputeLayout(const Rect& c, int p1, int p2, const LayoutTexts& texts)
{
    const int L = c.left, T = c.top, R = c.right, B = c.bottom;
    Layout l;
    l.client = c;
    l.bottomEdge = {L, B - 5, R, B};
    l.rightEdge = {R - 5, T, R, B};
    l.frame = {L + 1, T + 1, R - 1, B - 1};
    l.logo = {L + 1, T + 1, L + 170, T + 69};
    l.header = {L + 170, T + 1, R - 1, T + 69};
    l.rightPane = {p2 + 8, T + 69, R - 1, B - 24};
    l.treePane = {L + 1, T + 69, p1, B - 24};
    l.statusBand = {L, B - 24, R, B};
    l.tree = {L + 4, T + 89, p1 - 3, B - 27};
    l.title = {L + 4, T + 69, p1 - 3, T + 89};
    l.edit = {p1, T + 69, p2 + 8, B - 24};
    l.close = {R - 58, T + 1, R - 11, T + 21};
    l.maximise = {R - 91, T + 1, R - 58, T + 21};
    l.minimise = {R - 124, T + 1, R - 91, T + 21};
    l.innerPanel = {p1 + 8, T + 77, p2 + 1, B - 32};
    l.toolBand = {p1 + 8, T + 77, p2 + 1, T + 107};
    l.bottomBand = {p1 + 8, B - 62, p2 + 1, B - 32};
    l.textBox = {p1 + 9, T + 108, p2 - 1, B - 63};
    l.selector = {p1 + 10, T + 108, p1 + 152, T + 228};
    l.splitter2 = {p2 + 1, T + 69, p2 + 9, B - 24};
    l.splitter1 = {p1, T + 69, p1 + 8, B - 24};
    l.statusBar = {L + 1, B - 24, R - 1, B - 1};
    l.grip = {R - 12, B - 12, R - 1, B - 1};
    // The bar holds its percentage: as tall as the status font where that is over 9 pixels.
    const int barHeight = std::clamp(texts.statusHeight, 9, 21);
    const int y = B - 24 + (23 - barHeight) / 2;
    l.progress = {kProgressLeft, y, kProgressRight, y + barHeight};
    l.link = StatusLine(c, R - kLinkRightInset - texts.linkWidth, R - kLinkRightInset, texts.statusHeight);
    const int m = B - 62 + (30 - 19) / 2;
    // Right to left, 10 pixels apart: button 1, button 2, the check box's label, its square.
    const int w1 = std::max(73, texts.button1Width + 12);
    const int w2 = std::max(73, texts.button2Width + 12);
    const int wc = std::max(50, texts.checkWidth + 2);
    l.button1 = {p2 - 9 - w1, m, p2 - 9, m + 19};
    l.button2 = {l.button1.left - 10 - w2, m, l.button1.left - 10, m + 19};
    const int checkRight = l.button2.left - 10;
    l.checkLabel = {checkRight - wc, m + 1, checkRight, m + 19};
    l.checkSquare = {l.checkLabel.left - 18, m + 3, l.checkLabel.left - 5, m + 16};
    l.checkHit = {l.checkSquare.left, m, checkRight, m + 19};

    // The title and the book name sit centred together over the tree, bottoms aligned.
    const int x0 = l.tree.left, x1 = l.tree.right;
    const int d = std::max(0, (x1 - x0 - texts.bookName.width - texts.title.width) / 2);
    const int top = T + 69 + ((T + 89) - (T + 69) - texts.title.height) / 2 - 1;
    l.title = {x0 + d, top, x0 + d + texts.title.width, top + texts.title.height + 1};
    const int bottom = l.title.bottom;
    l.bookName = {x0 + d + texts.title.width + 1, bottom - texts.bookName.height - 1, x1, bottom};
    return l;
}

Element HitTest(const Layout& l, int x, int y, bool linkShown)
{
    static constexpr Element order[] = {kMaximise, kMinimise,  kClose,     kButton1,  kButton2,
                                        kCheckBox, kGrip,      kBottomEdge, kRightEdge};
    for (Element e : order) {
        if (l.Of(e).Contains(x, y))
            return e;
    }
    if (linkShown && l.link.Contains(x, y))
        return kLink;
    return kNone;
}

bool InMoveArea(const Layout& l, int x, int y)
{
    if (!l.logo.Contains(x, y) && !l.header.Contains(x, y))
        return false;
    return !l.close.Contains(x, y) && !l.maximise.Contains(x, y) && !l.minimise.Contains(x, y);
}

Splitters InitialSplitters(const Rect& c)
{
    return {c.Width() / 3, c.Width() - kSplitter2Inset};
}

Splitters SplittersForClient(const Rect& c, int p1)
{
    Splitters s;
    s.p2 = c.left + c.Width() - kSplitter2Inset;
    s.p1 = std::max(std::min(p1, s.p2 - kSplitterGap), c.left + kSplitterLeftMargin);
    return s;
}

int DragOutlineLeft(const Rect& c, int p2, int currentLeft, int pointX)
{
    if (c.Width() <= kSplitterFrozenWidth)
        return currentLeft;
    // Between 390 and 407 pixels the two limits cross; the margin wins, as on a resize.
    return std::max(std::min(pointX - 4, p2 - kSplitterGap), c.left + kSplitterLeftMargin);
}

Rect SizeByMouse(const Rect& w, Element pressed, int cx, int cy)
{
    Rect r = w;
    if (pressed == kBottomEdge || pressed == kGrip)
        r.bottom = std::max(w.top + kMinWindowHeight, cy + 2);
    if (pressed == kRightEdge || pressed == kGrip)
        r.right = std::max(w.left + kMinWindowWidth, cx + 2);
    return r;
}

Phrase ActivityText(int mode)
{
    switch (mode) {
    case 1: return MORVANE_TR("morvane::MainWindow", "加密中:");
    case 2: return MORVANE_TR("morvane::MainWindow", "解密中:");
    case 4: return MORVANE_TR("morvane::MainWindow", "随机数生成中:");
    case 5: return MORVANE_TR("morvane::MainWindow", "签字中:");
    case 6: return MORVANE_TR("morvane::MainWindow", "验证签字中:");
    default: return {};
    }
}

std::string BookNameText(const std::string& bookPath)
{
    return "(" + FileNameOf(bookPath) + ")";
}

}  // namespace morvane::shell
