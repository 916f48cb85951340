#include "ui/skin/Fonts.h"

#include <algorithm>

namespace morvane::skin {

const QStringList& StandardFamilies()
{
    // Song (Ming) faces first, as the texts were laid out for one; then the common CJK faces of
    // Linux desktops, so Chinese never falls back to boxes.
    static const QStringList families = [] {
        QStringList list = {
            QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
            QStringLiteral("AR PL UMing HK"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Source Han Serif SC"), QStringLiteral("WenQuanYi Bitmap Song"),
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
            QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"),
        };
        // Text that still names the Song face directly gets the same stand-ins.
        QFont::insertSubstitutions(QStringLiteral("宋体"), list);
        QFont::insertSubstitutions(QStringLiteral("SimSun"), list);
        return list;
    }();
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
