// The password dialog without the widgets: where its prompts, fields and painted buttons go
// for each mode, which button is hot or pressed as the mouse moves, and which field frames
// are highlighted. Plain data, so that it is tested without a screen.
#pragma once

#include <string>

#include "platform/Phrase.h"

namespace morvane {

// A rectangle in the dialog's client coordinates; right and bottom are exclusive.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    PixelRect Grown(int l, int t, int r, int b) const { return {left - l, top - t, right + r, bottom + b}; }
    bool operator==(const PixelRect&) const = default;
};

// The dialog's client width: 186 dialog units of its 8-point dialog font.
constexpr int kPasswordClientWidth = 279;

struct PasswordLayout {
    bool confirm = false;  // the set-login mode asks for the password twice
    PixelRect prompt, first;
    PixelRect confirmPrompt, second;  // with confirm only; otherwise second equals first
    PixelRect ok, cancel;
    int clientWidth = 0, clientHeight = 0;
};

// The layout for a mode (1 set login, 2 log in, 3 book, 5 confirm old) and client width.
PasswordLayout LayOutPasswordDialog(int mode, int clientWidth = kPasswordClientWidth);
// The frame drawn around a field: one pixel out on the left, top and right, four below.
inline PixelRect FieldFrame(const PixelRect& field) { return field.Grown(1, 1, 1, 4); }
// The window title of a mode; empty for a mode no caller uses.
Phrase PasswordTitle(int mode);

// The painted OK and Cancel buttons: the hot one follows the mouse, a press records the
// button under it, and a release over that same button carries it out.
class PasswordButtons {
public:
    enum Element { kNone = 9, kOk = 10, kCancel = 11 };
    enum class Look { Normal, Hot, Pressed };

    explicit PasswordButtons(const PasswordLayout& layout) : layout_(layout) {}

    int Hit(int x, int y) const;
    // The mouse moved: true when the hot button changed (repaint previous and hot).
    bool Move(int x, int y);
    void Leave() { Move(-1, -1); }
    // Left button down: true when it went down on a button (which then takes the mouse).
    bool Press(int x, int y);
    // Left button up: the button carried out (kOk, kCancel), or kNone.
    int Release(int x, int y);

    int Hot() const { return hot_; }
    int Previous() const { return previous_; }
    bool Down() const { return down_; }
    Look LookOf(int element) const;
    // The label is drawn one pixel to the left while its button is hot and the mouse up.
    int LabelShift(int element) const { return element == hot_ && !down_ ? -1 : 0; }
    const PixelRect* RectOf(int element) const;

private:
    PasswordLayout layout_;
    int hot_ = kNone;
    int previous_ = kNone;
    int pressed_ = kNone;
    bool down_ = false;
};

// Which field frames are highlighted: the field under the mouse and the field with the focus.
// Fields are 1 (first) and 2 (second); 0 is neither.
class FieldHighlight {
public:
    // The mouse moved over field `over` while `focused` has the keyboard focus. True when a
    // frame changed.
    bool MouseOver(int over, int focused);
    // A field gained the focus. True when a frame changed.
    bool FocusIn(int field);
    bool Lit(int field) const { return field == 1 ? first_ : field == 2 ? second_ : false; }

private:
    bool Set(bool first, bool second);
    bool first_ = false;
    bool second_ = false;
};

}  // namespace morvane
