// The skin's pictures by role, drawn sharp at any device pixel ratio.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QRectF>

class QPainter;

namespace morvane::skin {

enum class Art {
    Logo, Header, Pane, ToolCap, BottomBand,
    ButtonNormal, ButtonHot, ButtonPressed, ButtonDisabled,
    CheckOff, CheckOffHot, CheckDisabled, CheckOn, CheckOnHot,
    MinimiseNormal, MinimiseHot, MinimisePressed,
    MaximiseNormal, MaximiseHot, MaximisePressed,
    RestoreNormal, RestoreHot, RestorePressed,
    CloseNormal, CloseHot, ClosePressed,
    Grip, ProgressFill,
};

// Draws the picture stretched into target (logical pixels), rendered at the painter's device
// pixels. ProgressFill is meant to be copied unscaled: draw it at its natural size from the
// bar's left edge, clipped to the filled part.
void Draw(QPainter& painter, Art art, const QRectF& target);
// The natural size of a picture in logical pixels (the tool band's cap is drawn at its width).
QSizeF NaturalSize(Art art);
// The tree's icon for a kind code; codes outside the icon list get a neutral icon.
QIcon KindIcon(int kind);
QIcon AppIcon();
QCursor SplitterCursor();

}  // namespace morvane::skin
