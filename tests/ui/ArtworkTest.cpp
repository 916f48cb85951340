#include <gtest/gtest.h>

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "ui/skin/Artwork.h"
#include "ui/skin/Fonts.h"

using namespace morvane;
using skin::Art;

namespace {

constexpr int kArtCount = static_cast<int>(Art::ProgressFill) + 1;

QImage Canvas(QSize logical, qreal dpr = 1.0)
{
    QImage image(logical * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

QImage Picture(Art art, QSizeF logical, qreal dpr = 1.0)
{
    QImage image = Canvas(logical.toSize(), dpr);
    QPainter p(&image);
    skin::Draw(p, art, QRectF(QPointF(0, 0), logical));
    return image;
}

QImage IconImage(const QIcon& icon, int size)
{
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool Near(QRgb a, QRgb b, int tolerance = 2)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// The main window's skin as its layout places it (client w x h, splitter 1 at p1), with a
// few rows of tree and the texts, so the pictures can be judged together.
void PaintMockWindow(QPainter& p, int w, int h, int p1)
{
    const int p2 = w - 12, b = h;
    const QColor white(255, 255, 255), blueText(51, 51, 255), grey(198, 196, 189);
    p.fillRect(QRect(QPoint(0, b - 24), QPoint(w - 1, b - 1)), QColor(0, 65, 198));
    auto area = [](int l, int t, int r, int bt) { return QRectF(l, t, r - l, bt - t); };
    skin::Draw(p, Art::Logo, area(1, 1, 170, 69));
    skin::Draw(p, Art::Header, area(170, 1, w - 1, 69));
    skin::Draw(p, Art::Pane, area(1, 69, p1, b - 24));
    skin::Draw(p, Art::Pane, area(p2 + 8, 69, w - 1, b - 24));
    p.fillRect(area(p1, 69, p2 + 8, b - 24), white);

    const QRectF inner = area(p1 + 8, 77, p2 + 1, b - 32);
    QPainterPath rounded;
    rounded.addRoundedRect(inner, 6, 6);
    p.save();
    p.setClipPath(rounded);
    const qreal cap = skin::NaturalSize(Art::ToolCap).width();
    skin::Draw(p, Art::ToolCap, QRectF(inner.left(), 77, cap, 30));
    QLinearGradient band(inner.left() + cap, 0, p2 + 1, 0);
    band.setColorAt(0, QColor(23, 160, 209));
    band.setColorAt(1, QColor(228, 240, 254));
    p.fillRect(QRectF(inner.left() + cap, 77, p2 + 1 - inner.left() - cap, 30), band);
    skin::Draw(p, Art::BottomBand, area(p1 + 8, b - 62, p2 + 1, b - 32));
    p.restore();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(151, 185, 231));
    p.drawRoundedRect(inner.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    p.restore();

    const int m = b - 57;
    skin::Draw(p, Art::ButtonHot, area(p2 - 82, m, p2 - 9, m + 19));
    skin::Draw(p, Art::ButtonNormal, area(p2 - 165, m, p2 - 92, m + 19));
    skin::Draw(p, Art::CheckOn, area(p2 - 243, m + 3, p2 - 230, m + 16));
    skin::Draw(p, Art::CloseHot, area(w - 58, 1, w - 11, 21));
    skin::Draw(p, Art::MaximiseNormal, area(w - 91, 1, w - 58, 21));
    skin::Draw(p, Art::MinimiseNormal, area(w - 124, 1, w - 91, 21));
    skin::Draw(p, Art::Grip, area(w - 12, b - 12, w - 1, b - 1));

    // Tree with a few rows.
    const QRectF tree = area(4, 89, p1 - 3, b - 27);
    p.fillRect(tree, QColor(237, 242, 252));
    struct Row { int depth, kind; const char* text; };
    const Row rows[] = {
        {0, 1, "加密通讯薄"}, {1, 2, "目录A"}, {2, 3, "<锁> 张三"}, {3, 12, "输入: "},
        {3, 27, "计算前编码细节"}, {3, 13, "输出: "}, {3, 14, "序    号: 1"}, {3, 15, "身份: 张三"},
        {3, 16, "邮件: zhang@example.cn"}, {3, 18, "强度: 中 1024Bits"}, {3, 21, "N: 9F3A..."},
        {2, 4, "<钥匙> 我的钥匙"}, {1, 2, "目录B"},
    };
    p.setFont(skin::StandardFont(12));
    int y = 92;
    for (const Row& r : rows) {
        if (y + 18 > tree.bottom())
            break;
        const int x = int(tree.left()) + 4 + r.depth * 16;
        if (r.kind == 3) {
            p.fillRect(QRectF(x + 18, y, 70, 18), QColor(49, 106, 197));
            p.setPen(white);
        } else {
            p.setPen(blueText);
        }
        skin::KindIcon(r.kind).paint(&p, QRect(x, y + 1, 16, 16));
        p.drawText(QRectF(x + 20, y, 200, 18), Qt::AlignVCenter, QString::fromUtf8(r.text));
        y += 18;
    }

    p.setPen(white);
    p.setFont(skin::StandardFont(15));
    p.drawText(QRectF(4, 69, p1 - 7, 20), Qt::AlignCenter, QString::fromUtf8("密钥通讯薄 "));
    p.setFont(skin::StandardFont(18));
    p.setPen(Qt::black);
    p.drawText(area(p1 + 17, 110, p2 - 1, b - 63), Qt::AlignLeft | Qt::AlignTop,
               QString::fromUtf8("明天上午十点在老地方见。\nMeet at ten tomorrow."));
    p.setFont(skin::StandardFont(12));
    p.setPen(blueText);
    p.drawText(area(p2 - 83, m, p2 - 10, m + 19), Qt::AlignCenter, QString::fromUtf8("加 密"));
    p.drawText(area(p2 - 165, m, p2 - 92, m + 19), Qt::AlignCenter, QString::fromUtf8("签字后加密"));
    p.drawText(area(p2 - 225, m + 1, p2 - 175, m + 19), Qt::AlignCenter, QString::fromUtf8("单步"));
    p.setPen(grey);

    // Progress bar at 60 %, as the skinned bar paints it.
    const QRectF bar(200, b - 17, 200, 9);
    p.fillRect(bar, QColor(84, 89, 99));
    p.save();
    p.setClipRect(QRectF(bar.left(), bar.top(), bar.width() * 0.6, bar.height()));
    skin::Draw(p, Art::ProgressFill, QRectF(bar.topLeft(), skin::NaturalSize(Art::ProgressFill)));
    p.restore();
    p.setPen(white);
    p.drawText(bar, Qt::AlignCenter, QStringLiteral("60%"));
    p.drawText(QRectF(100, b - 18, 100, 12), Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf8("加密中:"));
    p.drawText(QRectF(w - 215, b - 18, 200, 12), Qt::AlignRight | Qt::AlignVCenter,
               QString::fromUtf8("访问 Morvane 主页"));
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
}

}  // namespace

TEST(Artwork, EveryPictureLoadsWithTheSizeItsPlaceNeeds)
{
    for (int i = 0; i < kArtCount; ++i) {
        const QSizeF s = skin::NaturalSize(Art(i));
        EXPECT_GT(s.width(), 0) << "picture " << i;
        EXPECT_GT(s.height(), 0) << "picture " << i;
        const QImage image = Picture(Art(i), s);
        EXPECT_NE(image.pixel(int(s.width()) / 2, int(s.height()) / 2), 0u) << "picture " << i << " draws nothing";
    }
    EXPECT_EQ(skin::NaturalSize(Art::Logo), QSizeF(169, 68));
    EXPECT_EQ(skin::NaturalSize(Art::Header).height(), 68);
    EXPECT_EQ(skin::NaturalSize(Art::ToolCap).height(), 30);
    EXPECT_EQ(skin::NaturalSize(Art::BottomBand).height(), 30);
    for (Art a : {Art::ButtonNormal, Art::ButtonHot, Art::ButtonPressed, Art::ButtonDisabled})
        EXPECT_EQ(skin::NaturalSize(a), QSizeF(73, 19));
    for (Art a : {Art::CheckOff, Art::CheckOffHot, Art::CheckDisabled, Art::CheckOn, Art::CheckOnHot})
        EXPECT_EQ(skin::NaturalSize(a), QSizeF(13, 13));
    for (int i = int(Art::MinimiseNormal); i <= int(Art::RestorePressed); ++i)
        EXPECT_EQ(skin::NaturalSize(Art(i)), QSizeF(33, 20));
    for (Art a : {Art::CloseNormal, Art::CloseHot, Art::ClosePressed})
        EXPECT_EQ(skin::NaturalSize(a), QSizeF(47, 20));
    EXPECT_EQ(skin::NaturalSize(Art::Grip), QSizeF(11, 11));
    // The fill is copied unscaled into a 200 x 9 bar.
    EXPECT_GE(skin::NaturalSize(Art::ProgressFill).width(), 200);
    EXPECT_GE(skin::NaturalSize(Art::ProgressFill).height(), 9);
}

TEST(Artwork, DrawsAtTheDevicePixelsOfTheTarget)
{
    // At ratio 2 a picture is rendered at twice its size, not a 1x picture scaled up.
    for (Art a : {Art::ButtonNormal, Art::CheckOn, Art::CloseNormal, Art::Logo}) {
        const QSizeF s = skin::NaturalSize(a);
        const QImage twice = Picture(a, s, 2.0);
        QImage direct = Picture(a, s * 2, 1.0);
        direct.setDevicePixelRatio(2.0);
        EXPECT_EQ(twice, direct) << "picture " << int(a);
    }
    // A painter that scales counts too; degenerate targets draw nothing and do not fail.
    QImage scaled = Canvas(QSize(146, 38));
    {
        QPainter p(&scaled);
        p.scale(2, 2);
        skin::Draw(p, Art::ButtonNormal, QRectF(0, 0, 73, 19));
        skin::Draw(p, Art::ButtonNormal, QRectF(0, 0, 0, 19));
        skin::Draw(p, Art::ButtonNormal, QRectF(0, 0, -5, 19));
        skin::Draw(p, Art::ButtonNormal, QRectF(0, 0, qQNaN(), 19));
    }
    EXPECT_EQ(scaled, Picture(Art::ButtonNormal, QSizeF(146, 38)).convertToFormat(scaled.format()));
}

TEST(Artwork, PicturesBlendIntoTheBandsUnderThem)
{
    // Caption buttons repeat the header's top rows; the grip is on the status band; the tool
    // band's gradient starts at the cap's own colour; the check box sits on the bottom band.
    const QImage header = Picture(Art::Header, QSizeF(400, 68));
    for (Art a : {Art::MinimiseNormal, Art::MaximiseNormal, Art::RestoreNormal, Art::CloseNormal}) {
        const QImage button = Picture(a, skin::NaturalSize(a));
        for (int y = 0; y < 20; ++y)
            EXPECT_TRUE(Near(button.pixel(0, y), header.pixel(200, y))) << "picture " << int(a) << " row " << y;
    }
    EXPECT_TRUE(Near(Picture(Art::Grip, QSizeF(11, 11)).pixel(0, 0), qRgb(0, 65, 198), 0));
    const QSizeF cap = skin::NaturalSize(Art::ToolCap);
    EXPECT_TRUE(Near(Picture(Art::ToolCap, cap).pixel(int(cap.width()) - 1, 20), qRgb(23, 160, 209), 1));
    const QImage band = Picture(Art::BottomBand, QSizeF(200, 30));
    for (Art a : {Art::CheckOff, Art::CheckOn, Art::CheckDisabled}) {
        const QImage box = Picture(a, QSizeF(13, 13));
        EXPECT_TRUE(Near(box.pixel(0, 6), band.pixel(100, 8 + 6))) << "picture " << int(a);
    }
}

TEST(Artwork, EveryKindHasItsOwnIconAndStrayCodesANeutralOne)
{
    const QImage neutral = IconImage(skin::KindIcon(8), 16);
    std::vector<QImage> seen;
    for (int kind = 0; kind < 43; ++kind) {
        const QIcon icon = skin::KindIcon(kind);
        ASSERT_FALSE(icon.isNull()) << "kind " << kind;
        const QImage image = IconImage(icon, 16);
        EXPECT_EQ(image.size(), QSize(16, 16));
        // A sharp picture for high-DPI rows too.
        EXPECT_EQ(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32)) << "kind " << kind;
        if (kind == 0 || (kind >= 8 && kind <= 11))
            continue;  // the root's twin and the codes that name no item
        EXPECT_NE(image, neutral) << "kind " << kind;
        for (std::size_t i = 0; i < seen.size(); ++i)
            EXPECT_NE(image, seen[i]) << "kind " << kind << " looks like another kind";
        seen.push_back(image);
    }
    EXPECT_EQ(IconImage(skin::KindIcon(0), 16), IconImage(skin::KindIcon(1), 16));
    for (int stray : {-1, 43, 1000, INT_MIN, INT_MAX}) {
        const QIcon icon = skin::KindIcon(stray);
        ASSERT_FALSE(icon.isNull()) << "kind " << stray;
        EXPECT_EQ(IconImage(icon, 16), neutral) << "kind " << stray;
    }
}

TEST(Artwork, ApplicationIconAndSplitterCursor)
{
    const QIcon app = skin::AppIcon();
    for (int s : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(app.availableSizes().contains(QSize(s, s))) << "size " << s;
    const QCursor cursor = skin::SplitterCursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_FALSE(cursor.pixmap().isNull());
    EXPECT_EQ(cursor.hotSpot(), QPoint(16, 16));
}

TEST(Fonts, StandardFontIsAnInstalledChineseFaceAtTheAskedHeight)
{
    for (int height : {12, 15, 18}) {
        const QFont font = skin::StandardFont(height);
        EXPECT_EQ(font.pixelSize(), height);
        const QFontInfo info(font);
        EXPECT_TRUE(skin::StandardFamilies().contains(info.family()))
            << "no face of the list is installed (tools/dev.sh installs fonts-arphic-uming); got "
            << info.family().toStdString();
        const QFontMetrics metrics(font);
        for (char32_t c : std::u32string_view(U"密钥通讯薄加签字"))
            EXPECT_TRUE(metrics.inFontUcs4(c)) << "character U+" << std::hex << unsigned(c);
    }
    EXPECT_EQ(skin::StandardFont(0).pixelSize(), 1);
    // A text that asks for the Song face by name gets the same face.
    EXPECT_EQ(QFontInfo(QFont(QString::fromUtf8("宋体"), 12)).family().toStdString(),
              QFontInfo(skin::StandardFont(12)).family().toStdString());
}

// The composed skin at 1x and 2x; MORVANE_ART_SHEET=<folder> writes the pictures there to be
// looked at. The window must be covered: no pixel left transparent.
TEST(Artwork, ComposedWindowCoversEveryPixel)
{
    const QSize window(720, 460);
    const char* folder = std::getenv("MORVANE_ART_SHEET");
    for (qreal dpr : {1.0, 2.0}) {
        QImage image = Canvas(window, dpr);
        {
            QPainter p(&image);
            PaintMockWindow(p, window.width(), window.height(), 240);
        }
        const QImage flat = image.convertToFormat(QImage::Format_ARGB32);
        int holes = 0;
        for (int y = 0; y < flat.height(); ++y)
            for (int x = 0; x < flat.width(); ++x)
                holes += qAlpha(flat.pixel(x, y)) != 255;
        EXPECT_EQ(holes, 0) << "at ratio " << dpr;
        if (folder)
            image.save(QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("window-%1x.png").arg(dpr)));
    }
    if (!folder)
        return;
    // Every picture in every state, at 1x, 2x and 4x, and the tree icons on the tree's colours.
    QImage sheet = Canvas(QSize(1400, 1500));
    sheet.fill(QColor(250, 250, 250));
    QPainter p(&sheet);
    int x = 10, y = 10, rowHeight = 0;
    for (qreal zoom : {1.0, 2.0, 4.0}) {
        for (int i = 0; i < kArtCount; ++i) {
            QSizeF s = skin::NaturalSize(Art(i));
            if (i == int(Art::Header) || i == int(Art::BottomBand) || i == int(Art::Pane))
                s.setWidth(60);
            const QSizeF z = s * zoom;
            if (x + z.width() > sheet.width() - 10) {
                x = 10;
                y += rowHeight + 8;
                rowHeight = 0;
            }
            skin::Draw(p, Art(i), QRectF(QPointF(x, y), z));
            x += int(z.width()) + 8;
            rowHeight = std::max(rowHeight, int(z.height()));
        }
        x = 10;
        y += rowHeight + 16;
        rowHeight = 0;
    }
    for (int size : {16, 32, 64}) {
        for (const QColor& bg : {QColor(237, 242, 252), QColor(49, 106, 197), QColor(9, 147, 32)}) {
            if (size == 64 && bg != QColor(237, 242, 252))
                continue;
            x = 10;
            for (int kind = 0; kind < 44; ++kind) {
                const int k = kind == 43 ? -1 : kind;
                p.fillRect(QRect(x - 2, y - 2, size + 4, size + 4), bg);
                skin::KindIcon(k).paint(&p, QRect(x, y, size, size));
                x += size + 6;
                if (x + size > sheet.width()) {
                    x = 10;
                    y += size + 6;
                }
            }
            y += size + 8;
        }
    }
    x = 10;
    for (int s : {16, 22, 24, 32, 48, 64, 128, 256}) {
        p.drawPixmap(x, y, skin::AppIcon().pixmap(QSize(s, s)));
        x += s + 10;
    }
    p.drawPixmap(x, y, skin::SplitterCursor().pixmap());
    p.end();
    sheet.save(QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("pieces.png")));
}
