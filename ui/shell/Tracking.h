// Which painted element of the main window is hot (under the mouse) and which one the left
// button went down on. A click acts only when it ends on the element it started on; the
// answers name the elements whose rectangles need repainting, so a hover change repaints
// only those.
#pragma once

#include <vector>

#include "ui/shell/Layout.h"

namespace morvane::shell {

// How an element is drawn.
enum class Look { Normal, Hot, Pressed, Disabled };

class Tracker {
public:
    struct Answer {
        std::vector<Element> repaint;  // elements whose rectangles changed their look
        bool capture = false;          // the press keeps the mouse until release
        bool resize = false;           // the press starts a resize (pressed() tells the edges)
        Element action = kNone;        // the release completed a click on this element
    };

    Element Hot() const { return hot_; }
    Element Pressed() const { return pressed_; }
    bool ButtonDown() const { return buttonDown_; }

    // The left button went down on element e (not in the move area). While maximised the
    // edges and grip do not start a resize.
    Answer Press(Element e, bool maximised);
    // The mouse moved onto element e. The resize areas and the link take the hot state only
    // while the button is up, or when they already hold it.
    Answer Move(Element e);
    // The mouse left the window.
    Answer Leave();
    // The left button came up over element e.
    Answer Release(Element e);
    // The window system took over the press (a system move or resize): forget it.
    void CancelPress();

    // How e is drawn; enabled is false for a disabled operation button or check box.
    Look LookOf(Element e, bool enabled = true) const;
    // An enabled label or the link is drawn shifted while its element is hot and the button up.
    bool Lifted(Element e) const { return hot_ == e && !buttonDown_; }

private:
    Element hot_ = kNone;
    Element pressed_ = kNone;
    bool buttonDown_ = false;
};

}  // namespace morvane::shell
