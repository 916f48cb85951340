#include "ui/dialogs/PasswordLayout.h"

#include "platform/Desktop.h"
#include "platform/Text.h"

namespace morvane {

PasswordLayout LayOutPasswordDialog(int mode, int clientWidth)
{
    PasswordLayout l;
    const int left = 0, top = 0, right = clientWidth;
    l.confirm = mode == kPasswordSetLogin;
    l.prompt = {left + 13, top + 13, right - 13, top + 26};
    l.first = {left + 13, top + 29, right - 13, top + 43};
    l.second = l.first;
    if (l.confirm) {
        const int b1 = l.first.bottom;
        l.confirmPrompt = {left + 13, b1 + 13, right - 13, b1 + 26};
        l.second = {left + 13, b1 + 29, right - 13, b1 + 43};
    }
    const int buttonsTop = l.second.bottom + 13;
    const int okLeft = (clientWidth - 170) / 2;
    l.ok = {okLeft, buttonsTop, okLeft + 80, buttonsTop + 20};
    l.cancel = {okLeft + 90, buttonsTop, okLeft + 170, buttonsTop + 20};
    l.clientWidth = clientWidth;
    l.clientHeight = l.ok.bottom + 13;
    return l;
}

Phrase PasswordTitle(int mode)
{
    switch (mode) {
    case kPasswordSetLogin: return MORVANE_TR("morvane::PasswordDialog", "设定系统登录密码");
    case kPasswordLogin: return MORVANE_TR("morvane::PasswordDialog", "输入密码登录应用");
    case kPasswordBook:
    case 4: return MORVANE_TR("morvane::PasswordDialog", "输入密码保存通讯簿");
    case kPasswordConfirmOld: return MORVANE_TR("morvane::PasswordDialog", "确认原有密码");
    default: return Phrase();
    }
}

const PixelRect* PasswordButtons::RectOf(int element) const
{
    if (element == kOk)
        return &layout_.ok;
    if (element == kCancel)
        return &layout_.cancel;
    return nullptr;
}

int PasswordButtons::Hit(int x, int y) const
{
    if (layout_.ok.Contains(x, y))
        return kOk;
    if (layout_.cancel.Contains(x, y))
        return kCancel;
    return kNone;
}

bool PasswordButtons::Move(int x, int y)
{
    const int hit = Hit(x, y);
    if (hit == hot_)
        return false;
    previous_ = hot_;
    hot_ = hit;
    return true;
}

bool PasswordButtons::Press(int x, int y)
{
    down_ = true;
    pressed_ = Hit(x, y);
    return pressed_ != kNone;
}

int PasswordButtons::Release(int x, int y)
{
    down_ = false;
    const int under = Hit(x, y);
    const int pressed = pressed_;
    pressed_ = kNone;
    return under != kNone && under == pressed ? under : kNone;
}

PasswordButtons::Look PasswordButtons::LookOf(int element) const
{
    if (element != hot_ || element == kNone)
        return Look::Normal;
    // Pressed only while the mouse is down on the button it went down on.
    return down_ && pressed_ == element ? Look::Pressed : Look::Hot;
}

bool FieldHighlight::Set(bool first, bool second)
{
    const bool changed = first != first_ || second != second_;
    first_ = first;
    second_ = second;
    return changed;
}

bool FieldHighlight::MouseOver(int over, int focused)
{
    return Set(over == 1 || focused == 1, over == 2 || focused == 2);
}

bool FieldHighlight::FocusIn(int field)
{
    return Set(field == 1, field == 2);
}

}  // namespace morvane
