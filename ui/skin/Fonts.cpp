#include "ui/skin/Fonts.h"

#include <algorithm>

namespace morvane::skin {

const QStringList& StandardFamilies()
{
    // Song-style faces first, the texts were laid out for one; then the common CJK faces of
    // Linux desktops, so Chinese never falls back to boxes.
    static const QStringList families = {
        QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"),
    };
    return families;
}

QFont StandardFont(int pixelHeight, QFont::Weight weight)
{
    QFont font;
    font.setFamilies(StandardFamilies());
    font.setStyleHint(QFont::Serif, QFont::PreferAntialias);
    font.setPixelSize(std::max(1, pixelHeight));
    font.setWeight(weight);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

}  // namespace morvane::skin
