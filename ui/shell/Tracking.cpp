#include "ui/shell/Tracking.h"

namespace morvane::shell {

namespace {

bool IsSizer(Element e)
{
    return e == kBottomEdge || e == kRightEdge || e == kGrip;
}

void AddRepaint(std::vector<Element>& list, Element e)
{
    if (e == kNone)
        return;
    for (Element x : list) {
        if (x == e)
            return;
    }
    list.push_back(e);
}

}  // namespace

Tracker::Answer Tracker::Press(Element e, bool maximised)
{
    // A press without a move before it (a window that just appeared) still finds its element.
    Answer a = Move(e);
    buttonDown_ = true;
    switch (e) {
    case kMinimise:
    case kMaximise:
    case kClose:
    case kButton1:
    case kButton2:
    case kCheckBox:
    case kLink:
        pressed_ = e;
        AddRepaint(a.repaint, e);
        a.capture = true;
        break;
    case kBottomEdge:
    case kRightEdge:
    case kGrip:
        pressed_ = maximised ? kNone : e;
        a.resize = !maximised;
        a.capture = true;
        break;
    case kNone:
        pressed_ = kNone;
        break;
    }
    // The hot element is drawn pressed from now on.
    AddRepaint(a.repaint, hot_);
    return a;
}

Tracker::Answer Tracker::Move(Element e)
{
    Answer a;
    Element next = e;
    if ((IsSizer(e) || e == kLink) && buttonDown_ && e != hot_)
        next = hot_;
    if (next != hot_) {
        AddRepaint(a.repaint, hot_);
        AddRepaint(a.repaint, next);
        hot_ = next;
    }
    return a;
}

Tracker::Answer Tracker::Leave()
{
    Answer a;
    AddRepaint(a.repaint, hot_);
    hot_ = kNone;
    return a;
}

Tracker::Answer Tracker::Release(Element e)
{
    Answer a;
    const bool wasDown = buttonDown_;
    buttonDown_ = false;
    AddRepaint(a.repaint, e);
    AddRepaint(a.repaint, hot_);
    AddRepaint(a.repaint, pressed_);
    if (wasDown && e != kNone && e == pressed_)
        a.action = e;
    pressed_ = kNone;
    return a;
}

void Tracker::CancelPress()
{
    buttonDown_ = false;
    pressed_ = kNone;
}

Look Tracker::LookOf(Element e, bool enabled) const
{
    if (!enabled)
        return Look::Disabled;
    if (hot_ != e)
        return Look::Normal;
    return buttonDown_ ? Look::Pressed : Look::Hot;
}

}  // namespace morvane::shell
