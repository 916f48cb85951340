// The main window's keyboard focus without a screen: the places Tab and Shift+Tab visit, in
// order, and what Space and Enter do on the painted ones.
#pragma once

#include <vector>

#include "ui/shell/Layout.h"

namespace morvane::shell {

// The focus places, in Tab order: the tree first, then the edit pane from top to bottom and
// left to right, the splitter, the status bar's link and the caption buttons.
enum class Stop { Tree, Selector, Input, Output, Button1, Button2, CheckBox, Splitter, Link, Minimise, Maximise, Close, None };

// What shows and works now; a hidden or disabled place takes no focus.
struct StopState {
    bool selector = false;
    bool input = true;
    bool output = false;
    bool button1 = false;
    bool button2 = false;
    bool check = false;
    bool link = true;
};

// The places that take the focus now, in Tab order.
std::vector<Stop> FocusOrder(const StopState& state);
// Where Tab (forward) or Shift+Tab (backward) goes from current, wrapping round; from a place
// outside the order, the first (or the last). None when nothing takes the focus.
Stop NextStop(const std::vector<Stop>& order, Stop current, bool forward);

// A place's name in the window's state dump ("tree", "button1", ...).
const char* StopName(Stop stop);

// The painted element a place stands for; kNone for the widgets.
Element ElementOf(Stop stop);

enum class Key { Space, Enter, Other };
// The element a key clicks on a focused place: Space and Enter work every painted control as
// the mouse would; kNone when the key is not theirs.
Element Activation(Stop stop, Key key);

}  // namespace morvane::shell
