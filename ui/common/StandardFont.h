// The one font recipe the window paints its texts with, by character height in pixels: 18 for
// the text boxes, 15 for the strength selector and the book title, 12 for status and button
// labels. "宋体" where it exists, else the installed CJK faces that stand in for it.
#pragma once

#include <QFont>
#include <QStringList>

namespace morvane {

inline QFont StandardFont(int pixelHeight)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setPixelSize(pixelHeight);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace morvane
