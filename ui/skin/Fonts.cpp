#include "ui/skin/Fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <algorithm>

namespace morvane::skin {

namespace {

QString FirstInstalled(const QStringList& wanted, const QStringList& installed)
{
    for (const QString& name : wanted)
        if (installed.contains(name, Qt::CaseInsensitive))
            return name;
    return {};
}

FacePair ChoosePair()
{
    FacePair pair;
    // A CJK face carries Latin letters of its own, often serif (the Song faces) or of another
    // weight: the Latin face comes first so that it draws every character it has.
    pair.latin = FirstInstalled({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                 QStringLiteral("Liberation Sans"), QStringLiteral("Cantarell"),
                                 QStringLiteral("Arimo"), QStringLiteral("FreeSans")},
                                QFontDatabase::families(QFontDatabase::Latin));
    // Sans CJK faces match the Latin face; the Song (Ming) faces that the texts were first
    // laid out for follow; any installed Chinese face is better than boxes.
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    pair.cjk = FirstInstalled({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                               QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                               QStringLiteral("Droid Sans Fallback"), QStringLiteral("AR PL UMing CN"),
                               QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK SC"),
                               QStringLiteral("Source Han Serif SC"), QStringLiteral("WenQuanYi Bitmap Song")},
                              chinese);
    if (pair.cjk.isEmpty() && !chinese.isEmpty())
        pair.cjk = chinese.front();
    return pair;
}

}  // namespace

const FacePair& StandardPair()
{
    static const FacePair pair = ChoosePair();
    return pair;
}

const QStringList& StandardFamilies()
{
    static const QStringList families = [] {
        QStringList list;
        for (const QString& face : {StandardPair().latin, StandardPair().cjk})
            if (!face.isEmpty())
                list << face;
        // Text that still names the Song face directly gets the same pair.
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
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setPixelSize(std::max(1, pixelHeight));
    font.setWeight(weight);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

void ApplyStandardFamilies()
{
    if (StandardFamilies().isEmpty())
        return;
    QFont font = QApplication::font();
    font.setFamilies(StandardFamilies());
    QApplication::setFont(font);
}

}  // namespace morvane::skin
