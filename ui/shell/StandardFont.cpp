#include "ui/shell/StandardFont.h"

#include <QFontDatabase>

namespace morvane {

QStringList StandardFontFaces()
{
    static const QStringList faces = [] {
        static const char* const wanted[] = {
            "AR PL UMing CN",    "AR PL UMing TW",     "AR PL UMing HK",      "AR PL UMing",
            "Noto Serif CJK SC", "Noto Serif CJK",     "Source Han Serif SC", "WenQuanYi Zen Hei",
            "WenQuanYi Micro Hei", "WenQuanYi Bitmap Song",
        };
        const QStringList installed = QFontDatabase::families();
        QStringList found;
        for (const char* name : wanted) {
            const QString face = QString::fromLatin1(name);
            if (installed.contains(face, Qt::CaseInsensitive))
                found << face;
        }
        // Whoever still asks for the Song face by name gets the same stand-in.
        if (!found.isEmpty())
            QFont::insertSubstitutions(QStringLiteral("宋体"), found);
        return found;
    }();
    return faces;
}

QFont StandardFont(int pixelHeight)
{
    QFont font;
    const QStringList faces = StandardFontFaces();
    if (!faces.isEmpty())
        font.setFamilies(faces);
    font.setPixelSize(pixelHeight);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace morvane
